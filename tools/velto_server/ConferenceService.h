#pragma once
#include "Call.h"
#include "Stage.h"

#include <json/value.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

namespace velto::server {

// One answer of the REST side: {"code":code,"msg":msg,"obj":obj}.
struct Reply {
    int code = 200;
    std::string msg = "success";
    Json::Value obj;      // null when the answer carries none
    int httpStatus = 200; // 404/405 only for paths or methods nobody serves
};

// Something the REST side tells the message service to do: send `message`
// to the connections of room `room` (every participant when `to` is empty,
// else only those addresses), hand the chair over, close the room, or tell the
// room what it shows (the stage, layout or chosen participants changed).
struct Notice {
    enum class Kind { Send, ModeratorChanged, CloseRoom, Stage };
    Kind kind = Kind::Send;
    std::string room;
    std::vector<std::string> to;
    Json::Value message;
    std::string jid;  // ModeratorChanged: the new moderator
};

// What the message service learns of a login that a connection presents.
struct LiveLogin {
    std::string userId;       // as the login answer wrote it
    std::string userKey;      // upper-cased, for comparisons
    std::string displayName;
};

// The conference server's REST side, stateful in memory: accounts and their
// logins, personal rooms, reservations, running meetings and their in-meeting
// state, contacts and recordings. Thread-safe; every call is short.
class ConferenceService {
public:
    // A STUN or TURN server as the login answers name it.
    struct IceServer {
        std::string url;  // "stun:HOST[:PORT]", "turn:HOST[:PORT][?transport=tcp]", "turns:..."
        std::string username;
        std::string credential;
    };
    struct Config {
        std::string publicHost;        // "ADDRESS:PORT" (--listen), for the links the answers carry
        std::string messageServer;     // named in every login answer
        std::string messageServerPort;
        // The host of the login's own STUN and TURN entries (the TURN entry's
        // credential is the login's key to the message service).
        std::string iceHost = "127.0.0.1";
        std::vector<IceServer> iceServers;  // after those, in every login answer
    };

    // Throws std::runtime_error when `seed` is malformed.
    ConferenceService(Config config, Json::Value seed);

    Reply handle(const Call& call);

    // The message service's view. Thread-safe; the notifier is called with
    // the service's lock held, so it must only hand the notice on.
    void setNotifier(std::function<void(Notice)> notifier);
    void setMessageServerPort(std::string port);
    // The login of user `userId` at `endpoint` whose secret is `secret`.
    std::optional<LiveLogin> checkLogin(const std::string& userId, const std::string& endpoint,
                                        const std::string& secret) const;
    // A message connection of that login came or went. A login with a
    // connection stays; one without lapses when its keep-alives stop. An
    // anonymous login is forgotten when it says goodbye (`loggedOut`).
    void attachLogin(const std::string& userKey, const std::string& endpoint);
    void detachLogin(const std::string& userKey, const std::string& endpoint, bool loggedOut);
    // Whether `jid` created or joined the running meeting of room `room`.
    bool mayJoin(const std::string& room, const std::string& jid) const;
    std::string moderatorOf(const std::string& room) const;
    // What the moderator chose to show in room `room` (nothing chosen when the
    // room does not run).
    StageChoice stageOf(const std::string& room) const;
    // The hands raised in room `room` and not answered yet, oldest first, as
    // (address, nickname): a moderator who arrives later is told of them.
    std::vector<std::pair<std::string, std::string>> handsOf(const std::string& room) const;
    // `jid` left room `room`: a hand it raised is no longer waiting.
    void lowerHand(const std::string& room, const std::string& jid);
    // The chair moves from `from` (who must hold it, unless a REST grant gave
    // it to `to` already) to `to`; false otherwise.
    bool handOver(const std::string& room, const std::string& from, const std::string& to);
    // Upper-cased keys of the users who have `userKey` among their contacts.
    std::vector<std::string> watchersOf(const std::string& userKey) const;
    // Warnings of meetings whose end approaches and the close of those that
    // ended; called about once a second.
    void tick();
    // Moves the service's clock `ms` ahead, so that tests see a meeting's end
    // without waiting for it; reset() puts it back.
    void advanceClock(std::int64_t ms);

    // Seeded accounts in seed order, each with its login password and personal room.
    Json::Value accounts() const;
    // Back to the seeded state (seed times count from now), switches off,
    // manifest back to its default.
    void reset();
    void setNoCredit(bool noCredit);
    std::string manifest() const;
    void setManifest(std::string manifest);

private:
    struct User {
        std::string id;
        std::string loginName;
        std::string password;
        std::string displayName;
        std::string email;
        std::string phone;
        std::string photo;
        std::string personalMeetingId;  // empty for anonymous users
        std::vector<std::pair<std::string, std::string>> friends;  // user key, nickname
        std::string clientType;
        std::int64_t createMs = 0;
        std::int64_t lastSeenMs = 0;
        bool anonymous = false;
        bool alwaysOnline = false;
    };

    struct Hand {
        std::string jid;
        std::string nickname;
    };

    struct Meeting {
        std::string id;
        std::string cNumber;  // room number
        std::string type;  // "CTF1" personal room, "CTA0" reservation, "CTOT" other
        std::string title;
        std::string ownerKey;
        std::vector<std::string> memberKeys;  // owner first
        std::string meetPassword;
        std::string ownerPassword;
        std::string autoRecord = "CRAC";
        std::int64_t startMs = 0;
        std::int64_t cycleEndDayMs = 0;
        std::int64_t createMs = 0;
        std::int64_t updateMs = 0;
        unsigned lengthSec = 0;
        unsigned number = 1;  // "number" of the reservation body
        unsigned cycle = 0;
        unsigned cycleDmy = 0;
        unsigned cycleStart = 0;
        int videoNum = 0;

        // While it runs:
        bool live = false;
        std::int64_t liveEndMs = 0;
        std::string moderatorJid;
        std::string stageJid;
        bool stageScreen = false;
        bool locked = false;
        std::string splitScreen = "0";
        std::string participants;
        std::vector<std::string> jids;
        std::vector<Hand> hands;
        std::string recordingId;  // empty when not recording
        int warnedMinutes = 0;    // the last end warning sent (15, 10, 5), 0 = none
        std::string grantFrom;    // upper-cased user who granted the chair by REST, until told by signalling
    };

    struct Recording {
        std::string id;
        std::string userKey;
        std::string meetingId;
        std::string conferenceNum;
        std::string conferenceTitle;
        std::string rule;
        std::int64_t startSec = 0;
        std::int64_t endSec = 0;
    };

    // One login: its keys to the REST side (`token`) and to the message
    // service (`secret`), and whether it is still alive.
    struct Session {
        std::string userKey;
        std::string currentTimeMillis;
        std::string secret;  // the login's TURN credential, also its key to the message service
        std::string token;   // the login answer's "accessToken", sent with every later request
        std::int64_t lastSeenMs = 0;  // the login or its latest keep-alive
        int connections = 0;          // message connections of this login
    };

    // Failed logins of one account or one client.
    struct LoginFailures {
        int count = 0;
        std::int64_t lastMs = 0;
    };

    struct State {
        std::map<std::string, User> users;  // by upper-cased id
        std::vector<std::string> seededUsers;
        std::map<std::string, Meeting> meetings;  // by id
        std::map<std::string, std::string> rooms;  // number -> meeting id
        std::map<std::string, Session> sessions;   // "USERKEY/endpoint"
        std::map<std::string, std::string> tokens; // token -> session key
        std::map<std::string, LoginFailures> loginFailures;  // "account NAME" or "client ADDRESS"
        std::vector<Recording> recordings;
        std::string manifest;
        bool noCredit = false;
        unsigned serial = 0;
        unsigned nextRoom = 30000001;
        std::int64_t clockOffsetMs = 0;  // how far advanceClock() moved the clock
    };

    using Args = std::vector<std::string>;
    using Handler = Reply (ConferenceService::*)(const Call&, const Args&);
    struct Route {
        std::string method;
        std::vector<std::string> pattern;  // "{}" captures one segment
        Handler handler;
    };
    static const std::vector<Route>& routes();

    void load();
    void seedUser(const Json::Value& entry);
    void seedMeeting(const Json::Value& entry);
    std::string defaultManifest() const;

    // Look-ups that refuse the request (with the fitting code) when they fail.
    User& requireUser(const std::string& id, int nullCode = 101);
    User& requireJidUser(const std::string& jid, int nullCode = 102, int illegalCode = 103);
    Meeting& requireRoom(const std::string& number);
    Meeting& requireLiveRoom(const std::string& number, int notRunningCode = 420);
    Meeting& requireMeeting(const std::string& id);
    void requireModerator(const Meeting& meeting, const std::string& userId) const;
    // The user whose login the request's token is; refuses without a live one.
    User& requireTokenUser(const Call& call);
    // The acting user the request names (by id or by address), who must be
    // the token's user.
    User& requireActor(const Call& call, const std::string& id);
    User& requireJidActor(const Call& call, const std::string& jid);
    void requireOwnToken(const Call& call, const User& user);

    std::int64_t clockMs() const;  // the service's time: the system's, advanced for tests
    User* findUser(const std::string& id);
    User* findByLoginName(const std::string& loginName);
    bool isOnline(const User& user) const;
    bool isLive(const Meeting& meeting) const;
    std::string status(const Meeting& meeting) const;
    std::vector<std::int64_t> occurrences(const Meeting& meeting) const;
    void startLive(Meeting& meeting, std::int64_t endMs);
    std::string newId();
    std::string newRoomNumber();
    Meeting& addMeeting(Meeting meeting);

    std::string gatewayJid() const;   // SIP and telephone gateway of every room
    std::string recorderJid() const;  // the recorder of every room
    Json::Value loginObj(const User& user, const std::string& endpoint, const Session& session) const;
    void notify(Notice notice) const;
    void notifyRoom(const Meeting& meeting, Json::Value message, std::vector<std::string> to = {}) const;
    Json::Value joinObj(const Meeting& meeting, const std::string& jid) const;
    Json::Value meetingObj(const Meeting& meeting, const std::string& viewerKey) const;
    Json::Value contactObj(const User& user, const std::string& nickname) const;
    Json::Value recordingObj(const Recording& recording) const;

    Reply openSession(User& user, const std::string& clientType);
    // Whether a login of this account or client may be tried now; failures
    // slow the next tries down.
    bool loginAllowed(const std::string& key, int freeFailures, std::int64_t now) const;
    void noteLoginFailure(const std::string& key, std::int64_t now);
    void forgetSession(const std::string& sessionKey);
    void forgetLapsedLogins(std::int64_t now);
    Reply login(const Call&, const Args&);
    Reply loginAnonymous(const Call&, const Args&);
    Reply keepAlive(const Call&, const Args&);
    Reply createOrJoin(const Call&, const Args&);
    Reply grantAdmin(const Call&, const Args&);
    Reply getModerator(const Call&, const Args&);
    Reply extendConference(const Call&, const Args&);
    Reply listConferences(const Call&, const Args&);
    Reply bookConference(const Call&, const Args&);
    Reply conferenceDetail(const Call&, const Args&);
    Reply deleteConference(const Call&, const Args&);
    Reply selectFriends(const Call&, const Args&);
    Reply listFriends(const Call&, const Args&);
    Reply addFriend(const Call&, const Args&);
    Reply deleteFriend(const Call&, const Args&);
    Reply queryUser(const Call&, const Args&);
    Reply modifyUser(const Call&, const Args&);
    Reply lockConference(const Call&, const Args&);
    Reply startRecord(const Call&, const Args&);
    Reply stopRecord(const Call&, const Args&);
    Reply myRecords(const Call&, const Args&);
    Reply recordDetails(const Call&, const Args&);
    Reply setStage(const Call&, const Args&);
    Reply splitScreen(const Call&, const Args&);
    Reply selectParticipants(const Call&, const Args&);
    Reply conferenceResources(const Call&, const Args&);
    Reply handsUp(const Call&, const Args&);
    Reply callPhone(const Call&, const Args&);

    Config config_;  // the message server port is set once before serving
    const Json::Value seed_;
    std::function<void(Notice)> notifier_;
    mutable std::mutex mutex_;
    State state_;
};

}  // namespace velto::server
