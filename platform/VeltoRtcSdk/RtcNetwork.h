// The in-process message servers. Every client that connects to the same
// address (server and port) meets the others there; one lock guards all of
// them, including the connection state that the clients keep.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "VeltoRtcSdkTestHooks.h"

namespace velto_rtc {

class RtcClient;

struct MessageServer {
    velto_rtc_test::ServerFaults faults;
    std::deque<velto_rtc_test::SentMessage> sent;  // the latest kSentKept
    std::vector<RtcClient*> clients;  // connected, in connection order
};

class RtcNetwork {
public:
    // A long meeting pings and reports for hours; only the recent past is kept.
    static constexpr size_t kSentKept = 10000;

    static RtcNetwork& instance();
    static std::string address(const std::string& server, const std::string& port) { return server + ":" + port; }

    // The members below need `mutex`.
    MessageServer& server(const std::string& address);  // made on first use
    MessageServer* find(const std::string& address);
    void record(MessageServer& server, const std::string& from, const std::string& operation,
                std::vector<std::string> args);
    // Forgets faults and sent messages; servers nobody is connected to go.
    void reset();

    std::mutex mutex;
    std::condition_variable sentChanged;

private:
    std::map<std::string, MessageServer> servers_;  // nodes stay put while clients point at them
};

}  // namespace velto_rtc
