#pragma once
// What the route families of ConferenceService share: the answer codes, the
// refusal a handler throws, and the readers of texts, numbers and times.
#include "Call.h"
#include "ConferenceService.h"

#include <json/value.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>

namespace velto::server {

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
constexpr int LoginFailed = 604;
constexpr int UserNotExist = 603;
constexpr int UserLoggedOut = 605;
constexpr int NoAuthority = 606;
constexpr int ModeratorPasswordError = 703;
}  // namespace code

constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kEarlyEntryMs = 15 * kMinuteMs;      // a reservation opens this early
constexpr std::int64_t kPersonalRoomRunMs = 120 * kMinuteMs;  // an instant meeting's first run
constexpr std::int64_t kOnlineWindowMs = 20 * kMinuteMs;     // two missed keep-alives and you're gone
constexpr std::int64_t kLoginFailureMemoryMs = 15 * kMinuteMs;  // failed logins older than this are forgiven
constexpr int kAccountFreeFailures = 5;  // failed logins of one account before they are slowed
constexpr int kClientFreeFailures = 20;  // of one client, whatever the accounts
constexpr int kMaxExtendMinutes = 60;
constexpr int kMaxVideoNum = 9;
constexpr int kMaxOccurrences = 1000;

// Thrown by the look-ups and checks of a handler; becomes the answer.
struct Refusal {
    int code;
    std::string msg;
};

// Refuses the request being handled: the answer carries `code` and `msg`.
[[noreturn]] void refuse(int code, std::string msg);
Reply ok(Json::Value obj = Json::Value());

std::string upper(std::string text);
bool containsNoCase(const std::string& haystack, const std::string& needle);
std::int64_t nowMs();
std::tm localTime(std::int64_t ms);
// "yyyy-MM-dd" of the local day; such texts order like the days they name.
std::string localDay(std::int64_t ms);
bool isValidDay(const std::string& text);
// Strict decimal reading: digits only, no sign, no blanks, within `max`.
bool readUnsigned(const std::string& text, unsigned long long max, unsigned long long& out);
// A room number: digits only, at most eleven of them.
bool isRoomNumber(const std::string& text);
std::string randomHex(std::size_t bytes);
std::string md5Hex(const std::string& text);
// The user id of an address "id@server/endpoint"; "" when it has no "@".
std::string jidUser(const std::string& jid);
bool isPhoneNumber(const std::string& text);

// Seed members, type-checked (std::runtime_error when wrong).
std::string seedText(const Json::Value& entry, const char* key);
long long seedNumber(const Json::Value& entry, const char* key);

// Body members of a request, type-checked (a refusal when wrong).
Json::Value bodyObject(const Call& call);
std::string bodyText(const Json::Value& body, const char* key);
// A point in time in milliseconds since the epoch, from 1970 to the year 9999.
std::int64_t bodyTimeMs(const Json::Value& body, const char* key);
unsigned bodyUInt(const Json::Value& body, const char* key, unsigned max);

// A user's contact entry by the contact's user key; end() when it is none.
template <typename Friends>
auto findFriend(Friends& friends, const std::string& key)
{
    return std::find_if(friends.begin(), friends.end(), [&](const auto& entry) { return entry.first == key; });
}

}  // namespace velto::server
