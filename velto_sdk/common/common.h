// Records of the conference server's answers, shared by the REST client and the
// conference SDK. Plain values: members start empty, zero or false.
#pragma once

#include <string>
#include <vector>

// One ICE or TURN server of the login answer.
struct ice_server {
    std::string url;
    std::string username;
    std::string credential;
};

// The login answer.
struct conference_login_info {
    std::string currentTimeMillis;
    std::string mUserId;
    std::string mUserName;
    std::string messageServer;
    std::string messageServerPort;
    std::string phone;
    std::string email;
    std::string endpoint;
    bool hasRecord = false;
    std::string cNumber;
    std::string photo;
    std::string logo;
    std::string mainLogo;
    std::string meetLogo;
    std::string copyright;
    int videoNum = 0;
    std::vector<ice_server> iceServers;
};

// One step of the join answer's resolution table.
struct resolution_bandwidth {
    int width = 0;
    int height = 0;
    int bandwidth = 0;
};

// The create-or-join answer.
struct conference_join_info {
    std::string videoBandwidth;
    std::string op;
    std::string moderatorJid;
    std::string vb;
    std::string focusJid;
    std::string title;
    std::string resolution;
    std::string gw;
    bool withAudio = false;
    std::string r;
    bool withVideo = false;
    std::string videoEncoding;
    std::string audioEncoding;
    std::string md5MeetPass;
    std::string stageJid;
    std::string maxViewNum;
    std::string conferenceType;
    std::string record;
    std::string autoRecord;
    std::vector<resolution_bandwidth> rbwc;
};

// One user of a meeting.
struct conference_user_info {
    std::string mUserId;
    std::string mConferenceId;
    std::string owner;
    std::string userName;
};

// One meeting.
struct conferences_info {
    std::string mConferenceId;
    std::string cNumber;
    std::string status;
    std::string title;
    std::string startTime;
    unsigned int lengthTime = 0;
    unsigned int number = 0;
    std::string meetPassword;
    std::string ownerPassword;
    unsigned int cycle = 0;
    unsigned int cycleDmy = 0;
    std::string cycleStartPre;
    std::string cycleEndDay;
    unsigned int layout = 0;
    std::string createTime;
    std::string updateTime;
    std::string type;
    unsigned int notice = 0;
    std::string ownerUserId;
    std::vector<conference_user_info> mConferenceUsers;
};

// One page of the user's meetings.
struct conferences {
    int total = 0;
    std::vector<conferences_info> list;
};

// One contact.
struct conference_contact {
    std::string mUserId;
    std::string userName;
    std::string nickName;
    std::string extra;
    bool onLine = false;
    std::string tel;
    std::string photo;
    std::string email;
    std::string clientType;
};

// The contact list or a contact search result.
struct conference_contacts {
    std::vector<conference_contact> list;
};

// The user's account record.
struct query_user_info {
    std::string mUserId;
    std::string userName;
    std::string loginName;
    std::string loginPassword;
    std::string status;
    std::string accessToken;
    std::string createTime;
    std::string lastTime;
    std::string email;
    std::string phone;
    std::string tel;
    std::string level;
    std::string attribution;
    std::string type;
    std::string ipSip;
    std::string protocol;
    std::string creator;
    std::string info;
    std::string meetPassword;
    std::string ownerPassword;
};

// A recording's details.
struct record_details {
    std::string id;
    std::string resourceId;
    std::string userId;
    std::string conferenceId;
    std::string conferenceNum;
    std::string conferenceTitle;
    std::string rule;
    std::string fileDir;
    std::string fileUrl;
    std::string pngUrl;
    std::string liveUrl;
    std::string publicLiveUrl;
    std::string status;
    unsigned int startAt = 0;
    unsigned int endAt = 0;
};
