#include "VeltoHttpAnswer.h"

#include <json/reader.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <variant>

namespace velto_http {

namespace {

// The reads of one record: a member that cannot be read spoils the record.
class Reading {
public:
    bool ok() const { return ok_; }

    // `value` as an object to read members from; null reads as an empty one.
    const Json::Value& object(const Json::Value& value) {
        if (!value.isNull() && !value.isObject()) ok_ = false;
        return value;
    }
    // `value` as an array of entries; null reads as an empty one.
    bool isList(const Json::Value& value) {
        if (!value.isNull() && !value.isArray()) ok_ = false;
        return value.isArray();
    }
    std::string text(const Json::Value& object, const char* key) { return take(readText(member(object, key))); }

    void assign(std::string& out, const Json::Value& value) { out = take(readText(value)); }
    void assign(int& out, const Json::Value& value) { out = take(readInt(value)); }
    void assign(unsigned int& out, const Json::Value& value) { out = take(readUInt(value)); }
    void assign(bool& out, const Json::Value& value) { out = take(readBool(value)); }

private:
    template <typename T>
    T take(std::optional<T> value) {
        if (!value) ok_ = false;
        return value.value_or(T{});
    }

    bool ok_ = true;
};

// One member of a record and the answer key that fills it, converted by the
// member's type.
template <typename Record>
struct Field {
    const char* key;
    std::variant<std::string Record::*, int Record::*, unsigned int Record::*, bool Record::*> target;
};

template <typename Record>
void fillFields(Reading& reading, const Json::Value& object, Record& record,
                std::initializer_list<Field<Record>> fields) {
    const Json::Value& source = reading.object(object);
    for (const Field<Record>& field : fields) {
        const Json::Value& value = member(source, field.key);
        std::visit([&](auto target) { reading.assign(record.*target, value); }, field.target);
    }
}

// Fills a copy of `record` and keeps it only when every member could be read.
template <typename Record, typename Fill>
bool fillWhole(Record& record, Fill fill) {
    Reading reading;
    Record filled = record;
    fill(reading, filled);
    if (!reading.ok()) return false;
    record = std::move(filled);
    return true;
}

// The media flags of the join answer are false only for false or "false".
bool mediaFlag(Reading& reading, const Json::Value& object, const char* key) {
    return reading.text(object, key) != "false";
}

template <typename Entry, typename Fill>
std::vector<Entry> readList(Reading& reading, const Json::Value& array, Fill fill) {
    std::vector<Entry> list;
    if (!reading.isList(array)) return list;
    list.reserve(array.size());
    for (const Json::Value& element : array) {
        list.emplace_back();
        fill(reading, element, list.back());
    }
    return list;
}

void fillIceServer(Reading& reading, const Json::Value& element, ice_server& server) {
    using R = ice_server;
    fillFields<R>(reading, element, server,
                  {{"url", &R::url}, {"username", &R::username}, {"credential", &R::credential}});
}

void fillConferenceUser(Reading& reading, const Json::Value& element, conference_user_info& user) {
    using R = conference_user_info;
    fillFields<R>(reading, element, user,
                  {{"mUserId", &R::mUserId}, {"mConferenceId", &R::mConferenceId}, {"owner", &R::owner},
                   {"userName", &R::userName}});
}

void fillContact(Reading& reading, const Json::Value& element, conference_contact& contact) {
    using R = conference_contact;
    fillFields<R>(reading, element, contact,
                  {{"mUserId", &R::mUserId}, {"userName", &R::userName}, {"nickName", &R::nickName},
                   {"onLine", &R::onLine}, {"tel", &R::tel}, {"photo", &R::photo}, {"email", &R::email},
                   {"clientType", &R::clientType}});
    contact.extra.clear();  // the server names no key for it
}

void fillConference(Reading& reading, const Json::Value& obj, conferences_info& info) {
    using R = conferences_info;
    fillFields<R>(reading, obj, info,
                  {{"mConferenceId", &R::mConferenceId}, {"cNumber", &R::cNumber}, {"status", &R::status},
                   {"title", &R::title}, {"startTime", &R::startTime}, {"lengthTime", &R::lengthTime},
                   {"number", &R::number}, {"meetPassword", &R::meetPassword}, {"ownerPassword", &R::ownerPassword},
                   {"cycle", &R::cycle}, {"cycleDmy", &R::cycleDmy}, {"cycleStartPre", &R::cycleStartPre},
                   {"cycleEndDay", &R::cycleEndDay}, {"layout", &R::layout}, {"createTime", &R::createTime},
                   {"updateTime", &R::updateTime}, {"type", &R::type}, {"notice", &R::notice},
                   {"ownerUserId", &R::ownerUserId}});
    info.mConferenceUsers =
        readList<conference_user_info>(reading, member(reading.object(obj), "mConferenceUsers"), fillConferenceUser);
}

// A resolution step whose numbers cannot be read would mislead the choice of the
// video size, so such a step is left out.
std::vector<resolution_bandwidth> readResolutionSteps(Reading& reading, const Json::Value& array) {
    std::vector<resolution_bandwidth> steps;
    if (!reading.isList(array)) return steps;
    for (const Json::Value& element : array) {
        const Json::Value& step = reading.object(element);
        resolution_bandwidth read;
        if (leadingInt(reading.text(step, "width"), read.width) &&
            leadingInt(reading.text(step, "height"), read.height) &&
            leadingInt(reading.text(step, "bandwidth"), read.bandwidth)) {
            steps.push_back(read);
        }
    }
    return steps;
}

const Json::CharReaderBuilder& readerBuilder() {
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;  // comments allowed, any value at the top
        b["collectComments"] = false;
        return b;
    }();
    return builder;
}

bool isSecretKey(std::string_view key) {
    if (key == "p" || key == "op") return true;
    std::string lower(key);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"pass", "token", "credential", "secret"}) {
        if (lower.find(word) != std::string::npos) return true;
    }
    return false;
}

// Index just past the JSON string that starts with the quote at `quote`.
std::size_t stringEnd(std::string_view text, std::size_t quote) {
    std::size_t i = quote + 1;
    while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
    return std::min(i + 1, text.size());
}

std::size_t skipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return i;
}

}  // namespace

const Json::Value& Answer::obj() const { return member(root, "obj"); }

Answer parseAnswer(std::string_view text) {
    Answer answer;
    if (text.empty()) return answer;
    const std::unique_ptr<Json::CharReader> reader(readerBuilder().newCharReader());
    std::string errors;
    try {
        // The parser's verdict is not consulted: a truncated answer keeps what it had.
        reader->parse(text.data(), text.data() + text.size(), &answer.root, &errors);
    } catch (const std::exception&) {
        answer.root = Json::Value();  // nested beyond the parser's depth limit
    }
    const Json::Value& mcode = member(answer.root, "mcode");
    // A code of another type is no code: the answer is not valid.
    answer.code = readInt(mcode.isNull() ? member(answer.root, "code") : mcode).value_or(0);
    return answer;
}

const Json::Value& member(const Json::Value& object, const char* key) {
    if (object.isObject()) {
        if (const Json::Value* value = object.find(key, key + std::strlen(key))) return *value;
    }
    return Json::Value::nullSingleton();
}

std::optional<std::string> readText(const Json::Value& value) {
    if (value.isNull()) return std::string();
    if (value.isString() || value.isBool() || value.isNumeric()) return value.asString();
    return std::nullopt;
}

std::optional<int> readInt(const Json::Value& value) {
    if (value.isNull()) return 0;
    if (value.isBool()) return value.asBool() ? 1 : 0;
    if (value.isNumeric()) {
        const double number = value.asDouble();
        if (number >= INT_MIN && number <= INT_MAX) return value.asInt();
    }
    return std::nullopt;
}

std::optional<unsigned int> readUInt(const Json::Value& value) {
    if (value.isNull()) return 0u;
    if (value.isBool()) return value.asBool() ? 1u : 0u;
    if (value.isNumeric()) {
        const double number = value.asDouble();
        if (number >= 0 && number <= UINT_MAX) return value.asUInt();
    }
    return std::nullopt;
}

std::optional<bool> readBool(const Json::Value& value) {
    if (value.isNull()) return false;
    if (value.isBool() || value.isNumeric()) return value.asBool();
    return std::nullopt;
}

bool leadingInt(const std::string& text, int& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
    out = static_cast<int>(number);
    return true;
}

bool fillLoginInfo(const Json::Value& obj, conference_login_info& info) {
    using R = conference_login_info;
    return fillWhole(info, [&](Reading& reading, R& login) {
        fillFields<R>(reading, obj, login,
                      {{"currentTimeMillis", &R::currentTimeMillis}, {"mUserId", &R::mUserId},
                       {"mUserName", &R::mUserName}, {"messageServer", &R::messageServer},
                       {"messageServerPort", &R::messageServerPort}, {"phone", &R::phone}, {"email", &R::email},
                       {"endpoint", &R::endpoint}, {"hasRecord", &R::hasRecord}, {"cNumber", &R::cNumber},
                       {"photo", &R::photo}, {"logo", &R::logo}, {"mainLogo", &R::mainLogo},
                       {"meetLogo", &R::meetLogo}, {"copyright", &R::copyright}, {"videoNum", &R::videoNum}});
        const Json::Value& turn = reading.object(member(reading.object(obj), "turn"));
        login.iceServers = readList<ice_server>(reading, member(turn, "iceServers"), fillIceServer);
    });
}

bool fillJoinInfo(const Json::Value& obj, conference_join_info& info) {
    using R = conference_join_info;
    return fillWhole(info, [&](Reading& reading, R& join) {
        fillFields<R>(reading, obj, join,
                      {{"videoBandwidth", &R::videoBandwidth}, {"op", &R::op}, {"moderatorJid", &R::moderatorJid},
                       {"vb", &R::vb}, {"focusJid", &R::focusJid}, {"title", &R::title},
                       {"resolution", &R::resolution}, {"gw", &R::gw}, {"r", &R::r},
                       {"videoEncoding", &R::videoEncoding}, {"audioEncoding", &R::audioEncoding},
                       {"md5MeetPass", &R::md5MeetPass}, {"stageJid", &R::stageJid}, {"maxViewNum", &R::maxViewNum},
                       {"conferenceType", &R::conferenceType}, {"record", &R::record}});
        const Json::Value& object = reading.object(obj);
        join.withAudio = mediaFlag(reading, object, "withAudio");
        join.withVideo = mediaFlag(reading, object, "withVideo");
        join.autoRecord = reading.text(reading.object(member(object, "rules")), "autoRecord");
        join.rbwc = readResolutionSteps(reading, member(object, "rbwc"));
    });
}

bool fillConferenceInfo(const Json::Value& obj, conferences_info& info) {
    return fillWhole(info, [&](Reading& reading, conferences_info& detail) { fillConference(reading, obj, detail); });
}

bool fillUserInfo(const Json::Value& obj, query_user_info& info) {
    using R = query_user_info;
    return fillWhole(info, [&](Reading& reading, R& user) {
        fillFields<R>(reading, obj, user,
                      {{"mUserId", &R::mUserId}, {"userName", &R::userName}, {"loginName", &R::loginName},
                       {"loginPassword", &R::loginPassword}, {"status", &R::status},
                       {"accessToken", &R::accessToken}, {"createTime", &R::createTime}, {"lastTime", &R::lastTime},
                       {"email", &R::email}, {"phone", &R::phone}, {"tel", &R::tel}, {"level", &R::level},
                       {"attribution", &R::attribution}, {"type", &R::type}, {"ipSip", &R::ipSip},
                       {"protocol", &R::protocol}, {"creator", &R::creator}, {"info", &R::info},
                       {"meetPassword", &R::meetPassword}, {"ownerPassword", &R::ownerPassword}});
    });
}

bool fillRecordDetails(const Json::Value& obj, record_details& details) {
    using R = record_details;
    return fillWhole(details, [&](Reading& reading, R& record) {
        fillFields<R>(reading, obj, record,
                      {{"id", &R::id}, {"resourceId", &R::resourceId}, {"userId", &R::userId},
                       {"conferenceId", &R::conferenceId}, {"conferenceNum", &R::conferenceNum},
                       {"conferenceTitle", &R::conferenceTitle}, {"rule", &R::rule}, {"fileDir", &R::fileDir},
                       {"fileUrl", &R::fileUrl}, {"pngUrl", &R::pngUrl}, {"liveUrl", &R::liveUrl},
                       {"publicLiveUrl", &R::publicLiveUrl}, {"status", &R::status}, {"startAt", &R::startAt},
                       {"endAt", &R::endAt}});
    });
}

std::optional<conferences> readConferences(const Answer& answer) {
    conferences page;
    const bool read = fillWhole(page, [&](Reading& reading, conferences& filled) {
        if (!leadingInt(reading.text(answer.root, "msg"), filled.total)) filled.total = 0;
        filled.list = readList<conferences_info>(reading, answer.obj(), fillConference);
    });
    return read ? std::optional<conferences>(std::move(page)) : std::nullopt;
}

std::optional<conference_contacts> readContacts(const Answer& answer) {
    conference_contacts contacts;
    const bool read = fillWhole(contacts, [&](Reading& reading, conference_contacts& filled) {
        filled.list = readList<conference_contact>(reading, answer.obj(), fillContact);
    });
    return read ? std::optional<conference_contacts>(std::move(contacts)) : std::nullopt;
}

std::string maskSecrets(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '"') {
            out += text[i++];
            continue;
        }
        const std::size_t keyStart = i;
        i = stringEnd(text, keyStart);
        out.append(text.substr(keyStart, i - keyStart));
        const std::string_view key = text.substr(keyStart + 1, i - keyStart >= 2 ? i - keyStart - 2 : 0);
        std::size_t value = skipSpace(text, i);
        if (value >= text.size() || text[value] != ':' || !isSecretKey(key)) continue;
        value = skipSpace(text, value + 1);
        const bool quoted = value < text.size() && text[value] == '"';
        std::size_t valueEnd = quoted ? stringEnd(text, value) : value;
        while (!quoted && valueEnd < text.size() &&
               std::string_view(",}]{[ \t\r\n").find(text[valueEnd]) == std::string_view::npos) {
            ++valueEnd;
        }
        if (valueEnd == value) continue;  // an object or array stays as it is
        out.append(text.substr(i, value - i));
        out += quoted ? "\"***\"" : "***";
        i = valueEnd;
    }
    return out;
}

}  // namespace velto_http
