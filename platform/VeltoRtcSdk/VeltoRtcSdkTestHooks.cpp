#include "VeltoRtcSdkTestHooks.h"

#include <future>
#include <memory>

#include "RtcClient.h"
#include "RtcNetwork.h"

using velto_rtc::MessageServer;
using velto_rtc::RtcClient;
using velto_rtc::RtcNetwork;

namespace velto_rtc_test {
namespace {

// The client connected as jid; needs the network's mutex.
RtcClient* findClientLocked(const std::string& messageServer, const std::string& port, const std::string& jid)
{
    MessageServer* server = RtcNetwork::instance().find(RtcNetwork::address(messageServer, port));
    if (!server)
        return nullptr;
    for (RtcClient* client : server->clients)
        if (client->jidLocked() == jid)
            return client;
    return nullptr;
}

}  // namespace

void SetServerFaults(const std::string& messageServer, const std::string& port, const ServerFaults& faults)
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    network.server(RtcNetwork::address(messageServer, port)).faults = faults;
}

bool InjectEvent(const std::string& messageServer, const std::string& port, const std::string& jid,
                 std::function<void(VeltoRtcCallback&)> event)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    RtcClient* client = findClientLocked(messageServer, port, jid);
    if (client)
        client->deliver(std::move(event));
    return client != nullptr;
}

bool DropConnection(const std::string& messageServer, const std::string& port, const std::string& jid)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    RtcClient* client = findClientLocked(messageServer, port, jid);
    if (client)
        client->loseConnectionLocked();
    return client != nullptr;
}

bool Flush(const std::string& messageServer, const std::string& port, const std::string& jid,
           std::chrono::milliseconds timeout)
{
    // A marker behind the queued events; a client that goes away drops it,
    // which breaks the promise instead of leaving the wait hanging.
    auto delivered = std::make_shared<std::promise<void>>();
    std::future<void> done = delivered->get_future();
    {
        std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
        RtcClient* client = findClientLocked(messageServer, port, jid);
        if (!client)
            return false;
        client->post([delivered] { delivered->set_value(); });
    }
    if (done.wait_for(timeout) != std::future_status::ready)
        return false;
    try {
        done.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

std::vector<std::string> ConnectedClients(const std::string& messageServer, const std::string& port)
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    std::vector<std::string> jids;
    if (const MessageServer* server = network.find(RtcNetwork::address(messageServer, port)))
        for (const RtcClient* client : server->clients)
            jids.push_back(client->jidLocked());
    return jids;
}

std::vector<user_info> RoomMembers(const std::string& messageServer, const std::string& port,
                                   const std::string& roomJid)
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    std::vector<user_info> members;
    if (const MessageServer* server = network.find(RtcNetwork::address(messageServer, port)))
        for (const RtcClient* client : server->clients)
            if (!roomJid.empty() && client->roomLocked() == roomJid)
                members.push_back(client->infoLocked());
    return members;
}

std::vector<SentMessage> SentMessages(const std::string& messageServer, const std::string& port)
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    const MessageServer* server = network.find(RtcNetwork::address(messageServer, port));
    return server ? std::vector<SentMessage>(server->sent.begin(), server->sent.end()) : std::vector<SentMessage>{};
}

bool WaitForSent(const std::string& messageServer, const std::string& port,
                 const std::function<bool(const std::vector<SentMessage>&)>& done, std::chrono::milliseconds timeout)
{
    RtcNetwork& network = RtcNetwork::instance();
    const std::string address = RtcNetwork::address(messageServer, port);
    std::unique_lock<std::mutex> lock(network.mutex);
    return network.sentChanged.wait_for(lock, timeout, [&] {
        const MessageServer* server = network.find(address);
        return done(server ? std::vector<SentMessage>(server->sent.begin(), server->sent.end())
                           : std::vector<SentMessage>{});
    });
}

void Reset()
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    network.reset();
}

}  // namespace velto_rtc_test
