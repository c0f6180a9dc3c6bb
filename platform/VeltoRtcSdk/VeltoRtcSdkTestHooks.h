// Test access to the in-process message servers of the signalling client.
//
// Every client that connects to the same message server address (server and
// port) meets the others in one in-process server. Tests address a server by
// that pair and a client by the full address it connected under
// (user id "@" domain "/" endpoint).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "VeltoRtcSdkInterface.h"

namespace velto_rtc_test {

// One operation a client sent to its message server.
struct SentMessage {
    std::string from;               // the sender's full address
    std::string operation;          // the operation's name, e.g. "SendPresence"
    std::vector<std::string> args;  // its arguments in order: texts as they are,
                                    // numbers in decimal, flags "true"/"false";
                                    // SendPresence gives its number first, then
                                    // the report field by field, media list last
};

// How the message server at an address misbehaves, for connections made and
// pings sent from now on.
struct ServerFaults {
    int connectResult = 0;  // not 0: ConnectToServer fails with this result
    int pingResult = 0;     // not 0: SendPing answers this result
};

void SetServerFaults(const std::string& messageServer, const std::string& port, const ServerFaults& faults);

// Delivers `event` to the callback of the client connected as `jid`, on that
// client's event thread, as if the server had sent it. False when no client is
// connected under that address.
bool InjectEvent(const std::string& messageServer, const std::string& port, const std::string& jid,
                 std::function<void(VeltoRtcCallback&)> event);

// Ends the connection of `jid` as a lost network does: the client leaves its
// room (the others see it go), its pings fail from now on and it receives
// onNetworkError. False when no client is connected under that address.
bool DropConnection(const std::string& messageServer, const std::string& port, const std::string& jid);

// Waits until everything sent to the client `jid` so far has been delivered to
// its callback. False when no such client is connected or on time-out.
bool Flush(const std::string& messageServer, const std::string& port, const std::string& jid,
           std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Full addresses of the clients connected to the server, in connection order.
std::vector<std::string> ConnectedClients(const std::string& messageServer, const std::string& port);

// The participants of a room (number "@conference." server) as the server
// knows them, in connection order.
std::vector<user_info> RoomMembers(const std::string& messageServer, const std::string& port,
                                   const std::string& roomJid);

// What the clients sent to the server, in order (the latest 10000).
std::vector<SentMessage> SentMessages(const std::string& messageServer, const std::string& port);

// Waits until `done` holds for the messages sent to the server; false on time-out.
bool WaitForSent(const std::string& messageServer, const std::string& port,
                 const std::function<bool(const std::vector<SentMessage>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Forgets every server's faults and sent messages.
void Reset();

}  // namespace velto_rtc_test
