// Chat relay through the local message server: N clients (default 100) in one
// room, each sending one chat message a second for S seconds (default 30).
// Prints whether every message reached every other client exactly once, the
// relay latency (p50, p99, max) and the server's resident memory at the end.
//
//   signalling_bench [clients] [seconds]
#include <json/json.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LocalServer.h"
#include "NullRtcCallback.h"
#include "RestClient.h"
#include "VeltoRtcSdkInterface.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts chat messages "sender:seq:sentNs" and their relay times.
class ChatCounter final : public velto::test::NullRtcCallback {
public:
    void onChatMessage(std::string, std::string message) override
    {
        const auto now = Clock::now().time_since_epoch().count();
        std::istringstream in(message);
        std::string sender, seq, sent;
        std::getline(in, sender, ':');
        std::getline(in, seq, ':');
        std::getline(in, sent);
        std::lock_guard<std::mutex> lock(mutex);
        ++received[sender + ":" + seq];
        latenciesNs.push_back(now - std::stoll(sent));
    }
    void onNetworkError() override { lost = true; }

    std::mutex mutex;
    std::map<std::string, int> received;
    std::vector<long long> latenciesNs;
    std::atomic<bool> lost{false};
};

struct Client {
    ChatCounter counter;
    std::unique_ptr<VeltoRtcSdkInterface> rtc{VeltoRtcSdkInterface::CreateNew()};
    std::string jid;
};

Json::Value rest(const velto::test::LocalServer& server, const std::string& path, const std::string& token = {})
{
    return velto::test::RestClient(server).call("GET", path, {}, token);
}

long rssKb(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const int clientCount = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;

    velto::test::LocalServer server;
    server.setCaBundleEnv();
    const velto::test::Account demo = server.demoAccount();
    const std::string roomJid = demo.room + "@conference." + server.messageServer();

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < clientCount; ++i) {
        const Json::Value obj =
            rest(server, "/clientApi/loginClientAnonymous?nickname=guest" + std::to_string(i) +
                             "&password=&clientType=pc-win")["obj"];
        conference_login_info login;
        login.mUserId = obj["mUserId"].asString();
        login.endpoint = obj["endpoint"].asString();
        for (const Json::Value& ice : obj["turn"]["iceServers"])
            login.iceServers.push_back({ice["url"].asString(), ice["username"].asString(),
                                        ice["credential"].asString()});
        auto client = std::make_unique<Client>();
        client->rtc->SetCallback(&client->counter);
        client->jid = login.mUserId + "@" + obj["messageServer"].asString() + "/" + login.endpoint;
        if (client->rtc->ConnectToServer(obj["messageServer"].asString(), obj["messageServerPort"].asString(),
                                         login.mUserId, obj["messageServer"].asString(), login.endpoint, login) != 0 ||
            rest(server, "/clientApi/createOrJoinConference?j=" + client->jid + "&r=" + demo.room +
                             "&p=" + demo.meetPassword, obj["accessToken"].asString())["code"].asInt() != 200 ||
            client->rtc->JoinConferenceRoom(client->jid, roomJid, "guest" + std::to_string(i), {}) != 0) {
            std::fprintf(stderr, "signalling_bench: client %d could not join\n", i);
            return 1;
        }
        clients.push_back(std::move(client));
    }
    std::printf("clients %d in one room, %d s, one chat message a second each\n", clientCount, seconds);
    std::fflush(stdout);

    // Four senders, each with a share of the clients spread over the second.
    std::atomic<long> sent{0};
    std::atomic<long> failed{0};
    std::vector<std::thread> senders;
    const int senderCount = 4;
    for (int s = 0; s < senderCount; ++s)
        senders.emplace_back([&, s] {
            const auto start = Clock::now();
            for (int second = 0; second < seconds; ++second)
                for (int i = s; i < clientCount; i += senderCount) {
                    std::this_thread::sleep_until(start + std::chrono::seconds(second) +
                                                  std::chrono::microseconds(1000000LL * i / clientCount));
                    const std::string text = std::to_string(i) + ":" + std::to_string(second) + ":" +
                                             std::to_string(Clock::now().time_since_epoch().count());
                    (clients[i]->rtc->SendGroupMessage("g", text) == 0 ? sent : failed)++;
                }
        });
    for (std::thread& t : senders)
        t.join();

    // Let the last messages arrive.
    const long expected = sent * (clientCount - 1);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    long delivered = 0;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        delivered = 0;
        for (auto& c : clients) {
            std::lock_guard<std::mutex> lock(c->counter.mutex);
            delivered += static_cast<long>(c->counter.latenciesNs.size());
        }
    } while (delivered < expected && Clock::now() < deadline);

    long duplicates = 0;
    long missing = 0;
    std::vector<long long> latencies;
    for (int receiver = 0; receiver < clientCount; ++receiver) {
        ChatCounter& counter = clients[receiver]->counter;
        std::lock_guard<std::mutex> lock(counter.mutex);
        latencies.insert(latencies.end(), counter.latenciesNs.begin(), counter.latenciesNs.end());
        for (int sender = 0; sender < clientCount; ++sender) {
            if (sender == receiver)
                continue;
            for (int second = 0; second < seconds; ++second) {
                const auto it = counter.received.find(std::to_string(sender) + ":" + std::to_string(second));
                const int times = it == counter.received.end() ? 0 : it->second;
                missing += times == 0;
                duplicates += std::max(0, times - 1);
            }
        }
    }
    std::sort(latencies.begin(), latencies.end());
    const auto pct = [&](double p) {
        return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(p * (latencies.size() - 1))] / 1e6;
    };
    std::printf("sent %ld (failed %ld), expected deliveries %ld, delivered %ld, missing %ld, duplicates %ld\n",
                sent.load(), failed.load(), expected, delivered, missing, duplicates);
    std::printf("relay latency ms: p50 %.3f  p99 %.3f  max %.3f\n", pct(0.5), pct(0.99), pct(1.0));
    std::printf("server resident memory: %ld KiB\n", rssKb(server.pid()));
    bool lost = false;
    for (auto& c : clients)
        lost = lost || c->counter.lost;
    std::printf("connections lost: %s\n", lost ? "yes" : "no");
    const bool ok = failed == 0 && missing == 0 && duplicates == 0 && !lost;
    clients.clear();
    return ok ? 0 : 1;
}
