#include "ServiceSupport.h"

#include "JsonText.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <chrono>
#include <stdexcept>

namespace velto::server {
namespace {

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

}  // namespace

[[noreturn]] void refuse(int code, std::string msg)
{
    throw Refusal{code, std::move(msg)};
}

Reply ok(Json::Value obj)
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

}  // namespace velto::server
