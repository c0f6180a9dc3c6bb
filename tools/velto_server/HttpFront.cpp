#include "HttpFront.h"

#include "JsonText.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <iostream>

namespace velto::server {
namespace {

constexpr const char* kJson = "application/json;charset=UTF-8";
constexpr const char* kManifestPath = "/download/bm/version_mac_bm.json";
constexpr const char* kControlPrefix = "/_test/";
constexpr std::size_t kWorkerThreads = 64;  // stalled requests each hold one
constexpr std::size_t kMaxBody = 16 * 1024 * 1024;

// httplib files the peer's and our own address among the headers; they are
// not what the client sent.
bool isPseudoHeader(const std::string& name)
{
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

int portOf(const sockaddr_storage& address)
{
    return address.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port) : -1;
}

std::string hostOf(const sockaddr_storage& address)
{
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    return text;
}

// Drops the connection a request came on without a byte of answer. The
// request does not expose its socket, so find it among our descriptors by
// its two ends; the handler's thread owns it, so it cannot go away meanwhile.
void dropConnection(const httplib::Request& request)
{
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return;
    while (const dirent* entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_storage peer{};
        sockaddr_storage local{};
        socklen_t peerSize = sizeof peer;
        socklen_t localSize = sizeof local;
        if (fd <= 2 || fd == dirfd(fds) ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0)
            continue;
        if (portOf(peer) == request.remote_port && portOf(local) == request.local_port &&
            hostOf(peer) == request.remote_addr) {
            shutdown(fd, SHUT_RDWR);
            break;
        }
    }
    closedir(fds);
}

Json::Value answerJson(const Reply& reply)
{
    Json::Value answer;
    answer["code"] = reply.code;
    answer["msg"] = reply.msg;
    if (reply.code == 200)
        answer["obj"] = reply.obj;
    return answer;
}

}  // namespace

HttpFront::HttpFront(const ServerIdentity& identity, bool verbose)
    : server_(identity.certificate.get(), identity.key.get()), verbose_(verbose)
{
    server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server_.set_payload_max_length(kMaxBody);
    // An answer goes out in several small writes; without this each exchange
    // waits for the client's delayed acknowledgement.
    server_.set_tcp_nodelay(true);
    // The library's default shares the port (SO_REUSEPORT) with any other
    // server already listening there, which then answers half the requests:
    // a taken port must fail to bind instead.
    server_.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
}

int HttpFront::bind(const std::string& address, int port)
{
    if (!server_.is_valid())
        return -1;
    if (port == 0)
        port_ = server_.bind_to_any_port(address);
    else
        port_ = server_.bind_to_port(address, port) ? port : -1;
    return port_;
}

void HttpFront::attach(ConferenceService& service, TestControl* control, MessageService& messages, MediaUnit& media,
                       Info info)
{
    service_ = &service;
    messages_ = &messages;
    media_ = &media;
    control_ = control;
    info_ = std::move(info);
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        try {
            serve(request, response);
        } catch (const std::exception& e) {
            std::cerr << "velto_server: " << request.method << ' ' << request.path << " failed: " << e.what()
                      << std::endl;
            response.status = 500;
            response.set_content(R"({"code":500,"msg":"internal error"})", kJson);
        }
    };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    server_.Put(".*", handler);
    server_.Delete(".*", handler);
    server_.Patch(".*", handler);
}

bool HttpFront::run()
{
    return server_.listen_after_bind();
}

void HttpFront::stop()
{
    server_.stop();
}

void HttpFront::serve(const httplib::Request& request, httplib::Response& response)
{
    Call call = parseCall(request.method, request.target, request.body);
    call.accessToken = request.get_header_value("accessToken");
    call.client = request.remote_addr;
    if (control_ && call.path.compare(0, std::char_traits<char>::length(kControlPrefix), kControlPrefix) == 0) {
        serveControl(call, response);
        return;
    }
    // The path only: queries carry passwords.
    if (verbose_)
        std::cerr << call.method << ' ' << call.path << std::endl;
    if (control_ && forcedAnswer(request, call, response))
        return;

    if (call.path == kManifestPath && call.method == "GET") {
        response.set_content(service_->manifest(), kJson);
        return;
    }
    const Reply reply = service_->handle(call);
    response.status = reply.httpStatus;
    response.set_content(toJsonText(answerJson(reply)), kJson);
}

bool HttpFront::forcedAnswer(const httplib::Request& request, const Call& call, httplib::Response& response)
{
    RecordedRequest recorded{call, {}, request.remote_port};
    for (const auto& [name, value] : request.headers)
        if (!isPseudoHeader(name))
            recorded.headers.emplace_back(name, value);
    control_->record(std::move(recorded));

    if (const auto forced = control_->take(call.path)) {
        switch (forced->kind) {
        case ForcedAnswer::Kind::Answer:
            response.status = forced->status;
            response.set_content(forced->body, forced->contentType.c_str());
            return true;
        case ForcedAnswer::Kind::Close:
            dropConnection(request);
            return true;
        case ForcedAnswer::Kind::Stall:
            control_->stall(forced->stallMs);
            break;
        }
    }
    return false;
}

void HttpFront::serveControl(const Call& call, httplib::Response& response)
{
    const auto answer = [&](const Json::Value& value) { response.set_content(toJsonText(value), kJson); };
    const auto refuse = [&](int status, const std::string& why) {
        Json::Value error;
        error["error"] = why;
        response.status = status;
        answer(error);
    };
    const std::string& path = call.path;
    const std::string& method = call.method;
    Json::Value body;
    const bool jsonBody = parseJson(call.body, body) && body.isObject();

    if (method == "GET" && path == "/_test/info") {
        Json::Value info;
        info["port"] = port_;
        info["caFile"] = info_.caFile;
        info["messageServer"] = info_.messageServer;
        info["messageServerPort"] = info_.messageServerPort;
        answer(info);
    } else if (method == "GET" && path == "/_test/accounts") {
        answer(service_->accounts());
    } else if (method == "POST" && path == "/_test/force") {
        ForcedAnswer forced;
        const std::string kind = body["kind"].isString() ? body["kind"].asString() : "answer";
        forced.kind = kind == "stall"   ? ForcedAnswer::Kind::Stall
                      : kind == "close" ? ForcedAnswer::Kind::Close
                                        : ForcedAnswer::Kind::Answer;
        forced.route = body["route"].isString() ? body["route"].asString() : std::string();
        forced.status = body["status"].isInt() ? body["status"].asInt() : 200;
        forced.body = body["body"].isString() ? body["body"].asString() : std::string();
        forced.contentType = body["contentType"].isString() ? body["contentType"].asString() : kJson;
        forced.stallMs = body["ms"].isInt() ? body["ms"].asInt() : 0;
        forced.remaining = body["times"].isInt() ? body["times"].asInt() : 1;
        if (!jsonBody || forced.route.empty() || (kind != "answer" && kind != "stall" && kind != "close") ||
            forced.status < 100 || forced.status > 599 || forced.stallMs < 0 || forced.remaining < 1)
            return refuse(400, "force needs a route, a kind answer|stall|close, status 100-599, ms >= 0, times >= 1");
        control_->force(std::move(forced));
        answer(Json::Value(Json::objectValue));
    } else if (method == "GET" && path == "/_test/requests") {
        answer(control_->requests(call.param("route")));
    } else if (method == "DELETE" && path == "/_test/requests") {
        control_->clearRequests();
        answer(Json::Value(Json::objectValue));
    } else if (method == "GET" && path == "/_test/keepAlives") {
        Json::Value count;
        count["count"] = control_->keepAlives();
        answer(count);
    } else if (method == "PUT" && path == "/_test/switches") {
        if (!jsonBody || !body["noCredit"].isBool())
            return refuse(400, "switches need a boolean \"noCredit\"");
        service_->setNoCredit(body["noCredit"].asBool());
        answer(Json::Value(Json::objectValue));
    } else if (method == "PUT" && path == "/_test/mediaLoss") {
        if (!jsonBody || !body["percent"].isInt() || body["percent"].asInt() < 0 || body["percent"].asInt() > 100)
            return refuse(400, "media loss needs \"percent\" 0-100");
        media_->setLossPercent(body["percent"].asInt());
        answer(Json::Value(Json::objectValue));
    } else if (method == "PUT" && path == "/_test/manifest") {
        service_->setManifest(call.body);
        answer(Json::Value(Json::objectValue));
    } else if (method == "POST" && path == "/_test/clock") {
        if (!jsonBody || !body["advanceMs"].isInt64() || body["advanceMs"].asInt64() < 0)
            return refuse(400, "the clock needs \"advanceMs\" >= 0");
        service_->advanceClock(body["advanceMs"].asInt64());
        // What fell due goes out now, not at the next tick.
        service_->tick();
        answer(Json::Value(Json::objectValue));
    } else if (method == "POST" && path == "/_test/reset") {
        service_->reset();
        control_->reset();
        messages_->reset();
        media_->resetLoss();
        answer(Json::Value(Json::objectValue));
    } else if (method == "GET" && path == "/_test/signals") {
        answer(messages_->sent());
    } else if (method == "GET" && path == "/_test/signalClients") {
        answer(messages_->clients());
    } else if (method == "GET" && path == "/_test/signalRoom") {
        answer(messages_->room(call.param("room")));
    } else if (method == "POST" && path == "/_test/signalDrop") {
        if (!jsonBody || !body["jid"].isString())
            return refuse(400, "drop needs a \"jid\"");
        Json::Value dropped;
        dropped["dropped"] = messages_->drop(body["jid"].asString());
        answer(dropped);
    } else if (method == "POST" && path == "/_test/signalPush") {
        if (!jsonBody || !body["jid"].isString() || !body["messages"].isArray())
            return refuse(400, "push needs a \"jid\" and an array \"messages\"");
        Json::Value pushed;
        pushed["pushed"] = messages_->push(body["jid"].asString(), body["messages"]);
        answer(pushed);
    } else if (method == "PUT" && path == "/_test/signalFaults") {
        if (!jsonBody || !body["refuseConnections"].isBool() || !body["silentPings"].isBool())
            return refuse(400, "faults need booleans \"refuseConnections\" and \"silentPings\"");
        messages_->setFaults(body["refuseConnections"].asBool(), body["silentPings"].asBool());
        answer(Json::Value(Json::objectValue));
    } else {
        refuse(404, "no such control route");
    }
}

}  // namespace velto::server
