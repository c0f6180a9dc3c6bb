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

std::string text(const Json::Value& object, const char* key) { return readText(member(object, key)); }

void assign(std::string& out, const Json::Value& value) { out = readText(value); }
void assign(int& out, const Json::Value& value) { out = readInt(value); }
void assign(unsigned int& out, const Json::Value& value) { out = readUInt(value); }
void assign(bool& out, const Json::Value& value) { out = readBool(value); }

// One member of a record and the answer key that fills it, converted by the
// member's type.
template <typename Record>
struct Field {
    const char* key;
    std::variant<std::string Record::*, int Record::*, unsigned int Record::*, bool Record::*> target;
};

template <typename Record>
void fillFields(const Json::Value& object, Record& record, std::initializer_list<Field<Record>> fields) {
    for (const Field<Record>& field : fields) {
        const Json::Value& value = member(object, field.key);
        std::visit([&](auto target) { assign(record.*target, value); }, field.target);
    }
}

// The media flags of the join answer are false only for false or "false".
bool mediaFlag(const Json::Value& object, const char* key) { return text(object, key) != "false"; }

template <typename Entry, typename Fill>
std::vector<Entry> readList(const Json::Value& array, Fill fill) {
    std::vector<Entry> list;
    if (!array.isArray()) return list;
    list.reserve(array.size());
    for (const Json::Value& element : array) {
        list.emplace_back();
        fill(element, list.back());
    }
    return list;
}

void fillIceServer(const Json::Value& element, ice_server& server) {
    using R = ice_server;
    fillFields<R>(element, server, {{"url", &R::url}, {"username", &R::username}, {"credential", &R::credential}});
}

void fillConferenceUser(const Json::Value& element, conference_user_info& user) {
    using R = conference_user_info;
    fillFields<R>(element, user,
                  {{"mUserId", &R::mUserId}, {"mConferenceId", &R::mConferenceId}, {"owner", &R::owner},
                   {"userName", &R::userName}});
}

void fillContact(const Json::Value& element, conference_contact& contact) {
    using R = conference_contact;
    fillFields<R>(element, contact,
                  {{"mUserId", &R::mUserId}, {"userName", &R::userName}, {"nickName", &R::nickName},
                   {"onLine", &R::onLine}, {"tel", &R::tel}, {"photo", &R::photo}, {"email", &R::email},
                   {"clientType", &R::clientType}});
    contact.extra.clear();  // the server names no key for it
}

// A resolution step whose numbers cannot be read would mislead the choice of the
// video size, so such a step is left out.
std::vector<resolution_bandwidth> readResolutionSteps(const Json::Value& array) {
    std::vector<resolution_bandwidth> steps;
    if (!array.isArray()) return steps;
    for (const Json::Value& element : array) {
        resolution_bandwidth step;
        if (leadingInt(text(element, "width"), step.width) &&
            leadingInt(text(element, "height"), step.height) &&
            leadingInt(text(element, "bandwidth"), step.bandwidth)) {
            steps.push_back(step);
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
    answer.code = readInt(mcode.isNull() ? member(answer.root, "code") : mcode);
    return answer;
}

const Json::Value& member(const Json::Value& object, const char* key) {
    if (object.isObject()) {
        if (const Json::Value* value = object.find(key, key + std::strlen(key))) return *value;
    }
    return Json::Value::nullSingleton();
}

std::string readText(const Json::Value& value) {
    if (value.isString() || value.isBool() || value.isNumeric()) return value.asString();
    return {};
}

int readInt(const Json::Value& value) {
    if (value.isBool()) return value.asBool() ? 1 : 0;
    if (value.isNumeric()) {
        const double number = value.asDouble();
        if (number >= INT_MIN && number <= INT_MAX) return value.asInt();
    }
    return 0;
}

unsigned int readUInt(const Json::Value& value) {
    if (value.isBool()) return value.asBool() ? 1 : 0;
    if (value.isNumeric()) {
        const double number = value.asDouble();
        if (number >= 0 && number <= UINT_MAX) return value.asUInt();
    }
    return 0;
}

bool readBool(const Json::Value& value) {
    return (value.isBool() || value.isNumeric()) && value.asBool();
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

void fillLoginInfo(const Json::Value& obj, conference_login_info& info) {
    using R = conference_login_info;
    fillFields<R>(obj, info,
                  {{"currentTimeMillis", &R::currentTimeMillis}, {"mUserId", &R::mUserId},
                   {"mUserName", &R::mUserName}, {"messageServer", &R::messageServer},
                   {"messageServerPort", &R::messageServerPort}, {"phone", &R::phone}, {"email", &R::email},
                   {"endpoint", &R::endpoint}, {"hasRecord", &R::hasRecord}, {"cNumber", &R::cNumber},
                   {"photo", &R::photo}, {"logo", &R::logo}, {"mainLogo", &R::mainLogo}, {"meetLogo", &R::meetLogo},
                   {"copyright", &R::copyright}, {"videoNum", &R::videoNum}});
    info.iceServers = readList<ice_server>(member(member(obj, "turn"), "iceServers"), fillIceServer);
}

void fillJoinInfo(const Json::Value& obj, conference_join_info& info) {
    using R = conference_join_info;
    fillFields<R>(obj, info,
                  {{"videoBandwidth", &R::videoBandwidth}, {"op", &R::op}, {"moderatorJid", &R::moderatorJid},
                   {"vb", &R::vb}, {"focusJid", &R::focusJid}, {"title", &R::title}, {"resolution", &R::resolution},
                   {"gw", &R::gw}, {"r", &R::r}, {"videoEncoding", &R::videoEncoding},
                   {"audioEncoding", &R::audioEncoding}, {"md5MeetPass", &R::md5MeetPass}, {"stageJid", &R::stageJid},
                   {"maxViewNum", &R::maxViewNum}, {"conferenceType", &R::conferenceType}, {"record", &R::record}});
    info.withAudio = mediaFlag(obj, "withAudio");
    info.withVideo = mediaFlag(obj, "withVideo");
    info.autoRecord = text(member(obj, "rules"), "autoRecord");
    info.rbwc = readResolutionSteps(member(obj, "rbwc"));
}

void fillConferenceInfo(const Json::Value& obj, conferences_info& info) {
    using R = conferences_info;
    fillFields<R>(obj, info,
                  {{"mConferenceId", &R::mConferenceId}, {"cNumber", &R::cNumber}, {"status", &R::status},
                   {"title", &R::title}, {"startTime", &R::startTime}, {"lengthTime", &R::lengthTime},
                   {"number", &R::number}, {"meetPassword", &R::meetPassword}, {"ownerPassword", &R::ownerPassword},
                   {"cycle", &R::cycle}, {"cycleDmy", &R::cycleDmy}, {"cycleStartPre", &R::cycleStartPre},
                   {"cycleEndDay", &R::cycleEndDay}, {"layout", &R::layout}, {"createTime", &R::createTime},
                   {"updateTime", &R::updateTime}, {"type", &R::type}, {"notice", &R::notice},
                   {"ownerUserId", &R::ownerUserId}});
    info.mConferenceUsers =
        readList<conference_user_info>(member(obj, "mConferenceUsers"), fillConferenceUser);
}

void fillUserInfo(const Json::Value& obj, query_user_info& info) {
    using R = query_user_info;
    fillFields<R>(obj, info,
                  {{"mUserId", &R::mUserId}, {"userName", &R::userName}, {"loginName", &R::loginName},
                   {"loginPassword", &R::loginPassword}, {"status", &R::status}, {"accessToken", &R::accessToken},
                   {"createTime", &R::createTime}, {"lastTime", &R::lastTime}, {"email", &R::email},
                   {"phone", &R::phone}, {"tel", &R::tel}, {"level", &R::level}, {"attribution", &R::attribution},
                   {"type", &R::type}, {"ipSip", &R::ipSip}, {"protocol", &R::protocol}, {"creator", &R::creator},
                   {"info", &R::info}, {"meetPassword", &R::meetPassword}, {"ownerPassword", &R::ownerPassword}});
}

void fillRecordDetails(const Json::Value& obj, record_details& details) {
    using R = record_details;
    fillFields<R>(obj, details,
                  {{"id", &R::id}, {"resourceId", &R::resourceId}, {"userId", &R::userId},
                   {"conferenceId", &R::conferenceId}, {"conferenceNum", &R::conferenceNum},
                   {"conferenceTitle", &R::conferenceTitle}, {"rule", &R::rule}, {"fileDir", &R::fileDir},
                   {"fileUrl", &R::fileUrl}, {"pngUrl", &R::pngUrl}, {"liveUrl", &R::liveUrl},
                   {"publicLiveUrl", &R::publicLiveUrl}, {"status", &R::status}, {"startAt", &R::startAt},
                   {"endAt", &R::endAt}});
}

conferences readConferences(const Answer& answer) {
    conferences page;
    if (!leadingInt(text(answer.root, "msg"), page.total)) page.total = 0;
    page.list = readList<conferences_info>(answer.obj(), fillConferenceInfo);
    return page;
}

conference_contacts readContacts(const Answer& answer) {
    return {readList<conference_contact>(answer.obj(), fillContact)};
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
