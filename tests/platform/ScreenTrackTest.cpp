// A screen track on a still screen, through its real transport to a UDP
// socket on loopback: the RTP headers (clear under SRTP) tell when each
// picture went and how many bytes it took. A still picture is sent only now
// and then (after it was sharpened), a change goes at once, and a receiver's
// keyframe request is answered with a keyframe at the next picture, changed
// or not.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FrameFanout.h"
#include "LocalVideoTrack.h"
#include "MediaTransport.h"
#include "PacedSource.h"
#include "transport/SrtpSession.h"

namespace {

using namespace velto_media;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kFps = 20;
constexpr int kWidth = 640;
constexpr int kHeight = 360;

// A screen as the screen source hands it out: one picture, marked unchanged
// from the second on, until the test changes it.
class StillScreen final : public PacedSource {
public:
    // `fine`: fine grain everywhere, which the encoder cannot send sharp at once.
    explicit StillScreen(bool fine = false) : PacedSource(kWidth, kHeight, kFps), fine_(fine) {}
    ~StillScreen() override { stop(); }

    void change()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++shade_;
        fresh_ = true;
    }

private:
    std::shared_ptr<VideoFrame> produce(uint32_t, int, int) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto frame = VideoFrame::black(kWidth, kHeight);
        // Sharp-edged blocks, as text and windows are.
        uint32_t grain = 12345u + uint32_t(shade_);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                grain = grain * 1103515245u + 12345u;
                frame->y[size_t(y) * kWidth + x] =
                    fine_ ? uint8_t(16 + (grain >> 16) % 220) : ((x / 8 + y / 12 + shade_) % 3 == 0) ? 235 : 40;
            }
        frame->unchanged = !fresh_;
        fresh_ = false;
        return frame;
    }

    const bool fine_;
    std::mutex mutex_;
    int shade_ = 0;
    bool fresh_ = true;
};

struct SentPicture {
    Clock::time_point at;  // its first packet
    size_t bytes = 0;
};

// The pictures of one stream as they arrive at a UDP socket, by RTP timestamp.
class Receiver {
public:
    Receiver()
    {
        socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        timeval timeout{0, 20000};
        ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        thread_ = std::thread([this] { run(); });
    }
    ~Receiver()
    {
        stopping_ = true;
        thread_.join();
        ::close(socket_);
    }
    int port() const { return port_; }

    std::vector<SentPicture> pictures()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<SentPicture> all;
        for (uint32_t timestamp : order_)
            all.push_back(pictures_[timestamp]);
        return all;
    }
    // The first picture that began after `since`, waiting up to `timeout`.
    bool nextAfter(Clock::time_point since, std::chrono::milliseconds timeout, SentPicture* found)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            for (const SentPicture& picture : pictures())
                if (picture.at > since) {
                    // Its last packets may still be on their way.
                    std::this_thread::sleep_for(30ms);
                    for (const SentPicture& whole : pictures())
                        if (whole.at == picture.at)
                            *found = whole;
                    return true;
                }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

private:
    void run()
    {
        uint8_t buffer[2048];
        while (!stopping_) {
            const ssize_t size = ::recv(socket_, buffer, sizeof buffer, 0);
            // RTP only: RTCP packet types take the place of marker and payload type.
            if (size < 12 || (buffer[1] >= 192 && buffer[1] <= 223))
                continue;
            const uint32_t timestamp =
                uint32_t(buffer[4]) << 24 | uint32_t(buffer[5]) << 16 | uint32_t(buffer[6]) << 8 | buffer[7];
            std::lock_guard<std::mutex> lock(mutex_);
            auto [it, added] = pictures_.try_emplace(timestamp);
            if (added) {
                it->second.at = Clock::now();
                order_.push_back(timestamp);
            }
            it->second.bytes += size_t(size);
        }
    }

    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::map<uint32_t, SentPicture> pictures_;
    std::vector<uint32_t> order_;
    std::thread thread_;
};

class NoListener : public TransportListener {
public:
    void onRtp(const rtp::RtpHeader&, const uint8_t*, size_t, int64_t) override {}
    void onKeyframeRequest(uint32_t) override {}
    int64_t onTimer(int64_t) override { return 0; }
};

// A screen track sending to `receiver` through a transport of its own.
struct SharedScreen {
    SharedScreen(const Receiver& receiver, bool fine, int kbps)
    {
        uint8_t keys[2][SrtpSession::kKeyLength];
        makeSrtpKey(keys[0]);
        makeSrtpKey(keys[1]);
        transport->setKeys(keys[0], keys[1]);
        transport->setDestination("127.0.0.1", receiver.port());
        transport->start();
        auto owned = std::make_unique<StillScreen>(fine);
        screen = owned.get();
        LocalVideoTrack::Settings settings;
        settings.ssrc = 0x5c5c5c5c;
        settings.screen = true;
        settings.width = kWidth;
        settings.height = kHeight;
        settings.fps = kFps;
        settings.bitrateKbps = kbps;
        track = std::make_unique<LocalVideoTrack>(settings, std::move(owned), std::make_shared<FrameFanout>());
        track->setTransport(transport);
        started = track->start() == 0;
    }
    ~SharedScreen()
    {
        track->stop();
        transport->stop();
    }

    NoListener listener;
    std::shared_ptr<MediaTransport> transport = std::make_shared<MediaTransport>(openUdpPort(), &listener);
    StillScreen* screen = nullptr;
    std::unique_ptr<LocalVideoTrack> track;
    bool started = false;
};

long long millis(Clock::duration duration)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

size_t countBetween(const std::vector<SentPicture>& pictures, Clock::time_point from, Clock::time_point to)
{
    return size_t(std::count_if(pictures.begin(), pictures.end(),
                                [&](const SentPicture& p) { return p.at >= from && p.at < to; }));
}

TEST(ScreenTrack, AStillPictureGoesRarelyAChangeAtOnceAndAKeyframeWhenAsked)
{
    Receiver receiver;
    SharedScreen shared(receiver, false, 1500);
    ASSERT_TRUE(shared.started);
    LocalVideoTrack& track = *shared.track;
    StillScreen* screen = shared.screen;

    // Three seconds of a still screen: its first picture, and one a second
    // after it (not the 60 the screen gave).
    std::this_thread::sleep_for(3500ms);
    const std::vector<SentPicture> still = receiver.pictures();
    ASSERT_FALSE(still.empty());
    EXPECT_GE(still.size(), 3u);
    EXPECT_LE(still.size(), 6u);
    const size_t firstBytes = still.front().bytes;

    // Right after a picture that went for its own sake, a keyframe request is
    // answered at the next picture, not at the next one a second later.
    SentPicture kept;
    ASSERT_TRUE(receiver.nextAfter(Clock::now(), 2s, &kept));
    EXPECT_LT(kept.bytes * 4, firstBytes) << "a still picture costs next to nothing";
    const auto asked = Clock::now();
    track.requestKeyframe();
    SentPicture keyframe;
    ASSERT_TRUE(receiver.nextAfter(asked, 2s, &keyframe));
    EXPECT_LT(millis(keyframe.at - asked), 500);
    EXPECT_GT(keyframe.bytes * 2, firstBytes) << "a whole picture again";

    // A change goes with the next picture.
    std::this_thread::sleep_for(300ms);
    const auto changed = Clock::now();
    screen->change();
    SentPicture update;
    ASSERT_TRUE(receiver.nextAfter(changed, 2s, &update));
    EXPECT_LT(millis(update.at - changed), 500);
}

TEST(ScreenTrack, AFinePictureIsSharpenedForAWhileThenGoesRarely)
{
    // Too fine for its bits at once: the first picture is coarse, the ones
    // after it sharpen it, for a few seconds at most.
    Receiver receiver;
    SharedScreen shared(receiver, true, 300);
    ASSERT_TRUE(shared.started);
    SentPicture first;
    ASSERT_TRUE(receiver.nextAfter(Clock::time_point(), 5s, &first));
    std::this_thread::sleep_until(first.at + 5600ms);
    const std::vector<SentPicture> pictures = receiver.pictures();
    EXPECT_GE(countBetween(pictures, first.at, first.at + 2s), 10u);
    EXPECT_LE(countBetween(pictures, first.at + 4s, first.at + 5500ms), 3u);
}

}  // namespace
