#include "RtcNetwork.h"

namespace velto_rtc {

RtcNetwork& RtcNetwork::instance()
{
    static RtcNetwork network;
    return network;
}

MessageServer& RtcNetwork::server(const std::string& address)
{
    return servers_[address];
}

MessageServer* RtcNetwork::find(const std::string& address)
{
    const auto it = servers_.find(address);
    return it == servers_.end() ? nullptr : &it->second;
}

void RtcNetwork::record(MessageServer& server, const std::string& from, const std::string& operation,
                        std::vector<std::string> args)
{
    if (server.sent.size() == kSentKept)
        server.sent.pop_front();
    server.sent.push_back({from, operation, std::move(args)});
    sentChanged.notify_all();
}

void RtcNetwork::reset()
{
    for (auto it = servers_.begin(); it != servers_.end();) {
        it->second.faults = {};
        it->second.sent.clear();
        it = it->second.clients.empty() ? servers_.erase(it) : std::next(it);
    }
}

}  // namespace velto_rtc
