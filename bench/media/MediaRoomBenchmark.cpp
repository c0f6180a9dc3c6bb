// A full room on this machine: nine scripted peers (velto_peer) in one
// meeting of the local server, each sending the synthetic camera
// (640x360/15 fps) and a tone, and drawing the eight others as a window
// would. The accounts come from a seed file written here (--seed).
//
// Prints, from the peers' statistics files, every receiver's frame rate and
// longest freeze on each of its tiles; from /proc over --seconds, the
// server's CPU, each peer's CPU, and the first peer's memory in the meeting
// above its size when logged in and idle.
//
//   build/test/bin/media_room_bench [--participants 9] [--seconds 60] [--warmup 5]
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "LocalServer.h"
#include "MediaBenchSupport.h"
#include "PeerProcess.h"

namespace {

using namespace velto::bench;
using namespace std::chrono_literals;
using velto::test::Account;
using velto::test::LocalServer;
using velto::test::PeerProcess;

constexpr double kGoalFps = 14;

// Accounts user1..userN, each with a personal room; user1's is the meeting.
std::string writeSeed(const std::string& path, int participants)
{
    std::ofstream seed(path);
    seed << "{\"users\": [";
    for (int i = 1; i <= participants; ++i) {
        char userId[33];
        std::snprintf(userId, sizeof userId, "%08x%024x", 0x5eed0000u + unsigned(i), unsigned(i));
        seed << (i > 1 ? ",\n" : "\n") << "  {\"userId\": \"" << userId << "\", \"userName\": \"user" << i
             << "\", \"password\": \"pass" << i << "word\", \"displayName\": \"Participant " << i
             << "\", \"email\": \"user" << i << "@velto.test\", \"phone\": \"1390000000" << i
             << "\", \"room\": \"2000000" << i << "\", \"meetPassword\": \"11111" << i
             << "\", \"ownerPassword\": \"99999" << i << "\"}";
    }
    seed << "\n], \"conferences\": []}\n";
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    // The machine has no camera: the synthetic one sends the measured pictures.
    setenv("VELTO_SYNTHETIC_CAMERA", "1", 1);
    const int participants = std::clamp(intOption(argc, argv, "--participants", 9), 2, 9);
    const int seconds = intOption(argc, argv, "--seconds", 60);
    const int warmup = intOption(argc, argv, "--warmup", 5);
    signal(SIGPIPE, SIG_IGN);
    std::printf("media_room_bench: %d participants, %d s measured after %d s, load average %s\n", participants,
                seconds, warmup, loadAverage().c_str());
    try {
        const std::string dir = freshFolder("media_room_bench");
        writeTone(dir + "/tone.wav", 440, 10);
        LocalServer::Options options;
        options.seedFile = writeSeed(dir + "/seed.json", participants);
        LocalServer server(options);
        server.setCaBundleEnv();
        const std::vector<Account> accounts = server.accounts();
        const Account& host = accounts.at(0);

        std::vector<std::unique_ptr<PeerProcess>> peers;
        for (int i = 0; i < participants; ++i) {
            peers.push_back(std::make_unique<PeerProcess>(
                server.host(), accounts.at(size_t(i)), "", "",
                std::vector<std::string>{"--microphone-wav", dir + "/tone.wav", "--stats",
                                         dir + "/peer" + std::to_string(i + 1) + ".json"}));
        }
        for (auto& peer : peers)
            if (peer->waitFor("ready ", 20s).empty())
                throw std::runtime_error("a peer did not log in");
        // The first peer's size logged in, before any meeting.
        std::this_thread::sleep_for(2s);
        const ProcessUsage idle = processUsage(peers[0]->pid());

        for (auto& peer : peers)
            if (peer->order("join " + host.room + " " + host.meetPassword) != "0")
                throw std::runtime_error("a peer could not join");
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (auto& peer : peers)
            while (peer->count("event onAddStream ") < size_t(participants - 1)) {
                if (std::chrono::steady_clock::now() > deadline)
                    throw std::runtime_error("a peer was not told of every other's stream");
                std::this_thread::sleep_for(100ms);
            }
        std::this_thread::sleep_for(std::chrono::seconds(warmup));

        const CpuWindow serverCpu(server.pid());
        std::vector<CpuWindow> peerCpu;
        for (auto& peer : peers)
            peerCpu.emplace_back(peer->pid());
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double serverPercent = serverCpu.percent();
        std::vector<double> peerPercent;
        for (const CpuWindow& window : peerCpu)
            peerPercent.push_back(window.percent());
        const ProcessUsage meeting = processUsage(peers[0]->pid());
        const ProcessUsage serverUsage = processUsage(server.pid());

        // Everybody leaves at once and writes its file.
        for (auto& peer : peers)
            peer->send("quit");
        peers.clear();

        std::printf("\nreceivers' tiles (frames drawn a second over each stream's life, longest freeze)\n");
        double lowestFps = 1e9;
        int64_t longestFreeze = 0;
        int tiles = 0;
        int tilesBelowGoal = 0;
        for (int i = 1; i <= participants; ++i) {
            const Json::Value stats = readJsonFile(dir + "/peer" + std::to_string(i) + ".json");
            std::string line;
            int seen = 0;
            for (const Json::Value& stream : stats["streams"]) {
                if (stream["kind"].asString() != "video" || stream["seconds"].asDouble() <= 0)
                    continue;
                const double fps = stream["fps"].asDouble();
                const int64_t freeze = stream["longest_freeze_ms"].asInt64();
                line += " " + fixed(fps) + "/" + std::to_string(freeze);
                lowestFps = std::min(lowestFps, fps);
                longestFreeze = std::max(longestFreeze, freeze);
                tilesBelowGoal += fps < kGoalFps ? 1 : 0;
                ++seen;
            }
            tiles += seen;
            std::printf("  peer %d: %d tiles, fps/freeze ms:%s\n", i, seen, line.c_str());
        }
        std::printf("  all: %d tiles, lowest %s fps, %d below %s fps, longest freeze %lld ms\n", tiles,
                    fixed(tiles ? lowestFps : 0).c_str(), tilesBelowGoal, fixed(kGoalFps, 0).c_str(),
                    static_cast<long long>(longestFreeze));

        std::printf("\nCPU over %d s (percent of one core)\n", seconds);
        std::printf("  server: %s %%, RSS %s MiB\n", fixed(serverPercent, 2).c_str(),
                    fixed(serverUsage.rssMib).c_str());
        std::string each;
        for (double percent : peerPercent)
            each += " " + fixed(percent);
        const auto [low, high] = std::minmax_element(peerPercent.begin(), peerPercent.end());
        std::printf("  peers: %s .. %s %% (each:%s)\n", fixed(*low).c_str(), fixed(*high).c_str(), each.c_str());
        std::printf("  peer 1: %s %%\n", fixed(peerPercent[0]).c_str());
        std::printf("\npeer 1 memory: idle (logged in) %s MiB, in the meeting %s MiB (peak %s): %s MiB added "
                    "(peak %s)\n",
                    fixed(idle.rssMib).c_str(), fixed(meeting.rssMib).c_str(), fixed(meeting.peakRssMib).c_str(),
                    fixed(meeting.rssMib - idle.rssMib).c_str(), fixed(meeting.peakRssMib - idle.rssMib).c_str());
        std::printf("\nload average after: %s\n", loadAverage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "media_room_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
