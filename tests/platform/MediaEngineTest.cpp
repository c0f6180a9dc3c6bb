// The media engine in one process: devices, rendering of local pictures into
// a render target, asynchronous negotiation, microphone levels and teardown.
// What travels between engines is tested through the local server
// (tests/sdk/MediaPathTest.cpp).
#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>

#include "MediaTestSupport.h"
#include "PlatformTestSupport.h"
#include "RenderTargetStub.h"
#include "velto_webrtc_test_hooks.h"

using platform_test::EventLog;
using platform_test::kPatience;
using platform_test::RecordingMediaObserver;

namespace {

size_t threadCount()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

template <typename Predicate>
bool eventually(Predicate done)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A render target without Qt that checks the producer's hand-over: the
// buffer only under the lock, frames announced after it, nothing once closed.
class FakeRender : public RenderTargetStub {
public:
    void lockBuffer() override
    {
        mutex_.lock();
        touch();
        locked_ = true;
        producer_ = std::this_thread::get_id();
    }
    unsigned char* getDataBuffer(int w, int h) override
    {
        touch();
        faults_ += locked_ ? 0 : 1;
        width_ = w;
        height_ = h;
        buffer_.resize(static_cast<size_t>(w) * h * 4);
        return buffer_.data();
    }
    void unlockBuffer() override
    {
        locked_ = false;
        mutex_.unlock();
    }
    void PlayOneFrame(const unsigned char*, int, int) override
    {
        touch();
        ++frames_;
    }
    void PlayOneFrame(const unsigned char*, const unsigned char*, const unsigned char*, int, int) override
    {
        ++faults_;  // the engine draws packed frames only
    }

    // From now on the target counts as destroyed.
    void close() { closed_ = true; }
    int frames() const { return frames_; }
    int faults() const { return faults_; }
    std::thread::id producer() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return producer_;
    }
    // Size of the last frame and its most frequent pixel (A, R, G, B).
    struct Frame {
        int width = 0;
        int height = 0;
        std::vector<unsigned char> pixels;
        std::array<unsigned char, 4> main{};
    };
    Frame lastFrame() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Frame frame{width_, height_, buffer_, {}};
        std::map<std::array<unsigned char, 4>, int> counts;
        for (size_t i = 0; i + 3 < buffer_.size(); i += 4)
            ++counts[{buffer_[i], buffer_[i + 1], buffer_[i + 2], buffer_[i + 3]}];
        int best = 0;
        for (const auto& [pixel, count] : counts) {
            if (count > best) {
                best = count;
                frame.main = pixel;
            }
        }
        return frame;
    }

private:
    void touch() { faults_ += closed_ ? 1 : 0; }

    mutable std::mutex mutex_;
    bool locked_ = false;
    std::atomic<bool> closed_{false};
    std::atomic<int> frames_{0};
    std::atomic<int> faults_{0};
    std::thread::id producer_;
    int width_ = 0;
    int height_ = 0;
    std::vector<unsigned char> buffer_;
};

// A render target whose next picture, once asked to, stays in PlayOneFrame
// until the test lets it go: a draw held under way.
class HeldRender : public RenderTargetStub {
public:
    void lockBuffer() override {}
    unsigned char* getDataBuffer(int w, int h) override
    {
        buffer_.resize(static_cast<size_t>(w) * h * 4);
        return buffer_.data();
    }
    void unlockBuffer() override {}
    void PlayOneFrame(const unsigned char*, int, int) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!hold_)
            return;
        hold_ = false;
        drawing_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return released_; });
        drawing_ = false;
    }

    // Holds the next picture; true once it is held.
    bool holdNext()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        hold_ = true;
        return changed_.wait_for(lock, kPatience, [&] { return drawing_; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    bool drawing_ = false;
    bool released_ = false;
    std::vector<unsigned char> buffer_;
};

class LevelLog : public velto_audio_capture_data_db_observer, public EventLog {
public:
    // When set, the next call unregisters the observer from inside itself.
    std::atomic<velto_webrtc_interface*> leaveFrom{nullptr};
    std::atomic<bool> left{false};
    // When set, the next call stops the recording and starts it again.
    std::atomic<velto_webrtc_interface*> restartFrom{nullptr};
    std::atomic<int> restartResults{1};  // stop's result plus start's

    void OnCaptureDataDB(int db) override
    {
        add("level " + std::to_string(db));
        if (velto_webrtc_interface* engine = leaveFrom.exchange(nullptr)) {
            engine->SetAudioCaptureDataDBObserver(nullptr);
            left = true;
        }
        if (velto_webrtc_interface* engine = restartFrom.exchange(nullptr))
            restartResults = engine->StopAudioRecording() + engine->StartAudioRecording();
    }
};

class MediaEngineTest : public ::testing::Test {
protected:
    void SetUp() override { velto_webrtc_test::Reset(); }
    void TearDown() override
    {
        engine_->DeInit();  // no engine thread runs into the fixture any more
        engine_.reset();
        velto_webrtc_test::Reset();
    }

    // A stream with the default camera (and microphone when asked).
    void addCameraStream(const std::string& label, int width, int height, bool withAudio = false)
    {
        ASSERT_EQ(0, engine_->CreateLocalStream(label));
        ASSERT_EQ(0, engine_->AddVideoToLocalStream(label, label + "_video", camera(), width, height, 30, 512));
        if (withAudio) {
            ASSERT_EQ(0, engine_->AddAudioToLocalStream(label, label + "_audio"));
        }
    }

    static velto_webrtc::rtc_device_ camera() { return velto_webrtc_test::DefaultDevices().cameras.front(); }

    // A remote stream's video source, sent by `owner`.
    static velto_webrtc::rtc_ssrc remoteVideo(const std::string& label, const std::string& ssrc,
                                              const std::string& owner)
    {
        return {ssrc, "peer", label, label + "_video", "video", owner};
    }

    // What the engine calls into outlives it.
    RecordingMediaObserver observer_;
    LevelLog levels_;
    LevelLog otherLevels_;
    FakeRender view_;
    FakeRender otherView_;
    FakeRender thirdView_;
    std::unique_ptr<velto_webrtc_interface> engine_{velto_webrtc_interface::createNew()};
};

TEST_F(MediaEngineTest, DeviceListsAndTheCameraTrackResults)
{
    std::vector<velto_webrtc::rtc_device_> devices;
    EXPECT_EQ(1, engine_->getVideoCaptureDevices(devices));
    EXPECT_EQ(1, engine_->getAudioRecordingDevices(devices));
    EXPECT_EQ(1, engine_->getAudioPlayoutDevices(devices));

    velto_webrtc_test::Devices twoCameras = velto_webrtc_test::DefaultDevices();
    twoCameras.cameras.push_back({1, "Second Camera", "cam-1"});
    twoCameras.microphones.clear();
    velto_webrtc_test::SetDevices(twoCameras);
    EXPECT_EQ(2, engine_->getVideoCaptureDevices(devices));
    EXPECT_EQ("cam-1", devices.at(1).id);
    EXPECT_EQ(0, engine_->getAudioRecordingDevices(devices));
    EXPECT_TRUE(devices.empty());
    EXPECT_EQ(-1, engine_->StartAudioRecording());
    velto_webrtc_test::Reset();

    struct Case {
        const char* name;
        bool busy;
        velto_webrtc::rtc_device_ camera;
        std::string stream;
        int width;
        int expected;
    };
    const velto_webrtc::rtc_device_ unknownCamera{7, "Elsewhere", "cam-7"};
    const Case cases[] = {
        {"free camera", false, camera(), "s1", 640, 0},
        {"busy camera", true, camera(), "s2", 640, -3},
        {"camera not found", false, unknownCamera, "s3", 640, -1},
        {"no such stream", false, camera(), "", 640, -1},
        {"no frame size", false, camera(), "s4", 0, -1},
        {"second camera track", false, camera(), "s1", 640, -1},
    };
    for (const Case& c : cases) {
        velto_webrtc_test::SetCameraBusy(c.busy);
        if (!c.stream.empty())
            engine_->CreateLocalStream(c.stream);
        const std::string label = c.stream.empty() ? "missing" : c.stream;
        EXPECT_EQ(c.expected, engine_->AddVideoToLocalStream(label, label + "_video", c.camera, c.width, 480, 30, 512))
            << c.name;
    }

    velto_webrtc_test::ForceResult("AddAudioToLocalStream", -4);
    EXPECT_EQ(-4, engine_->AddAudioToLocalStream("s1", "s1_audio"));
    const std::vector<velto_webrtc_test::EngineCall> calls = velto_webrtc_test::Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("AddAudioToLocalStream", calls.back().operation);
    EXPECT_EQ((std::vector<std::string>{"s1", "s1_audio"}), calls.back().args);
    EXPECT_EQ(-4, calls.back().result);
}

TEST_F(MediaEngineTest, RendersTheCamerasPicturesUntilStopped)
{
    addCameraStream("1234", 640, 480);
    addCameraStream("4321", 320, 240);
    FakeRender& local = view_;
    unsigned int localId = 0;
    ASSERT_TRUE(engine_->StartRender(&local, localId, "1234", false, 0));
    EXPECT_NE(0u, localId);
    EXPECT_FALSE(engine_->StartRender(nullptr, localId, "1234", false, 0));

    ASSERT_TRUE(eventually([&] { return local.frames() >= 2; }));
    const FakeRender::Frame first = local.lastFrame();
    const int seen = local.frames();
    ASSERT_TRUE(eventually([&] { return local.frames() >= seen + 2; }));
    const FakeRender::Frame later = local.lastFrame();

    EXPECT_EQ(640, first.width);  // the camera's size, as captured
    EXPECT_EQ(480, first.height);
    EXPECT_EQ(0xff, first.main[0]);  // alpha first
    EXPECT_NE(first.pixels, later.pixels);  // the synthetic camera's picture moves
    EXPECT_NE(std::this_thread::get_id(), local.producer());

    int width = 0;
    int height = 0;
    ASSERT_TRUE(engine_->GetStreamAspect(localId, &width, &height));
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    ASSERT_TRUE(engine_->ChangeResolution("1234", 1280, 720, 30));
    ASSERT_TRUE(eventually([&] { return local.lastFrame().height == 720; }));
    ASSERT_TRUE(engine_->GetStreamAspect(localId, &width, &height));
    EXPECT_EQ(1280, width);

    EXPECT_FALSE(engine_->StopRender(localId, "4321"));
    ASSERT_TRUE(engine_->StopRender(localId, "1234"));
    local.close();  // any call from now on would reach a destroyed target
    EXPECT_FALSE(engine_->StopRender(localId, "1234"));
    EXPECT_FALSE(engine_->GetStreamAspect(localId, &width, &height));

    // Once stopped, a window takes another stream.
    FakeRender& other = otherView_;
    unsigned int otherId = 0;
    ASSERT_TRUE(engine_->StartRender(&other, otherId, "4321", false, 0));
    ASSERT_TRUE(eventually([&] { return other.frames() >= 3; }));
    EXPECT_EQ(320, other.lastFrame().width);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a few more pictures of the first camera
    EXPECT_EQ(0, local.faults());
    EXPECT_EQ(0, other.faults());
}

// The window's owner destroys the target as soon as StopRender returns: it
// must not return while a picture is still being drawn into it.
TEST_F(MediaEngineTest, StopRenderReturnsOnlyOnceThePictureUnderWayIsDrawn)
{
    addCameraStream("1234", 320, 240);
    HeldRender held;
    unsigned int renderId = 0;
    ASSERT_TRUE(engine_->StartRender(&held, renderId, "1234", false, 0));
    ASSERT_TRUE(held.holdNext()) << "no picture drawn";

    auto stopped = std::async(std::launch::async, [&] { return engine_->StopRender(renderId, "1234"); });
    // A StopRender that does not wait returns at once; half a second is
    // plenty for it even on a busy machine.
    EXPECT_EQ(std::future_status::timeout, stopped.wait_for(std::chrono::milliseconds(500)))
        << "StopRender returned while a picture was being drawn";
    held.release();
    ASSERT_EQ(std::future_status::ready, stopped.wait_for(kPatience));
    EXPECT_TRUE(stopped.get());
}

TEST_F(MediaEngineTest, RenderingNeedsALiveStreamAndAWindowOfItsOwn)
{
    addCameraStream("1234", 640, 480);
    addCameraStream("4321", 640, 480);
    ASSERT_EQ(0, engine_->CreateLocalStream("gone"));
    ASSERT_EQ(0, engine_->RemoveLocalStream("gone"));
    ASSERT_EQ(0, engine_->AddRemoteSources({remoteVideo("5678", "55", "bob@ms/pc2")}));
    ASSERT_EQ(0, engine_->RemoveRemoteSources({remoteVideo("5678", "55", "bob@ms/pc2")}));
    unsigned int shownId = 0;
    ASSERT_TRUE(engine_->StartRender(&view_, shownId, "1234", false, 0));

    struct Case {
        const char* name;
        FakeRender* window;
        const char* label;
        const char* logged;  // nullptr: refused without a word
    };
    const Case cases[] = {
        {"no window", nullptr, "4321", nullptr},
        {"no label", &otherView_, "", nullptr},
        {"no such stream", &otherView_, "9999", "no stream 9999"},
        {"local stream removed", &otherView_, "gone", "no stream gone"},
        {"remote stream removed", &otherView_, "5678", "no stream 5678"},
        {"window already drawn into", &view_, "4321", "the window already shows stream 1234"},
        {"window already drawn into, same stream", &view_, "1234", "the window already shows stream 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned int id = 0;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine_->StartRender(c.window, id, c.label, false, 0));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(0u, id);
        if (c.logged) {
            EXPECT_NE(std::string::npos, log.find(c.logged)) << log;
        }
    }
    // The first render goes on drawing its stream into the window.
    const int seen = view_.frames();
    ASSERT_TRUE(eventually([&] { return view_.frames() >= seen + 2; }));
    int width = 0;
    int height = 0;
    EXPECT_TRUE(engine_->GetStreamAspect(shownId, &width, &height));
    EXPECT_TRUE(engine_->StopRender(shownId, "1234"));
    EXPECT_EQ(0, view_.faults());
}

TEST_F(MediaEngineTest, AStreamThatSendsNoPictureDrawsBlack)
{
    const std::array<unsigned char, 4> black{0xff, 0, 0, 0};
    // Whether the view drew black since it had drawn `seen` frames.
    const auto drawsBlack = [&](FakeRender& view, int seen) {
        return eventually([&] {
            const FakeRender::Frame frame = view.lastFrame();
            return view.frames() > seen && frame.main == black &&
                   std::all_of(frame.pixels.begin(), frame.pixels.end(), [i = 0](unsigned char byte) mutable {
                       return i++ % 4 == 0 || byte == 0;
                   });
        });
    };
    const auto drawsPicture = [&](FakeRender& view, int seen) {
        return eventually([&] {
            const FakeRender::Frame frame = view.lastFrame();
            return view.frames() > seen + 1 &&
                   std::any_of(frame.pixels.begin(), frame.pixels.end(), [i = 0](unsigned char byte) mutable {
                       return i++ % 4 != 0 && byte > 40;
                   });
        });
    };
    const velto_webrtc::rtc_ssrc remote = remoteVideo("5678", "55", "bob@ms/pc2");
    addCameraStream("1234", 640, 480, true);
    ASSERT_EQ(0, engine_->AddRemoteSources({remote}));
    unsigned int localId = 0;
    unsigned int remoteId = 0;
    ASSERT_TRUE(engine_->StartRender(&view_, localId, "1234", false, 0));
    ASSERT_TRUE(engine_->StartRender(&otherView_, remoteId, "5678", false, 0));
    ASSERT_TRUE(drawsPicture(view_, 0));

    struct Step {
        const char* name;
        std::function<bool()> act;
        FakeRender* view;
        bool black;
    };
    const Step steps[] = {
        {"local video muted", [&] { return engine_->EnableVideo("1234", false); }, &view_, true},
        {"local audio muted too", [&] { return engine_->EnableAudio("1234", false); }, &view_, true},
        {"local video back", [&] { return engine_->EnableVideo("1234", true); }, &view_, false},
        {"local stream removed", [&] { return engine_->RemoveLocalStream("1234") == 0; }, &view_, true},
        {"remote video gone", [&] { return engine_->RemoveRemoteSources({remote}) == 0; }, &otherView_, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const int seen = step.view->frames();
        ASSERT_TRUE(step.act());
        EXPECT_TRUE(step.black ? drawsBlack(*step.view, seen) : drawsPicture(*step.view, seen));
    }
    EXPECT_TRUE(engine_->StopRender(localId, "1234"));
    EXPECT_TRUE(engine_->StopRender(remoteId, "5678"));
}

// Drives the answer side of the negotiation as its user does: the answer is
// created when the remote offer is set and set locally once it exists.
TEST_F(MediaEngineTest, NegotiationStepsFollowEachOtherOnTheEnginesThread)
{
    RecordingMediaObserver& observer = observer_;
    observer.react = [this](const std::string& line, const std::string& sdp) {
        if (line == "setRemote well")
            engine_->CreateAnswer();
        else if (line == "answer well")
            engine_->SetLocalDescription(sdp, "answer");
    };
    EXPECT_EQ(-1, engine_->CreateAnswer());  // nothing to answer yet
    ASSERT_EQ(0, engine_->Init(&observer, {}));
    addCameraStream("1234", 640, 480, true);

    const std::string offer = "v=0\r\nm=audio 9 UDP/TLS/RTP/SAVPF 111\r\nm=video 9 UDP/TLS/RTP/SAVPF 100\r\n";
    EXPECT_FALSE(engine_->SetRemoteDescription("", "offer"));
    ASSERT_TRUE(engine_->SetRemoteDescription(offer, "offer"));
    ASSERT_TRUE(observer.waitFor("candidate audio"));
    EXPECT_EQ(offer, engine_->GetRemoteOffer());
    EXPECT_EQ((std::vector<std::string>{"setRemote well", "answer well", "setLocal well", "candidate audio"}),
              observer.lines());
    const std::string localDescription = observer.lastSdp("setLocal well");
    EXPECT_NE(std::string::npos, localDescription.find("msid:1234 1234_video"));
    EXPECT_NE(std::string::npos, localDescription.find("msid:1234 1234_audio"));

    ASSERT_EQ(0, engine_->GetStats());
    EXPECT_TRUE(observer.waitFor("stats video:1234_video audio:1234_audio"));

    // Remote streams are reported once each, for audio and video alike.
    const velto_webrtc::rtc_ssrc voice{"21", "c", "4321", "4321_audio", "audio", "bob"};
    const velto_webrtc::rtc_ssrc picture{"22", "c", "4321", "4321_video", "video", "bob"};
    ASSERT_EQ(0, engine_->AddRemoteSources({voice, picture}));
    ASSERT_EQ(0, engine_->AddRemoteSources({picture}));
    ASSERT_EQ(0, engine_->RemoveRemoteSources({picture}));
    ASSERT_TRUE(observer.waitFor("removeStream video 4321"));
    EXPECT_EQ(1u, observer.count("addStream video 4321"));
    EXPECT_EQ(1u, observer.count("addStream audio 4321"));

    const std::set<std::thread::id> threads = observer.threads();
    EXPECT_EQ(1u, threads.size());
    EXPECT_EQ(0u, threads.count(std::this_thread::get_id()));
}

TEST_F(MediaEngineTest, LevelObserversAreReplacedAndMayActFromInsideTheirCall)
{
    LevelLog& first = levels_;
    LevelLog& second = otherLevels_;
    ASSERT_EQ(0, engine_->SetAudioCaptureDataDBObserver(&first));
    ASSERT_EQ(0, engine_->StartAudioRecording());
    ASSERT_TRUE(first.waitForCount("level", 2));
    ASSERT_EQ(0, engine_->SetAudioCaptureDataDBObserver(&second));
    const size_t heard = first.count("level");
    ASSERT_TRUE(second.waitForCount("level", 3));
    EXPECT_EQ(heard, first.count("level"));
    EXPECT_EQ(0u, second.threads().count(std::this_thread::get_id()));

    // The recording may be stopped and started again from inside the call.
    second.restartFrom = engine_.get();
    ASSERT_TRUE(eventually([&] { return second.restartResults == 0; }));
    const size_t restarted = second.count("level");
    ASSERT_TRUE(second.waitForCount("level", restarted + 2));

    // An observer may leave from inside its own call.
    second.leaveFrom = engine_.get();
    ASSERT_TRUE(eventually([&] { return second.left.load(); }));
    const size_t last = second.count("level");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several level periods
    EXPECT_EQ(last, second.count("level"));

    ASSERT_EQ(0, engine_->StopAudioRecording());
    bool recording = true;
    ASSERT_EQ(0, engine_->AudioRecording(&recording));
    EXPECT_FALSE(recording);
}

// The device check: the speaker test's sound plays into the test command's
// null sink, and the level meter, listening to that sink's monitor, follows it.
TEST_F(MediaEngineTest, TheSpeakerTestSoundPlaysAndTheLevelMeterFollowsIt)
{
    const std::string folder = ::testing::TempDir() + "/speaker_test_" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/readme.txt") << "not a sound";
    ASSERT_TRUE(media_test::writeWav(folder + "/tone.wav", media_test::tone(1000, 48000, 48000 * 4, 16000), 48000));
    // The loudest of the last five levels (a tenth of a second).
    const auto recentLevel = [&] {
        const std::vector<std::string> lines = levels_.lines();
        int loudest = -1;
        for (size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
            loudest = std::max(loudest, std::stoi(lines[i].substr(6)));
        return loudest;
    };
    ASSERT_EQ(0, engine_->SetAudioCaptureDataDBObserver(&levels_));
    ASSERT_EQ(0, engine_->SetAudioRecordDevice(0));  // the sink's monitor
    ASSERT_EQ(0, engine_->SetAudioPlayoutDevice(0));  // the sink
    ASSERT_EQ(0, engine_->StartAudioRecording());
    ASSERT_TRUE(levels_.waitForCount("level", 10));
    EXPECT_TRUE(eventually([&] { return recentLevel() >= 0 && recentLevel() < 40; })) << "silence is low";

    ASSERT_EQ(0, engine_->SetTryAudioSpeekerFileFoldPath(folder));
    ASSERT_EQ(0, engine_->StartAudioPlayout());
    EXPECT_TRUE(eventually([&] { return recentLevel() > 75; })) << "a tone at half scale is high";
    // The meter shows the microphone as it is, before the echo canceller
    // (which by now has learnt to take out what the speaker plays).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_GT(recentLevel(), 75) << "and stays high while it plays";
    ASSERT_EQ(0, engine_->StopAudioPlayout());
    EXPECT_TRUE(eventually([&] { return recentLevel() < 40; })) << "and low again once it stopped";
    EXPECT_EQ(0, engine_->StopAudioRecording());
    std::filesystem::remove_all(folder);
}

// A room member may announce thousands of video sources, and switch between
// two such sets: the engine starts no thread for them, keeps a bounded number
// and spends little on taking them in and letting them go.
TEST_F(MediaEngineTest, ThousandsOfAnnouncedSourcesCostNoThreadsAndLittleWork)
{
    ASSERT_EQ(0, engine_->Init(&observer_, {}));
    const auto announced = [](unsigned int first) {
        std::vector<velto_webrtc::rtc_ssrc> sources;
        for (unsigned int i = 0; i < 2000; ++i)
            sources.push_back(remoteVideo(std::to_string(first + i), std::to_string(first + i), "mallory@ms/pc"));
        return sources;
    };
    const std::vector<velto_webrtc::rtc_ssrc> sets[] = {announced(100000), announced(200000)};
    const size_t threadsBefore = threadCount();
    size_t threadsMost = threadsBefore;
    const double cpuBefore = processCpuSeconds();
    constexpr int kSwitches = 6;
    for (int i = 0; i < kSwitches; ++i) {
        ASSERT_EQ(0, engine_->AddRemoteSources(sets[i % 2]));
        threadsMost = std::max(threadsMost, threadCount());
        ASSERT_EQ(0, engine_->RemoveRemoteSources(sets[i % 2]));
    }
    const double cpu = processCpuSeconds() - cpuBefore;
    EXPECT_LE(threadsMost, threadsBefore + 4);
    // A thread started and joined per source costs seconds; the sanitizers
    // make all of it some ten times slower.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr double kMostCpuSeconds = 20.0;
#else
    constexpr double kMostCpuSeconds = 2.0;
#endif
    EXPECT_LT(cpu, kMostCpuSeconds) << "seconds of CPU for " << kSwitches << " sets of 2000 sources";

    // What the engine keeps of one set: a few hundred streams, the rest ignored.
    ASSERT_EQ(0, engine_->AddRemoteSources(sets[0]));
    ASSERT_TRUE(observer_.waitForCount("addStream video", (kSwitches + 1) * 512));
    ASSERT_TRUE(velto_webrtc_test::Flush());
    EXPECT_EQ(size_t(kSwitches + 1) * 512, observer_.count("addStream video"));
    unsigned int id = 0;
    EXPECT_TRUE(engine_->StartRender(&view_, id, "100000", false, 0));
    EXPECT_FALSE(engine_->StartRender(&otherView_, id, "101999", false, 0));
}

TEST_F(MediaEngineTest, DeInitJoinsEveryThreadAndSilencesTheObservers)
{
    RecordingMediaObserver& observer = observer_;
    LevelLog& levels = levels_;
    FakeRender& view = view_;
    unsigned int id = 0;
    ASSERT_EQ(0, engine_->Init(&observer, {}));
    ASSERT_EQ(0, engine_->SetAudioCaptureDataDBObserver(&levels));
    ASSERT_EQ(0, engine_->StartAudioRecording());
    addCameraStream("1234", 640, 480);
    ASSERT_TRUE(engine_->StartRender(&view, id, "1234", false, 0));
    ASSERT_TRUE(levels.waitForCount("level", 1));
    ASSERT_TRUE(eventually([&] { return view.frames() >= 1; }));
    for (int i = 0; i < 50; ++i)
        engine_->GetStats();  // some of them still queued at the teardown

    ASSERT_EQ(0, engine_->DeInit());
    view.close();
    const size_t stats = observer.count("stats");
    const size_t heard = levels.count("level");
    EXPECT_EQ(0, velto_webrtc_test::InjectEvent([](velto_webrtc::velto_media_observer& o) { o.OnDataChannel("x"); }));
    EXPECT_TRUE(velto_webrtc_test::Flush());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several frame and level periods

    EXPECT_EQ(stats, observer.count("stats"));
    EXPECT_EQ(heard, levels.count("level"));
    EXPECT_EQ(0u, observer.count("dataChannel"));
    EXPECT_EQ(0, view.faults());
    EXPECT_FALSE(engine_->StopRender(id, "1234"));
}

}  // namespace
