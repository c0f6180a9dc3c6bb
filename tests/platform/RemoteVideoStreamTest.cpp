// A received video stream on its own, fed the packets of a real encoder:
// what it decodes depends on whether a render shows it, all streams decode
// on the pool's few threads, and a keyframe that announces a picture larger
// than the program's is refused before the decoder allocates for it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DecoderPool.h"
#include "FrameFanout.h"
#include "MediaTestSupport.h"
#include "RemoteVideoStream.h"
#include "RenderTargetStub.h"
#include "VideoConvert.h"
#include "Vp8Decoder.h"
#include "Vp8Encoder.h"
#include "Vp8Payload.h"

namespace {

using namespace velto_media;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

template <typename Predicate>
bool eventually(Predicate done)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

size_t threadCount()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

// The process's peak resident memory in KiB since the last resetPeakMemory().
long peakMemoryKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

class RecordingFeedback : public FeedbackSender {
public:
    void sendNack(uint32_t, const std::vector<uint16_t>&) override {}
    bool sendPli(uint32_t) override
    {
        ++plis;
        return true;
    }
    std::atomic<int> plis{0};
};

class CountingRender : public RenderTargetStub {
public:
    void lockBuffer() override {}
    unsigned char* getDataBuffer(int w, int h) override
    {
        buffer_.resize(size_t(w) * h * 4);
        return buffer_.data();
    }
    void unlockBuffer() override {}
    void PlayOneFrame(const unsigned char*, int, int) override { ++frames; }
    std::atomic<int> frames{0};

private:
    Bytes buffer_;
};

// A small camera: encodes moving pictures and sends them as RTP packets
// into a stream; a keyframe when the stream asked for one since the last.
class Camera {
public:
    explicit Camera(const RecordingFeedback& feedback) : feedback_(feedback) { encoder_.setBitrate(300); }

    Bytes encode()
    {
        if (feedback_.plis > plisSeen_) {
            plisSeen_ = feedback_.plis;
            encoder_.requestKeyframe();
        }
        const auto picture = argbToI420(media_test::testPicture(kWidth, kHeight, frame_).data(), kWidth, kHeight);
        EncodedFrame encoded;
        EXPECT_TRUE(encoder_.encode(*picture, timestamp(), &encoded));
        return encoded.data;
    }
    void send(RemoteVideoStream& stream, const Bytes& frame)
    {
        const auto packets = rtp::packetizeVp8(frame.data(), frame.size(), uint16_t(frame_));
        for (size_t i = 0; i < packets.size(); ++i) {
            rtp::RtpHeader header;
            header.payloadType = rtp::kVp8PayloadType;
            header.sequence = sequence_++;
            header.timestamp = timestamp();
            header.ssrc = kSsrc;
            header.marker = i + 1 == packets.size();
            stream.onPacket(header, packets[i].data(), packets[i].size(), nowMs());
        }
        ++frame_;
    }
    void sendNext(RemoteVideoStream& stream) { send(stream, encode()); }
    int64_t nowMs() const { return 1000 + frame_ * 66; }

    static constexpr uint32_t kSsrc = 0x1234;
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

private:
    uint32_t timestamp() const { return uint32_t(frame_) * 6000; }

    const RecordingFeedback& feedback_;
    Vp8Encoder encoder_;
    int plisSeen_ = 0;
    int frame_ = 0;
    uint16_t sequence_ = 100;
};

// A copy of a keyframe whose header announces `width` x `height`.
Bytes withAnnouncedSize(Bytes keyframe, int width, int height)
{
    keyframe[6] = uint8_t(width);
    keyframe[7] = uint8_t(width >> 8);
    keyframe[8] = uint8_t(height);
    keyframe[9] = uint8_t(height >> 8);
    return keyframe;
}

TEST(RemoteVideoStream, DecodesOnlyWhileARenderShowsItAndStartsAgainFromAKeyframe)
{
    struct Case {
        const char* name;
        int renderFrom;  // frame index the render starts at; -1 never
        int renderTo;    // frame index it stops at; -1 never
        int renderAgain; // frame index it starts again at; -1 never
        int drawn;
        int plis;
    };
    constexpr int kFrames = 40;
    const Case cases[] = {
        {"never shown: nothing decoded", -1, -1, -1, 0, 0},
        {"shown throughout", 0, -1, -1, kFrames, 0},
        // The first keyframe and the frames after it were held.
        {"shown soon after the first keyframe", 10, -1, -1, kFrames, 0},
        // Too long after it: a keyframe is asked for; frame 36 is one.
        {"shown long after the first keyframe", 35, -1, -1, 4, 1},
        // Frames 20..29 are dropped; frame 31 is the keyframe asked for at 30.
        {"hidden and shown again", 0, 20, 30, 20 + 9, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto pool = std::make_shared<DecoderPool>();
        RecordingFeedback feedback;
        auto fanout = std::make_shared<FrameFanout>();
        CountingRender render;
        Camera camera(feedback);
        RemoteVideoStream stream(Camera::kSsrc, fanout, &feedback, pool);
        for (int i = 0; i < kFrames; ++i) {
            if (i == c.renderFrom || i == c.renderAgain)
                fanout->add(1, &render);
            if (i == c.renderTo) {
                // Shown from the first frame: every frame so far was drawn.
                ASSERT_TRUE(eventually([&] { return stream.counters().framesDecoded == i; }));
                fanout->remove(1);
            }
            camera.sendNext(stream);
            std::this_thread::sleep_for(5ms);  // the decoder keeps up
        }
        EXPECT_TRUE(eventually([&] { return stream.counters().framesDecoded >= c.drawn; }));
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(c.drawn, stream.counters().framesDecoded);
        EXPECT_EQ(c.plis, feedback.plis);
        if (c.renderFrom < 0) {
            EXPECT_EQ(0u, pool->threads()) << "a stream nobody sees needs no decoder";
        }
        stream.stop();
    }
}

// ThreadSanitizer starts a thread of its own somewhere in the run.
#if defined(__SANITIZE_THREAD__)
constexpr size_t kSanitizerThreads = 1;
#else
constexpr size_t kSanitizerThreads = 0;
#endif

TEST(RemoteVideoStream, ManyStreamsDecodeOnThePoolsFewThreads)
{
    constexpr int kStreams = 24;
    const size_t before = threadCount();
    auto pool = std::make_shared<DecoderPool>();
    std::vector<std::unique_ptr<RecordingFeedback>> feedback;
    std::vector<std::unique_ptr<CountingRender>> renders;
    std::vector<std::unique_ptr<Camera>> cameras;
    std::vector<std::unique_ptr<RemoteVideoStream>> streams;
    for (int i = 0; i < kStreams; ++i) {
        feedback.push_back(std::make_unique<RecordingFeedback>());
        renders.push_back(std::make_unique<CountingRender>());
        cameras.push_back(std::make_unique<Camera>(*feedback.back()));
        auto fanout = std::make_shared<FrameFanout>();
        fanout->add(1, renders.back().get());
        streams.push_back(std::make_unique<RemoteVideoStream>(Camera::kSsrc + i, fanout, feedback.back().get(), pool));
    }
    size_t most = 0;
    for (int frame = 0; frame < 5; ++frame) {
        for (int i = 0; i < kStreams; ++i)
            cameras[i]->sendNext(*streams[i]);
        most = std::max(most, threadCount());
    }
    for (int i = 0; i < kStreams; ++i)
        EXPECT_TRUE(eventually([&] { return renders[i]->frames >= 5; })) << "stream " << i;
    EXPECT_LE(most, before + DecoderPool::defaultThreads() + kSanitizerThreads);
    EXPECT_LE(DecoderPool::defaultThreads(), 4u);
    streams.clear();
    pool->stop();
    const size_t after = threadCount();
    EXPECT_GE(after, before);
    EXPECT_LE(after, before + kSanitizerThreads) << "the pool's threads outlive it";
}

TEST(RemoteVideoStream, AKeyframeLargerThanTheLargestPictureIsRefusedAndAnotherAskedFor)
{
    auto pool = std::make_shared<DecoderPool>();
    RecordingFeedback feedback;
    auto fanout = std::make_shared<FrameFanout>();
    CountingRender render;
    fanout->add(1, &render);
    Camera camera(feedback);
    RemoteVideoStream stream(Camera::kSsrc, fanout, &feedback, pool);
    const Bytes keyframe = camera.encode();
    ASSERT_TRUE(rtp::isVp8Keyframe(keyframe.data(), keyframe.size()));
    camera.send(stream, keyframe);
    for (int i = 0; i < 3; ++i)
        camera.sendNext(stream);
    ASSERT_TRUE(eventually([&] { return stream.counters().framesDecoded == 4; }));

    const Bytes forged = withAnnouncedSize(keyframe, 16383, 16383);
    resetPeakMemory();
    const long peakBefore = peakMemoryKib();
    camera.send(stream, forged);
    EXPECT_EQ(1, feedback.plis) << "another keyframe is asked for at once";
    camera.send(stream, forged);  // within the keyframe requests' interval: not asked again
    EXPECT_EQ(1, feedback.plis);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(4, stream.counters().framesDecoded);
    EXPECT_LT(peakMemoryKib() - peakBefore, 20 * 1024);

    // The keyframe asked for: pictures again.
    camera.sendNext(stream);
    camera.sendNext(stream);
    EXPECT_TRUE(eventually([&] { return stream.counters().framesDecoded == 6; }));
    EXPECT_EQ(2, stream.counters().keyframesDecoded);
}

TEST(Vp8Codec, AKeyframeLargerThanTheLargestPictureIsRefusedBeforeDecoding)
{
    Vp8Encoder encoder;
    const auto picture = argbToI420(media_test::testPicture(160, 120).data(), 160, 120);
    EncodedFrame keyframe;
    ASSERT_TRUE(encoder.encode(*picture, 0, &keyframe));
    ASSERT_TRUE(keyframe.keyframe);
    Vp8Decoder decoder;
    std::shared_ptr<VideoFrame> decoded;
    resetPeakMemory();
    const long peakBefore = peakMemoryKib();
    for (int i = 0; i < 2; ++i) {
        const Bytes forged = withAnnouncedSize(keyframe.data, 16383, 16383);
        EXPECT_EQ(Vp8Decoder::Result::Failed, decoder.decode(forged.data(), forged.size(), &decoded));
    }
    EXPECT_LT(peakMemoryKib() - peakBefore, 20 * 1024);
    // The decoder is fine for the next true keyframe.
    ASSERT_EQ(Vp8Decoder::Result::Picture, decoder.decode(keyframe.data.data(), keyframe.data.size(), &decoded));
    EXPECT_EQ(160, decoded->width);
}

TEST(Vp8Payload, KeyframeHeadersTellTheirSizeAndLargePicturesAreRefused)
{
    // Width and height are 14 bits; the two bits above are the scaling.
    const Bytes header{0x50, 0x2a, 0x00, 0x9d, 0x01, 0x2a, 0x00, 0xcf, 0x70, 0x48};
    int width = 0, height = 0;
    ASSERT_TRUE(rtp::vp8KeyframeSize(header.data(), header.size(), &width, &height));
    EXPECT_EQ(0x0f00, width);
    EXPECT_EQ(0x0870, height);
    Bytes interframe = header;
    interframe[0] |= 0x01;
    EXPECT_FALSE(rtp::vp8KeyframeSize(interframe.data(), interframe.size(), &width, &height));
    EXPECT_FALSE(rtp::vp8KeyframeSize(header.data(), 9, &width, &height));

    struct Size {
        int width, height;
        bool allowed;
    };
    const Size sizes[] = {
        {3840, 2160, true}, {2160, 3840, true},  // a screen on its side
        {1920, 1080, true}, {2, 2, true},
        {3841, 2160, false}, {3840, 2161, false}, {3841, 100, false}, {100, 3841, false},
        {16383, 16383, false}, {0, 1080, false}, {1920, 0, false},
    };
    for (const Size& s : sizes)
        EXPECT_EQ(s.allowed, rtp::pictureSizeAllowed(s.width, s.height)) << s.width << "x" << s.height;
}

}  // namespace
