#include "VeltoHttpSignal.h"

#include <curl/curl.h>
#include <glog/logging.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace velto_http {

// Builds a request URL and, beside it, the form that may be logged: secret query
// values are masked there. Path segments and query values are percent-encoded, so
// every text reaches the server as it was given.
class Url {
public:
    Url(std::string_view server, std::string_view path) {
        append("https://");
        append(server);
        append(path);
    }

    Url& segment(std::string_view value) {
        append("/");
        // Dot segments would be folded away on the way; encoded they stay data.
        if (value == "." || value == "..") {
            append(value.size() == 1 ? "%2E" : "%2E%2E");
        } else {
            append(escape(value));
        }
        return *this;
    }

    Url& query(std::string_view key, std::string_view value) {
        startItem(key);
        append(escape(value));
        return *this;
    }

    Url& secret(std::string_view key, std::string_view value) {
        startItem(key);
        text_ += escape(value);
        log_ += "***";
        return *this;
    }

    const std::string& text() const { return text_; }
    const std::string& logText() const { return log_; }

private:
    static std::string escape(std::string_view value) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        out.reserve(value.size());
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                    (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                    byte == '_' || byte == '~';
            if (unreserved) {
                out += c;
            } else {
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            }
        }
        return out;
    }

    void startItem(std::string_view key) {
        append(hasQuery_ ? "&" : "?");
        hasQuery_ = true;
        append(key);
        append("=");
    }

    void append(std::string_view part) {
        text_ += part;
        log_ += part;
    }

    std::string text_;
    std::string log_;
    bool hasQuery_ = false;
};

// The transfers in flight. Each runs on a multi handle of its own, so that
// cancelAll() can wake it from its wait on the network at once.
class Transfers {
public:
    // Runs `easy` to its end and returns its result, CURLE_ABORTED_BY_CALLBACK
    // when cancelAll() ended it first.
    CURLcode perform(CURL* easy) {
        const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), curl_multi_cleanup);
        if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_FAILED_INIT;
        Flight flight{multi.get()};
        enter(flight);
        const CURLcode result = run(flight);
        leave(flight);
        curl_multi_remove_handle(multi.get(), easy);
        return result;
    }

    void cancelAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Flight* flight : flights_) {
            flight->cancelled = true;
            curl_multi_wakeup(flight->multi);
        }
    }

private:
    struct Flight {
        CURLM* multi;
        std::atomic<bool> cancelled{false};
    };

    // The longest wait without a look at the cancel flag; libcurl wakes
    // earlier for its own time limits, and cancelAll() wakes it at once.
    static constexpr int kMaxWaitMs = 1000;

    static CURLcode run(const Flight& flight) {
        for (;;) {
            if (flight.cancelled) return CURLE_ABORTED_BY_CALLBACK;
            int running = 0;
            CURLMcode rc = curl_multi_perform(flight.multi, &running);
            if (rc == CURLM_OK && running == 0) return outcome(flight.multi);
            if (rc == CURLM_OK) rc = curl_multi_poll(flight.multi, nullptr, 0, kMaxWaitMs, nullptr);
            if (rc != CURLM_OK) {
                LOG(ERROR) << "transfer loop failed: " << curl_multi_strerror(rc);
                return CURLE_UNRECOVERABLE_POLL;
            }
        }
    }

    static CURLcode outcome(CURLM* multi) {
        int queued = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) return message->data.result;
        }
        return CURLE_GOT_NOTHING;
    }

    void enter(Flight& flight) {
        std::lock_guard<std::mutex> lock(mutex_);
        flights_.push_back(&flight);
    }

    // Before its multi handle goes: cancelAll() must not wake a freed one.
    void leave(Flight& flight) {
        std::lock_guard<std::mutex> lock(mutex_);
        flights_.erase(std::find(flights_.begin(), flights_.end(), &flight));
    }

    std::mutex mutex_;
    std::vector<Flight*> flights_;  // guarded by mutex_
};

}  // namespace velto_http

using velto_http::Answer;
using velto_http::Url;

namespace {

constexpr const char* kJsonContentType = "Content-Type:application/json;charset=UTF-8";
constexpr const char* kTokenHeader = "accessToken: ";
constexpr std::size_t kMaxLoggedAnswer = 8192;

int resultOf(int code) { return code == 200 ? 0 : -1; }

// A token goes into a header line as it is: only visible ASCII may.
bool isHeaderValue(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

const char* literal(bool value) { return value ? "true" : "false"; }

// libcurl's global state is set up once per process, whichever thread gets here
// first. It is never torn down: another client or thread may still use it.
void initCurlOnce() {
    static const bool ready = [] {
        const CURLcode rc = curl_global_init(CURL_GLOBAL_ALL);
        LOG_IF(ERROR, rc != CURLE_OK) << "curl_global_init failed: " << rc;
        return rc == CURLE_OK;
    }();
    static_cast<void>(ready);
}

// An answer of code 200 whose record cannot be read is no valid answer: it
// reports code 0, like an answer that is no JSON at all.
bool requireRead(Answer& answer, bool read) {
    if (!read && answer.ok()) {
        LOG(WARNING) << "answer member of an unexpected type: the answer is not taken";
        answer.code = 0;
    }
    return read && answer.ok();
}

// The list of an answer of code 200; empty for any other answer.
template <typename List>
List readListOf(Answer& answer, std::optional<List> (*read)(const Answer&)) {
    if (!answer.ok()) return List{};
    std::optional<List> list = read(answer);
    requireRead(answer, list.has_value());
    return list.value_or(List{});
}

std::string answerForLog(const std::string& answer) {
    std::string shown = velto_http::maskSecrets(std::string_view(answer).substr(0, kMaxLoggedAnswer));
    if (answer.size() > kMaxLoggedAnswer) shown += "...(" + std::to_string(answer.size()) + " bytes)";
    return shown;
}

}  // namespace

VeltoHttpSignal::VeltoHttpSignal() : transfers(std::make_unique<velto_http::Transfers>()) { initCurlOnce(); }

VeltoHttpSignal::~VeltoHttpSignal() = default;

void VeltoHttpSignal::CancelTransfers() { transfers->cancelAll(); }

void VeltoHttpSignal::SetTransferLimits(const TransferLimits& newLimits) {
    std::lock_guard<std::mutex> lock(targetMutex);
    limits = newLimits;
}

TransferLimits VeltoHttpSignal::GetTransferLimits() const {
    std::lock_guard<std::mutex> lock(targetMutex);
    return limits;
}

void VeltoHttpSignal::SetCallback(VeltoHttpCallback* newCallback) { callback = newCallback; }

Url VeltoHttpSignal::url(const char* path) const {
    std::lock_guard<std::mutex> lock(targetMutex);
    return Url(server, path);
}

Answer VeltoHttpSignal::exchange(const Url& target, HTTP_CMD verb, const std::string& body, Trace trace) {
    std::string response;
    http_request(target.text().c_str(), response, verb, body);
    if (trace == Trace::UrlAndBody) {
        LOG(INFO) << target.logText() << "=params=" << velto_http::maskSecrets(body);
    } else if (trace == Trace::Url) {
        LOG(INFO) << target.logText();
    }
    if (trace != Trace::None) LOG(INFO) << "recv==" << answerForLog(response);
    return velto_http::parseAnswer(response);
}

size_t VeltoHttpSignal::curl_recv_data(char* data, size_t size, size_t count, void* userdata) {
    auto* sink = static_cast<AnswerSink*>(userdata);
    const size_t bytes = size * count;
    // Returning less than was offered ends the transfer as a failure.
    if (bytes > sink->maxBytes - sink->text.size()) return 0;
    sink->text.append(data, bytes);
    return bytes;
}

int VeltoHttpSignal::http_request(const char* target, std::string& response, HTTP_CMD verb,
                                  const std::string& body) const {
    TransferLimits bounds;
    std::string token;
    {
        std::lock_guard<std::mutex> lock(targetMutex);
        bounds = limits;
        token = accessToken;
    }
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle) {
        LOG(ERROR) << "curl_easy_init failed";
        return CURLE_FAILED_INIT;
    }
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, curl_slist_free_all);
    CURL* curl = handle.get();

    curl_easy_setopt(curl, CURLOPT_URL, target);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(bounds.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(bounds.total.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(bounds.lowSpeed.count()));

    const auto attachBody = [&] {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    };
    const auto addHeader = [&](const std::string& line) {
        curl_slist* const grown = curl_slist_append(headers.get(), line.c_str());
        if (grown) {
            headers.release();
            headers.reset(grown);
        }
    };
    const auto jsonHeader = [&] { addHeader(kJsonContentType); };
    switch (verb) {
    case HTTP_POST:
        jsonHeader();
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        attachBody();  // also when empty: a POST always carries a body
        break;
    case HTTP_PUT:
        jsonHeader();
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "PUT");
        // An empty body still goes out as "Content-Length: 0": without a length a
        // server may wait for a body that never comes.
        attachBody();
        break;
    case HTTP_DELETE:
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
        if (!body.empty()) attachBody();
        break;
    case HTTP_GET:
        break;
    }
    if (!token.empty()) addHeader(kTokenHeader + token);
    if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    AnswerSink sink{response, bounds.maxAnswerBytes};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &VeltoHttpSignal::curl_recv_data);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // An extra trusted CA for private servers. It takes the place of the CA
    // bundle file only: the system's hashed certificate folder (libcurl's CA
    // path) is still consulted, so public servers keep verifying.
    if (const char* caFile = std::getenv("VELTO_CA_BUNDLE"); caFile && *caFile) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile);
    }

    const CURLcode rc = transfers->perform(curl);
    LOG(INFO) << "cur_easy_perform==" << rc;
    // The user is told only that the request failed, as for a server that
    // is down; a certificate nobody vouches for (a private server's CA not
    // given, or the CA of an earlier run of a local server) is said here.
    if (rc == CURLE_PEER_FAILED_VERIFICATION) {
        LOG(ERROR) << "HTTPS: the server's certificate is not trusted (" << curl_easy_strerror(rc)
                   << "): a private server's CA file goes in VELTO_CA_BUNDLE, and a local server makes a new one "
                      "each time it starts";
    } else if (rc == CURLE_SSL_CACERT_BADFILE) {
        LOG(ERROR) << "HTTPS: the CA file VELTO_CA_BUNDLE names cannot be read";
    }
    // A broken or cut-off transfer is no answer, whatever part of it arrived.
    if (rc != CURLE_OK) response.clear();
    return rc;
}

// ---- Login, conferences, contacts and users ----

int VeltoHttpSignal::Login(std::string newServer, std::string username, std::string password,
                           std::string clientType, std::string domain, bool anonymous) {
    {
        // A token belongs to the server and login that gave it: none goes to
        // the login itself nor to another server.
        std::lock_guard<std::mutex> lock(targetMutex);
        server = std::move(newServer);
        accessToken.clear();
    }
    Url target = url(anonymous ? "/clientApi/loginClientAnonymous" : "/clientApi/loginClient");
    target.query(anonymous ? "nickname" : "username", username)
        .secret("password", password)
        .query("clientType", clientType);
    if (!anonymous) target.query("domain", domain);

    Answer answer = exchange(target);
    if (answer.ok() && requireRead(answer, velto_http::fillLoginInfo(answer.obj(), loginInfo))) {
        // A server that hands out no token gets none back.
        std::string token =
            velto_http::readText(velto_http::member(answer.obj(), "accessToken")).value_or(std::string());
        if (!isHeaderValue(token)) {
            LOG(WARNING) << "login answer: an access token that cannot travel in a header is not kept";
            token.clear();
        }
        std::lock_guard<std::mutex> lock(targetMutex);
        accessToken = std::move(token);
    }
    if (callback) callback->onLogin(answer.code, loginInfo);
    return resultOf(answer.code);
}

int VeltoHttpSignal::KeepAlive(std::string userId, std::string endpoint, std::string currentTimeMillis) {
    exchange(url("/clientApi/keepAlive").segment(userId).segment(endpoint).segment(currentTimeMillis));
    return 0;
}

int VeltoHttpSignal::CreateOrJoinConference(std::string room, std::string password,
                                            std::string ownerPassword, std::string jid) {
    Url target = url("/clientApi/createOrJoinConference");
    target.query("j", jid);
    if (!room.empty()) target.query("r", room);
    if (!password.empty()) target.secret("p", password);
    if (!ownerPassword.empty()) target.secret("op", ownerPassword);

    Answer answer = exchange(target);
    if (answer.ok()) requireRead(answer, velto_http::fillJoinInfo(answer.obj(), joinInfo));
    if (callback) callback->onCreateOrJoinConference(answer.code, joinInfo);
    return resultOf(answer.code);
}

int VeltoHttpSignal::GrantAdmin(std::string room, std::string jid, std::string userId) {
    const Answer answer = exchange(url("/user/grantAdmin").query("r", room).query("j", jid).query("i", userId));
    if (callback) callback->onGrantAdmin(answer.code, jid);
    return resultOf(answer.code);
}

int VeltoHttpSignal::GetModerator(std::string room, std::string jid, std::string password) {
    const Answer answer = exchange(url("/user/getModerator").query("r", room).query("j", jid).secret("p", password));
    if (callback) callback->onGetModerator(answer.code);
    return resultOf(answer.code);
}

int VeltoHttpSignal::GetMyConferences(int count, std::string userId, std::string date, int page,
                                      std::string type, std::string status, std::string search) {
    Url target = url("/clientApi/conferences");
    target.segment(userId).query("count", std::to_string(count)).query("page", std::to_string(page));
    if (!type.empty()) target.query("type", type);
    if (!date.empty()) target.query("date", date);
    if (!status.empty()) target.query("status", status);
    if (!search.empty()) target.query("search", search);

    Answer answer = exchange(target);
    const conferences data = readListOf(answer, velto_http::readConferences);
    if (callback) callback->onGetMyConferences(answer.code, data);
    return resultOf(answer.code);
}

int VeltoHttpSignal::BookConferences(std::string userId, std::string body) {
    const Answer answer = exchange(url("/clientApi/conferences").segment(userId), HTTP_POST, body, Trace::UrlAndBody);
    if (callback) callback->onBookConferences(answer.code);
    return resultOf(answer.code);
}

int VeltoHttpSignal::DeleteConference(std::string userId, std::string conferenceId) {
    return resultOf(exchange(url("/clientApi/conferences").segment(conferenceId).segment(userId), HTTP_DELETE).code);
}

int VeltoHttpSignal::SelectFriends(std::string userId, std::string search) {
    Answer answer = exchange(url("/clientApi/selectFriends").segment(userId).query("search", search), HTTP_GET, {},
                             Trace::None);
    conference_contacts contacts = readListOf(answer, velto_http::readContacts);
    if (callback) callback->onGetSearchContacts(answer.code, contacts);
    return resultOf(answer.code);
}

int VeltoHttpSignal::GetContacts(std::string userId) {
    Answer answer = exchange(url("/clientApi/friends").segment(userId));
    conference_contacts contacts = readListOf(answer, velto_http::readContacts);
    if (callback) callback->onGetContacts(answer.code, contacts);
    return resultOf(answer.code);
}

int VeltoHttpSignal::AddFriends(std::string userId, std::string friendId, std::string body) {
    return resultOf(exchange(url("/clientApi/friends").segment(userId).segment(friendId), HTTP_POST, body).code);
}

int VeltoHttpSignal::DeleteFriends(std::string userId, std::string friendId) {
    return resultOf(
        exchange(url("/clientApi/friends").segment(userId).segment(friendId), HTTP_DELETE, {}, Trace::None).code);
}

int VeltoHttpSignal::QueryUsers(std::string userId, std::string& meetPassword, std::string& ownerPassword) {
    Answer answer = exchange(url("/clientApi/users").segment(userId));
    if (!requireRead(answer, answer.ok() && velto_http::fillUserInfo(answer.obj(), userInfo))) return -1;
    meetPassword = userInfo.meetPassword;
    ownerPassword = userInfo.ownerPassword;
    if (callback) callback->onQueryUser(answer.code, userInfo);
    return 0;
}

int VeltoHttpSignal::ModifyUsers(std::string body) {
    return resultOf(exchange(url("/clientApi/users"), HTTP_PUT, body).code);
}

int VeltoHttpSignal::GetConferenceDetail(std::string userId, std::string conferenceId, conferences_info& info) {
    Answer answer = exchange(url("/clientApi/conferences").segment(conferenceId).segment(userId));
    return requireRead(answer, answer.ok() && velto_http::fillConferenceInfo(answer.obj(), info)) ? 0 : -1;
}

// ---- In-meeting control and recording ----

int VeltoHttpSignal::LockConference(std::string userId, std::string room, bool lock) {
    return resultOf(exchange(url("/conference/lock").query("i", userId).query("r", room).query("l", literal(lock))).code);
}

int VeltoHttpSignal::StartRecord(std::string userId, std::string room, std::string record, std::string userJid,
                                 std::string roomPassword, std::string rule) {
    const Answer answer = exchange(url("/clientApi/record/call")
                                       .segment(userId)
                                       .segment(room)
                                       .query("userId", userId)
                                       .query("rule", rule)
                                       .secret("roomPassword", roomPassword)
                                       .query("userJid", userJid)
                                       .query("record", record));
    if (callback) callback->onStartRecord(answer.code);
    return resultOf(answer.code);
}

int VeltoHttpSignal::StopRecord(std::string userId, std::string userJid, std::string room, std::string recordJid) {
    const Answer answer = exchange(
        url("/clientApi/record/close").segment(userId).segment(room).query("recordJid", recordJid).query("userJid", userJid));
    if (callback) callback->onStopRecord(answer.code);
    return resultOf(answer.code);
}

int VeltoHttpSignal::readRecordDetails(const Url& target) {
    Answer answer = exchange(target);
    return requireRead(answer, answer.ok() && velto_http::fillRecordDetails(answer.obj(), recordDetails)) ? 0 : -1;
}

int VeltoHttpSignal::MyRecords(std::string userId) {
    return readRecordDetails(url("/clientApi/records").segment(userId));
}

int VeltoHttpSignal::GetRecordDetails(std::string userId, std::string recordId) {
    return readRecordDetails(url("/clientApi/records").segment(userId).segment(recordId));
}

int VeltoHttpSignal::SetStage(std::string room, std::string userJid, std::string stageJid, bool screen) {
    return resultOf(exchange(url("/clientApi/stage")
                                 .segment(room)
                                 .query("userJid", userJid)
                                 .query("stageJid", stageJid)
                                 .query("screen", literal(screen)))
                        .code);
}

int VeltoHttpSignal::SplitScreen(std::string room, std::string userJid, std::string splitScreen) {
    return resultOf(
        exchange(url("/clientApi/splitScreen").segment(room).query("userJid", userJid).query("splitScreen", splitScreen))
            .code);
}

int VeltoHttpSignal::SelectParticipants(std::string room, std::string userJid, std::string participants) {
    return resultOf(exchange(url("/clientApi/selectParticipants")
                                 .segment(room)
                                 .query("userJid", userJid)
                                 .query("participants", participants))
                        .code);
}

int VeltoHttpSignal::GetConferenceResource(std::string roomNumber, std::string userJid, std::string& gw,
                                           std::string& record) {
    Answer answer =
        exchange(url("/clientApi/conference/resources").query("roomNumber", roomNumber).query("userJid", userJid));
    if (!answer.ok()) return -1;
    const Json::Value& obj = answer.obj();
    const std::optional<std::string> gateway = velto_http::readText(velto_http::member(obj, "gw"));
    const std::optional<std::string> recorder = velto_http::readText(velto_http::member(obj, "record"));
    if (!requireRead(answer, (obj.isNull() || obj.isObject()) && gateway && recorder)) return -1;
    gw = *gateway;
    record = *recorder;
    return 0;
}

int VeltoHttpSignal::HandsUp(std::string action, std::string room, std::string userJid, std::string nickname) {
    const bool apply = action.find("apply") != std::string::npos;
    if (!apply && action.find("agree") == std::string::npos && action.find("refuse") == std::string::npos) {
        LOG(WARNING) << "HandsUp: unknown action \"" << action << "\", nothing sent";
        return -1;
    }
    Url target = url("/clientApi/handsUp");
    target.segment(action).segment(room).query("userJid", userJid);
    if (apply) target.query("nickname", nickname);
    return resultOf(exchange(target).code);
}

int VeltoHttpSignal::ExtendConferenceTime(std::string room, std::string userId, int lengthTime) {
    return resultOf(exchange(url("/clientApi/conferences/extend")
                                 .segment(room)
                                 .query("userId", userId)
                                 .query("lengthTime", std::to_string(lengthTime)))
                        .code);
}

int VeltoHttpSignal::CallPhone(std::string roomNumber, std::string userJid, std::string phone,
                               std::string& sipTarget, int& code) {
    Answer answer =
        exchange(url("/clientApi/phone").segment(phone).query("roomNumber", roomNumber).query("userJid", userJid));
    // An object or array is no dialable target: no valid answer.
    const std::optional<std::string> target = answer.ok() ? velto_http::readText(answer.obj()) : std::nullopt;
    requireRead(answer, target.has_value());
    code = answer.code;
    if (!target) return -1;
    sipTarget = *target;
    return 0;
}
