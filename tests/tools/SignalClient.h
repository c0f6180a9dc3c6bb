#pragma once
// A raw client of the message service for the server's tests: a fresh login
// of a seeded account, its WebSocket link, and every message the server sent
// it. Its reading can be held, so that it plays a reader that stopped reading.
//
// The CA file must be in VELTO_CA_BUNDLE (LocalServer::setCaBundleEnv()).

#include "LocalServer.h"
#include "ServerTestSupport.h"
#include "WsLink.h"

#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velto::test {

class SignalClient {
public:
    static constexpr std::chrono::milliseconds kWait{10000};

    // Logs `account` in on the REST side and opens the link; connect() then
    // tells the server who it is.
    SignalClient(LocalServer& server, const Account& account);
    ~SignalClient();
    SignalClient(const SignalClient&) = delete;
    SignalClient& operator=(const SignalClient&) = delete;

    const Login& login() const { return login_; }
    const std::string& jid() const { return login_.jid; }

    // Sends `request` with the next id, which it returns.
    unsigned send(Json::Value request);
    // Sends a frame exactly as given.
    void sendText(std::string text);
    unsigned nextId() { return ++lastId_; }
    // The "ok" of the answer to request `id`; none when no answer came in
    // time or the connection ended first.
    std::optional<bool> answer(unsigned id, std::chrono::milliseconds wait = kWait);
    // Sends `request` and waits for its answer: true only for "ok".
    bool request(Json::Value request);
    bool connect();
    // Creates or joins the meeting of `room` on the REST side, then joins it.
    bool join(const std::string& room, const std::string& password = "");

    std::vector<Json::Value> received() const;
    bool waitFor(const std::function<bool(const Json::Value&)>& match, std::chrono::milliseconds wait = kWait);
    // What arrived since the last call, up to everything the server had sent
    // by this call (a marker pushed through the test control ends the batch).
    std::vector<Json::Value> drain();

    bool closed() const;
    bool waitClosed(std::chrono::milliseconds wait = kWait);

    // The reading thread stops at the next message that arrives (it is still
    // recorded) until releaseReading(): the server's writes then back up.
    void holdReading();
    void releaseReading();

private:
    void arrived(const std::string& text);
    void ended();

    LocalServer& server_;
    Login login_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Json::Value> received_;
    std::size_t drained_ = 0;
    bool closed_ = false;
    bool holding_ = false;
    unsigned lastId_ = 0;
    unsigned markers_ = 0;
    velto_rtc::WsLink link_;  // last: its thread stops before the members it calls go
};

}  // namespace velto::test
