// velto_peer: a scripted participant for trying the program and for tests.
// It logs in through the SDK, joins a meeting by number, can raise its hand
// and echo the chat, and with --commands takes orders line by line on stdin.
// It sends a camera picture and a microphone sound (the synthetic camera and
// silence, or files of its user's choosing), can share its screen, and can
// keep what it receives and write down how well it received it.
// Every SDK event is printed as "event NAME ARG..."; every order's result as
// "result ORDER CODE".

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "FrameDump.h"
#include "PeerCallback.h"
#include "StatsFile.h"
#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"
#include "velto_media_sources.h"
#include "velto_media_statistics.h"

namespace {

const char* const kUsage =
    "usage: velto_peer --server HOST:PORT --user NAME --password PW [--room NUMBER] [--room-password PW]\n"
    "                  [--echo] [--raise-hand] [--commands] [--camera-image PNG] [--microphone-wav WAV]\n"
    "                  [--dump-frames DIR] [--dump-audio WAV] [--stats FILE] [--receive-only]\n"
    "                  [--share-screen FPS [--leave-out WINDOW]]\n"
    "  Trust comes from the system CAs and VELTO_CA_BUNDLE (the local server's ca.pem).\n"
    "  --room          meeting to join (default: none)\n"
    "  --echo          answers every chat message with \"echo: \" and the message\n"
    "  --raise-hand    raises its hand once in the meeting\n"
    "  --commands      reads orders on stdin until \"quit\" or end of input:\n"
    "                  join ROOM [PW] | leave | chat TEXT | hand ACTION [JID] | stage JID | split N |\n"
    "                  record start|stop | lock on|off | claim PASSWORD | grant JID | kick JID |\n"
    "                  mute JID | whiteboard ACTION | ring JID | share FPS [WINDOW] | unshare | quit\n"
    "  --camera-image    sends this PNG picture as its camera (default: the synthetic camera)\n"
    "  --microphone-wav  sends this WAV sound, looped, as its microphone (default: silence)\n"
    "  --dump-frames     writes each received stream's pictures into DIR as LABEL-N.png, one a second\n"
    "                    (the folders of DIR, WAV and FILE are made when missing)\n"
    "  --dump-audio      writes everything it plays (the meeting's mixed sound) into this WAV file\n"
    "  --stats           draws every received stream (into no window) and, whenever it leaves a meeting,\n"
    "                    writes what it received, the path its media took (\"ice\") and what it cost\n"
    "                    into FILE as JSON\n"
    "  --receive-only    sends neither camera picture nor microphone sound (its microphone is muted)\n"
    "  --share-screen    shares its whole screen ($DISPLAY) at FPS frames a second once in the meeting\n"
    "                    (it must be the meeting's moderator)\n"
    "  --leave-out       the share shows this window (native id) as a plain fill\n"
    "  It lists the synthetic camera (VELTO_SYNTHETIC_CAMERA=1) besides any real one.\n";

struct Options {
    std::string server, user, password, room, roomPassword;
    std::string cameraImage, microphoneWav, dumpFrames, dumpAudio, stats;
    int shareFps = 0;
    long long leaveOut = 0;
    bool receiveOnly = false;
    bool echo = false;
    bool raiseHand = false;
    bool commands = false;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << kUsage;
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--server")
            o.server = value();
        else if (arg == "--user")
            o.user = value();
        else if (arg == "--password")
            o.password = value();
        else if (arg == "--room")
            o.room = value();
        else if (arg == "--room-password")
            o.roomPassword = value();
        else if (arg == "--echo")
            o.echo = true;
        else if (arg == "--raise-hand")
            o.raiseHand = true;
        else if (arg == "--commands")
            o.commands = true;
        else if (arg == "--camera-image")
            o.cameraImage = value();
        else if (arg == "--microphone-wav")
            o.microphoneWav = value();
        else if (arg == "--dump-frames")
            o.dumpFrames = value();
        else if (arg == "--dump-audio")
            o.dumpAudio = value();
        else if (arg == "--stats")
            o.stats = value();
        else if (arg == "--receive-only")
            o.receiveOnly = true;
        else if (arg == "--share-screen") {
            o.shareFps = std::atoi(value().c_str());
            if (o.shareFps <= 0 || o.shareFps > 60) {
                std::cerr << kUsage;
                std::exit(2);
            }
        }
        else if (arg == "--leave-out") {
            o.leaveOut = std::atoll(value().c_str());
            if (o.leaveOut <= 0 || o.leaveOut > INT32_MAX) {
                std::cerr << kUsage;
                std::exit(2);
            }
        }
        else {
            std::cerr << kUsage;
            std::exit(arg == "--help" || arg == "-h" ? 0 : 2);
        }
    }
    if (o.server.empty() || o.user.empty() || o.password.empty()) {
        std::cerr << kUsage;
        std::exit(2);
    }
    return o;
}

// Makes `folder` when it is missing; false, with the reason said, when it
// cannot be made or written into (the files would be lost without a word).
bool writableFolder(const std::filesystem::path& folder, const char* option)
{
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "velto_peer: " << option << ": cannot make the folder " << folder << ": " << error.message()
                  << std::endl;
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        std::cerr << "velto_peer: " << option << ": cannot write into " << folder << std::endl;
        return false;
    }
    return true;
}

// Orders run one at a time on the main thread, never on an SDK thread.
class Orders {
public:
    void push(std::string order)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            orders_.push_back(std::move(order));
        }
        wake_.notify_one();
    }
    std::string take()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return !orders_.empty(); });
        std::string order = std::move(orders_.front());
        orders_.pop_front();
        return order;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> orders_;
};

}  // namespace

int main(int argc, char** argv)
{
    const auto started = std::chrono::steady_clock::now();
    const Options options = parse(argc, argv);
    if (!writableFolder(options.dumpFrames, "--dump-frames") ||
        !writableFolder(std::filesystem::path(options.dumpAudio).parent_path(), "--dump-audio") ||
        !writableFolder(std::filesystem::path(options.stats).parent_path(), "--stats"))
        return 2;
    // The peer is no user: without a camera it still sends the test picture.
    setenv("VELTO_SYNTHETIC_CAMERA", "1", 0);
    // The stdin and signal threads stay detached until the process ends, so
    // what they push to must outlive main.
    Orders& orders = *new Orders;

    // SIGINT/SIGTERM end the peer cleanly: a thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::thread([&orders, stopSignals] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        orders.push("quit");
    }).detach();

    // Files in place of devices, before the first engine exists. The peer
    // touches no sound device: beside a program on the same sound server it
    // would hear that program's playout and send it back.
    velto_media::setUserSources({options.cameraImage, options.microphoneWav, options.dumpAudio, true});
    if (!options.stats.empty())
        velto_media::keepReceiveStatistics(true);

    PeerCallback callback;
    if (!options.dumpFrames.empty() || !options.stats.empty()) {
        callback.onStream = [&orders](const std::string& label, bool added) {
            orders.push(std::string(added ? "render " : "unrender ") + label);
        };
    }
    if (options.echo)
        callback.onChat = [&orders](const std::string&, const std::string& message) {
            if (message.rfind("echo: ", 0) != 0)
                orders.push("chat echo: " + message);
        };
    std::unique_ptr<VeltoSdk> sdk(static_cast<VeltoSdk*>(getVeltoInterface()));
    sdk->setCallback(&callback);
    // The peer sends its camera's picture and its microphone's sound into
    // every meeting it joins, as a participant would; nothing is drawn locally.
    callback.onJoined = [&sdk, &options] {
        std::vector<velto_webrtc::rtc_device_> cameras, microphones, speakers;
        sdk->getVideoCaptureDevices(cameras);
        sdk->getAudioRecordingDevices(microphones);
        sdk->getAudioPlayoutDevices(speakers);
        rtc_render render;
        if (options.receiveOnly) {
            // The forwarding unit learns where a participant is from the
            // reports of a stream it announced: a muted microphone's.
            sdk->CreateSingleAudioStream(render, microphones.empty() ? velto_webrtc::rtc_device_{} : microphones[0],
                                         speakers.empty() ? velto_webrtc::rtc_device_{} : speakers[0]);
            sdk->EnableStreamAudio(false);
            return;
        }
        if (cameras.empty())
            return;
        // Without a microphone the stream has no sound; the speaker is only chosen.
        sdk->ShowLocalPreview(render, cameras[0], microphones.empty() ? velto_webrtc::rtc_device_{} : microphones[0],
                              speakers.empty() ? velto_webrtc::rtc_device_{} : speakers[0], 640, 360, 15, 512);
    };
    // The received streams' pictures, while --dump-frames or --stats ask for
    // them: files and a drawing that goes nowhere.
    struct Drawn {
        std::unique_ptr<QGLRenderInterface> target;
        unsigned int id = 0;
    };
    std::map<std::string, std::vector<Drawn>> drawn;
    const auto stopDrawing = [&](const std::string& label) {
        for (Drawn& draw : drawn[label])
            sdk->StopRenderStream(static_cast<int>(draw.id), label);
        drawn.erase(label);
    };
    const auto stopAllDrawing = [&] {
        while (!drawn.empty())
            stopDrawing(drawn.begin()->first);
    };
    const auto leave = [&] {
        stopAllDrawing();
        const int left = sdk->LeaveConference();
        if (!options.stats.empty() && !writeStatsFile(options.stats, started))
            std::cerr << "velto_peer: cannot write " << options.stats << std::endl;
        return left;
    };

    if (sdk->Login(options.server, options.user, options.password, "") != 0) {
        std::cerr << "velto_peer: the login of " << options.user << " failed" << std::endl;
        return 1;
    }
    std::string meetPassword, ownerPassword;
    sdk->QueryUsers(meetPassword, ownerPassword);
    PeerCallback::print("ready " + callback.myJid);
    if (!options.room.empty())
        orders.push("join " + options.room + " " + options.roomPassword);
    if (options.raiseHand)
        orders.push("hand apply");
    if (options.shareFps > 0)
        orders.push("share " + std::to_string(options.shareFps) + " " + std::to_string(options.leaveOut));
    if (options.commands)
        std::thread([&orders] {
            std::string line;
            while (std::getline(std::cin, line))
                orders.push(line);
            orders.push("quit");
        }).detach();

    // A share's label as the program makes them: a number below 10000.
    const std::string shareLabel = std::to_string(std::random_device{}() % 10000);
    for (;;) {
        const std::string order = orders.take();
        std::istringstream in(order);
        std::string verb, a, b;
        in >> verb >> a;
        std::getline(in >> std::ws, b);
        const std::string rest = order.size() > verb.size() + 1 ? order.substr(verb.size() + 1) : std::string();
        if (verb == "quit")
            break;
        // Internal orders: drawing a received stream into its files.
        if (verb == "render" && !drawn.count(a)) {
            std::vector<Drawn>& draws = drawn[a];
            if (!options.dumpFrames.empty())
                draws.push_back({std::make_unique<FrameDump>(options.dumpFrames, a), 0});
            if (!options.stats.empty())
                draws.push_back({std::make_unique<DrawTarget>(), 0});
            for (auto draw = draws.begin(); draw != draws.end();)
                draw = sdk->StartRenderStream(draw->target.get(), draw->id, a, false) ? draw + 1 : draws.erase(draw);
            continue;
        }
        if (verb == "unrender" || verb == "render") {
            if (verb == "unrender" && drawn.count(a))
                stopDrawing(a);
            continue;
        }
        int rc = -1;
        if (verb == "join")
            rc = sdk->JoinConference(a, b);
        else if (verb == "leave")
            rc = leave();
        else if (verb == "chat")
            rc = sdk->SendChatMessage(rest);
        else if (verb == "hand")
            rc = sdk->HandsUp(a, b.empty() ? callback.myJid : b, callback.myName);
        else if (verb == "stage")
            rc = sdk->SetStage(a, false);
        else if (verb == "split")
            rc = sdk->SplitScreen(std::atoi(a.c_str()));
        else if (verb == "record")
            rc = a == "start" ? sdk->StartRecord("recording") : sdk->StopRecord();
        else if (verb == "lock")
            rc = sdk->LockConference(a == "on");
        else if (verb == "claim")
            rc = sdk->GetModerator(sdk->getHttpCallback()->getJoinInfo().r, a);
        else if (verb == "grant")
            rc = sdk->SendModerator(a);
        else if (verb == "kick")
            rc = sdk->SendKickout(a);
        else if (verb == "mute")
            rc = sdk->SendAudioMute(a, true);
        else if (verb == "whiteboard")
            rc = sdk->SendWhiteboard(a, "1", "");
        else if (verb == "ring")
            rc = sdk->SendRingCall(a, "invite", sdk->getHttpCallback()->getJoinInfo().r, callback.myName, 1, 1, "0", "");
        else if (verb == "share") {
            // Sharing is the chair's and renegotiates the meeting's media:
            // the role and the server's offer arrive by signalling shortly
            // after the join, so an order given with the join waits for both.
            const auto ready = [&sdk] {
                velto_webrtc_interface* media = sdk->getWebrtc();
                return sdk->isModerator() && media && !media->GetRemoteOffer().empty();
            };
            for (int waited = 0; waited < 100 && !ready(); ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            rc = sdk->AddScreenShareStream(shareLabel, true, std::max(1, std::atoi(a.c_str())), 0,
                                           std::max(0, std::atoi(b.c_str())));
        } else if (verb == "unshare")
            rc = sdk->RemoveScreenShareStream(shareLabel);
        else if (verb == "moderator")
            rc = sdk->isModerator() ? 1 : 0;
        else {
            PeerCallback::print("unknown " + order);
            continue;
        }
        PeerCallback::print("result " + verb + " " + std::to_string(rc));
    }
    leave();
    sdk->Logout();
    return 0;
}
