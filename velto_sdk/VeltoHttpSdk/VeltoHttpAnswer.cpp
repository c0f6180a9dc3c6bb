#include "VeltoHttpAnswer.h"

#include <json/reader.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace velto_http {

namespace {

std::string text(const Json::Value& object, const char* key) { return readText(member(object, key)); }
int integer(const Json::Value& object, const char* key) { return readInt(member(object, key)); }
unsigned int uinteger(const Json::Value& object, const char* key) { return readUInt(member(object, key)); }
bool flag(const Json::Value& object, const char* key) { return readBool(member(object, key)); }

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
    server.url = text(element, "url");
    server.username = text(element, "username");
    server.credential = text(element, "credential");
}

void fillConferenceUser(const Json::Value& element, conference_user_info& user) {
    user.mUserId = text(element, "mUserId");
    user.mConferenceId = text(element, "mConferenceId");
    user.owner = text(element, "owner");
    user.userName = text(element, "userName");
}

void fillContact(const Json::Value& element, conference_contact& contact) {
    contact.mUserId = text(element, "mUserId");
    contact.userName = text(element, "userName");
    contact.nickName = text(element, "nickName");
    contact.extra.clear();
    contact.onLine = flag(element, "onLine");
    contact.tel = text(element, "tel");
    contact.photo = text(element, "photo");
    contact.email = text(element, "email");
    contact.clientType = text(element, "clientType");
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
    info.currentTimeMillis = text(obj, "currentTimeMillis");
    info.mUserId = text(obj, "mUserId");
    info.mUserName = text(obj, "mUserName");
    info.messageServer = text(obj, "messageServer");
    info.messageServerPort = text(obj, "messageServerPort");
    info.phone = text(obj, "phone");
    info.email = text(obj, "email");
    info.endpoint = text(obj, "endpoint");
    info.hasRecord = flag(obj, "hasRecord");
    info.cNumber = text(obj, "cNumber");
    info.photo = text(obj, "photo");
    info.logo = text(obj, "logo");
    info.mainLogo = text(obj, "mainLogo");
    info.meetLogo = text(obj, "meetLogo");
    info.copyright = text(obj, "copyright");
    info.videoNum = integer(obj, "videoNum");
    info.iceServers = readList<ice_server>(member(member(obj, "turn"), "iceServers"), fillIceServer);
}

void fillJoinInfo(const Json::Value& obj, conference_join_info& info) {
    info.videoBandwidth = text(obj, "videoBandwidth");
    info.op = text(obj, "op");
    info.moderatorJid = text(obj, "moderatorJid");
    info.vb = text(obj, "vb");
    info.focusJid = text(obj, "focusJid");
    info.title = text(obj, "title");
    info.resolution = text(obj, "resolution");
    info.gw = text(obj, "gw");
    info.withAudio = mediaFlag(obj, "withAudio");
    info.r = text(obj, "r");
    info.withVideo = mediaFlag(obj, "withVideo");
    info.videoEncoding = text(obj, "videoEncoding");
    info.audioEncoding = text(obj, "audioEncoding");
    info.md5MeetPass = text(obj, "md5MeetPass");
    info.stageJid = text(obj, "stageJid");
    info.maxViewNum = text(obj, "maxViewNum");
    info.conferenceType = text(obj, "conferenceType");
    info.record = text(obj, "record");
    info.autoRecord = text(member(obj, "rules"), "autoRecord");
    info.rbwc = readResolutionSteps(member(obj, "rbwc"));
}

void fillConferenceInfo(const Json::Value& obj, conferences_info& info) {
    info.mConferenceId = text(obj, "mConferenceId");
    info.cNumber = text(obj, "cNumber");
    info.status = text(obj, "status");
    info.title = text(obj, "title");
    info.startTime = text(obj, "startTime");
    info.lengthTime = uinteger(obj, "lengthTime");
    info.number = uinteger(obj, "number");
    info.meetPassword = text(obj, "meetPassword");
    info.ownerPassword = text(obj, "ownerPassword");
    info.cycle = uinteger(obj, "cycle");
    info.cycleDmy = uinteger(obj, "cycleDmy");
    info.cycleStartPre = text(obj, "cycleStartPre");
    info.cycleEndDay = text(obj, "cycleEndDay");
    info.layout = uinteger(obj, "layout");
    info.createTime = text(obj, "createTime");
    info.updateTime = text(obj, "updateTime");
    info.type = text(obj, "type");
    info.notice = uinteger(obj, "notice");
    info.ownerUserId = text(obj, "ownerUserId");
    info.mConferenceUsers =
        readList<conference_user_info>(member(obj, "mConferenceUsers"), fillConferenceUser);
}

void fillUserInfo(const Json::Value& obj, query_user_info& info) {
    info.mUserId = text(obj, "mUserId");
    info.userName = text(obj, "userName");
    info.loginName = text(obj, "loginName");
    info.loginPassword = text(obj, "loginPassword");
    info.status = text(obj, "status");
    info.accessToken = text(obj, "accessToken");
    info.createTime = text(obj, "createTime");
    info.lastTime = text(obj, "lastTime");
    info.email = text(obj, "email");
    info.phone = text(obj, "phone");
    info.tel = text(obj, "tel");
    info.level = text(obj, "level");
    info.attribution = text(obj, "attribution");
    info.type = text(obj, "type");
    info.ipSip = text(obj, "ipSip");
    info.protocol = text(obj, "protocol");
    info.creator = text(obj, "creator");
    info.info = text(obj, "info");
    info.meetPassword = text(obj, "meetPassword");
    info.ownerPassword = text(obj, "ownerPassword");
}

void fillRecordDetails(const Json::Value& obj, record_details& details) {
    details.id = text(obj, "id");
    details.resourceId = text(obj, "resourceId");
    details.userId = text(obj, "userId");
    details.conferenceId = text(obj, "conferenceId");
    details.conferenceNum = text(obj, "conferenceNum");
    details.conferenceTitle = text(obj, "conferenceTitle");
    details.rule = text(obj, "rule");
    details.fileDir = text(obj, "fileDir");
    details.fileUrl = text(obj, "fileUrl");
    details.pngUrl = text(obj, "pngUrl");
    details.liveUrl = text(obj, "liveUrl");
    details.publicLiveUrl = text(obj, "publicLiveUrl");
    details.status = text(obj, "status");
    details.startAt = uinteger(obj, "startAt");
    details.endAt = uinteger(obj, "endAt");
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
