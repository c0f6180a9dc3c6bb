#pragma once
#include "Certificates.h"
#include "ConferenceService.h"

#include <json/value.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

namespace velto::server {

class MessageHub;
class MediaUnit;

// The message server: WebSocket over TLS on the --listen address, JSON text frames (see
// README.md). One thread runs every connection and the rooms; the REST side
// and the test control hand their work to it.
class MessageService {
public:
    struct Limits {
        std::size_t maxFrame = 64 * 1024;       // bytes of one message
        std::size_t maxQueued = 1024;           // messages waiting to go out to one reader
        std::chrono::milliseconds idle{60000};  // a connection that says nothing this long is closed
        std::chrono::seconds handshake{10};     // TLS, WebSocket and the "connect" message each
        int maxPerUser = 8;                     // connections of one user at a time
        std::chrono::milliseconds delay{0};     // every client frame held this long first (a distant server)
        int maxUnidentified = 64;               // connections that have not said who they are
        std::chrono::milliseconds acceptBackOff{100};  // the wait before accepting again after an error
    };

    MessageService(const ServerIdentity& identity, ConferenceService& service, std::string messageServer,
                   Limits limits, bool verbose);
    ~MessageService();

    // Binds `address`:`port` (0 = any free port); returns the port, -1 on failure.
    int bind(const std::string& address, int port);
    // Joins set up legs of `unit`, which outlives the service; before start().
    void attachMedia(MediaUnit& unit);
    void start();
    void stop();

    // Thread-safe: runs on the service's thread.
    void notify(Notice notice);

    // Test control; each waits for the service's thread.
    Json::Value sent() const;               // [{"from","operation","args":[...]}]
    Json::Value clients() const;            // full addresses, in connection order
    Json::Value room(const std::string& number) const;  // participant records
    bool drop(const std::string& jid);      // ends that connection as a lost network does
    bool push(const std::string& jid, const Json::Value& messages);  // raw texts or objects
    void setFaults(bool refuseConnections, bool silentPings);
    void reset();                           // faults and records gone; connections stay

private:
    std::unique_ptr<MessageHub> hub_;
    std::thread thread_;
};

}  // namespace velto::server
