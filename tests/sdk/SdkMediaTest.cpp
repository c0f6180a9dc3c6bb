// Local media of the SDK: stream labels, the camera test, previews and the
// audio-only stream, rendering, capture size and bitrate, the audio device
// operations, and what every operation does before its prerequisites exist.
#include <functional>
#include <map>
#include <set>

#include "SdkTestFixture.h"

namespace velto::test {
namespace {

using velto_webrtc::rtc_device_;

const rtc_device_& defaultCamera()
{
    static const rtc_device_ camera = velto_webrtc_test::DefaultDevices().cameras.at(0);
    return camera;
}
const rtc_device_& defaultMicrophone()
{
    static const rtc_device_ microphone = velto_webrtc_test::DefaultDevices().microphones.at(0);
    return microphone;
}
const rtc_device_& defaultSpeaker()
{
    static const rtc_device_ speaker = velto_webrtc_test::DefaultDevices().speakers.at(0);
    return speaker;
}

void forceResults(const std::map<std::string, int>& results)
{
    for (const auto& [operation, result] : results)
        velto_webrtc_test::ForceResult(operation, result);
}

TEST_F(SdkTest, StreamLabelsStayInRangeAndNeverRepeatWhileInUse)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    // Enough streams that labels drawn without looking at the live ones would
    // almost surely repeat; all within the same second.
    std::vector<rtc_render> renders(400);
    std::set<std::string> labels;
    for (rtc_render& render : renders) {
        ASSERT_EQ(sdk->CreateSingleAudioStream(render, defaultMicrophone(), defaultSpeaker()), 0);
        const int number = std::stoi(render.label);
        EXPECT_TRUE(number >= 0 && number <= 9999) << render.label;
        EXPECT_EQ(std::to_string(number), render.label);
        labels.insert(render.label);
    }
    EXPECT_EQ(labels.size(), renders.size());
    // Each close removes its own stream and nothing else.
    for (const rtc_render& render : renders)
        EXPECT_EQ(sdk->CloseSingleAudioStream(render), 0);
}

TEST_F(SdkTest, OnlyACameraHeldElsewhereIsOccupiedAndTheTrialStreamAlwaysGoes)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        rtc_device_ camera;
        bool occupied;
    };
    const Case cases[] = {
        {"free camera", [] {}, defaultCamera(), false},
        {"camera held elsewhere", [] { velto_webrtc_test::SetCameraBusy(true); }, defaultCamera(), true},
        {"unknown camera", [] {}, {7, "Gone", "cam-gone"}, false},
        {"engine says -3", [] { velto_webrtc_test::ForceResult("AddVideoToLocalStream", -3); }, defaultCamera(), true},
        {"engine says -2", [] { velto_webrtc_test::ForceResult("AddVideoToLocalStream", -2); }, defaultCamera(), false},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        c.arrange();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);

        EXPECT_EQ(sdk->IsVideoDeviceOccupied(c.camera), c.occupied);

        const auto created = engineCalls("CreateLocalStream");
        const auto removed = engineCalls("RemoveLocalStream");
        const auto video = engineCalls("AddVideoToLocalStream");
        ASSERT_EQ(created.size(), 1u);
        ASSERT_EQ(removed.size(), 1u);
        ASSERT_EQ(video.size(), 1u);
        const std::string label = created[0].args.at(0);
        EXPECT_EQ(removed[0].args.at(0), label);
        EXPECT_EQ(removed[0].result, 0);
        EXPECT_EQ(video[0].args,
                  (std::vector<std::string>{label, label + "_video", c.camera.id, "640", "480", "30", "2048"}));
    }
}

TEST_F(SdkTest, AudioOnlyStreamAddsUpItsSteps)
{
    struct Case {
        const char* name;
        std::map<std::string, int> forced;
        int result;
    };
    const Case cases[] = {
        {"all steps succeed", {}, 0},
        {"microphone refused", {{"SetAudioRecordDevice", -1}}, -1},
        {"every step fails", {{"AddAudioToLocalStream", -1}, {"SetAudioRecordDevice", -1}, {"SetAudioPlayoutDevice", -1}},
         -1},
        {"stream not made", {{"CreateLocalStream", -5}}, -1},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        forceResults(c.forced);
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        rtc_render render;

        EXPECT_EQ(sdk->CreateSingleAudioStream(render, defaultMicrophone(), defaultSpeaker()), c.result);

        const bool made = !c.forced.count("CreateLocalStream");
        EXPECT_EQ(engineCalls("CreateLocalStream").at(0).args, std::vector<std::string>{render.label});
        ASSERT_EQ(engineCallCount("AddAudioToLocalStream"), made ? 1u : 0u);
        if (made) {
            EXPECT_EQ(engineCalls("AddAudioToLocalStream")[0].args,
                      (std::vector<std::string>{render.label, render.label + "_audio"}));
            EXPECT_EQ(engineCalls("SetAudioRecordDevice").at(0).args,
                      std::vector<std::string>{std::to_string(defaultMicrophone().index)});
            EXPECT_EQ(engineCalls("SetAudioPlayoutDevice").at(0).args,
                      std::vector<std::string>{std::to_string(defaultSpeaker().index)});
        }
        // The new stream is the one the mute switches act on.
        sdk->EnableStreamAudio(false);
        EXPECT_EQ(engineCalls("EnableAudio").at(0).args.at(0), render.label);
    }
}

TEST_F(SdkTest, PreviewsRenderTheirLocalStream)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    FrameSink window;

    // Meeting preview: camera, microphone, speaker, data channel and render.
    rtc_render preview;
    preview.window = &window;
    ASSERT_EQ(sdk->ShowLocalPreview(preview, defaultCamera(), defaultMicrophone(), defaultSpeaker(), 640, 480, 15, 512),
              0);
    EXPECT_NE(preview.id, 0u);
    EXPECT_EQ(engineCalls("CreateDataChannel").at(0).args, std::vector<std::string>{"local_channel_label"});
    EXPECT_EQ(engineCalls("StartRender").at(0).args, (std::vector<std::string>{preview.label, "false", "0"}));
    int width = 0;
    int height = 0;
    EXPECT_TRUE(sdk->GetStreamAspect(preview.id, &width, &height));
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    std::string path = "unchanged";
    EXPECT_EQ(sdk->RenderPictureShot(static_cast<int>(preview.id), path), 0);
    EXPECT_EQ(path, "unchanged");

    // Rendering any stream by its label, and stopping it.
    FrameSink second;
    unsigned int renderId = 0;
    ASSERT_TRUE(sdk->StartRenderStream(&second, renderId, preview.label, false));
    EXPECT_NE(renderId, preview.id);
    EXPECT_TRUE(sdk->StopRenderStream(static_cast<int>(renderId), preview.label));
    EXPECT_FALSE(sdk->StopRenderStream(static_cast<int>(renderId), preview.label));

    EXPECT_EQ(sdk->CloseLocalPreview(preview), 0);
    EXPECT_EQ(engineCalls("RemoveLocalStream").at(0).args, std::vector<std::string>{preview.label});
    EXPECT_EQ(sdk->CloseLocalPreview(preview), -1) << "nothing renders any more";

    // Without a render target the stream stands, but the preview failed.
    rtc_render unseen;
    EXPECT_EQ(sdk->ShowLocalPreview(unseen, defaultCamera(), defaultMicrophone(), defaultSpeaker(), 640, 480, 15, 512),
              -1);
    EXPECT_EQ(sdk->CloseSingleAudioStream(unseen), 0);

    // Camera-only preview: its label becomes the second label, and its result
    // does not depend on the render.
    rtc_render cameraOnly;
    EXPECT_EQ(sdk->ShowLocalPreview(cameraOnly, defaultCamera(), 320, 240, 15, 256), 0);
    EXPECT_EQ(sdk->getSecondStream(), cameraOnly.label);
}

TEST_F(SdkTest, BandwidthOfACaptureSizeComesFromTheJoinAnswersSteps)
{
    struct Case {
        const char* name;
        std::vector<resolution_bandwidth> steps;
        int width;
        int height;
        int bandwidth;
    };
    const std::vector<resolution_bandwidth> mixed{{1920, 720, 2048}, {1280, 1080, 1536}};
    const Case cases[] = {
        {"same height beats same width", mixed, 1280, 720, 2048},
        {"width and height", mixed, 1280, 1080, 1536},
        {"width alone", mixed, 1920, 480, 2048},
        {"nothing matches", mixed, 640, 360, 256},
        {"no steps", {}, 1280, 720, 256},
        {"both beat an earlier height", {{1920, 720, 2048}, {1280, 720, 1024}}, 1280, 720, 1024},
        {"first of equal steps", {{1280, 720, 1000}, {1280, 720, 2000}}, 1280, 720, 1000},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    EXPECT_EQ(sdk->getBandWidth(1280, 720), 256) << "before any join";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        conference_join_info join;
        join.rbwc = c.steps;
        sdk->getHttpCallback()->onCreateOrJoinConference(200, join);
        EXPECT_EQ(sdk->getBandWidth(c.width, c.height), c.bandwidth);
    }
}

TEST_F(SdkTest, CaptureSizeChangeSetsTheMatchingBitrate)
{
    struct Case {
        const char* name;
        bool emptyLabel;
        std::map<std::string, int> forced;
        int result;
        bool bitrateSet;
    };
    const Case cases[] = {
        {"new size", false, {}, 0, true},
        {"no label", true, {}, -1, false},
        {"size refused", false, {{"ChangeResolution", 0}}, -1, false},
        {"bitrate refused", false, {{"SetMediaBitrate", 0}}, -1, true},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        FrameSink window;  // outlives the engine, which draws into it until it goes
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        conference_join_info join;
        join.rbwc = {{1280, 720, 1024}};
        sdk->getHttpCallback()->onCreateOrJoinConference(200, join);
        rtc_render preview;
        preview.window = &window;
        ASSERT_EQ(
            sdk->ShowLocalPreview(preview, defaultCamera(), defaultMicrophone(), defaultSpeaker(), 640, 480, 15, 512),
            0);
        forceResults(c.forced);

        EXPECT_EQ(sdk->ChangeCameraResolution(c.emptyLabel ? "" : preview.label, 1280, 720, 30), c.result);

        EXPECT_EQ(engineCallCount("ChangeResolution"), c.emptyLabel ? 0u : 1u);
        const auto bitrates = engineCalls("SetMediaBitrate");
        ASSERT_EQ(bitrates.size(), c.bitrateSet ? 1u : 0u);
        if (c.bitrateSet) {
            EXPECT_EQ(bitrates[0].args, (std::vector<std::string>{"video", "1024"}));
        }
    }
}

TEST_F(SdkTest, AudioDeviceOperationsPassTheEnginesResultThrough)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    std::vector<rtc_device_> speakers;
    ASSERT_EQ(sdk->getAudioPlayoutDevices(speakers), 1);
    bool flag = false;
    unsigned int volume = 0;
    const std::pair<const char*, std::function<int()>> operations[] = {
        {"SetAudioDeviceWorkMode", [&] { return sdk->SetAudioDeviceWorkMode(kAudioDeviceLoopback); }},
        {"SetTryAudioSpeekerFileFoldPath", [&] { return sdk->SetTryAudioSpeekerFileFoldPath(""); }},
        {"SetAudioPlayoutDevice", [&] { return sdk->SetAudioPlayoutDevice(99); }},
        {"SetAudioRecordDevice", [&] { return sdk->SetAudioRecordDevice(defaultMicrophone().index); }},
        {"StartAudioRecording", [&] { return sdk->StartAudioRecording(); }},
        {"AudioRecording", [&] { return sdk->AudioRecording(&flag); }},
        {"StopAudioRecording", [&] { return sdk->StopAudioRecording(); }},
        {"MaxSpeakerVolume", [&] { return sdk->MaxSpeakerVolume(&volume); }},
        {"SetMicrophoneVolume", [&] { return sdk->SetMicrophoneVolume(1000); }},
    };
    for (const auto& [name, call] : operations) {
        SCOPED_TRACE(name);
        const int result = call();
        const auto calls = engineCalls(name);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(result, calls[0].result);
    }
    EXPECT_EQ(engineCalls("SetAudioPlayoutDevice")[0].args, std::vector<std::string>{"99"});
    EXPECT_TRUE(flag);
    EXPECT_EQ(volume, 255u);
}

// Every operation that needs a login, a meeting or an engine fails with its
// failure value before it has one, sends nothing and creates no engine.
TEST_F(SdkTest, OperationsFailBeforeTheirPrerequisitesExist)
{
    enum Needs { Login, Meeting, Engine };
    struct Case {
        const char* name;
        Needs needs;
        std::function<int(VeltoSdk&)> call;
        int failure;
    };
    int code = 123;
    bool flag = false;
    unsigned int number = 0;
    conferences_info detail;
    const auto asInt = [](bool result) { return result ? 1 : 0; };
    const Case cases[] = {
        {"QueryUsers", Login, [](VeltoSdk& s) { std::string a, b; return s.QueryUsers(a, b); }, -1},
        {"GetMyConferences", Login, [](VeltoSdk& s) { return s.GetMyConferences(0, "", 1, "", "", ""); }, -1},
        {"ReserveConference", Login, [](VeltoSdk& s) { return s.ReserveConference({}); }, -1},
        {"GetConferenceDetail", Login, [&](VeltoSdk& s) { return s.GetConferenceDetail("1", detail); }, -1},
        {"DeleteConference", Login, [](VeltoSdk& s) { return s.DeleteConference("1"); }, -1},
        {"GetContacts", Login, [](VeltoSdk& s) { return s.GetContacts(); }, -1},
        {"GetSearchContacts", Login, [](VeltoSdk& s) { return s.GetSearchContacts("a"); }, -1},
        {"AddContact", Login, [](VeltoSdk& s) { return s.AddContact("bob", "Bob"); }, -1},
        {"ModifyConferences", Login, [](VeltoSdk& s) { return s.ModifyConferences("1", "2"); }, -1},
        {"ExtendConferenceTime", Login, [](VeltoSdk& s) { return s.ExtendConferenceTime("1", 10); }, -1},
        {"GetModerator", Login, [](VeltoSdk& s) { return s.GetModerator("1", "2"); }, -1},
        {"SendChatMessage", Login, [](VeltoSdk& s) { return s.SendChatMessage("hi"); }, -1},
        {"LockConference", Meeting, [](VeltoSdk& s) { return s.LockConference(true); }, -1},
        {"StartRecord", Meeting, [](VeltoSdk& s) { return s.StartRecord("recording"); }, -1},
        {"StopRecord", Meeting, [](VeltoSdk& s) { return s.StopRecord(); }, -1},
        {"SetStage", Meeting, [](VeltoSdk& s) { return s.SetStage("a@b/c", false); }, -1},
        {"SplitScreen", Meeting, [](VeltoSdk& s) { return s.SplitScreen(4); }, -1},
        {"SelectParticipants", Meeting, [](VeltoSdk& s) { return s.SelectParticipants("a"); }, -1},
        {"HandsUp", Meeting, [](VeltoSdk& s) { return s.HandsUp("apply", "a@b/c", "A"); }, -1},
        {"CallSip", Meeting, [](VeltoSdk& s) { return s.CallSip("sip:1@x"); }, -1},
        {"CallPhone", Meeting, [&](VeltoSdk& s) { return s.CallPhone("13800138000", code); }, -1},
        {"HangUp", Meeting, [](VeltoSdk& s) { return s.HangUp(""); }, -1},
        {"SendModerator", Meeting, [](VeltoSdk& s) { return s.SendModerator("a@b/c"); }, -1},
        {"SendWhiteboard", Meeting, [](VeltoSdk& s) { return s.SendWhiteboard("message", "draw", "{}"); }, -1},
        {"SendAnnotate", Meeting, [](VeltoSdk& s) { return s.SendAnnotate("message", "draw", "{}", ""); }, -1},
        {"AddSecondStream", Engine, [](VeltoSdk& s) { return s.AddSecondStream(); }, -1},
        {"RemoveScreenShareStream", Engine, [](VeltoSdk& s) { return s.RemoveScreenShareStream("1"); }, -1},
        {"CloseLocalPreview", Engine, [](VeltoSdk& s) { return s.CloseLocalPreview({}); }, -1},
        {"CloseSingleAudioStream", Engine, [](VeltoSdk& s) { return s.CloseSingleAudioStream({}); }, -1},
        {"ChangeCameraResolution", Engine, [](VeltoSdk& s) { return s.ChangeCameraResolution("1", 640, 480, 15); },
         -1},
        {"StartRenderStream", Engine,
         [&](VeltoSdk& s) { unsigned int id = 0; return asInt(s.StartRenderStream(&flag, id, "1", false)); }, 0},
        {"StopRenderStream", Engine, [&](VeltoSdk& s) { return asInt(s.StopRenderStream(1, "1")); }, 0},
        {"GetStreamAspect", Engine, [&](VeltoSdk& s) { int w, h; return asInt(s.GetStreamAspect(1, &w, &h)); }, 0},
        {"EnableStreamAudio", Engine, [&](VeltoSdk& s) { return asInt(s.EnableStreamAudio(true)); }, 0},
        {"EnableStreamVideo", Engine, [&](VeltoSdk& s) { return asInt(s.EnableStreamVideo(true)); }, 0},
        {"getBandWidth", Engine, [](VeltoSdk& s) { return s.getBandWidth(1280, 720); }, 256},
        {"SetAudioCaptureDataDBObserver", Engine, [](VeltoSdk& s) { return s.SetAudioCaptureDataDBObserver(nullptr); },
         -1},
        {"SetAudioDeviceWorkMode", Engine, [](VeltoSdk& s) { return s.SetAudioDeviceWorkMode(kAudioDeviceNormal); },
         -1},
        {"SetAudioPlayoutDevice", Engine, [](VeltoSdk& s) { return s.SetAudioPlayoutDevice(0); }, -1},
        {"StartAudioPlayout", Engine, [](VeltoSdk& s) { return s.StartAudioPlayout(); }, -1},
        {"AudioPlaying", Engine, [&](VeltoSdk& s) { return s.AudioPlaying(&flag); }, -1},
        {"MicrophoneVolume", Engine, [&](VeltoSdk& s) { return s.MicrophoneVolume(&number); }, -1},
        {"SetSpeakerVolume", Engine, [](VeltoSdk& s) { return s.SetSpeakerVolume(10); }, -1},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(*sdk), c.failure);
    }
    EXPECT_EQ(code, 0) << "no phone call, no answer code";
    EXPECT_TRUE(server().requests().empty());
    EXPECT_TRUE(callback.events().empty());
    EXPECT_EQ(sdk->getWebrtc(), nullptr);
    EXPECT_EQ(velto_webrtc_test::LiveEngines(), 0);

    // Logged in, the meeting operations still wait for a meeting.
    ASSERT_EQ(loginDemo(*sdk), 0);
    server().clearRequests();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needs == Meeting) {
            EXPECT_EQ(c.call(*sdk), c.failure);
        }
    }
    EXPECT_TRUE(restRequests().empty());
    EXPECT_EQ(sentCount("SipCall") + sentCount("SipHangUp") + sentCount("SendWhiteboardData"), 0u);
}

}  // namespace
}  // namespace velto::test
