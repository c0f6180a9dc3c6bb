#include "SignalClient.h"

#include <algorithm>
#include <sstream>

namespace velto::test {
namespace {

Json::Value parsed(const std::string& text)
{
    Json::CharReaderBuilder builder;
    Json::Value value;
    std::string errors;
    std::istringstream in(text);
    if (Json::parseFromStream(builder, in, &value, &errors) && value.isObject())
        return value;
    // Every message is looked at as an object.
    Json::Value unparsed;
    unparsed["unparsed"] = text.substr(0, 200);
    return unparsed;
}

std::string compact(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

}  // namespace

SignalClient::SignalClient(LocalServer& server, const Account& account)
    : server_(server),
      link_([this](std::string text) { arrived(text); }, [this] { ended(); })
{
    Rest rest(server);
    login_ = velto::test::login(rest, account);
    const std::string error = link_.open(server.options().listen, server.messageServerPort(), kWait);
    if (!error.empty()) {
        ADD_FAILURE() << "no link for " << login_.jid << ": " << error;
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
}

SignalClient::~SignalClient()
{
    releaseReading();
    link_.close();
}

void SignalClient::arrived(const std::string& text)
{
    std::unique_lock<std::mutex> lock(mutex_);
    received_.push_back(parsed(text));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holding_; });
}

void SignalClient::ended()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

unsigned SignalClient::send(Json::Value request)
{
    const unsigned id = nextId();
    request["id"] = id;
    sendText(compact(request));
    return id;
}

void SignalClient::sendText(std::string text)
{
    link_.send(std::move(text));
}

std::optional<bool> SignalClient::answer(unsigned id, std::chrono::milliseconds wait)
{
    std::optional<bool> ok;
    const auto answered = [&] {
        for (const Json::Value& m : received_)
            if (m["type"] == "ack" && m["id"].isUInt() && m["id"].asUInt() == id) {
                ok = m["ok"].asBool();
                return true;
            }
        return closed_;
    };
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, answered);
    return ok;
}

bool SignalClient::request(Json::Value request)
{
    return answer(send(std::move(request))).value_or(false);
}

bool SignalClient::connect()
{
    Json::Value connect;
    connect["type"] = "connect";
    connect["user"] = login_.id;
    connect["domain"] = login_.messageServer;
    connect["endpoint"] = login_.endpoint;
    connect["secret"] = login_.secret;
    return request(connect);
}

bool SignalClient::join(const std::string& room, const std::string& password)
{
    Rest rest(server_);
    const Json::Value joined =
        rest.call("GET", "/clientApi/createOrJoinConference?j=" + login_.jid + "&r=" + room + "&p=" + password, "",
                  login_.token);
    if (joined["code"].asInt() != 200) {
        ADD_FAILURE() << login_.jid << " may not join " << room << ": " << joined;
        return false;
    }
    Json::Value join;
    join["type"] = "join";
    join["jid"] = login_.jid;
    join["room"] = room + "@conference." + login_.messageServer;
    join["nick"] = login_.id;
    join["focus"] = "";
    return request(join);
}

std::vector<Json::Value> SignalClient::received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool SignalClient::waitFor(const std::function<bool(const Json::Value&)>& match, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [&] { return std::any_of(received_.begin(), received_.end(), match); });
}

std::vector<Json::Value> SignalClient::drain()
{
    Json::Value marker;
    marker["type"] = "chat";
    marker["nickname"] = "";
    marker["message"] = "marker " + std::to_string(++markers_);
    const bool pushed = server_.pushSignals(jid(), {compact(marker)});
    EXPECT_TRUE(pushed) << jid() << " is not connected";
    std::unique_lock<std::mutex> lock(mutex_);
    const auto isMarker = [&](const Json::Value& m) { return m == marker; };
    if (!pushed || !changed_.wait_for(lock, kWait, [&] {
            return std::any_of(received_.begin() + drained_, received_.end(), isMarker);
        })) {
        ADD_FAILURE() << jid() << ": the marker did not come";
        return {};
    }
    const auto end = std::find_if(received_.begin() + drained_, received_.end(), isMarker);
    std::vector<Json::Value> batch(received_.begin() + drained_, end);
    drained_ = (end - received_.begin()) + 1;
    return batch;
}

bool SignalClient::closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

bool SignalClient::waitClosed(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return closed_; });
}

void SignalClient::holdReading()
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
}

void SignalClient::releaseReading()
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
    changed_.notify_all();
}

}  // namespace velto::test
