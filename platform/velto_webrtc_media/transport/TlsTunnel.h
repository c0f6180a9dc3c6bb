// TLS to a TURN server ("turns:"), verified, for an ICE agent that speaks
// TURN over plain TCP only: a listener on 127.0.0.1 whose every accepted
// connection is carried through a TLS connection of its own to the server.
// The server's certificate must chain to the system's CAs or to those of the
// file VELTO_CA_BUNDLE names, and must name the host (or address) the URL
// names; TLS 1.2 at least. A connection whose server cannot be reached, or
// does not finish its handshake within the set-up time, or whose certificate
// is refused, is closed on the loopback side too: the agent then gets no
// relayed address through it.
//
// The connections run on a thread the tunnel owns and joins in stop() (or
// its destructor); each direction holds at most kBufferBytes, after which the
// other side is no longer read until it drains.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace velto_media {

class TlsTunnel {
public:
    struct Target {
        std::string host;     // as the URL names it: what the certificate must name
        std::string address;  // the numeric address to connect to
        int port = 5349;
    };
    static constexpr size_t kBufferBytes = 64 * 1024;
    static constexpr int kMaxConnections = 8;

    // Listening, its thread running; null (with the reason in `why`) when the
    // CA file cannot be read or no listener can be made.
    static std::unique_ptr<TlsTunnel> open(const Target& target, std::chrono::milliseconds setUpTime,
                                           std::string* why);
    ~TlsTunnel();
    TlsTunnel(const TlsTunnel&) = delete;
    TlsTunnel& operator=(const TlsTunnel&) = delete;

    // Where the agent connects instead of the server.
    std::string localAddress() const { return "127.0.0.1"; }
    int localPort() const { return localPort_; }
    // Connections that reached the server and finished their handshake so far.
    int established() const { return established_.load(); }
    // Closes every connection and joins the thread; nothing runs afterwards.
    void stop();

    struct Impl;

private:
    TlsTunnel() = default;
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
    int localPort_ = 0;
    std::atomic<int> established_{0};
};

}  // namespace velto_media
