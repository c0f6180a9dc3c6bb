// The sender's video bitrate follows the loss its receiver reports: the host
// (an SDK in this process) sends its synthetic camera through the local
// server's forwarding unit to the scripted peer (Alice), whose reception
// reports the unit passes back; the host's own statistics reports, as the
// server received them, say what it sent.
#include "PeerProcess.h"
#include "SdkTestFixture.h"
#include "velto_media_sources.h"

namespace velto::test {
namespace {

constexpr int kMaxKbps = 600;
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

}  // namespace
}  // namespace velto::test
