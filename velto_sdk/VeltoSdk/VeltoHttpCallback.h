#pragma once

#include <mutex>
#include <string>

#include "VeltoHttpSdkInterface.h"

class VeltoSdk;

// The user's own address in the signalling network: user id "@" message
// server "/" endpoint.
std::string jidOf(const conference_login_info& login);
// A meeting room's address in the signalling network.
std::string roomJidOf(const std::string& room, const std::string& messageServer);

// The own participant's state in the current meeting.
struct conference_room_status {
    std::string myJid;          // user id "@" message server "/" endpoint of the last login answer
    std::string nickname;
    std::string endpoint;
    bool isModerator = false;
    std::string moderatorJid;
    std::string stageJid;
    std::string gw;
    std::string roomJid;        // room number "@conference." message server
    std::string messageServer;
    std::string focusJid;
    bool audioMute = false;     // reported with every presence
    bool videoMute = false;
};

// Receives the REST client's answers, keeps the login, join and user records
// and the room status, and passes the answers on to the program.
//
// The records are written on the thread that calls the REST client and read
// by signalling and media engine threads, so they are only handed out as
// copies taken under the records lock. No lock is held while the program is
// called.
class CVeltoHttpCallback : public VeltoHttpCallback {
public:
    void onLogin(int code, conference_login_info& answer) override;
    void onCreateOrJoinConference(int code, const conference_join_info& answer) override;
    void onGrantAdmin(int code, std::string jid) override;
    void onGetModerator(int code) override;
    void onGetMyConferences(int code, const conferences& list) override;
    void onBookConferences(int code) override;
    void onDeleteConferece(int code) override;
    void onQueryUser(int code, const query_user_info& record) override;
    void onStartRecord(int code) override;
    void onStopRecord(int code) override;
    void onGetContacts(int code, conference_contacts& contacts) override;
    void onGetSearchContacts(int code, conference_contacts& contacts) override;

    void setVeltoSdk(VeltoSdk* sdk) { sdk_ = sdk; }

    // True once a login, or a create-or-join, was answered with code 200.
    bool hasLoginInfo() const;
    bool hasJoinInfo() const;

    conference_login_info getLoginInfo() const;
    conference_join_info getJoinInfo() const;
    conference_room_status getRoomStatus() const;
    query_user_info getUserInfo() const;

    bool isModerator() const;
    void setModerator(bool moderator);
    void setAudioMute(bool mute);
    void setVideoMute(bool mute);
    // A display name changed by the server replaces the stored one.
    void setUserName(const std::string& name);

private:
    mutable std::mutex mutex_;
    conference_login_info login_;
    conference_join_info join_;
    conference_room_status status_;
    query_user_info user_;
    bool hasLogin_ = false;
    bool hasJoin_ = false;
    VeltoSdk* sdk_ = nullptr;
};
