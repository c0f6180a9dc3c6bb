// Media between two programs through the local server's forwarding unit: the
// host is an SDK in this process (the demo user, moderator of its room), the
// other side the scripted peer (Alice) in a process of its own. Each sends a
// picture and a tone from files of its own; what each side draws and plays
// is compared with what the other sent.
#include <json/json.h>

#include <filesystem>
#include <sstream>

#include "MediaFiles.h"
#include "MediaTestSupport.h"
#include "PeerProcess.h"
#include "SdkTestFixture.h"
#include "VeltoRtcCallback.h"
#include "velto_media_sources.h"

namespace velto::test {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kSampleRate = 48000;
constexpr int kHostTone = 440;
constexpr int kPeerTone = 660;

// A render target that keeps the last picture drawn into it.
class PictureSink : public RenderTargetStub {
public:
    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override
    {
        picture_.width = w;
        picture_.height = h;
        picture_.argb.resize(static_cast<std::size_t>(w) * h * 4);
        return picture_.argb.data();
    }
    void unlockBuffer() override { mutex_.unlock(); }

    Picture picture()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return picture_;
    }

private:
    std::mutex mutex_;
    Picture picture_;
};

Picture inverted(Picture picture)
{
    for (std::size_t i = 0; i < picture.argb.size(); ++i)
        if (i % 4 != 0)
            picture.argb[i] = static_cast<uint8_t>(255 - picture.argb[i]);
    return picture;
}

double psnr(const Picture& a, const Picture& b)
{
    return a.width == b.width && a.height == b.height ? media_test::psnr(a.argb, b.argb) : 0;
}

bool isBlack(const Picture& picture)
{
    if (picture.argb.empty())
        return false;
    for (std::size_t i = 0; i < picture.argb.size(); ++i)
        if (i % 4 != 0 && picture.argb[i] > 16)
            return false;
    return true;
}

// Polls `done` until it holds; false after `patience`.
template <typename Done>
bool eventually(Done done, std::chrono::milliseconds patience = 15s)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The tone in the last half second of a sound file, 0 while it is shorter.
int lastTone(const std::string& wav)
{
    const std::vector<int16_t> samples = readWav(wav);
    if (samples.size() < kSampleRate)
        return 0;
    const std::vector<int16_t> tail(samples.end() - kSampleRate / 2, samples.end());
    return media_test::rms(tail) > 1000 ? media_test::dominantFrequency(tail, kSampleRate) : 0;
}

// The newest picture the peer kept of the stream `label`.
Picture newestDump(const std::string& directory, const std::string& label)
{
    const std::vector<std::string> files = filesStartingWith(directory, label + "-");
    return files.empty() ? Picture() : readPng(files.back());
}

std::string field(const std::string& line, std::size_t index)
{
    std::istringstream words(line);
    std::string word;
    for (std::size_t i = 0; i <= index && (words >> word); ++i) {
    }
    return word;
}

class MediaPathTest : public SdkTest {
protected:
    void SetUp() override
    {
        SdkTest::SetUp();
        dir_ = freshTestDirectory(std::string("media_path_") +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ + "/frames");
        hostPicture_ = {kWidth, kHeight, media_test::testPicture(kWidth, kHeight)};
        peerPicture_ = inverted(Picture{kWidth, kHeight, media_test::testPicture(kWidth, kHeight, 120)});
        ASSERT_TRUE(writePng(dir_ + "/host.png", hostPicture_));
        ASSERT_TRUE(writePng(dir_ + "/peer.png", peerPicture_));
        for (const auto& [file, frequency] : {std::pair{"/host.wav", kHostTone}, std::pair{"/peer.wav", kPeerTone}}) {
            ASSERT_TRUE(media_test::writeWav(dir_ + file, media_test::tone(frequency, kSampleRate, kSampleRate * 2),
                                             kSampleRate));
        }
        // The host's camera and microphone are files too, and what it plays is kept.
        velto_media::setUserSources({dir_ + "/host.png", dir_ + "/host.wav", hostHeard()});
    }
    void TearDown() override
    {
        velto_media::setUserSources({});
        SdkTest::TearDown();
    }

    std::string hostHeard() const { return dir_ + "/host-heard.wav"; }
    std::string peerHeard() const { return dir_ + "/peer-heard.wav"; }
    std::string peerFrames() const { return dir_ + "/frames"; }

    // The host's camera and microphone go live as its meeting is entered, as
    // the program does it; returns the host's own address.
    std::string startHost(VeltoSdk& host, RecordingCallback& callback, rtc_render& preview)
    {
        callback.onEvent("onCreateOrJoinConference", [&host, &preview](const Event&) {
            const velto_webrtc_test::Devices devices = velto_webrtc_test::DefaultDevices();
            host.ShowLocalPreview(preview, devices.cameras.at(0), devices.microphones.at(0), devices.speakers.at(0),
                                  kWidth, kHeight, 15, 800);
        });
        return startDemoMeeting(host, callback);
    }

    std::unique_ptr<PeerProcess> startPeer(const std::string& room, const std::string& password)
    {
        return std::make_unique<PeerProcess>(
            server().host(), server().account("alice"), room, password,
            std::vector<std::string>{"--camera-image", dir_ + "/peer.png", "--microphone-wav", dir_ + "/peer.wav",
                                     "--dump-frames", peerFrames(), "--dump-audio", peerHeard()});
    }

    // The label of the first remote stream the host was told of.
    static std::string firstRemoteLabel(RecordingCallback& callback)
    {
        if (!callback.waitForEvent("onAddStream", 1, 15s))
            return {};
        return callback.events("onAddStream").at(0).args.at(0);
    }

    std::string dir_;
    Picture hostPicture_;
    Picture peerPicture_;
};

TEST_F(MediaPathTest, PicturesAndTonesCrossTheUnitBothWays)
{
    PictureSink sink;  // outlives the host's engine, which draws into it
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    startHost(*host, callback, preview);
    const Account demo = server().demoAccount();
    const auto peer = startPeer(demo.room, demo.meetPassword);
    ASSERT_EQ(peer->waitFor("result join "), "result join 0");

    const std::string peerLabel = firstRemoteLabel(callback);
    ASSERT_FALSE(peerLabel.empty());
    unsigned int renderId = 0;
    ASSERT_TRUE(host->StartRenderStream(&sink, renderId, peerLabel, false));

    // Each side draws the other's picture, decoded close to what was sent.
    double hostSaw = 0;
    EXPECT_TRUE(eventually([&] { return (hostSaw = psnr(sink.picture(), peerPicture_)) > 30; })) << hostSaw << " dB";
    double peerSaw = 0;
    EXPECT_TRUE(eventually([&] {
        return (peerSaw = psnr(newestDump(peerFrames(), preview.label), hostPicture_)) > 30;
    })) << peerSaw << " dB";
    int width = 0;
    int height = 0;
    EXPECT_TRUE(host->GetStreamAspect(renderId, &width, &height));
    EXPECT_EQ(kWidth, width);
    EXPECT_EQ(kHeight, height);

    // Each side plays the other's tone.
    int hostHeardTone = 0;
    EXPECT_TRUE(eventually([&] { return std::abs((hostHeardTone = lastTone(hostHeard())) - kPeerTone) <= 10; }))
        << hostHeardTone << " Hz";
    int peerHeardTone = 0;
    EXPECT_TRUE(eventually([&] { return std::abs((peerHeardTone = lastTone(peerHeard())) - kHostTone) <= 10; }))
        << peerHeardTone << " Hz";

    EXPECT_TRUE(host->StopRenderStream(static_cast<int>(renderId), peerLabel));
}

TEST_F(MediaPathTest, AMutedCameraTurnsTheOtherSidesPictureBlack)
{
    PictureSink sink;  // outlives the host's engine, which draws into it
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    startHost(*host, callback, preview);
    const Account demo = server().demoAccount();
    const auto peer = startPeer(demo.room, demo.meetPassword);
    const std::string peerJid = field(peer->waitFor("ready "), 1);
    const std::string peerLabel = firstRemoteLabel(callback);
    ASSERT_FALSE(peerLabel.empty());
    unsigned int renderId = 0;
    ASSERT_TRUE(host->StartRenderStream(&sink, renderId, peerLabel, false));
    ASSERT_TRUE(eventually([&] { return psnr(sink.picture(), peerPicture_) > 30; }));

    // The moderator turns Alice's camera off, and on again.
    ASSERT_EQ(host->SendVideoMute(peerJid, true), 0);
    EXPECT_FALSE(peer->waitFor("event onMuteVideo true").empty());
    EXPECT_TRUE(eventually([&] { return isBlack(sink.picture()); }));
    ASSERT_EQ(host->SendVideoMute(peerJid, false), 0);
    EXPECT_TRUE(eventually([&] { return psnr(sink.picture(), peerPicture_) > 30; }));

    EXPECT_TRUE(host->StopRenderStream(static_cast<int>(renderId), peerLabel));
}

TEST_F(MediaPathTest, AStoppedShareRemovesTheStream)
{
    PictureSink sink;  // outlives the host's engine, which draws into it
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    startHost(*host, callback, preview);
    const Account demo = server().demoAccount();
    const auto peer = startPeer(demo.room, demo.meetPassword);
    ASSERT_EQ(peer->waitFor("result join "), "result join 0");
    ASSERT_FALSE(peer->waitFor("event onAddStream " + preview.label, 15s).empty());

    // The screen's pixels arrive as a stream of their own, at the screen's size.
    const std::string share = "7777";
    ASSERT_EQ(host->AddScreenShareStream(share, true, 5, 0, 0), 0);
    EXPECT_FALSE(peer->waitFor("event onAddStream " + share, 15s).empty());
    Picture screen;
    EXPECT_TRUE(eventually([&] { return (screen = newestDump(peerFrames(), share)).width > 0; }));
    EXPECT_GE(screen.width, kWidth);

    // Stopped, the share is gone at the other side; the camera stays.
    ASSERT_EQ(host->RemoveScreenShareStream(share), 0);
    EXPECT_FALSE(peer->waitFor("event onRemoveStream " + share, 15s).empty());
    EXPECT_EQ(peer->count("event onRemoveStream " + preview.label), 0u);
    const std::size_t kept = filesStartingWith(peerFrames(), preview.label + "-").size();
    EXPECT_TRUE(eventually([&] { return filesStartingWith(peerFrames(), preview.label + "-").size() > kept; }));
}

TEST_F(MediaPathTest, AfterARingCallEachSideDrawsTheOthersPicture)
{
    PictureSink sink;  // outlives the host's engine, which draws into it
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    startHost(*host, callback, preview);
    const Account demo = server().demoAccount();
    const Account alice = server().account("alice");
    // Alice is on line, in no meeting, and is called into the host's.
    const auto peer = startPeer("", "");
    ASSERT_FALSE(peer->waitFor("ready ").empty());
    ASSERT_EQ(host->SendRingCall(alice.userId, "invite", demo.room, "Demo User", 1, 1, "0", demo.meetPassword), 0);
    const std::string ring = peer->waitFor("event onRingCall ");
    ASSERT_FALSE(ring.empty());
    EXPECT_EQ(peer->order("join " + field(ring, 4) + " " + demo.meetPassword), "0");

    const std::string peerLabel = firstRemoteLabel(callback);
    ASSERT_FALSE(peerLabel.empty());
    ASSERT_NE(peerLabel, preview.label);
    // Two programs never announce the same stream identity (they used to
    // number their streams alike, and the program matched tiles by it).
    const std::vector<SignalMember> members = roomMembers(demo.room);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_FALSE(members[0].ssrc.empty());
    EXPECT_NE(members[0].ssrc, members[1].ssrc);
    unsigned int renderId = 0;
    ASSERT_TRUE(host->StartRenderStream(&sink, renderId, peerLabel, false));
    double hostSaw = 0;
    EXPECT_TRUE(eventually([&] { return (hostSaw = psnr(sink.picture(), peerPicture_)) > 30; })) << hostSaw << " dB";
    EXPECT_LT(psnr(sink.picture(), hostPicture_), 20) << "the host draws its own picture";
    double peerSaw = 0;
    EXPECT_TRUE(eventually([&] {
        return (peerSaw = psnr(newestDump(peerFrames(), preview.label), hostPicture_)) > 30;
    })) << peerSaw << " dB";
    EXPECT_LT(psnr(newestDump(peerFrames(), preview.label), peerPicture_), 20) << "the peer draws its own picture";
    EXPECT_TRUE(host->StopRenderStream(static_cast<int>(renderId), peerLabel));
}

// Offers, candidates and source changes steer the engine: only the meeting's
// own server session gives them. Whatever else reaches the signalling
// connection goes nowhere near the engine, and the picture goes on.
TEST_F(MediaPathTest, MediaNegotiationOfAnotherSessionOrSenderIsDroppedAndThePictureGoesOn)
{
    FrameSink sink;  // outlives the host's engine, which draws into it
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    const std::string hostJid = startHost(*host, callback, preview);
    const Account demo = server().demoAccount();
    const auto peer = startPeer(demo.room, demo.meetPassword);
    const std::string peerJid = field(peer->waitFor("ready "), 1);
    const std::string peerLabel = firstRemoteLabel(callback);
    ASSERT_FALSE(peerLabel.empty());
    unsigned int renderId = 0;
    ASSERT_TRUE(host->StartRenderStream(&sink, renderId, peerLabel, false));
    const auto drawnSoon = [&](std::size_t more) {
        const std::size_t before = sink.drawn().size();
        return eventually([&] { return sink.drawn().size() >= before + more; }, 10s);
    };
    ASSERT_TRUE(drawnSoon(5));

    const auto [focus, session] = host->getRtcCallback()->meetingSession();
    ASSERT_FALSE(focus.empty());
    ASSERT_FALSE(session.empty());
    const std::vector<SignalMember> members = roomMembers(demo.room);
    const auto alice = std::find_if(members.begin(), members.end(), [&](const auto& m) { return m.jid == peerJid; });
    ASSERT_NE(alice, members.end());
    Json::Value aliceCamera(Json::arrayValue);
    Json::Value source;
    source["ssrc"] = alice->ssrc;
    source["cname"] = "peer";
    source["streamLabel"] = alice->label;
    source["trackLabel"] = alice->label + "_video";
    source["kind"] = "video";
    source["owner"] = peerJid;
    aliceCamera.append(source);
    Json::Value stranger = aliceCamera;
    stranger[0]["ssrc"] = "4242";
    stranger[0]["streamLabel"] = stranger[0]["owner"] = "4242";
    const std::string key(40, 'A');
    const std::string offer = "v=0\r\no=- 1 1 IN IP4 192.0.2.1\r\ns=-\r\nt=0 0\r\nm=video 9 RTP/SAVPF 100\r\n"
                              "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:" + key + "\r\n";

    struct Case {
        const char* name;
        const char* type;
        std::string from, session;
        const char* member;
        Json::Value value;
        const char* engineOperation;  // the engine operation it would lead to
    };
    const Case cases[] = {
        {"an offer of another session", "offer", focus, session + "0", "sdp", offer, "SetRemoteDescription"},
        {"an offer from another sender", "offer", peerJid, session, "sdp", offer, "SetRemoteDescription"},
        {"an offer without a session", "offer", focus, "", "sdp", offer, "SetRemoteDescription"},
        {"a candidate of another session", "ice", focus, "another", "candidate",
         "candidate:1 1 udp 2130706431 192.0.2.1 9 typ host", "AddIceCandidate"},
        {"a candidate from another sender", "ice", hostJid, session, "candidate",
         "candidate:1 1 udp 2130706431 192.0.2.1 9 typ host", "AddIceCandidate"},
        {"a removal of the peer's camera from another sender", "sourceRemove", peerJid, session, "sources",
         aliceCamera, "RemoveRemoteSources"},
        {"a removal of the peer's camera of another session", "sourceRemove", focus, "another", "sources",
         aliceCamera, "RemoveRemoteSources"},
        {"an added source of another session", "sourceAdd", focus, "another", "sources", stranger,
         "AddRemoteSources"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = engineCallCount(c.engineOperation);
        Json::Value message;
        message["type"] = c.type;
        message["from"] = c.from;
        message["session"] = c.session;
        message[c.member] = c.value;
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        push(hostJid, {Json::writeString(writer, message)});
        ASSERT_TRUE(flush(hostJid, callback));
        EXPECT_EQ(engineCallCount(c.engineOperation), before);
        EXPECT_TRUE(drawnSoon(5)) << "the peer's picture stopped";
    }
    EXPECT_EQ(callback.events("onRemoveStream").size(), 0u);
    EXPECT_EQ(host->getRtcCallback()->meetingSession(), std::make_pair(focus, session));
    EXPECT_TRUE(host->StopRenderStream(static_cast<int>(renderId), peerLabel));
}

}  // namespace
}  // namespace velto::test
