// What the media path delivers, end to end through the local server's
// forwarding unit on loopback: two SDKs in this process, the demo user
// sending the synthetic camera (640x360, 15 fps, its frame number drawn into
// each picture) and an Opus tone, Alice receiving and drawing.
//
// The frame number is read back from every picture drawn: on the sender's
// own preview (drawn as each picture leaves the camera, before encoding) and
// on the receiver's render. One clock serves both, so each number drawn on
// both sides gives a capture-to-drawn latency. Prints:
//   - the time to the first picture drawn when a sender joins a waiting
//     receiver, and when a receiver joins a running sender (--rejoins times);
//   - over --seconds of a running meeting: latency p50/p95/max, the share of
//     the pictures sent that were drawn, the longest freeze, keyframes a
//     minute, NACKs and PLIs sent, audio frames rebuilt (FEC) or concealed.
// With --loss P the forwarding unit drops P% of the packets it forwards.
// With --relay the two SDKs are on a "machine" of their own from which no
// UDP gets out, the server and a TURN server on another: all media goes
// through the relay over TCP (needs root); with --tls too, over TLS (a
// turns: URL, the relay's certificate verified).
//
//   build/test/bin/media_path_bench [--seconds 30] [--loss 5] [--rejoins 5] [--relay [--tls]]
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "FrameCounter.h"
#include "LocalServer.h"
#include "MediaBenchSupport.h"
#include "WindowlessRender.h"
#include "RecordingCallback.h"
#include "VeltoSdk.h"
#include "velto_media_sources.h"
#include "velto_media_statistics.h"

namespace {

using namespace velto::bench;
using namespace std::chrono_literals;
using velto::test::Account;
using velto::test::Event;
using velto::test::LocalServer;
using velto::test::RecordingCallback;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFps = 15;
constexpr int kBitrateKbps = 512;

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// A render target that notes when each frame number was drawn.
class CounterTarget final : public WindowlessRender {
public:
    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override
    {
        if (w <= 0 || h <= 0 || w > 8192 || h > 8192)
            return nullptr;
        argb_.resize(size_t(w) * h * 4);
        return argb_.data();
    }
    void unlockBuffer() override { mutex_.unlock(); }
    void PlayOneFrame(const unsigned char* argb, int w, int h) override
    {
        const int64_t drawn = nowUs();
        uint32_t counter = 0;
        const bool numbered = readCounter(argb, w, h, &counter);
        std::lock_guard<std::mutex> lock(drawsMutex_);
        if (numbered)
            draws_.push_back({counter, drawn});
        else
            ++unnumbered_;
    }

    struct Draw {
        uint32_t counter;
        int64_t us;
    };
    std::vector<Draw> draws() const
    {
        std::lock_guard<std::mutex> lock(drawsMutex_);
        return draws_;
    }
    // The first numbered picture drawn at or after `us`, -1 when none yet.
    int64_t firstDrawSince(int64_t us) const
    {
        std::lock_guard<std::mutex> lock(drawsMutex_);
        for (const Draw& draw : draws_)
            if (draw.us >= us)
                return draw.us;
        return -1;
    }
    int unnumbered() const
    {
        std::lock_guard<std::mutex> lock(drawsMutex_);
        return unnumbered_;
    }

    void getWinSize(int* w, int* h) override { *w = kWidth, *h = kHeight; }
    using WindowlessRender::PlayOneFrame;

private:
    // The number's blocks lie in the bottom band: only its brightness is worked out.
    bool readCounter(const unsigned char* argb, int w, int h, uint32_t* counter)
    {
        const int band = velto_media::frameCounterBandHeight(w, h);
        if (band <= 0)
            return false;
        if (luma_.width != w || luma_.height != h) {
            luma_.width = w;
            luma_.height = h;
            luma_.y.assign(size_t(w) * h, 0);
            luma_.u.assign(size_t(w / 2) * (h / 2), 128);
            luma_.v.assign(size_t(w / 2) * (h / 2), 128);
        }
        for (int row = h - band; row < h; ++row) {
            const unsigned char* pixel = argb + size_t(row) * w * 4;
            uint8_t* y = luma_.y.data() + size_t(row) * w;
            for (int x = 0; x < w; ++x, pixel += 4)  // alpha, red, green, blue
                y[x] = uint8_t(((66 * pixel[1] + 129 * pixel[2] + 25 * pixel[3] + 128) >> 8) + 16);
        }
        return velto_media::readFrameCounter(luma_, counter);
    }

    std::mutex mutex_;
    std::vector<unsigned char> argb_;
    velto_media::VideoFrame luma_;  // the drawing thread's
    mutable std::mutex drawsMutex_;
    std::vector<Draw> draws_;
    int unnumbered_ = 0;
};

// One participant: an SDK of this process, logged in.
class Participant {
public:
    Participant(LocalServer& server, const Account& account) : account_(account)
    {
        sdk_.reset(static_cast<VeltoSdk*>(getVeltoInterface()));
        sdk_->setCallback(&callback_);
        if (sdk_->Login(server.host(), account.userName, account.password, "") != 0)
            throw std::runtime_error("the login of " + account.userName + " failed");
    }
    ~Participant()
    {
        leave();
        sdk_->Logout();
    }

    // Sends the synthetic camera, drawing its preview into `preview`, from every join on.
    void sendCamera(CounterTarget* preview)
    {
        callback_.onEvent("onCreateOrJoinConference", [this, preview](const Event&) {
            std::vector<velto_webrtc::rtc_device_> cameras, microphones, speakers;
            sdk_->getVideoCaptureDevices(cameras);
            sdk_->getAudioRecordingDevices(microphones);
            sdk_->getAudioPlayoutDevices(speakers);
            const auto synthetic = std::find_if(cameras.begin(), cameras.end(), [](const auto& camera) {
                return camera.id == "synthetic";
            });
            if (synthetic == cameras.end())
                return;
            rtc_render render;
            render.window = preview;
            const velto_webrtc::rtc_device_ none;
            sdk_->ShowLocalPreview(render, *synthetic, microphones.empty() ? none : microphones[0],
                                   speakers.empty() ? none : speakers[0], kWidth, kHeight, kFps, kBitrateKbps);
        });
    }
    // Sends nothing, and draws every stream it receives into `target` from
    // the moment it is told of it. (The forwarding unit learns where a
    // participant is from the reports of a stream it announced: a muted
    // microphone's.)
    void receiveInto(CounterTarget* target)
    {
        callback_.onEvent("onCreateOrJoinConference", [this](const Event&) {
            std::vector<velto_webrtc::rtc_device_> microphones, speakers;
            sdk_->getAudioRecordingDevices(microphones);
            sdk_->getAudioPlayoutDevices(speakers);
            rtc_render render;
            sdk_->CreateSingleAudioStream(render, microphones.empty() ? velto_webrtc::rtc_device_{} : microphones[0],
                                          speakers.empty() ? velto_webrtc::rtc_device_{} : speakers[0]);
            sdk_->EnableStreamAudio(false);
        });
        callback_.onEvent("onAddStream", [this, target](const Event& event) {
            unsigned int id = 0;
            if (sdk_->StartRenderStream(target, id, event.args.at(0), false)) {
                std::lock_guard<std::mutex> lock(rendersMutex_);
                renders_.emplace_back(id, event.args.at(0));
            }
        });
    }

    void join(const Account& owner)
    {
        if (sdk_->JoinConference(owner.room, owner.meetPassword) != 0)
            throw std::runtime_error(account_.userName + " could not join");
        joined_ = true;
    }
    void leave()
    {
        if (!joined_)
            return;
        std::vector<std::pair<unsigned int, std::string>> renders;
        {
            std::lock_guard<std::mutex> lock(rendersMutex_);
            renders.swap(renders_);
        }
        for (const auto& [id, label] : renders)
            sdk_->StopRenderStream(static_cast<int>(id), label);
        sdk_->LeaveConference();
        joined_ = false;
    }

private:
    const Account account_;
    RecordingCallback callback_;
    std::unique_ptr<VeltoSdk> sdk_;
    std::mutex rendersMutex_;
    std::vector<std::pair<unsigned int, std::string>> renders_;
    bool joined_ = false;
};

// Waits until `target` draws a numbered picture at or after `since`; the
// time from `since` in ms, -1 after `patience`.
double firstPictureMs(const CounterTarget& target, int64_t since, std::chrono::seconds patience = 10s)
{
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
        const int64_t drawn = target.firstDrawSince(since);
        if (drawn >= 0)
            return double(drawn - since) / 1000;
        std::this_thread::sleep_for(1ms);
    }
    return -1;
}

std::string spread(const std::vector<double>& values)
{
    if (values.empty())
        return "none";
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return "median " + fixed(percentile(values, 0.5), 0) + " ms (" + fixed(*low, 0) + "-" + fixed(*high, 0) +
           ", " + std::to_string(values.size()) + " joins)";
}

// The newest counted stream of that kind that something arrived on (the
// sender counts the receiver's muted microphone too).
velto_media::ReceivedStreamStatistics newest(bool video)
{
    velto_media::ReceivedStreamStatistics found;
    for (const auto& stream : velto_media::receiveStatistics())
        if (stream.video == video && stream.seconds > 0)
            found = stream;
    return found;
}

// The newest counted stream of that SSRC.
velto_media::ReceivedStreamStatistics newest(const std::vector<velto_media::ReceivedStreamStatistics>& all,
                                             uint32_t ssrc)
{
    velto_media::ReceivedStreamStatistics found;
    for (const auto& stream : all)
        if (stream.ssrc == ssrc)
            found = stream;
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    // The machine has no camera: the synthetic one sends the measured pictures.
    setenv("VELTO_SYNTHETIC_CAMERA", "1", 1);
    const int seconds = intOption(argc, argv, "--seconds", 30);
    const int loss = intOption(argc, argv, "--loss", 0);
    const int rejoins = intOption(argc, argv, "--rejoins", 5);
    const bool throughRelay = flagOption(argc, argv, "--relay");
    const bool overTls = flagOption(argc, argv, "--tls");
    signal(SIGPIPE, SIG_IGN);
    std::printf("media_path_bench: %s, %d%% loss at the unit, %d s measured, load average %s\n",
                !throughRelay ? "on loopback"
                : overTls     ? "through a TURN relay over TLS"
                              : "through a TURN relay over TCP",
                loss, seconds, loadAverage().c_str());
    try {
        const std::string dir = freshFolder("media_path_bench");
        writeTone(dir + "/tone.wav", 440, 10);
        std::unique_ptr<RelayLab> lab;
        std::optional<velto::test::NetworkLab::Inside> onTheClient;
        LocalServer::Options options;
        if (throughRelay) {
            if (const std::string why = RelayLab::unavailable(); !why.empty())
                throw std::runtime_error("--relay: " + why);
            lab = std::make_unique<RelayLab>(dir, overTls);
            options = lab->serverOptions();
            // This thread, and the SDKs' threads it starts, on the client's machine.
            onTheClient.emplace(lab->client());
        }
        options.mediaLossPercent = loss;
        options.mediaLossSeed = 5;
        LocalServer server(options);
        server.setCaBundleEnv();
        if (lab)
            lab->trust(server);
        // No sound device: the tone is the sender's microphone, nothing is played.
        velto_media::setUserSources({"", dir + "/tone.wav", "", true});
        velto_media::keepReceiveStatistics(true);

        const Account demo = server.demoAccount();
        CounterTarget preview;  // outlive the SDKs that draw into them
        CounterTarget remote;
        Participant sender(server, demo);
        Participant receiver(server, server.account("alice"));
        sender.sendCamera(&preview);
        receiver.receiveInto(&remote);

        // A sender comes into a meeting where the receiver waits.
        std::vector<double> senderJoins;
        for (int i = 0; i < rejoins; ++i) {
            receiver.join(demo);
            std::this_thread::sleep_for(1s);
            const int64_t start = nowUs();
            sender.join(demo);
            senderJoins.push_back(firstPictureMs(remote, start));
            std::fprintf(stderr, "(sender join %d: first picture after %.1f ms)\n", i, senderJoins.back());
            sender.leave();
            receiver.leave();
            std::this_thread::sleep_for(500ms);
        }
        // A receiver comes into a meeting where the sender sends.
        std::vector<double> receiverJoins;
        sender.join(demo);
        std::this_thread::sleep_for(2s);
        for (int i = 0; i < rejoins; ++i) {
            const int64_t start = nowUs();
            receiver.join(demo);
            receiverJoins.push_back(firstPictureMs(remote, start));
            std::fprintf(stderr, "(receiver join %d: first picture after %.1f ms)\n", i, receiverJoins.back());
            receiver.leave();
            std::this_thread::sleep_for(500ms);
        }

        // A running meeting.
        receiver.join(demo);
        if (firstPictureMs(remote, nowUs()) < 0)
            throw std::runtime_error("no picture arrived");
        std::this_thread::sleep_for(2s);
        const auto before = velto_media::receiveStatistics();
        const int64_t from = nowUs();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const int64_t to = nowUs();
        const auto videoAfter = newest(true);
        const auto audioAfter = newest(false);
        // Pictures sent in the last second may still be on their way.
        std::this_thread::sleep_for(1s);
        const auto videoBefore = newest(before, videoAfter.ssrc);
        const auto audioBefore = newest(before, audioAfter.ssrc);

        std::map<uint32_t, int64_t> sent;  // frame number -> drawn on the preview
        for (const auto& draw : preview.draws())
            if (draw.us >= from && draw.us < to)
                sent.emplace(draw.counter, draw.us);
        std::map<uint32_t, int64_t> drawn;  // frame number -> first drawn at the receiver
        int64_t longestFreezeUs = 0;
        int64_t lastDrawnUs = -1;
        for (const auto& draw : remote.draws()) {
            if (draw.us < from || draw.us > to + 1000000)
                continue;
            if (sent.count(draw.counter))
                drawn.emplace(draw.counter, draw.us);
            if (draw.us <= to) {
                if (lastDrawnUs >= 0)
                    longestFreezeUs = std::max(longestFreezeUs, draw.us - lastDrawnUs);
                lastDrawnUs = draw.us;
            }
        }
        std::vector<double> latencies;
        for (const auto& [counter, us] : drawn)
            latencies.push_back(double(us - sent[counter]) / 1000);

        const double minutes = double(to - from) / 60e6;
        const uint32_t audioPlayed = (audioAfter.framesDecoded - audioBefore.framesDecoded) +
                                     (audioAfter.framesConcealed - audioBefore.framesConcealed);
        const auto share = [&](uint32_t part) { return audioPlayed ? 100.0 * part / audioPlayed : 0.0; };

        std::printf("\nfirst picture drawn at the receiver\n");
        std::printf("  sender joins, receiver waiting:  %s\n", spread(senderJoins).c_str());
        std::printf("  receiver joins a running sender: %s\n", spread(receiverJoins).c_str());
        const velto_media::IcePathStatistics path = velto_media::icePathStatistics();
        std::printf("\nrunning meeting, %s s (640x360 at %d fps, %d kbit/s), media path %s/%s/%s\n",
                    fixed(double(to - from) / 1e6).c_str(), kFps, kBitrateKbps, path.local.c_str(),
                    path.remote.c_str(), path.transport.c_str());
        std::printf("  capture-to-drawn latency: p50 %s ms, p95 %s ms, max %s ms (%zu pictures)\n",
                    fixed(percentile(latencies, 0.5)).c_str(), fixed(percentile(latencies, 0.95)).c_str(),
                    fixed(percentile(latencies, 1.0)).c_str(), latencies.size());
        std::printf("  pictures drawn: %s %% of %zu sent; longest freeze %s ms\n",
                    fixed(sent.empty() ? 0 : 100.0 * drawn.size() / sent.size()).c_str(), sent.size(),
                    fixed(double(longestFreezeUs) / 1000, 0).c_str());
        std::printf("  video stream: %s keyframes a minute, %u NACKs and %u PLIs sent, %llu packets lost, "
                    "%llu recovered\n",
                    fixed((videoAfter.keyframes - videoBefore.keyframes) / minutes).c_str(),
                    videoAfter.nacksSent - videoBefore.nacksSent, videoAfter.plisSent - videoBefore.plisSent,
                    static_cast<unsigned long long>(videoAfter.packetsLost - videoBefore.packetsLost),
                    static_cast<unsigned long long>(videoAfter.packetsRecovered - videoBefore.packetsRecovered));
        std::printf("  audio: %u frames of 20 ms, %s %% rebuilt from FEC, %s %% concealed (%llu packets lost)\n",
                    audioPlayed, fixed(share(audioAfter.framesFromFec - audioBefore.framesFromFec), 2).c_str(),
                    fixed(share(audioAfter.framesConcealed - audioBefore.framesConcealed), 2).c_str(),
                    static_cast<unsigned long long>(audioAfter.packetsLost - audioBefore.packetsLost));
        std::printf("\nload average after: %s\n", loadAverage().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "media_path_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
