// Microphone and speaker through the test command's PulseAudio: a tone played
// into the null sink "vsink" comes back from its monitor at its level (and at
// the playout's volume), silence as silence; devices are listed, missing ones
// and a missing server fail cleanly, and stop() ends every callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>

#include "AudioDevice.h"
#include "MediaDevicesTestSupport.h"

using namespace velto_media;
using namespace media_devices_test;

namespace {

bool listed(const std::vector<AudioDeviceInfo>& devices, const std::string& id)
{
    return std::any_of(devices.begin(), devices.end(),
                       [&](const AudioDeviceInfo& d) { return d.id == id && !d.name.empty(); });
}

// The levels of the blocks captured, and whether every block had the engine's size.
class LevelLog {
public:
    AudioCaptureSink sink()
    {
        return [this](const int16_t* samples, int count) {
            std::lock_guard<std::mutex> lock(mutex_);
            wrongSize_ = wrongSize_ || count != kAudioBlockSamples;
            levels_.push_back(blockLevelDb(samples, count));
            arrived_.notify_all();
        };
    }
    std::vector<double> waitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_for(lock, kPatience, [&] { return levels_.size() >= count; });
        return levels_;
    }
    bool wrongSize()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return wrongSize_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<double> levels_;
    bool wrongSize_ = false;
};

class ScopedPulseServer {
public:
    explicit ScopedPulseServer(const char* server)
    {
        if (const char* old = std::getenv("PULSE_SERVER"))
            old_ = old, had_ = true;
        setenv("PULSE_SERVER", server, 1);
    }
    ~ScopedPulseServer()
    {
        if (had_)
            setenv("PULSE_SERVER", old_.c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }

private:
    std::string old_;
    bool had_ = false;
};

}  // namespace

TEST(Sound, ListsTheNullSinkAndItsMonitor)
{
    EXPECT_TRUE(listed(listAudioSinks(), "vsink"));
    auto sources = listAudioSources();
    EXPECT_TRUE(listed(sources, "vsink.monitor"));
}

TEST(Sound, ATonePlayedIntoTheNullSinkIsCapturedFromItsMonitorAtItsLevel)
{
    struct Case {
        const char* name;
        double amplitude;  // of full scale
        double volume;
        double lowestDb, highestDb;
    };
    // A sine of amplitude A has an RMS level of 20 log10(A / sqrt 2) dBFS.
    const Case cases[] = {
        {"loud tone", 0.5, 1.0, -11, -7},
        {"silence", 0.0, 1.0, -100, -90},
        {"tone at a quarter volume", 0.5, 0.25, -23, -19},
        {"tone at no volume", 0.5, 0.0, -100, -90},
        {"quiet tone", 0.05, 1.0, -31, -27},
    };
    std::atomic<double> amplitude{0.0};
    std::atomic<bool> sizesRight{true};
    long phase = 0;
    auto playout = openAudioPlayout("vsink");
    ASSERT_TRUE(playout);
    ASSERT_EQ(playout->start([&](int16_t* samples, int count) {
        sizesRight = sizesRight && count == kAudioBlockSamples;
        double a = amplitude;
        for (int i = 0; i < count; ++i, ++phase)
            samples[i] = int16_t(a * 32767 * std::sin(2 * M_PI * 440.0 * phase / kAudioSampleRate));
    }), 0);
    LevelLog log;
    auto capture = openAudioCapture("vsink.monitor");
    ASSERT_TRUE(capture);
    ASSERT_EQ(capture->start(log.sink()), 0);
    ASSERT_FALSE(log.waitFor(1).empty());  // the null sink may take a second to follow a new stream's latency

    // One stream for every case: each runs for 20 blocks and is measured over the last 10.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        amplitude = c.amplitude;
        playout->setVolume(c.volume);
        size_t from = log.waitFor(0).size() + 10;
        auto levels = log.waitFor(from + 10);
        ASSERT_GE(levels.size(), from + 10);
        std::vector<double> settled(levels.begin() + long(from), levels.begin() + long(from) + 10);
        std::sort(settled.begin(), settled.end());
        EXPECT_GE(settled[5], c.lowestDb);
        EXPECT_LE(settled[5], c.highestDb);
    }
    capture->stop();
    playout->stop();
    EXPECT_FALSE(log.wrongSize());
    EXPECT_TRUE(sizesRight);
}

TEST(Sound, MissingDevicesAndAMissingServerFailToOpen)
{
    EXPECT_LT(openAudioCapture("no-such-source")->start([](const int16_t*, int) {}), 0);
    EXPECT_LT(openAudioPlayout("no-such-sink")->start([](int16_t*, int) {}), 0);

    ScopedPulseServer nowhere("unix:/nonexistent/pulse/native");
    auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(listAudioSources().empty());
    EXPECT_TRUE(listAudioSinks().empty());
    EXPECT_LT(openAudioCapture("")->start([](const int16_t*, int) {}), 0);
    EXPECT_LT(openAudioPlayout("")->start([](int16_t*, int) {}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
}

TEST(Sound, StopWaitsForTheCallbackAndNoneRunsAfterIt)
{
    CallWatch captureWatch, playoutWatch;
    auto capture = openAudioCapture("vsink.monitor");
    auto playout = openAudioPlayout("vsink");
    ASSERT_EQ(capture->start([&](const int16_t*, int) {
        captureWatch.enter();
        captureWatch.leave();
    }), 0);
    ASSERT_EQ(playout->start([&](int16_t*, int) {
        playoutWatch.enter();
        playoutWatch.leave();
    }), 0);
    ASSERT_TRUE(captureWatch.waitUntilInside());
    capture->stop();
    EXPECT_FALSE(captureWatch.inside);
    ASSERT_TRUE(playoutWatch.calls > 1 || playoutWatch.waitUntilInside());
    playout->stop();
    EXPECT_FALSE(playoutWatch.inside);

    int captured = captureWatch.calls, played = playoutWatch.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(captureWatch.calls, captured);
    EXPECT_EQ(playoutWatch.calls, played);
}
