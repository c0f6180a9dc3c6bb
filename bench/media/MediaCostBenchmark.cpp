// What one stream costs, measured from /proc while it runs through the local
// server's forwarding unit between two scripted peers (velto_peer):
//   - a 640x360/15 fps camera (the synthetic camera) with an Opus tone: the
//     sender's and the receiver's CPU (percent of one core) and memory, and
//     the server's CPU (the forwarding unit's work);
//   - a 1920x1080/5 fps share of the whole screen ($DISPLAY, which should be
//     that size; a still detailed picture is put on it): the sharer's CPU.
// The receiver sends nothing (its microphone muted) and draws what it gets
// as a window would; its statistics file says what arrived.
//
// With --relay, the camera stream again through a TURN relay over TCP (the
// peers on a "machine" of their own from which no UDP gets out, the server
// and coturn on another; needs root), beside the direct path on loopback.
//
//   Xvfb :72 -screen 0 1920x1080x24 &
//   DISPLAY=:72 build/test/bin/media_cost_bench [--seconds 30] [--warmup 5] [--no-share] [--relay]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
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

struct Cost {
    double cpu = 0;
    double rss = 0;
    double peak = 0;
};

struct Measured {
    Cost sender, receiver, server;
    Cost relay;            // the TURN server's, when `relay` was given
    Json::Value received;  // the receiver's statistics file
};

// Runs the sender until the receiver draws its stream, lets it settle, and
// measures everybody (and the TURN server `relay`, when given) over `seconds`.
Measured measure(LocalServer& server, const std::string& dir, const std::string& what,
                 const std::vector<std::string>& senderOptions, int warmup, int seconds, pid_t relay = 0)
{
    const Account demo = server.demoAccount();
    const std::string statsFile = dir + "/" + what + "-received.json";
    Measured result;
    {
        PeerProcess sender(server.host(), demo, demo.room, demo.meetPassword, senderOptions);
        if (sender.waitFor("result join ", 20s) != "result join 0")
            throw std::runtime_error("the sender did not join");
        PeerProcess receiver(server.host(), server.account("alice"), demo.room, demo.meetPassword,
                             {"--receive-only", "--stats", statsFile});
        if (receiver.waitFor("result join ", 20s) != "result join 0" ||
            receiver.waitFor("event onAddStream ", 20s).empty())
            throw std::runtime_error("the receiver got no stream");
        std::this_thread::sleep_for(std::chrono::seconds(warmup));
        const CpuWindow senderCpu(sender.pid()), receiverCpu(receiver.pid()), serverCpu(server.pid());
        const CpuWindow relayCpu(relay > 0 ? relay : server.pid());
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const auto cost = [](const CpuWindow& window, pid_t pid) {
            const ProcessUsage usage = processUsage(pid);
            return Cost{window.percent(), usage.rssMib, usage.peakRssMib};
        };
        result.sender = cost(senderCpu, sender.pid());
        result.receiver = cost(receiverCpu, receiver.pid());
        result.server = cost(serverCpu, server.pid());
        if (relay > 0)
            result.relay = cost(relayCpu, relay);
    }  // both leave; the receiver writes its file
    result.received = readJsonFile(statsFile);
    return result;
}

const Json::Value* receivedVideo(const Json::Value& stats)
{
    const Json::Value* best = nullptr;
    for (const Json::Value& stream : stats["streams"])
        if (stream["kind"].asString() == "video" &&
            (!best || stream["seconds"].asDouble() > (*best)["seconds"].asDouble()))
            best = &stream;
    return best;
}

void printReceived(const Json::Value& stats)
{
    const Json::Value* video = receivedVideo(stats);
    if (!video) {
        std::printf("  received: no video stream\n");
        return;
    }
    std::printf("  received: %s fps over %s s, longest freeze %lld ms, %u keyframes, %llu packets lost\n",
                fixed((*video)["fps"].asDouble()).c_str(), fixed((*video)["seconds"].asDouble()).c_str(),
                static_cast<long long>((*video)["longest_freeze_ms"].asInt64()), (*video)["keyframes"].asUInt(),
                static_cast<unsigned long long>((*video)["packets_lost"].asUInt64()));
}

// The size of the X screen the sharer will grab; false without a display.
bool screenSize(int* width, int* height)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    *width = screen->width_in_pixels;
    *height = screen->height_in_pixels;
    xcb_disconnect(connection);
    return true;
}

// Runs a program to its end; its exit status, -1 when it could not start.
int run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    // The machine has no camera: the synthetic one sends the measured pictures.
    setenv("VELTO_SYNTHETIC_CAMERA", "1", 1);
    const int seconds = intOption(argc, argv, "--seconds", 30);
    const int warmup = intOption(argc, argv, "--warmup", 5);
    const bool share = !flagOption(argc, argv, "--no-share");
    const bool relay = flagOption(argc, argv, "--relay");
    signal(SIGPIPE, SIG_IGN);
    std::printf("media_cost_bench: %d s measured after %d s, load average %s\n", seconds, warmup,
                loadAverage().c_str());
    try {
        const std::string dir = freshFolder("media_cost_bench");
        writeTone(dir + "/tone.wav", 440, 10);
        LocalServer server;
        server.setCaBundleEnv();

        const Measured camera =
            measure(server, dir, "camera", {"--microphone-wav", dir + "/tone.wav"}, warmup, seconds);
        std::printf("\none 640x360/15 fps camera stream with an Opus tone, sender -> unit -> receiver\n");
        std::printf("  sender    CPU %5s %% of a core, RSS %5s MiB (peak %s)\n", fixed(camera.sender.cpu, 2).c_str(),
                    fixed(camera.sender.rss).c_str(), fixed(camera.sender.peak).c_str());
        std::printf("  receiver  CPU %5s %% of a core, RSS %5s MiB (peak %s)\n", fixed(camera.receiver.cpu, 2).c_str(),
                    fixed(camera.receiver.rss).c_str(), fixed(camera.receiver.peak).c_str());
        std::printf("  server    CPU %5s %% of a core, RSS %5s MiB (forwarding unit, signalling, REST)\n",
                    fixed(camera.server.cpu, 2).c_str(), fixed(camera.server.rss).c_str());
        printReceived(camera.received);

        if (!relay) {
            std::printf("\nthrough a TURN relay: left out (without --relay)\n");
        } else if (const std::string why = RelayLab::unavailable(); !why.empty()) {
            std::printf("\nthrough a TURN relay: left out (%s)\n", why.c_str());
        } else {
            RelayLab lab(dir);
            Measured relayed;
            {
                // The peers and this thread on the client's machine, where no UDP gets out.
                velto::test::NetworkLab::Inside onTheClient(lab.client());
                LocalServer relayedServer(lab.serverOptions());
                relayedServer.setCaBundleEnv();
                relayed = measure(relayedServer, dir, "relay", {"--microphone-wav", dir + "/tone.wav"}, warmup,
                                  seconds, lab.relayPid());
            }
            server.setCaBundleEnv();
            const Json::Value& ice = relayed.received["ice"];
            std::printf("\nthe same stream directly on loopback and through a TURN relay over TCP (the receiver's "
                        "path: %s/%s/%s)\n",
                        ice["local"].asCString(), ice["remote"].asCString(), ice["transport"].asCString());
            std::printf("                      direct     relay   (CPU, %% of a core)\n");
            const auto row = [](const char* who, double direct, double through) {
                std::printf("  %-18s %7s   %7s\n", who, fixed(direct, 2).c_str(), fixed(through, 2).c_str());
            };
            row("sender", camera.sender.cpu, relayed.sender.cpu);
            row("receiver", camera.receiver.cpu, relayed.receiver.cpu);
            row("server", camera.server.cpu, relayed.server.cpu);
            std::printf("  %-18s %7s   %7s\n", "TURN server", "-", fixed(relayed.relay.cpu, 2).c_str());
            printReceived(relayed.received);
        }

        int width = 0;
        int height = 0;
        if (!share) {
            std::printf("\nscreen share: left out (--no-share)\n");
        } else if (!screenSize(&width, &height)) {
            std::printf("\nscreen share: left out (no X display in $DISPLAY)\n");
        } else {
            // A still, detailed picture on the whole screen, as a shared document or slide is.
            const std::string picture = dir + "/screen.png";
            const std::string size = std::to_string(width) + "x" + std::to_string(height);
            // (display answers 1 even when it did set the picture.)
            if (run({"convert", "-seed", "7", "-size", size, "plasma:fractal", picture}) != 0 ||
                run({"display", "-window", "root", picture}) < 0)
                std::printf("\n(no picture could be put on the screen: it stays as it is)\n");
            const Measured shared = measure(server, dir, "screen", {"--receive-only", "--share-screen", "5"}, warmup,
                                            seconds);
            std::printf("\na share of the whole %dx%d screen at 5 fps (a still picture), sharer -> unit -> receiver\n",
                        width, height);
            std::printf("  sharer    CPU %5s %% of a core, RSS %5s MiB (peak %s)\n",
                        fixed(shared.sender.cpu, 2).c_str(), fixed(shared.sender.rss).c_str(),
                        fixed(shared.sender.peak).c_str());
            std::printf("  receiver  CPU %5s %% of a core, RSS %5s MiB\n", fixed(shared.receiver.cpu, 2).c_str(),
                        fixed(shared.receiver.rss).c_str());
            std::printf("  server    CPU %5s %% of a core\n", fixed(shared.server.cpu, 2).c_str());
            printReceived(shared.received);
        }
        std::printf("\nload average after: %s\n", loadAverage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "media_cost_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
