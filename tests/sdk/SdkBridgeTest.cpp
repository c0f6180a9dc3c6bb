// The signalling callback bridge and the media observer: control flags, mute
// requests, the answer chain, presence reports and two SDK objects meeting
// through the in-process signalling hub.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "OwnXServer.h"
#include "SdkTestFixture.h"
#include "VeltoObserver.h"
#include "VeltoRtcCallback.h"

namespace velto::test {
namespace {

// The clients connected to the X server `display` (":N") now, as the kernel
// lists the server's ends of their sockets: every screen capture holds one.
int xClients(const std::string& display)
{
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    std::ifstream table("/proc/net/unix");
    std::string line;
    int clients = 0;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string num, refs, protocol, flags, type, state, inode, path;
        fields >> num >> refs >> protocol >> flags >> type >> state >> inode >> path;
        const bool ours = path.size() >= socket.size() && path.compare(path.size() - socket.size(), socket.size(), socket) == 0;
        if (ours && state == "03")
            ++clients;
    }
    return clients;
}

// The X server notices a client that went only when it reads its end: the
// count once it is `expected`, or as it stands after 3 s.
int xClientsOnceSettled(const std::string& display, int expected)
{
    int clients = xClients(display);
    for (int i = 0; i < 300 && clients != expected; ++i) {
        std::this_thread::sleep_for(10ms);
        clients = xClients(display);
    }
    return clients;
}

// A bridge of its own, so that a test can hand it events on its own thread;
// its observer drives the SDK's engine, if there is one yet.
struct Bridge {
    explicit Bridge(VeltoSdk& sdk)
    {
        rtc.setVeltoSdk(&sdk);
        observer.setVeltoSdk(&sdk);
        observer.setEngine(sdk.getWebrtc());
    }
    CVeltoRtcCallback rtc;
    VeltoObserver observer;
};

TEST_F(SdkTest, ControlMessagesAreFlaggedByTheFirstWordTheirTypeContains)
{
    struct Case {
        const char* type;
        std::string value;
        bool flag;
        bool moderatorBefore;
        bool moderatorAfter;
    };
    const std::string me = kAliceJid;
    const Case cases[] = {
        {"allVideo", "true", true, false, false},
        {"allVideo", "false", false, false, false},
        {"ALLVIDEO", "true", false, false, false},
        {"allAudio", "", false, false, false},
        {"audio", "true", true, false, false},
        {"video", "untrueish", true, false, false},
        // A mute word comes before a moderator word, even naming the user.
        {"videomoderator", me, false, false, false},
        {"moderator", me, true, false, true},
        {"moderator", "bob@ms.example/pc2", false, true, false},
        {"moderator", "", false, true, false},
        {"moderator", "Alice@ms.example/pc1", false, true, false},
        {"lostModerator", "", true, true, true},
        {"lostModerator", "false", true, false, false},
        {"moderatorlock", "true", false, true, false},
        {"lock", "true", true, false, false},
        {"lock", "false", false, false, false},
        {"unlock", "true", true, false, false},
        {"groupChat", "true", false, false, false},
        {"privateChat", "true", false, false, false},
        {"toClose", "true", false, false, false},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    conference_login_info login = aliceLogin();
    sdk->getHttpCallback()->onLogin(200, login);
    Bridge bridge(*sdk);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " / " + c.value);
        sdk->getHttpCallback()->setModerator(c.moderatorBefore);
        bridge.rtc.onConferenceControl(c.type, c.value);
        const Event got = callback.events("onControlMsg").back();
        EXPECT_EQ(got.args, (std::vector<std::string>{c.type, c.flag ? "true" : "false", c.value}));
        EXPECT_EQ(sdk->isModerator(), c.moderatorAfter);
    }
}

TEST_F(SdkTest, MuteRequestsSwitchTheLocalTrackAndAreAlwaysReported)
{
    struct Case {
        const char* name;
        bool withStream;  // a local stream with camera and microphone exists
        bool audio;
        bool mute;
    };
    const Case cases[] = {
        {"audio off without engine", false, true, true},
        {"video off without engine", false, false, true},
        {"audio off", true, true, true},
        {"audio on", true, true, false},
        {"video off", true, false, true},
        {"video on", true, false, false},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        // The window outlives the engine, which draws into it until it goes.
        FrameSink window;
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        Bridge bridge(*sdk);
        rtc_render render;
        render.window = &window;
        if (c.withStream) {
            const auto devices = velto_webrtc_test::DefaultDevices();
            ASSERT_EQ(sdk->ShowLocalPreview(render, devices.cameras[0], devices.microphones[0], devices.speakers[0],
                                             640, 480, 15, 512),
                      0);
        }
        const std::size_t statsBefore = engineCallCount("GetStats");

        c.audio ? bridge.rtc.onAudioMute(c.mute) : bridge.rtc.onVideoMute(c.mute);

        const conference_room_status status = sdk->getHttpCallback()->getRoomStatus();
        EXPECT_EQ(c.audio ? status.audioMute : status.videoMute, c.mute);
        const auto switched = engineCalls(c.audio ? "EnableAudio" : "EnableVideo");
        if (c.withStream) {
            ASSERT_EQ(switched.size(), 1u);
            EXPECT_EQ(switched[0].args, (std::vector<std::string>{render.label, c.mute ? "false" : "true"}));
            EXPECT_EQ(switched[0].result, 1);
            EXPECT_EQ(engineCallCount("GetStats"), statsBefore + 1) << "a presence report follows the switch";
        } else {
            EXPECT_TRUE(switched.empty());
            EXPECT_EQ(sdk->getWebrtc(), nullptr);
        }
        EXPECT_EQ(callback.names(), std::vector<std::string>{c.audio ? "onMuteAudio" : "onMuteVideo"});
        EXPECT_EQ(callback.events().at(0).args, std::vector<std::string>{c.mute ? "true" : "false"});
    }
}

TEST_F(SdkTest, MediaEventsWithoutAnEngineAreDropped)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    Bridge bridge(*sdk);
    std::string from = "focus", session = "s", text = "v=0";
    std::vector<ssrc_t> sources{{"1", "c", "5555", "5555_video", "video", "bob"}};
    bridge.rtc.onOffer(from, session, text);
    bridge.rtc.onICE(from, session, text);
    bridge.rtc.onSourceAdd(from, session, sources);
    bridge.rtc.onSourceRemove(from, session, sources);
    EXPECT_TRUE(velto_webrtc_test::Calls().empty());
    EXPECT_TRUE(callback.events().empty());
}

TEST_F(SdkTest, SourcesReachTheEngineFieldByFieldAndOnlyVideoStreamsAreReported)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    std::vector<velto_webrtc::rtc_device_> cameras;
    sdk->getVideoCaptureDevices(cameras);  // makes the engine
    Bridge bridge(*sdk);
    std::string from = "focus", session = "s", offer = "v=0";
    // The meeting's session, opened by its first offer.
    bridge.rtc.awaitMeeting(from);
    bridge.rtc.onOffer(from, session, offer);

    std::vector<ssrc_t> none;
    bridge.rtc.onSourceAdd(from, session, none);
    std::vector<ssrc_t> sources{{"11", "c", "5555", "5555_audio", "audio", "bob"},
                                {"12", "c", "5555", "5555_video", "video", "bob"},
                                {"13", "c", "6666", "6666_audio", "audio", "carol"}};
    bridge.rtc.onSourceAdd(from, session, sources);
    ASSERT_TRUE(callback.waitForEvent("onAddStream"));
    bridge.rtc.onSourceRemove(from, session, sources);
    ASSERT_TRUE(callback.waitForEvent("onRemoveStream"));
    ASSERT_TRUE(velto_webrtc_test::Flush());

    const auto added = engineCalls("AddRemoteSources");
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].args, std::vector<std::string>{"0"});
    EXPECT_EQ(added[1].args, std::vector<std::string>{"3"});
    EXPECT_EQ(sources.size(), 3u) << "the received list stays as it was";
    // Audio streams (5555's audio track, 6666 altogether) reach the program not at all.
    EXPECT_EQ(callback.names(), (std::vector<std::string>{"onAddStream", "onRemoveStream"}));
    EXPECT_EQ(callback.events("onAddStream")[0].args, std::vector<std::string>{"5555"});
    EXPECT_EQ(callback.events("onRemoveStream")[0].args, std::vector<std::string>{"5555"});
}

TEST_F(SdkTest, AnswerChainGoesOnOnlyWhenAStepWentWell)
{
    struct Case {
        const char* name;
        std::function<void(velto_webrtc::velto_media_observer&, std::string&)> report;
        const char* engineOperation;  // the engine operation the step leads to, if any
        const char* sentOperation;    // the signalling operation, if any
        bool goesOn;
    };
    const Case cases[] = {
        {"remote set", [](auto& o, std::string& sdp) { o.onSetRemoteSDP("well", sdp); }, "CreateAnswer", nullptr, true},
        {"remote set, capitals", [](auto& o, std::string& sdp) { o.onSetRemoteSDP("Well", sdp); }, "CreateAnswer",
         nullptr, false},
        {"answer made", [](auto& o, std::string& sdp) { o.onAnswer("well", sdp); }, "SetLocalDescription", nullptr,
         true},
        {"answer made, trailing space", [](auto& o, std::string& sdp) { o.onAnswer("well ", sdp); },
         "SetLocalDescription", nullptr, false},
        {"local set", [](auto& o, std::string& sdp) { o.onSetLocalSDP("well", sdp); }, "GetStats", "SendAnswer", true},
        {"local set, failed", [](auto& o, std::string& sdp) { o.onSetLocalSDP("fail", sdp); }, "GetStats",
         "SendAnswer", false},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    std::vector<velto_webrtc::rtc_device_> cameras;
    sdk->getVideoCaptureDevices(cameras);
    // Each step is looked at alone: the engine's own follow-ups stay silent.
    for (const char* operation : {"CreateAnswer", "SetLocalDescription", "GetStats"})
        velto_webrtc_test::ForceResult(operation, 0);
    Bridge bridge(*sdk);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t engineBefore = engineCallCount(c.engineOperation);
        const std::size_t sentBefore = c.sentOperation ? sentCount(c.sentOperation) : 0;
        std::string sdp = std::string("sdp of ") + c.name;

        c.report(bridge.observer, sdp);

        const auto calls = engineCalls(c.engineOperation);
        ASSERT_EQ(calls.size(), engineBefore + (c.goesOn ? 1 : 0));
        if (c.goesOn && std::string(c.engineOperation) == "SetLocalDescription") {
            EXPECT_EQ(calls.back().args, (std::vector<std::string>{sdp, "answer"}));
        }
        if (c.sentOperation) {
            if (c.goesOn) {
                EXPECT_TRUE(waitForSent([&](const SentSignal& m) { return m.operation == c.sentOperation; },
                                        sentBefore + 1));
            }
            const auto answers = sent(c.sentOperation);
            ASSERT_EQ(answers.size(), sentBefore + (c.goesOn ? 1 : 0));
            if (c.goesOn) {
                EXPECT_EQ(answers.back().args, std::vector<std::string>{sdp});
            }
        }
    }
    EXPECT_EQ(sentCount("SendSecondStreamAnswer"), 0u);
}

TEST_F(SdkTest, ObserverForwardsCandidatesInSignallingOrderAndReportsPresence)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    const Account demo = server().demoAccount();
    Bridge bridge(*sdk);

    bridge.observer.OnIceCandidate("a", "b", 7, "d", "e", "f");
    ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendIceCandidate"; }));
    ASSERT_EQ(sentCount("SendIceCandidate"), 1u);
    EXPECT_EQ(sent("SendIceCandidate")[0].args, (std::vector<std::string>{"b", "7", "a", "d", "e", "f"}));

    velto_webrtc::rtc_stat_info stats{"1", "2", "3", "4", "5", {}};
    auto presence = [&] {
        const std::size_t before = sentCount("SendPresence");
        bridge.observer.OnStats(stats);
        EXPECT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendPresence"; }, before + 1));
        return sent("SendPresence").back().args;
    };
    EXPECT_EQ(presence(), (std::vector<std::string>{"0", demo.userId, demo.displayName, "NONE", "false", "false", "1",
                                                    "2", "3", "4", "5"}));

    // A granted role, a mute and a new name all show in the next report.
    bridge.rtc.onGrantAdmin();
    bridge.rtc.onAudioMute(true);
    bridge.rtc.onChangeNickname("Neo");
    stats.media = {{"42_audio", "audio", "0"}, {"42_video", "video", "512"}};
    EXPECT_EQ(presence(), (std::vector<std::string>{"0", demo.userId, "Neo", "CRUO", "true", "false", "1", "2", "3",
                                                    "4", "5", "42_audio", "audio", "0", "42_video", "video", "512"}));
    EXPECT_EQ(callback.events("onChangeNickname").at(0).args, std::vector<std::string>{"Neo"});

    // The chat carries the new name too (refused by the hub outside a room, but sent).
    sdk->SendChatMessage("hello");
    ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendGroupMessage"; }));
    EXPECT_EQ(sent("SendGroupMessage").at(0).args, (std::vector<std::string>{"Neo", "hello"}));

    // Only video streams reach the program, under their label unchanged.
    std::string label = "9876";
    bridge.observer.onAddStream("audio", label);
    bridge.observer.onRemoveStream("audio", label);
    bridge.observer.onAddStream("video", label);
    bridge.observer.onRemoveStream("video", label);
    EXPECT_EQ(callback.events("onAddStream").size(), 1u);
    EXPECT_EQ(callback.events("onAddStream")[0].args, std::vector<std::string>{"9876"});
    EXPECT_EQ(callback.events("onRemoveStream").size(), 1u);

    // A media connection without a working path is a lost network to the program.
    EXPECT_TRUE(callback.events("onNetworkError").empty());
    bridge.observer.OnIceConnectionFailed();
    EXPECT_TRUE(callback.waitForEvent("onNetworkError"));
}

TEST_F(SdkTest, ScreenShareGoesOutAsTheSecondStream)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    startDemoMeeting(*sdk, callback);
    const std::string room = server().demoAccount().room;
    ASSERT_TRUE(sdk->isModerator());

    ASSERT_EQ(sdk->AddScreenShareStream("4321", true, 15, 0, 0), 0);
    EXPECT_TRUE(sdk->isDoubleStream());
    // The offer is applied again and its answer goes out under the second label.
    ASSERT_TRUE(waitForSent([&](const auto& m) {
        return m.operation == "SendSecondStreamAnswer" && m.args.at(0) == "4321";
    }));
    const auto members = roomMembers(room);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].secondLabel, "4321");
    EXPECT_EQ(sentCount("SendAnswer"), 1u) << "only the first answer went out as the ordinary one";

    ASSERT_EQ(sdk->RemoveScreenShareStream("4321"), 0);
    EXPECT_FALSE(sdk->isDoubleStream());
    EXPECT_EQ(roomMembers(room).at(0).secondLabel, "");
    EXPECT_TRUE(waitForSent([](const auto& m) { return m.operation == "RemoveSecondStreamSession"; }));
}

// A participant who is not the moderator may not share: the share is
// refused, and no capture of the screen stays behind it.
TEST_F(SdkTest, ARefusedShareLeavesNoCaptureRunning)
{
    OwnXServer screen;
    ASSERT_TRUE(screen.ok());
    const std::string before = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", screen.display().c_str(), 1);
    struct Restore {
        std::string display;
        ~Restore()
        {
            if (display.empty())
                unsetenv("DISPLAY");
            else
                setenv("DISPLAY", display.c_str(), 1);
        }
    } restore{before};

    RecordingCallback hostEvents;
    auto host = makeSdk(&hostEvents);
    startDemoMeeting(*host, hostEvents);
    RecordingCallback guestEvents;
    auto guest = makeSdk(&guestEvents);
    ASSERT_EQ(login(*guest, "alice"), 0);
    const Account demo = server().demoAccount();
    ASSERT_EQ(guest->JoinConference(demo.room, demo.meetPassword), 0);
    ASSERT_FALSE(guest->isModerator());
    const int idle = xClients(screen.display());

    EXPECT_EQ(guest->AddScreenShareStream("4321", true, 15, 0, 0), -1);
    EXPECT_FALSE(guest->isDoubleStream());
    EXPECT_EQ(xClientsOnceSettled(screen.display(), idle), idle) << "the refused share still captures the screen";
    // Nor does a second try leave one.
    EXPECT_EQ(guest->AddScreenShareStream("4321", true, 15, 0, 0), -1);
    EXPECT_EQ(xClientsOnceSettled(screen.display(), idle), idle);

    // The measure sees a capture that runs: the moderator's.
    ASSERT_EQ(host->AddScreenShareStream("5678", true, 15, 0, 0), 0);
    EXPECT_EQ(xClientsOnceSettled(screen.display(), idle + 1), idle + 1);
    // Withdrawn only once its answer went out (before, the stop says there was nothing to withdraw).
    ASSERT_TRUE(waitForSent([](const auto& m) {
        return m.operation == "SendSecondStreamAnswer" && m.args.at(0) == "5678";
    }));
    ASSERT_EQ(host->RemoveScreenShareStream("5678"), 0);
    EXPECT_EQ(xClientsOnceSettled(screen.display(), idle), idle);
}

TEST_F(SdkTest, ShareStoppedBeforeItsAnswerWentOutLeavesNoSecondStream)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    startDemoMeeting(*sdk, callback);
    ASSERT_TRUE(sdk->isModerator());

    // The re-negotiated answer is held back: the share stops before it goes out.
    velto_webrtc_test::ForceResult("CreateAnswer", 0);
    ASSERT_EQ(sdk->AddScreenShareStream("4321", true, 15, 0, 0), 0);
    ASSERT_TRUE(sdk->isDoubleStream());
    EXPECT_NE(sdk->RemoveScreenShareStream("4321"), 0) << "the signalling client had no source to withdraw";
    EXPECT_FALSE(sdk->isDoubleStream());
    velto_webrtc_test::Reset();

    // The next negotiation answers as the ordinary stream again.
    const std::string offer = sdk->withEngine(std::string(), [](velto_webrtc_interface& e) { return e.GetRemoteOffer(); });
    ASSERT_FALSE(offer.empty());
    ASSERT_TRUE(sdk->onEngine(false, &velto_webrtc_interface::SetRemoteDescription, offer, "offer"));
    ASSERT_TRUE(waitForSent([](const auto& m) { return m.operation == "SendAnswer"; }, 2));
    EXPECT_EQ(sentCount("SendSecondStreamAnswer"), 0u);
}

TEST_F(SdkTest, SecondStreamCountChangesOnlyOnSuccessAndNeverBelowZero)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    CVeltoHttpCallback& records = *sdk->getHttpCallback();

    // Refused before any meeting: not moderator, then no engine, then no offer.
    EXPECT_EQ(sdk->AddSecondStream(), -1);
    records.setModerator(true);
    EXPECT_EQ(sdk->AddSecondStream(), -1);
    std::vector<velto_webrtc::rtc_device_> cameras;
    sdk->getVideoCaptureDevices(cameras);
    EXPECT_EQ(sdk->AddSecondStream(), -1);
    EXPECT_NE(sdk->RemoveSecondStream("4321"), 0);
    EXPECT_EQ(sdk->getSecondStreamCount(), 0);
    EXPECT_FALSE(sdk->isDoubleStream());
    ASSERT_EQ(sdk->LeaveConference(), 0);

    startDemoMeeting(*sdk, callback);
    velto_webrtc_test::ForceResult("SetRemoteDescription", 0);
    EXPECT_EQ(sdk->AddSecondStream(), -1);
    EXPECT_EQ(sdk->getSecondStreamCount(), 0);
    velto_webrtc_test::Reset();

    // Two announced, one withdrawn: still announced.
    records.setModerator(false);
    EXPECT_EQ(sdk->AddSecondStream(), -1);
    records.setModerator(true);
    ASSERT_EQ(sdk->AddScreenShareStream("4321", true, 15, 0, 0), 0);
    EXPECT_EQ(sdk->AddSecondStream(), 0);
    EXPECT_EQ(sdk->getSecondStreamCount(), 2);
    ASSERT_TRUE(waitForSent([](const auto& m) { return m.operation == "SendSecondStreamAnswer"; }, 2));
    EXPECT_EQ(sdk->RemoveSecondStream("4321"), 0);
    EXPECT_EQ(sdk->getSecondStreamCount(), 1);
    EXPECT_TRUE(sdk->isDoubleStream());

    ASSERT_EQ(sdk->LeaveConference(), 0);
    EXPECT_EQ(sdk->getSecondStreamCount(), 0);
}

TEST_F(SdkTest, TwoSdkObjectsRingAndChatThroughTheHub)
{
    RecordingCallback hostCallback;
    RecordingCallback guestCallback;
    auto host = makeSdk(&hostCallback);
    auto guest = makeSdk(&guestCallback);
    const std::string hostJid = startDemoMeeting(*host, hostCallback);
    ASSERT_EQ(login(*guest, "alice"), 0);
    const Account demo = server().demoAccount();
    const Account alice = server().account("alice");

    // A ring call to a user id reaches every client of that user.
    ASSERT_EQ(host->SendRingCall(alice.userId, "invite", demo.room, demo.displayName, 1, 1, "1700000000", "123456"),
              0);
    ASSERT_TRUE(guestCallback.waitForEvent("onRingCall"));
    EXPECT_EQ(guestCallback.events("onRingCall")[0].args,
              (std::vector<std::string>{hostJid, "invite", demo.room, demo.displayName, "1", "1", "123456"}));

    // The callee answers; then both meet and chat without echo.
    const std::string guestJid = guestCallback.events("onLogin").at(0).args[1];
    ASSERT_EQ(guest->SendRingCall(hostJid, "accept", "", alice.displayName, 1, 0, "1700000001", ""), 0);
    ASSERT_TRUE(hostCallback.waitForEvent("onRingCall"));
    EXPECT_EQ(hostCallback.events("onRingCall")[0].args[0], guestJid);
    ASSERT_EQ(guest->JoinConference(demo.room, demo.meetPassword), 0);
    ASSERT_TRUE(hostCallback.waitFor([&](const std::vector<Event>& events) {
        return std::any_of(events.begin(), events.end(),
                           [&](const Event& e) { return e.name == "onUpdateUserList" && e.args[0] == guestJid; });
    }));

    ASSERT_EQ(host->SendChatMessage("welcome"), 0);
    ASSERT_TRUE(guestCallback.waitForEvent("onChatMessage"));
    EXPECT_EQ(guestCallback.events("onChatMessage")[0].args, (std::vector<std::string>{demo.displayName, "welcome"}));
    ASSERT_TRUE(flush(hostJid, hostCallback));
    EXPECT_EQ(hostCallback.events("onChatMessage").size(), 1u) << "only the marker, no echo";
}

}  // namespace
}  // namespace velto::test
