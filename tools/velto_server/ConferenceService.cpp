#include "ConferenceService.h"

#include "JsonText.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <ctime>
#include <stdexcept>

namespace velto::server {
namespace {

// Answer codes this server gives; the client knows each of them by number.
namespace code {
constexpr int IdNull = 101;
constexpr int JidNull = 102;
constexpr int JidIllegal = 103;
constexpr int GrantJidNull = 104;
constexpr int GrantJidIllegal = 105;
constexpr int UsernameNull = 106;
constexpr int PasswordNull = 107;
constexpr int NicknameNull = 108;
constexpr int ClientTypeNull = 110;
constexpr int ConferenceIdNull = 113;
constexpr int ConferenceNumberNull = 114;
constexpr int ModeratorPasswordNull = 115;
constexpr int LockTypeNull = 117;
constexpr int LockTypeIllegal = 118;
constexpr int TimestampIllegal = 119;
constexpr int RecorderServerNull = 120;
constexpr int RecorderRuleNull = 121;
constexpr int RecorderJidNull = 122;
constexpr int ExtendTimeIllegal = 124;
constexpr int CountNull = 125;
constexpr int CountNotNumber = 126;
constexpr int PageNotNumber = 127;
constexpr int DateIllegal = 129;
constexpr int FriendIdNull = 130;
constexpr int FriendNicknameNull = 131;
constexpr int VideoNumberTooLarge = 139;
constexpr int NoCredit = 301;
constexpr int ConferenceNotExist = 401;
constexpr int ConferenceLocked = 403;
constexpr int ConferencePasswordError = 406;
constexpr int ConferenceNumberIllegal = 408;
constexpr int ConferenceEnded = 411;
constexpr int EndsInThePast = 414;
constexpr int ParticipantsRequired = 417;
constexpr int NotInProgress = 420;
constexpr int TooEarly = 424;
constexpr int AlreadyBegun = 426;
constexpr int NotReserved = 427;
constexpr int RequestFailed = 500;
constexpr int RecordPasswordError = 501;
constexpr int RecorderNotExist = 502;
constexpr int RecordNotInProgress = 503;
constexpr int NotModerator = 507;
constexpr int RecorderRuleError = 510;
constexpr int SipNumberError = 511;
constexpr int RecorderExists = 512;
constexpr int LoginError = 601;
constexpr int UserNotExist = 603;
constexpr int UserLoggedOut = 605;
constexpr int NoAuthority = 606;
constexpr int ModeratorPasswordError = 703;
}  // namespace code

constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kEarlyEntryMs = 15 * kMinuteMs;      // a reservation opens this early
constexpr std::int64_t kPersonalRoomRunMs = 120 * kMinuteMs;  // an instant meeting's first run
constexpr std::int64_t kOnlineWindowMs = 20 * kMinuteMs;     // two missed keep-alives and you're gone
constexpr int kMaxExtendMinutes = 60;
constexpr int kMaxVideoNum = 9;
constexpr int kMaxOccurrences = 1000;

// Thrown by the look-ups and checks of a handler; becomes the answer.
struct Refusal {
    int code;
    std::string msg;
};

[[noreturn]] void refuse(int code, std::string msg)
{
    throw Refusal{code, std::move(msg)};
}

Reply ok(Json::Value obj = Json::Value())
{
    Reply reply;
    reply.obj = std::move(obj);
    return reply;
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool containsNoCase(const std::string& haystack, const std::string& needle)
{
    return upper(haystack).find(upper(needle)) != std::string::npos;
}

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::tm localTime(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return tm;
}

// "yyyy-MM-dd" of the local day; such texts order like the days they name.
std::string localDay(std::int64_t ms)
{
    const std::tm tm = localTime(ms);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

bool isValidDay(const std::string& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    std::tm tm{};
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    tm.tm_year = std::stoi(text.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(text.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(text.substr(8, 2));
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const int month = tm.tm_mon;
    const int day = tm.tm_mday;
    return std::mktime(&tm) != -1 && tm.tm_mon == month && tm.tm_mday == day;
}

// Strict decimal reading: digits only, no sign, no blanks, within `max`.
bool readUnsigned(const std::string& text, unsigned long long max, unsigned long long& out)
{
    if (text.empty() || text.size() > 19)
        return false;
    unsigned long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > max)
        return false;
    out = value;
    return true;
}

// A room number: digits only, at most eleven of them.
bool isRoomNumber(const std::string& text)
{
    unsigned long long unused = 0;
    return readUnsigned(text, 99999999999ULL, unused);
}

std::string hex(const unsigned char* bytes, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

std::string randomHex(std::size_t bytes)
{
    unsigned char buffer[32];
    if (bytes > sizeof buffer || RAND_bytes(buffer, static_cast<int>(bytes)) != 1)
        throw std::runtime_error("no random bytes");
    return hex(buffer, bytes);
}

std::string md5Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr) != 1)
        return std::string();
    return hex(digest, size);
}

// The user id of an address "id@server/endpoint"; "" when it has no "@".
std::string jidUser(const std::string& jid)
{
    const auto at = jid.find('@');
    return at == std::string::npos || at == 0 ? std::string() : jid.substr(0, at);
}

bool isPhoneNumber(const std::string& text)
{
    const std::size_t digitsFrom = !text.empty() && text[0] == '+' ? 1 : 0;
    const std::size_t digits = text.size() - digitsFrom;
    return digits >= 3 && digits <= 20 &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digitsFrom), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string seedText(const Json::Value& entry, const char* key)
{
    const Json::Value& value = entry[key];
    if (value.isNull())
        return std::string();
    if (!value.isString())
        throw std::runtime_error(std::string("seed: \"") + key + "\" must be a text");
    return value.asString();
}

long long seedNumber(const Json::Value& entry, const char* key)
{
    const Json::Value& value = entry[key];
    if (value.isNull())
        return 0;
    if (!value.isIntegral())
        throw std::runtime_error(std::string("seed: \"") + key + "\" must be an integer");
    return value.asInt64();
}

// Body members of the reservation request, type-checked.
std::string bodyText(const Json::Value& body, const char* key)
{
    const Json::Value& value = body[key];
    if (value.isNull())
        return std::string();
    if (!value.isString())
        refuse(code::RequestFailed, std::string("\"") + key + "\" must be a text");
    return value.asString();
}

// A point in time in milliseconds since the epoch, from 1970 to the year 9999,
// so that the time arithmetic on it cannot overflow.
std::int64_t bodyTimeMs(const Json::Value& body, const char* key)
{
    constexpr std::int64_t kLastMs = 253402300799999;  // 9999-12-31 23:59:59.999 UTC
    const Json::Value& value = body[key];
    if (!value.isIntegral() || !value.isInt64() || value.asInt64() < 0 || value.asInt64() > kLastMs)
        refuse(code::DateIllegal, std::string("\"") + key + "\" must be a time in milliseconds");
    return value.asInt64();
}

// A user's contact entry by the contact's user key; end() when it is none.
template <typename Friends>
auto findFriend(Friends& friends, const std::string& key)
{
    return std::find_if(friends.begin(), friends.end(), [&](const auto& entry) { return entry.first == key; });
}

// The request body as a JSON object.
Json::Value bodyObject(const Call& call)
{
    Json::Value body;
    if (!parseJson(call.body, body) || !body.isObject())
        refuse(code::RequestFailed, "body must be a JSON object");
    return body;
}

unsigned bodyUInt(const Json::Value& body, const char* key, unsigned max)
{
    const Json::Value& value = body[key];
    if (value.isNull())
        return 0;
    if (!value.isIntegral() || !value.isUInt() || value.asUInt() > max)
        refuse(code::RequestFailed, std::string("\"") + key + "\" is out of range");
    return value.asUInt();
}

}  // namespace

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
    user.accessToken = randomHex(16);
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

Json::Value ConferenceService::loginObj(const User& user, const std::string& endpoint, const std::string& millis,
                                        const std::string& secret) const
{
    Json::Value obj;
    obj["currentTimeMillis"] = millis;
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

    Json::Value stun;
    stun["url"] = "stun:127.0.0.1:3478";
    stun["username"] = "";
    stun["credential"] = "";
    Json::Value turn;
    turn["url"] = "turn:127.0.0.1:3478?transport=udp";
    turn["username"] = "velto";
    turn["credential"] = secret;
    obj["turn"]["iceServers"].append(stun);
    obj["turn"]["iceServers"].append(turn);
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

// --- login and keep-alive ------------------------------------------------------

Reply ConferenceService::login(const Call& call, const Args&)
{
    const std::string& username = call.param("username");
    const std::string& password = call.param("password");
    const std::string& clientType = call.param("clientType");
    if (username.empty())
        refuse(code::UsernameNull, "username is empty");
    if (password.empty())
        refuse(code::PasswordNull, "password is empty");
    if (clientType.empty())
        refuse(code::ClientTypeNull, "client type is empty");
    User* user = findByLoginName(username);
    // One answer for unknown names and wrong passwords: nothing to probe.
    if (!user || user->password != password)
        refuse(code::LoginError, "username or password error");
    return openSession(*user, clientType);
}

Reply ConferenceService::loginAnonymous(const Call& call, const Args&)
{
    const std::string& nickname = call.param("nickname");
    const std::string& clientType = call.param("clientType");
    if (nickname.empty())
        refuse(code::NicknameNull, "nickname is empty");
    if (clientType.empty())
        refuse(code::ClientTypeNull, "client type is empty");
    User user;
    user.id = newId();
    user.displayName = nickname;
    user.anonymous = true;
    user.accessToken = randomHex(16);
    user.createMs = clockMs();
    const std::string key = upper(user.id);
    return openSession(state_.users.emplace(key, std::move(user)).first->second, clientType);
}

Reply ConferenceService::openSession(User& user, const std::string& clientType)
{
    const std::int64_t now = clockMs();
    const std::string endpoint = "ep" + std::to_string(++state_.serial);
    const std::string millis = std::to_string(now);
    const std::string secret = randomHex(16);
    state_.sessions[upper(user.id) + "/" + endpoint] = Session{millis, secret};
    user.lastSeenMs = now;
    user.clientType = clientType;
    return ok(loginObj(user, endpoint, millis, secret));
}

Reply ConferenceService::keepAlive(const Call&, const Args& args)
{
    User& user = requireUser(args[0]);
    const auto session = state_.sessions.find(upper(user.id) + "/" + args[1]);
    if (session == state_.sessions.end())
        refuse(code::UserLoggedOut, "no such login");
    if (session->second.currentTimeMillis != args[2])
        refuse(code::TimestampIllegal, "timestamp does not match the login");
    user.lastSeenMs = clockMs();
    return ok();
}

// --- meetings ------------------------------------------------------------------

Reply ConferenceService::createOrJoin(const Call& call, const Args&)
{
    const std::string& jid = call.param("j");
    const std::string& room = call.param("r");
    const std::string& password = call.param("p");
    const std::string& ownerPassword = call.param("op");
    User& user = requireJidUser(jid);

    // No room number: the user's own room, as an instant meeting.
    if (room.empty() && user.personalMeetingId.empty())
        refuse(code::ConferenceNumberNull, "anonymous users have no room of their own");
    Meeting& meeting = room.empty() ? state_.meetings.at(user.personalMeetingId) : requireRoom(room);

    const std::string key = upper(user.id);
    const bool owner = key == meeting.ownerKey;
    if (!ownerPassword.empty() && ownerPassword != meeting.ownerPassword)
        refuse(code::ModeratorPasswordError, "moderator password error");
    const bool claimsModerator = owner || !ownerPassword.empty();
    if (!claimsModerator) {
        if (isLive(meeting) && meeting.locked)
            refuse(code::ConferenceLocked, "conference is locked");
        if (!meeting.meetPassword.empty() && password != meeting.meetPassword &&
            password != meeting.ownerPassword)
            refuse(code::ConferencePasswordError, "conference password error");
    }

    if (!isLive(meeting)) {
        const std::int64_t now = clockMs();
        if (meeting.type == "CTF1") {
            startLive(meeting, now + kPersonalRoomRunMs);
        } else {
            const std::int64_t lengthMs = meeting.lengthSec * 1000LL;
            const auto starts = occurrences(meeting);
            const auto next = std::find_if(starts.begin(), starts.end(),
                                           [&](std::int64_t start) { return start + lengthMs > now; });
            if (next == starts.end())
                refuse(code::ConferenceEnded, "conference has ended");
            if (now < *next - kEarlyEntryMs)
                refuse(code::TooEarly, "conference opens 15 minutes before its start");
            startLive(meeting, *next + lengthMs);
        }
    }

    // The owner always takes the chair; a correct moderator password takes a free one.
    if (owner || (claimsModerator && (meeting.moderatorJid.empty() ||
                                      upper(jidUser(meeting.moderatorJid)) == key)))
        meeting.moderatorJid = jid;
    if (std::find(meeting.jids.begin(), meeting.jids.end(), jid) == meeting.jids.end())
        meeting.jids.push_back(jid);
    return ok(joinObj(meeting, jid));
}

Reply ConferenceService::grantAdmin(const Call& call, const Args&)
{
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& target = call.param("j");
    if (target.empty())
        refuse(code::GrantJidNull, "address of the new moderator is empty");
    if (jidUser(target).empty())
        refuse(code::GrantJidIllegal, "address of the new moderator is illegal");
    requireUser(call.param("i"));
    requireModerator(meeting, call.param("i"));
    // The granting client hands the chair over by signalling next, which
    // tells the room.
    meeting.moderatorJid = target;
    meeting.grantFrom = upper(call.param("i"));
    return ok();
}

Reply ConferenceService::getModerator(const Call& call, const Args&)
{
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& jid = call.param("j");
    requireJidUser(jid);
    const std::string& password = call.param("p");
    if (password.empty())
        refuse(code::ModeratorPasswordNull, "moderator password is empty");
    if (password != meeting.ownerPassword)
        refuse(code::ModeratorPasswordError, "moderator password error");
    meeting.moderatorJid = jid;
    notify({Notice::Kind::ModeratorChanged, meeting.cNumber, {}, {}, jid});
    return ok();
}

Reply ConferenceService::extendConference(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const std::string& userId = call.param("userId");
    requireUser(userId);
    unsigned long long minutes = 0;
    if (!readUnsigned(call.param("lengthTime"), kMaxExtendMinutes, minutes) || minutes == 0)
        refuse(code::ExtendTimeIllegal, "extension must be 1 to 60 minutes");
    requireModerator(meeting, userId);
    meeting.liveEndMs += static_cast<std::int64_t>(minutes) * kMinuteMs;
    meeting.lengthSec += static_cast<unsigned>(minutes * 60);
    meeting.warnedMinutes = 0;
    return ok();
}

Reply ConferenceService::listConferences(const Call& call, const Args& args)
{
    const User& user = requireUser(args[0]);
    const std::string& countText = call.param("count");
    unsigned long long count = 0;
    unsigned long long page = 0;
    if (countText.empty())
        refuse(code::CountNull, "count is empty");
    if (!readUnsigned(countText, 1000000, count))
        refuse(code::CountNotNumber, "count must be a number");
    if (!readUnsigned(call.param("page"), 1000000, page) || page == 0)
        refuse(code::PageNotNumber, "page must be a number from 1");
    const std::string& date = call.param("date");
    if (!date.empty() && !isValidDay(date))
        refuse(code::DateIllegal, "date must be yyyy-MM-dd");
    const std::string& type = call.param("type");
    const std::string& statusFilter = call.param("status");
    const std::string& search = call.param("search");

    // With a status filter the date means "from this day on" (the reservation
    // list), without one "on this day" (the day's meetings).
    const auto onDate = [&](const Meeting& meeting) {
        if (date.empty() || meeting.type == "CTF1")
            return true;
        for (const std::int64_t start : occurrences(meeting)) {
            const std::string day = localDay(start);
            if (statusFilter.empty() ? day == date : day >= date)
                return true;
        }
        return false;
    };

    const std::string key = upper(user.id);
    std::vector<const Meeting*> found;
    for (const auto& [id, meeting] : state_.meetings) {
        if (std::find(meeting.memberKeys.begin(), meeting.memberKeys.end(), key) == meeting.memberKeys.end())
            continue;
        if ((!type.empty() && meeting.type != type) || (!statusFilter.empty() && status(meeting) != statusFilter))
            continue;
        if (!onDate(meeting))
            continue;
        if (!search.empty() && !containsNoCase(meeting.title, search) &&
            meeting.cNumber.find(search) == std::string::npos)
            continue;
        found.push_back(&meeting);
    }
    std::sort(found.begin(), found.end(), [](const Meeting* a, const Meeting* b) {
        return a->startMs != b->startMs ? a->startMs < b->startMs : a->cNumber < b->cNumber;
    });

    // count 0 asks for every meeting; otherwise one page of `count`.
    std::size_t from = 0;
    std::size_t to = found.size();
    if (count > 0) {
        from = std::min<std::size_t>(found.size(), (page - 1) * count);
        to = std::min<std::size_t>(found.size(), from + count);
    }
    Reply reply = ok(Json::Value(Json::arrayValue));
    reply.msg = std::to_string(found.size());
    for (std::size_t i = from; i < to; ++i)
        reply.obj.append(meetingObj(*found[i], key));
    return reply;
}

Reply ConferenceService::bookConference(const Call& call, const Args& args)
{
    const User& user = requireUser(args[0]);
    const std::string key = upper(user.id);
    const Json::Value body = bodyObject(call);

    const Json::Value& users = body["mConferenceUsers"];
    if (!users.isArray() || users.empty())
        refuse(code::ParticipantsRequired, "participants are required");
    std::vector<std::string> members{key};
    for (const Json::Value& entry : users) {
        if (!entry.isObject())
            refuse(code::ParticipantsRequired, "participants must be objects");
        const std::string member = upper(requireUser(bodyText(entry, "mUserId")).id);
        if (std::find(members.begin(), members.end(), member) == members.end())
            members.push_back(member);
    }

    Meeting draft;
    draft.title = bodyText(body, "title");
    if (draft.title.empty())
        refuse(code::RequestFailed, "title is empty");
    draft.startMs = bodyTimeMs(body, "startTime");
    draft.lengthSec = bodyUInt(body, "lengthTime", 7 * 24 * 3600);
    if (draft.lengthSec == 0)
        refuse(code::RequestFailed, "lengthTime must be positive");
    draft.number = bodyUInt(body, "number", 1000);
    draft.meetPassword = bodyText(body, "meetPassword");
    draft.ownerPassword = bodyText(body, "ownerPassword");
    draft.cycle = bodyUInt(body, "cycle", 1);
    draft.cycleDmy = bodyUInt(body, "cycleDmy", 2);
    draft.cycleStart = bodyUInt(body, "cycleStart", 24 * 3600 - 1);
    if (draft.cycle)
        draft.cycleEndDayMs = bodyTimeMs(body, "cycleEndDay");
    const std::string autoRecord = bodyText(body, "autoRecord");
    if (!autoRecord.empty() && autoRecord != "CRAO" && autoRecord != "CRAC")
        refuse(code::RequestFailed, "autoRecord must be CRAO or CRAC");
    draft.autoRecord = autoRecord.empty() ? "CRAC" : autoRecord;
    const Json::Value& videoNum = body["videoNum"];
    if (!videoNum.isNull() && (!videoNum.isInt() || videoNum.asInt() < 0 || videoNum.asInt() > kMaxVideoNum))
        refuse(code::VideoNumberTooLarge, "videoNum is at most 9");
    draft.videoNum = videoNum.isNull() ? 0 : videoNum.asInt();

    const std::int64_t now = clockMs();
    const std::int64_t lastStart = draft.cycle ? draft.cycleEndDayMs : draft.startMs;
    if (lastStart < draft.startMs || lastStart + draft.lengthSec * 1000LL <= now)
        refuse(code::EndsInThePast, "the conference would end in the past");

    const std::string id = bodyText(body, "mConferenceId");
    if (id.empty()) {
        draft.type = "CTA0";
        draft.ownerKey = key;
        draft.memberKeys = std::move(members);
        draft.createMs = draft.updateMs = now;
        draft.cNumber = newRoomNumber();
        return ok(meetingObj(addMeeting(std::move(draft)), key));
    }

    Meeting& meeting = requireMeeting(id);
    if (meeting.type == "CTF1")
        refuse(code::NotReserved, "a personal room is not a reservation");
    if (meeting.ownerKey != key)
        refuse(code::NoAuthority, "only the owner changes a reservation");
    if (isLive(meeting) || (!meeting.cycle && now >= meeting.startMs))
        refuse(code::AlreadyBegun, "the conference has begun");
    draft.id = meeting.id;
    draft.cNumber = meeting.cNumber;
    draft.type = meeting.type;
    draft.ownerKey = meeting.ownerKey;
    draft.memberKeys = std::move(members);
    draft.createMs = meeting.createMs;
    draft.updateMs = now;
    meeting = std::move(draft);
    return ok(meetingObj(meeting, key));
}

Reply ConferenceService::conferenceDetail(const Call&, const Args& args)
{
    const User& user = requireUser(args[1]);
    return ok(meetingObj(requireMeeting(args[0]), upper(user.id)));
}

Reply ConferenceService::deleteConference(const Call&, const Args& args)
{
    const User& user = requireUser(args[1]);
    Meeting& meeting = requireMeeting(args[0]);
    if (meeting.type == "CTF1")
        refuse(code::NotReserved, "a personal room cannot be deleted");
    if (meeting.ownerKey != upper(user.id))
        refuse(code::NoAuthority, "only the owner deletes a reservation");
    if (isLive(meeting))
        refuse(code::AlreadyBegun, "the conference is running");
    state_.rooms.erase(meeting.cNumber);
    state_.meetings.erase(meeting.id);
    return ok();
}

// --- contacts and account --------------------------------------------------------

Reply ConferenceService::selectFriends(const Call& call, const Args& args)
{
    const User& user = requireUser(args[0]);
    const std::string& search = call.param("search");
    Reply reply = ok(Json::Value(Json::arrayValue));
    for (const auto& [key, other] : state_.users) {
        if (other.anonymous || &other == &user)
            continue;
        if (!search.empty() && !containsNoCase(other.displayName, search) &&
            !containsNoCase(other.loginName, search) && other.phone.find(search) == std::string::npos)
            continue;
        const auto known = findFriend(user.friends, key);
        reply.obj.append(contactObj(other, known == user.friends.end() ? std::string() : known->second));
    }
    return reply;
}

Reply ConferenceService::listFriends(const Call&, const Args& args)
{
    const User& user = requireUser(args[0]);
    Reply reply = ok(Json::Value(Json::arrayValue));
    for (const auto& [key, nickname] : user.friends)
        if (const auto it = state_.users.find(key); it != state_.users.end())
            reply.obj.append(contactObj(it->second, nickname));
    return reply;
}

Reply ConferenceService::addFriend(const Call& call, const Args& args)
{
    User& user = requireUser(args[0]);
    const User& other = requireUser(args[1], code::FriendIdNull);
    if (&other == &user)
        refuse(code::RequestFailed, "a user cannot add himself");
    const Json::Value body = bodyObject(call);
    if (!body["nickname"].isString())
        refuse(code::FriendNicknameNull, "nickname is missing");
    const std::string nickname = body["nickname"].asString();
    const std::string key = upper(other.id);
    const auto known = findFriend(user.friends, key);
    if (known == user.friends.end())
        user.friends.emplace_back(key, nickname);
    else
        known->second = nickname;
    return ok();
}

Reply ConferenceService::deleteFriend(const Call&, const Args& args)
{
    User& user = requireUser(args[0]);
    if (args[1].empty())
        refuse(code::FriendIdNull, "friend id is empty");
    const std::string key = upper(args[1]);
    const auto known = findFriend(user.friends, key);
    if (known == user.friends.end())
        refuse(code::UserNotExist, "not a contact");
    user.friends.erase(known);
    return ok();
}

Reply ConferenceService::queryUser(const Call&, const Args& args)
{
    const User& user = requireUser(args[0]);
    const Meeting* room = user.personalMeetingId.empty() ? nullptr : &state_.meetings.at(user.personalMeetingId);
    Json::Value obj;
    obj["mUserId"] = user.id;
    obj["userName"] = user.displayName;
    obj["loginName"] = user.loginName;
    obj["loginPassword"] = "";  // never handed out
    obj["status"] = "1";
    obj["accessToken"] = user.accessToken;
    obj["createTime"] = std::to_string(user.createMs);
    obj["lastTime"] = std::to_string(user.lastSeenMs);
    obj["email"] = user.email;
    obj["phone"] = user.phone;
    obj["tel"] = user.phone;
    obj["level"] = "1";
    obj["attribution"] = "";
    obj["type"] = user.anonymous ? "anonymous" : "user";
    obj["ipSip"] = "";
    obj["protocol"] = "";
    obj["creator"] = "admin";
    obj["info"] = "";
    obj["meetPassword"] = room ? room->meetPassword : std::string();
    obj["ownerPassword"] = room ? room->ownerPassword : std::string();
    return ok(obj);
}

Reply ConferenceService::modifyUser(const Call& call, const Args&)
{
    const Json::Value body = bodyObject(call);
    const User& user = requireUser(bodyText(body, "mUserId"));
    if (user.personalMeetingId.empty())
        refuse(code::NoAuthority, "anonymous users have no room of their own");
    const std::string ownerPassword = bodyText(body, "ownerPassword");
    if (ownerPassword.empty())
        refuse(code::ModeratorPasswordNull, "moderator password is empty");
    Meeting& room = state_.meetings.at(user.personalMeetingId);
    room.meetPassword = bodyText(body, "meetPassword");
    room.ownerPassword = ownerPassword;
    room.updateMs = clockMs();
    return ok();
}

// --- in-meeting control ------------------------------------------------------------

Reply ConferenceService::lockConference(const Call& call, const Args&)
{
    const std::string& userId = call.param("i");
    requireUser(userId);
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& lock = call.param("l");
    if (lock.empty())
        refuse(code::LockTypeNull, "lock type is empty");
    if (lock != "true" && lock != "false")
        refuse(code::LockTypeIllegal, "lock type must be true or false");
    requireModerator(meeting, userId);
    meeting.locked = lock == "true";
    Json::Value message;
    message["type"] = "control";
    message["control"] = "lock";
    message["value"] = lock;
    notifyRoom(meeting, message);
    return ok();
}

Reply ConferenceService::startRecord(const Call& call, const Args& args)
{
    const User& user = requireUser(args[0]);
    Meeting& meeting = requireLiveRoom(args[1], code::RecordNotInProgress);
    requireJidUser(call.param("userJid"));
    requireModerator(meeting, user.id);
    const std::string& rule = call.param("rule");
    if (rule.empty())
        refuse(code::RecorderRuleNull, "recording rule is empty");
    if (rule != "recording" && rule != "live")
        refuse(code::RecorderRuleError, "unknown recording rule");
    if (call.param("record").empty())
        refuse(code::RecorderServerNull, "recorder is empty");
    const std::string& roomPassword = call.param("roomPassword");
    if (!meeting.meetPassword.empty() && roomPassword != meeting.meetPassword &&
        roomPassword != meeting.ownerPassword)
        refuse(code::RecordPasswordError, "conference password error");
    if (!meeting.recordingId.empty())
        refuse(code::RecorderExists, "the conference is being recorded");

    Recording recording;
    recording.id = newId();
    recording.userKey = upper(user.id);
    recording.meetingId = meeting.id;
    recording.conferenceNum = meeting.cNumber;
    recording.conferenceTitle = meeting.title;
    recording.rule = rule;
    recording.startSec = clockMs() / 1000;
    meeting.recordingId = recording.id;
    state_.recordings.push_back(recording);
    Json::Value message;
    message["type"] = "record";
    message["jid"] = recorderJid() + "/" + recording.id;
    message["on"] = true;
    notifyRoom(meeting, message);
    return ok(recordingObj(recording));
}

Reply ConferenceService::stopRecord(const Call& call, const Args& args)
{
    const User& user = requireUser(args[0]);
    Meeting& meeting = requireLiveRoom(args[1], code::RecordNotInProgress);
    if (call.param("recordJid").empty())
        refuse(code::RecorderJidNull, "recorder address is empty");
    requireJidUser(call.param("userJid"));
    requireModerator(meeting, user.id);
    const auto recording = std::find_if(state_.recordings.begin(), state_.recordings.end(),
                                        [&](const Recording& r) { return r.id == meeting.recordingId; });
    if (meeting.recordingId.empty() || recording == state_.recordings.end())
        refuse(code::RecorderNotExist, "the conference is not being recorded");
    recording->endSec = clockMs() / 1000;
    meeting.recordingId.clear();
    Json::Value message;
    message["type"] = "record";
    message["jid"] = recorderJid() + "/" + recording->id;
    message["on"] = false;
    notifyRoom(meeting, message);
    return ok();
}

Reply ConferenceService::myRecords(const Call&, const Args& args)
{
    const std::string key = upper(requireUser(args[0]).id);
    const auto latest = std::find_if(state_.recordings.rbegin(), state_.recordings.rend(),
                                     [&](const Recording& r) { return r.userKey == key; });
    if (latest == state_.recordings.rend())
        refuse(code::RecorderNotExist, "no recordings");
    return ok(recordingObj(*latest));
}

Reply ConferenceService::recordDetails(const Call&, const Args& args)
{
    const std::string key = upper(requireUser(args[0]).id);
    const auto recording = std::find_if(state_.recordings.begin(), state_.recordings.end(), [&](const Recording& r) {
        return r.userKey == key && r.id == args[1];
    });
    if (recording == state_.recordings.end())
        refuse(code::RecorderNotExist, "no such recording");
    return ok(recordingObj(*recording));
}

Reply ConferenceService::setStage(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidUser(call.param("userJid"));
    const std::string& screen = call.param("screen");
    if (screen != "true" && screen != "false")
        refuse(code::RequestFailed, "screen must be true or false");
    requireModerator(meeting, user.id);
    meeting.stageJid = call.param("stageJid");
    meeting.stageScreen = screen == "true";
    // The main screen is entry 0 of a chosen list too.
    meeting.participants = withOnStage(meeting.participants, endpointOf(meeting.stageJid));
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::splitScreen(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidUser(call.param("userJid"));
    unsigned long long layout = 0;
    if (!readUnsigned(call.param("splitScreen"), 99, layout))
        refuse(code::RequestFailed, "splitScreen must be a layout number");
    requireModerator(meeting, user.id);
    meeting.splitScreen = std::to_string(layout);
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::selectParticipants(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidUser(call.param("userJid"));
    const std::string& participants = call.param("participants");
    if (participants.empty())
        refuse(code::ParticipantsRequired, "participants are required");
    requireModerator(meeting, user.id);
    meeting.participants = participants;
    // In surround mode the first entry is the main screen: its member goes on stage.
    const std::string first = participants.substr(0, participants.find(','));
    const auto onStage = std::find_if(meeting.jids.begin(), meeting.jids.end(),
                                      [&](const std::string& jid) { return endpointOf(jid) == first; });
    if (meeting.splitScreen == "0" && onStage != meeting.jids.end() && *onStage != meeting.stageJid) {
        meeting.stageJid = *onStage;
        meeting.stageScreen = false;
    }
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::conferenceResources(const Call& call, const Args&)
{
    requireRoom(call.param("roomNumber"));
    requireJidUser(call.param("userJid"));
    Json::Value obj;
    obj["gw"] = gatewayJid();
    obj["record"] = recorderJid();
    return ok(obj);
}

Reply ConferenceService::handsUp(const Call& call, const Args& args)
{
    const std::string& action = args[0];
    if (action != "apply" && action != "agree" && action != "refuse")
        refuse(code::RequestFailed, "action must be apply, agree or refuse");
    Meeting& meeting = requireLiveRoom(args[1]);
    const std::string& jid = call.param("userJid");
    requireJidUser(jid);
    const auto hand = std::find_if(meeting.hands.begin(), meeting.hands.end(),
                                   [&](const Hand& h) { return h.jid == jid; });
    std::string nickname = call.param("nickname");
    if (action == "apply") {
        if (hand == meeting.hands.end())
            meeting.hands.push_back({jid, nickname});
        else
            hand->nickname = nickname;
    } else if (hand != meeting.hands.end()) {
        if (nickname.empty())
            nickname = hand->nickname;
        meeting.hands.erase(hand);
    }
    // The moderator learns of a raised hand; the named user of the answer.
    Json::Value message;
    message["type"] = "handsUp";
    message["action"] = action;
    message["jid"] = jid;
    message["nickname"] = nickname;
    notifyRoom(meeting, message, {meeting.moderatorJid, jid});
    return ok();
}

Reply ConferenceService::callPhone(const Call& call, const Args& args)
{
    const std::string& phone = args[0];
    if (!isPhoneNumber(phone))
        refuse(code::SipNumberError, "not a telephone number");
    requireLiveRoom(call.param("roomNumber"));
    requireJidUser(call.param("userJid"));
    if (state_.noCredit)
        refuse(code::NoCredit, "no credit left for calls");
    return ok(Json::Value(phone + "@gateway." + config_.messageServer));
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
