// One WebSocket connection over verified TLS to the message server, with the
// thread that reads from it.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace velto_rtc {

class WsLink {
public:
    using OnText = std::function<void(std::string)>;
    using OnClosed = std::function<void()>;

    // Both run on the link's own thread: onText for every text frame in order,
    // onClosed once when the connection ends other than by close().
    WsLink(OnText onText, OnClosed onClosed);
    ~WsLink();  // close()
    WsLink(const WsLink&) = delete;
    WsLink& operator=(const WsLink&) = delete;

    // Connects within `timeout`, trusting the system's CAs and the file named
    // by VELTO_CA_BUNDLE; "" on success, otherwise why not.
    std::string open(const std::string& host, const std::string& port, std::chrono::milliseconds timeout);
    // Queues one text frame; dropped once the connection is gone.
    void send(std::string text);
    // Ends the connection and joins the thread; not from onText or onClosed.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
};

}  // namespace velto_rtc
