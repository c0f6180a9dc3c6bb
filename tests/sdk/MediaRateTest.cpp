// The sender's video bitrate follows the loss its receiver reports: the host
// (an SDK in this process) sends its synthetic camera through the local
// server's forwarding unit to the scripted peer (Alice), whose reception
// reports the unit passes back; the host's own statistics reports, as the
// server received them, say what it sent.
#include <atomic>

#include "PeerProcess.h"
#include "SdkTestFixture.h"
#include "velto_media_sources.h"

namespace velto::test {
namespace {

constexpr int kMaxKbps = 600;
constexpr uint8_t kVideoPayloadType = 100;  // VP8, as the engine sends it
constexpr std::size_t kVideoSendBitrate = 8;  // in a presence report's values

class MediaRateTest : public SdkTest {
protected:
    void SetUp() override
    {
        SdkTest::SetUp();
        // The synthetic camera (a moving picture: it needs the bits); no sound device.
        velto_media::UserSources sources;
        sources.soundFilesOnly = true;
        velto_media::setUserSources(sources);
    }
    void TearDown() override
    {
        velto_media::setUserSources({});
        SdkTest::TearDown();
    }

    // What `jid` said it sent as video in its latest statistics, kbit/s; -1 before any.
    static int sentVideoKbps(const std::string& jid)
    {
        const std::vector<SentSignal> signals = server().sentSignals();
        for (auto it = signals.rbegin(); it != signals.rend(); ++it)
            if (it->from == jid && it->operation == "SendPresence" && it->args.size() > kVideoSendBitrate)
                return std::stoi(it->args[kVideoSendBitrate]);
        return -1;
    }
};

// Polls `done` until it holds; false after `patience`.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(200ms);
    }
    return true;
}

TEST_F(MediaRateTest, UnderLossTheSentBitrateFallsAndWithoutItClimbsBack)
{
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    callback.onEvent("onCreateOrJoinConference", [&host, &preview](const Event&) {
        const velto_webrtc_test::Devices devices = velto_webrtc_test::DefaultDevices();
        host->ShowLocalPreview(preview, devices.cameras.at(0), devices.microphones.at(0), devices.speakers.at(0), 640,
                               360, 15, kMaxKbps);
    });
    const std::string jid = startDemoMeeting(*host, callback);
    const Account demo = server().demoAccount();
    PeerProcess peer(server().host(), server().account("alice"), demo.room, demo.meetPassword);
    ASSERT_EQ(peer.waitFor("result join "), "result join 0");

    // Without loss the camera sends what it may.
    int sent = 0;
    ASSERT_TRUE(eventually([&] { return (sent = sentVideoKbps(jid)) >= kMaxKbps * 8 / 10; }, 15s)) << sent;
    const int start = sent;

    // 20% of what the unit forwards is lost (a third of the host's packets on
    // their way to Alice): her reports say so, and the host sends less.
    server().setMediaLoss(20);
    EXPECT_TRUE(eventually([&] { return (sent = sentVideoKbps(jid)) < start / 2; }, 25s))
        << "from " << start << " kbit/s to " << sent;

    // The loss gone, the bitrate climbs back.
    server().setMediaLoss(0);
    int lowest = sent;
    EXPECT_TRUE(eventually([&] {
        sent = sentVideoKbps(jid);
        lowest = std::min(lowest, sent);
        return sent > lowest * 3 / 2;
    }, 20s)) << "from " << lowest << " kbit/s to " << sent;
    std::cout << "sent video: " << start << " kbit/s, under loss down to " << lowest << ", back up to " << sent
              << std::endl;
}

// The host's VP8 packets as they leave its media connection, bytes counted
// whole (SRTP's tag included), as the network carries them.
class SentVideoBytes {
public:
    SentVideoBytes()
    {
        velto_webrtc_test::SetPacketFilter([counted = counted_](bool outgoing, const uint8_t* data, size_t size) {
            if (outgoing && size >= 12 && (data[0] >> 6) == 2 && (data[1] & 0x7f) == kVideoPayloadType)
                *counted += size;
            return false;
        });
    }

    // What went out over `window`, kbit/s.
    int kbpsOver(std::chrono::milliseconds window) const
    {
        const uint64_t before = *counted_;
        std::this_thread::sleep_for(window);
        return static_cast<int>((*counted_ - before) * 8 / window.count());
    }

private:
    std::shared_ptr<std::atomic<uint64_t>> counted_ = std::make_shared<std::atomic<uint64_t>>(0);
};

// The meeting's ceiling (SetMediaBitrate's) holds the camera however much its
// own settings allow, and still holds once the picture changes size, when the
// SDK sets the ceiling of the new size.
TEST_F(MediaRateTest, TheSentBitrateKeepsUnderTheCeilingAlsoAfterAResolutionChange)
{
    constexpr int kCameraKbps = 2500;
    constexpr int kCeilingKbps = 200;
    // What the SDK sets for a size the meeting's steps do not name.
    constexpr int kUnnamedSizeKbps = 256;
    // On the wire: a large picture at a low target overshoots it by a fifth
    // (measured: 244-247 kbit/s under 200), and the packets' headers add theirs.
    // A camera that ignores the ceiling sends several times as much.
    const auto within = [](int ceiling) { return ceiling * 3 / 2; };
    constexpr auto kSettle = 3s;
    constexpr auto kWindow = 4s;

    const SentVideoBytes sentVideo;
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    callback.onEvent("onCreateOrJoinConference", [&host, &preview](const Event&) {
        const velto_webrtc_test::Devices devices = velto_webrtc_test::DefaultDevices();
        host->ShowLocalPreview(preview, devices.cameras.at(0), devices.microphones.at(0), devices.speakers.at(0), 1280,
                               720, 15, kCameraKbps);
    });
    startDemoMeeting(*host, callback);
    ASSERT_TRUE(eventually([&] { return sentVideo.kbpsOver(1s) > 0; }, 15s)) << "the camera sends nothing";
    std::this_thread::sleep_for(kSettle);
    // Free, the camera sends far more than the ceiling will let it.
    const int free = sentVideo.kbpsOver(kWindow);
    ASSERT_GT(free, 2 * within(kUnnamedSizeKbps)) << "the camera's picture needs too few bits to tell";

    ASSERT_TRUE(host->ResetMediaBitrates(kCeilingKbps));
    std::this_thread::sleep_for(kSettle);
    const int held = sentVideo.kbpsOver(kWindow);
    EXPECT_LE(held, within(kCeilingKbps));

    ASSERT_EQ(host->ChangeCameraResolution(preview.label, 960, 540, 15), 0);
    std::this_thread::sleep_for(kSettle);
    const int resized = sentVideo.kbpsOver(kWindow);
    EXPECT_LE(resized, within(kUnnamedSizeKbps));
    EXPECT_GT(resized, 0) << "the resized camera sends nothing";
    std::cout << "sent video: " << free << " kbit/s free, " << held << " under " << kCeilingKbps << ", " << resized
              << " at 960x540 under " << kUnnamedSizeKbps << std::endl;
}

}  // namespace
}  // namespace velto::test
