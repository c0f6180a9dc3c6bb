#include "ConferenceService.h"

#include "JsonText.h"
#include "ServiceSupport.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <stdexcept>

namespace velto::server {

// --- routing -----------------------------------------------------------------

const std::vector<ConferenceService::Route>& ConferenceService::routes()
{
    static const std::vector<Route> table = [] {
        struct Entry {
            const char* method;
            const char* pattern;
            Handler handler;
        };
        using S = ConferenceService;
        // Order matters where two patterns fit one path: the literal "extend"
        // route stands before the detail route of the same shape.
        const Entry entries[] = {
            {"GET", "/clientApi/loginClient", &S::login},
            {"GET", "/clientApi/loginClientAnonymous", &S::loginAnonymous},
            {"GET", "/clientApi/keepAlive/{}/{}/{}", &S::keepAlive},
            {"GET", "/clientApi/createOrJoinConference", &S::createOrJoin},
            {"GET", "/user/grantAdmin", &S::grantAdmin},
            {"GET", "/user/getModerator", &S::getModerator},
            {"GET", "/clientApi/conferences/extend/{}", &S::extendConference},
            {"GET", "/clientApi/conferences/{}", &S::listConferences},
            {"POST", "/clientApi/conferences/{}", &S::bookConference},
            {"GET", "/clientApi/conferences/{}/{}", &S::conferenceDetail},
            {"DELETE", "/clientApi/conferences/{}/{}", &S::deleteConference},
            {"GET", "/clientApi/selectFriends/{}", &S::selectFriends},
            {"GET", "/clientApi/friends/{}", &S::listFriends},
            {"POST", "/clientApi/friends/{}/{}", &S::addFriend},
            {"DELETE", "/clientApi/friends/{}/{}", &S::deleteFriend},
            {"GET", "/clientApi/users/{}", &S::queryUser},
            {"PUT", "/clientApi/users", &S::modifyUser},
            {"GET", "/conference/lock", &S::lockConference},
            {"GET", "/clientApi/record/call/{}/{}", &S::startRecord},
            {"GET", "/clientApi/record/close/{}/{}", &S::stopRecord},
            {"GET", "/clientApi/records/{}", &S::myRecords},
            {"GET", "/clientApi/records/{}/{}", &S::recordDetails},
            {"GET", "/clientApi/stage/{}", &S::setStage},
            {"GET", "/clientApi/splitScreen/{}", &S::splitScreen},
            {"GET", "/clientApi/selectParticipants/{}", &S::selectParticipants},
            {"GET", "/clientApi/conference/resources", &S::conferenceResources},
            {"GET", "/clientApi/handsUp/{}/{}", &S::handsUp},
            {"GET", "/clientApi/phone/{}", &S::callPhone},
        };
        std::vector<Route> out;
        for (const Entry& e : entries)
            out.push_back({e.method, parseCall(e.method, e.pattern, std::string()).segments, e.handler});
        return out;
    }();
    return table;
}

Reply ConferenceService::handle(const Call& call)
{
    bool pathServed = false;
    for (const Route& route : routes()) {
        if (route.pattern.size() != call.segments.size())
            continue;
        Args args;
        bool match = true;
        for (std::size_t i = 0; match && i < route.pattern.size(); ++i) {
            if (route.pattern[i] == "{}")
                args.push_back(call.segments[i]);
            else
                match = route.pattern[i] == call.segments[i];
        }
        if (!match)
            continue;
        if (route.method != call.method) {
            pathServed = true;
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        try {
            return (this->*route.handler)(call, args);
        } catch (const Refusal& refusal) {
            Reply reply;
            reply.code = refusal.code;
            reply.msg = refusal.msg;
            return reply;
        }
    }
    Reply reply;
    reply.code = code::RequestFailed;
    reply.httpStatus = pathServed ? 405 : 404;
    reply.msg = pathServed ? "method not allowed" : "not found";
    return reply;
}

// --- state -------------------------------------------------------------------

ConferenceService::ConferenceService(Config config, Json::Value seed)
    : config_(std::move(config)), seed_(std::move(seed))
{
    load();
}

void ConferenceService::load()
{
    state_ = State();
    state_.manifest = defaultManifest();

    const Json::Value& users = seed_["users"];
    if (!users.isArray() || users.empty())
        throw std::runtime_error("seed: \"users\" must be a non-empty array");
    for (const Json::Value& entry : users)
        seedUser(entry);

    // Contacts name each other by login name, so they follow once all exist.
    for (const Json::Value& entry : users) {
        User& user = state_.users.at(upper(seedText(entry, "userId")));
        const Json::Value& friends = entry["friends"];
        if (!friends.isNull() && !friends.isArray())
            throw std::runtime_error("seed: \"friends\" must be an array");
        for (const Json::Value& contact : friends) {
            const std::string name = seedText(contact, "userName");
            const User* other = findByLoginName(name);
            if (!other || other == &user)
                throw std::runtime_error("seed: unknown contact \"" + name + "\"");
            user.friends.emplace_back(upper(other->id), seedText(contact, "nickname"));
        }
    }

    const Json::Value& meetings = seed_["conferences"];
    if (!meetings.isNull() && !meetings.isArray())
        throw std::runtime_error("seed: \"conferences\" must be an array");
    for (const Json::Value& entry : meetings)
        seedMeeting(entry);
}

void ConferenceService::seedUser(const Json::Value& entry)
{
    if (!entry.isObject())
        throw std::runtime_error("seed: every user must be an object");
    const std::int64_t now = clockMs();
    User user;
    user.id = seedText(entry, "userId");
    user.loginName = seedText(entry, "userName");
    user.password = seedText(entry, "password");
    user.displayName = seedText(entry, "displayName");
    user.email = seedText(entry, "email");
    user.phone = seedText(entry, "phone");
    user.photo = seedText(entry, "photo");
    user.alwaysOnline = entry["online"].asBool();
    user.clientType = "pc-win";
    user.createMs = now;
    const std::string key = upper(user.id);
    if (user.id.empty() || user.loginName.empty() || user.password.empty())
        throw std::runtime_error("seed: every user needs \"userId\", \"userName\" and \"password\"");
    if (state_.users.count(key) || findByLoginName(user.loginName))
        throw std::runtime_error("seed: duplicate user \"" + user.loginName + "\"");

    Meeting room;
    room.type = "CTF1";
    room.cNumber = seedText(entry, "room");
    if (!isRoomNumber(room.cNumber))
        throw std::runtime_error("seed: \"room\" must be a number");
    room.title = user.displayName + "'s meeting room";
    room.ownerKey = key;
    room.memberKeys = {key};
    room.meetPassword = seedText(entry, "meetPassword");
    room.ownerPassword = seedText(entry, "ownerPassword");
    room.startMs = room.createMs = room.updateMs = now;
    user.personalMeetingId = addMeeting(std::move(room)).id;

    state_.users.emplace(key, std::move(user));
    state_.seededUsers.push_back(key);
}

void ConferenceService::seedMeeting(const Json::Value& entry)
{
    if (!entry.isObject())
        throw std::runtime_error("seed: every conference must be an object");
    const std::string ownerName = seedText(entry, "owner");
    const User* owner = findByLoginName(ownerName);
    if (!owner)
        throw std::runtime_error("seed: unknown conference owner \"" + ownerName + "\"");
    const std::string ownerKey = upper(owner->id);

    const std::int64_t now = clockMs();
    Meeting meeting;
    meeting.type = entry.isMember("type") ? seedText(entry, "type") : "CTA0";
    if (meeting.type != "CTA0" && meeting.type != "CTOT")
        throw std::runtime_error("seed: conference \"type\" must be \"CTA0\" or \"CTOT\"");
    meeting.title = seedText(entry, "title");
    meeting.ownerKey = ownerKey;
    meeting.memberKeys = {ownerKey};
    const Json::Value& members = entry["members"];
    if (!members.isNull() && !members.isArray())
        throw std::runtime_error("seed: \"members\" must be an array");
    for (const Json::Value& member : members) {
        const std::string name = member.isString() ? member.asString() : std::string();
        const User* user = findByLoginName(name);
        if (!user)
            throw std::runtime_error("seed: unknown conference member \"" + name + "\"");
        if (user != owner)
            meeting.memberKeys.push_back(upper(user->id));
    }
    meeting.meetPassword = seedText(entry, "meetPassword");
    meeting.ownerPassword = seedText(entry, "ownerPassword");
    meeting.startMs = now + seedNumber(entry, "startInMinutes") * kMinuteMs;
    const long long minutes = seedNumber(entry, "lengthMinutes");
    meeting.cycle = static_cast<unsigned>(seedNumber(entry, "cycle"));
    meeting.cycleDmy = static_cast<unsigned>(seedNumber(entry, "cycleDmy"));
    if (minutes <= 0 || minutes > 24 * 60 || meeting.cycle > 1 || meeting.cycleDmy > 2)
        throw std::runtime_error("seed: conference \"" + meeting.title + "\" has bad times");
    meeting.lengthSec = static_cast<unsigned>(minutes * 60);
    if (meeting.cycle)
        meeting.cycleEndDayMs = meeting.startMs + seedNumber(entry, "cycleEndInDays") * 24 * 60 * kMinuteMs;
    meeting.createMs = meeting.updateMs = now;
    meeting.cNumber = newRoomNumber();
    addMeeting(std::move(meeting));
}

std::string ConferenceService::defaultManifest() const
{
    Json::Value manifest;
    manifest["version"] = "1.0.9";
    manifest["fileName"] = "velto_desktop-1.0.9.tar.gz";
    manifest["downPath"] = "https://" + config_.publicHost + "/download/bm/velto_desktop-1.0.9.tar.gz";
    manifest["md5"] = md5Hex(std::string());
    return toJsonText(manifest);
}

Json::Value ConferenceService::accounts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value out(Json::arrayValue);
    for (const std::string& key : state_.seededUsers) {
        const User& user = state_.users.at(key);
        const Meeting& room = state_.meetings.at(user.personalMeetingId);
        Json::Value account;
        account["userName"] = user.loginName;
        account["password"] = user.password;
        account["userId"] = user.id;
        account["displayName"] = user.displayName;
        account["room"] = room.cNumber;
        account["meetPassword"] = room.meetPassword;
        account["ownerPassword"] = room.ownerPassword;
        out.append(account);
    }
    return out;
}

void ConferenceService::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    load();
}

void ConferenceService::setNoCredit(bool noCredit)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.noCredit = noCredit;
}

std::string ConferenceService::manifest() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.manifest;
}

void ConferenceService::setManifest(std::string manifest)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.manifest = std::move(manifest);
}

std::string ConferenceService::newId()
{
    return randomHex(16);
}

std::string ConferenceService::newRoomNumber()
{
    while (state_.rooms.count(std::to_string(state_.nextRoom)))
        ++state_.nextRoom;
    return std::to_string(state_.nextRoom++);
}

ConferenceService::Meeting& ConferenceService::addMeeting(Meeting meeting)
{
    if (!state_.rooms.emplace(meeting.cNumber, std::string()).second)
        throw std::runtime_error("seed: duplicate room \"" + meeting.cNumber + "\"");
    meeting.id = newId();
    state_.rooms[meeting.cNumber] = meeting.id;
    const std::string id = meeting.id;
    return state_.meetings.emplace(id, std::move(meeting)).first->second;
}

// --- look-ups ----------------------------------------------------------------

ConferenceService::User* ConferenceService::findUser(const std::string& id)
{
    const auto it = state_.users.find(upper(id));
    return it == state_.users.end() ? nullptr : &it->second;
}

ConferenceService::User* ConferenceService::findByLoginName(const std::string& loginName)
{
    // Anonymous users have no login name, so an empty one finds nobody.
    for (auto& [key, user] : state_.users)
        if (!user.anonymous && user.loginName == loginName)
            return &user;
    return nullptr;
}

ConferenceService::User& ConferenceService::requireUser(const std::string& id, int nullCode)
{
    if (id.empty())
        refuse(nullCode, "user id is empty");
    User* user = findUser(id);
    if (!user)
        refuse(code::UserNotExist, "user does not exist");
    return *user;
}

ConferenceService::User& ConferenceService::requireJidUser(const std::string& jid, int nullCode, int illegalCode)
{
    if (jid.empty())
        refuse(nullCode, "address is empty");
    const std::string id = jidUser(jid);
    if (id.empty())
        refuse(illegalCode, "address is illegal");
    return requireUser(id);
}

ConferenceService::Meeting& ConferenceService::requireRoom(const std::string& number)
{
    if (number.empty())
        refuse(code::ConferenceNumberNull, "conference number is empty");
    if (!isRoomNumber(number))
        refuse(code::ConferenceNumberIllegal, "conference number is illegal");
    const auto it = state_.rooms.find(number);
    if (it == state_.rooms.end())
        refuse(code::ConferenceNotExist, "conference does not exist");
    return state_.meetings.at(it->second);
}

ConferenceService::Meeting& ConferenceService::requireLiveRoom(const std::string& number, int notRunningCode)
{
    Meeting& meeting = requireRoom(number);
    if (!isLive(meeting))
        refuse(notRunningCode, "conference is not in progress");
    return meeting;
}

ConferenceService::Meeting& ConferenceService::requireMeeting(const std::string& id)
{
    if (id.empty())
        refuse(code::ConferenceIdNull, "conference id is empty");
    const auto it = state_.meetings.find(id);
    if (it == state_.meetings.end())
        refuse(code::ConferenceNotExist, "conference does not exist");
    return it->second;
}

void ConferenceService::requireModerator(const Meeting& meeting, const std::string& userId) const
{
    const std::string key = upper(userId);
    if (key != meeting.ownerKey && key != upper(jidUser(meeting.moderatorJid)))
        refuse(code::NotModerator, "current user is not moderator");
}

ConferenceService::User& ConferenceService::requireTokenUser(const Call& call)
{
    const auto session = state_.tokens.find(call.accessToken);
    if (call.accessToken.empty() || session == state_.tokens.end())
        refuse(code::UserLoggedOut, "no login with this token");
    return state_.users.at(state_.sessions.at(session->second).userKey);
}

void ConferenceService::requireOwnToken(const Call& call, const User& user)
{
    // Whoever the request names acts only under that user's own login.
    if (&requireTokenUser(call) != &user)
        refuse(code::NoAuthority, "the token belongs to another user");
}

ConferenceService::User& ConferenceService::requireActor(const Call& call, const std::string& id)
{
    User& user = requireUser(id);
    requireOwnToken(call, user);
    return user;
}

ConferenceService::User& ConferenceService::requireJidActor(const Call& call, const std::string& jid)
{
    User& user = requireJidUser(jid);
    requireOwnToken(call, user);
    return user;
}

std::int64_t ConferenceService::clockMs() const
{
    return nowMs() + state_.clockOffsetMs;
}

bool ConferenceService::isOnline(const User& user) const
{
    return user.alwaysOnline || (user.lastSeenMs > 0 && clockMs() - user.lastSeenMs < kOnlineWindowMs);
}

bool ConferenceService::isLive(const Meeting& meeting) const
{
    return meeting.live && clockMs() < meeting.liveEndMs;
}

// Start times of every occurrence: one for a single meeting; for a repeating
// one each day, week or month (local calendar) up to its last day.
std::vector<std::int64_t> ConferenceService::occurrences(const Meeting& meeting) const
{
    if (!meeting.cycle)
        return {meeting.startMs};
    std::vector<std::int64_t> starts;
    const std::tm first = localTime(meeting.startMs);
    const std::string lastDay = localDay(meeting.cycleEndDayMs);
    for (int k = 0; k < kMaxOccurrences; ++k) {
        std::tm tm = first;
        tm.tm_isdst = -1;
        if (meeting.cycleDmy == 0)
            tm.tm_mday += k;
        else if (meeting.cycleDmy == 1)
            tm.tm_mday += 7 * k;
        else
            tm.tm_mon += k;
        const std::time_t start = std::mktime(&tm);
        if (tm.tm_mday != first.tm_mday && meeting.cycleDmy == 2)
            continue;  // no 31st in this month
        const std::int64_t startMs = static_cast<std::int64_t>(start) * 1000;
        if (localDay(startMs) > lastDay)
            break;
        starts.push_back(startMs);
    }
    return starts;
}

std::string ConferenceService::status(const Meeting& meeting) const
{
    if (isLive(meeting))
        return "MSD0";
    if (meeting.type == "CTF1")
        return "MSA0";
    const std::int64_t now = clockMs();
    for (const std::int64_t start : occurrences(meeting))
        if (start + meeting.lengthSec * 1000LL > now)
            return "MSA0";
    return "MSE0";
}

void ConferenceService::startLive(Meeting& meeting, std::int64_t endMs)
{
    meeting.live = true;
    meeting.liveEndMs = endMs;
    meeting.moderatorJid.clear();
    meeting.stageJid.clear();
    meeting.stageScreen = false;
    meeting.locked = false;
    meeting.splitScreen = "0";
    meeting.participants.clear();
    meeting.jids.clear();
    meeting.hands.clear();
    meeting.grantFrom.clear();
    meeting.warnedMinutes = 0;
    meeting.recordingId.clear();
}

// --- answer bodies -------------------------------------------------------------

std::string ConferenceService::gatewayJid() const
{
    return "gateway@" + config_.messageServer;
}

std::string ConferenceService::recorderJid() const
{
    return "recorder@" + config_.messageServer;
}

Json::Value ConferenceService::loginObj(const User& user, const std::string& endpoint, const Session& session) const
{
    Json::Value obj;
    obj["currentTimeMillis"] = session.currentTimeMillis;
    obj["mUserId"] = user.id;
    obj["mUserName"] = user.displayName;
    obj["messageServer"] = config_.messageServer;
    obj["messageServerPort"] = config_.messageServerPort;
    obj["phone"] = user.phone;
    obj["email"] = user.email;
    obj["endpoint"] = endpoint;
    obj["hasRecord"] = !user.anonymous;
    obj["cNumber"] = user.personalMeetingId.empty() ? std::string()
                                                    : state_.meetings.at(user.personalMeetingId).cNumber;
    obj["photo"] = user.photo;
    obj["logo"] = "";
    obj["mainLogo"] = "";
    obj["meetLogo"] = "";
    obj["copyright"] = "velto local server";
    obj["videoNum"] = kMaxVideoNum;
    obj["accessToken"] = session.token;

    const auto iceServer = [](const std::string& url, const std::string& username, const std::string& credential) {
        Json::Value server;
        server["url"] = url;
        server["username"] = username;
        server["credential"] = credential;
        return server;
    };
    Json::Value& iceServers = obj["turn"]["iceServers"];
    iceServers.append(iceServer("stun:" + config_.iceHost + ":3478", "", ""));
    // Clients take the first credential of the list as their message service
    // key: this entry stays ahead of the configured servers.
    iceServers.append(iceServer("turn:" + config_.iceHost + ":3478?transport=udp", "velto", session.secret));
    for (const IceServer& server : config_.iceServers)
        iceServers.append(iceServer(server.url, server.username, server.credential));
    return obj;
}

Json::Value ConferenceService::joinObj(const Meeting& meeting, const std::string& jid) const
{
    const std::string& server = config_.messageServer;
    Json::Value obj;
    obj["videoBandwidth"] = "1024";
    obj["op"] = meeting.moderatorJid == jid ? meeting.ownerPassword : std::string();
    obj["moderatorJid"] = meeting.moderatorJid;
    obj["vb"] = "jvb@" + server;
    obj["focusJid"] = "focus@auth." + server + "/focus";
    obj["title"] = meeting.title;
    obj["resolution"] = "720";
    obj["gw"] = gatewayJid();
    obj["withAudio"] = true;
    obj["r"] = meeting.cNumber;
    obj["withVideo"] = true;
    obj["videoEncoding"] = "VP8";
    obj["audioEncoding"] = "OPUS";
    obj["md5MeetPass"] = md5Hex(meeting.meetPassword);
    obj["stageJid"] = meeting.stageJid;
    obj["maxViewNum"] = std::to_string(meeting.videoNum ? meeting.videoNum : kMaxVideoNum);
    obj["conferenceType"] = meeting.type;
    obj["record"] = recorderJid();
    obj["rules"]["autoRecord"] = meeting.autoRecord;
    obj["rbwc"] = Json::Value(Json::arrayValue);
    for (const auto& [width, height, bandwidth] : {std::array<int, 3>{1920, 1080, 2048},
                                                   std::array<int, 3>{1280, 720, 1024},
                                                   std::array<int, 3>{640, 360, 512}}) {
        Json::Value step;
        step["width"] = width;
        step["height"] = height;
        step["bandwidth"] = bandwidth;
        obj["rbwc"].append(step);
    }
    return obj;
}

Json::Value ConferenceService::meetingObj(const Meeting& meeting, const std::string& viewerKey) const
{
    Json::Value obj;
    obj["mConferenceId"] = meeting.id;
    obj["cNumber"] = meeting.cNumber;
    obj["status"] = status(meeting);
    obj["title"] = meeting.title;
    obj["startTime"] = std::to_string(meeting.startMs);
    obj["lengthTime"] = meeting.lengthSec;
    obj["number"] = meeting.number;
    obj["meetPassword"] = meeting.meetPassword;
    // Only the owner learns the moderator password.
    obj["ownerPassword"] = viewerKey == meeting.ownerKey ? meeting.ownerPassword : std::string();
    obj["cycle"] = meeting.cycle;
    obj["cycleDmy"] = meeting.cycleDmy;
    obj["cycleStartPre"] = std::to_string(meeting.cycleStart);
    obj["cycleEndDay"] = std::to_string(meeting.cycleEndDayMs);
    obj["layout"] = 0u;
    obj["createTime"] = std::to_string(meeting.createMs);
    obj["updateTime"] = std::to_string(meeting.updateMs);
    obj["type"] = meeting.type;
    obj["notice"] = 0u;
    obj["ownerUserId"] = state_.users.at(meeting.ownerKey).id;
    obj["mConferenceUsers"] = Json::Value(Json::arrayValue);
    for (const std::string& key : meeting.memberKeys) {
        const auto it = state_.users.find(key);
        if (it == state_.users.end())
            continue;
        Json::Value member;
        member["mUserId"] = it->second.id;
        member["mConferenceId"] = meeting.id;
        member["owner"] = key == meeting.ownerKey ? "CRUO" : "CRUP";
        member["userName"] = it->second.displayName;
        obj["mConferenceUsers"].append(member);
    }
    return obj;
}

Json::Value ConferenceService::contactObj(const User& user, const std::string& nickname) const
{
    Json::Value obj;
    obj["mUserId"] = user.id;
    obj["userName"] = user.displayName;
    obj["nickName"] = nickname.empty() ? user.displayName : nickname;
    obj["onLine"] = isOnline(user);
    obj["tel"] = user.phone;
    obj["photo"] = user.photo;
    obj["email"] = user.email;
    obj["clientType"] = user.clientType;
    return obj;
}

Json::Value ConferenceService::recordingObj(const Recording& recording) const
{
    const std::string url = "https://" + config_.publicHost + "/records/" + recording.id;
    const bool live = recording.rule == "live";
    Json::Value obj;
    obj["id"] = recording.id;
    obj["resourceId"] = recorderJid();
    obj["userId"] = state_.users.at(recording.userKey).id;
    obj["conferenceId"] = recording.meetingId;
    obj["conferenceNum"] = recording.conferenceNum;
    obj["conferenceTitle"] = recording.conferenceTitle;
    obj["rule"] = recording.rule;
    obj["fileDir"] = "/records/" + recording.id;
    obj["fileUrl"] = live ? std::string() : url + ".mp4";
    obj["pngUrl"] = url + ".png";
    obj["liveUrl"] = live ? url + "/live" : std::string();
    obj["publicLiveUrl"] = live ? url + "/live" : std::string();
    obj["status"] = recording.endSec ? "finished" : "recording";
    obj["startAt"] = static_cast<Json::UInt>(recording.startSec);
    obj["endAt"] = static_cast<Json::UInt>(recording.endSec);
    return obj;
}

// --- the message service's view ----------------------------------------------------

void ConferenceService::setNotifier(std::function<void(Notice)> notifier)
{
    std::lock_guard<std::mutex> lock(mutex_);
    notifier_ = std::move(notifier);
}

void ConferenceService::setMessageServerPort(std::string port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.messageServerPort = std::move(port);
}

void ConferenceService::notify(Notice notice) const
{
    if (notifier_)
        notifier_(std::move(notice));
}

void ConferenceService::notifyRoom(const Meeting& meeting, Json::Value message, std::vector<std::string> to) const
{
    notify({Notice::Kind::Send, meeting.cNumber, std::move(to), std::move(message), {}});
}

std::optional<LiveLogin> ConferenceService::checkLogin(const std::string& userId, const std::string& endpoint,
                                                       const std::string& secret) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = upper(userId);
    const auto session = state_.sessions.find(key + "/" + endpoint);
    const auto user = state_.users.find(key);
    if (secret.empty() || session == state_.sessions.end() || user == state_.users.end())
        return std::nullopt;
    const std::string& expected = session->second.secret;
    if (secret.size() != expected.size() || CRYPTO_memcmp(secret.data(), expected.data(), secret.size()) != 0)
        return std::nullopt;
    return LiveLogin{user->second.id, key, user->second.displayName};
}

void ConferenceService::attachLogin(const std::string& userKey, const std::string& endpoint)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto session = state_.sessions.find(userKey + "/" + endpoint);
    if (session != state_.sessions.end())
        ++session->second.connections;
}

void ConferenceService::detachLogin(const std::string& userKey, const std::string& endpoint, bool loggedOut)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = userKey + "/" + endpoint;
    const auto session = state_.sessions.find(key);
    if (session == state_.sessions.end())
        return;
    Session& login = session->second;
    login.connections = std::max(0, login.connections - 1);
    login.lastSeenMs = clockMs();
    const auto user = state_.users.find(userKey);
    if (loggedOut && login.connections == 0 && user != state_.users.end() && user->second.anonymous)
        forgetSession(key);
}

void ConferenceService::forgetSession(const std::string& sessionKey)
{
    const auto session = state_.sessions.find(sessionKey);
    if (session == state_.sessions.end())
        return;
    const std::string userKey = session->second.userKey;
    state_.tokens.erase(session->second.token);
    state_.sessions.erase(session);
    // An anonymous user is nothing but its one login.
    const auto user = state_.users.find(userKey);
    if (user != state_.users.end() && user->second.anonymous)
        state_.users.erase(user);
}

void ConferenceService::forgetLapsedLogins(std::int64_t now)
{
    std::vector<std::string> lapsed;
    for (const auto& [key, session] : state_.sessions)
        if (session.connections == 0 && now - session.lastSeenMs >= kOnlineWindowMs)
            lapsed.push_back(key);
    for (const std::string& key : lapsed)
        forgetSession(key);
    for (auto it = state_.loginFailures.begin(); it != state_.loginFailures.end();)
        it = now - it->second.lastMs >= kLoginFailureMemoryMs ? state_.loginFailures.erase(it) : std::next(it);
}

bool ConferenceService::mayJoin(const std::string& room, const std::string& jid) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    if (id == state_.rooms.end())
        return false;
    const Meeting& meeting = state_.meetings.at(id->second);
    return isLive(meeting) && std::find(meeting.jids.begin(), meeting.jids.end(), jid) != meeting.jids.end();
}

std::string ConferenceService::moderatorOf(const std::string& room) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    return id == state_.rooms.end() ? std::string() : state_.meetings.at(id->second).moderatorJid;
}

std::vector<std::pair<std::string, std::string>> ConferenceService::handsOf(const std::string& room) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    std::vector<std::pair<std::string, std::string>> hands;
    if (id == state_.rooms.end() || !isLive(state_.meetings.at(id->second)))
        return hands;
    for (const Hand& hand : state_.meetings.at(id->second).hands)
        hands.emplace_back(hand.jid, hand.nickname);
    return hands;
}

void ConferenceService::lowerHand(const std::string& room, const std::string& jid)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    if (id == state_.rooms.end())
        return;
    auto& hands = state_.meetings.at(id->second).hands;
    hands.erase(std::remove_if(hands.begin(), hands.end(), [&](const Hand& hand) { return hand.jid == jid; }),
                hands.end());
}

StageChoice ConferenceService::stageOf(const std::string& room) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    if (id == state_.rooms.end())
        return {};
    const Meeting& meeting = state_.meetings.at(id->second);
    if (!isLive(meeting))
        return {};
    return {meeting.stageJid, meeting.stageScreen, std::atoi(meeting.splitScreen.c_str()), meeting.participants};
}

bool ConferenceService::handOver(const std::string& room, const std::string& from, const std::string& to)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto id = state_.rooms.find(room);
    if (id == state_.rooms.end())
        return false;
    Meeting& meeting = state_.meetings.at(id->second);
    // After a REST grant the chair is already `to`'s: the signalling step only tells the room.
    const bool granted = meeting.moderatorJid == to && !meeting.grantFrom.empty() &&
                         upper(jidUser(from)) == meeting.grantFrom;
    if (!isLive(meeting) || to.empty() || (meeting.moderatorJid != from && !granted))
        return false;
    meeting.moderatorJid = to;
    meeting.grantFrom.clear();
    return true;
}

std::vector<std::string> ConferenceService::watchersOf(const std::string& userKey) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [key, user] : state_.users)
        for (const auto& entry : user.friends)
            if (upper(entry.first) == userKey) {
                keys.push_back(key);
                break;
            }
    return keys;
}

void ConferenceService::advanceClock(std::int64_t ms)
{
    // A century at most in all: the clock's arithmetic never overflows.
    constexpr std::int64_t kMaxOffsetMs = 100LL * 366 * 24 * 3600 * 1000;
    std::lock_guard<std::mutex> lock(mutex_);
    state_.clockOffsetMs += std::clamp<std::int64_t>(ms, 0, kMaxOffsetMs - state_.clockOffsetMs);
}

void ConferenceService::tick()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = clockMs();
    forgetLapsedLogins(now);
    for (auto& [id, meeting] : state_.meetings) {
        if (!meeting.live)
            continue;
        if (now >= meeting.liveEndMs) {
            meeting.live = false;
            notify({Notice::Kind::CloseRoom, meeting.cNumber, {}, {}, {}});
            continue;
        }
        const std::int64_t left = meeting.liveEndMs - now;
        for (const int minutes : {5, 10, 15}) {
            if (left > minutes * kMinuteMs || (meeting.warnedMinutes && meeting.warnedMinutes <= minutes))
                continue;
            meeting.warnedMinutes = minutes;
            Json::Value message;
            message["type"] = "control";
            message["control"] = "toClose";
            message["value"] = std::to_string(minutes);
            notifyRoom(meeting, message);
            break;
        }
    }
}

}  // namespace velto::server
