// The microphone's echo cancellation, noise suppression and gain control:
// through the test command's null sink a far-end tone played out comes back
// from the monitor and is taken out, while a near-end tone passes; in memory,
// the canceller finds the echo at the delays a sound server has and runs only
// while the far end sounds; hiss and a constant offset are lowered and a
// quiet voice raised.
#include <gtest/gtest.h>

#include "TonePower.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "AudioDevice.h"
#include "AudioProcessor.h"

using namespace velto_media;

namespace {

constexpr double kFarHz = 1000;
constexpr double kNearHz = 650;  // both whole cycles in a 20 ms block

// A tone that a person speaks in syllables: 300 ms on, 200 ms off.
bool syllableOn(long sample)
{
    return sample % (kAudioSampleRate / 2) < kAudioSampleRate * 3 / 10;
}

int16_t tone(double hz, double amplitude, long sample)
{
    return int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * double(sample) / kAudioSampleRate)));
}

using velto::test::db;
using velto::test::tonePower;

// Each tone's power before and after processing, summed over the blocks measured.
struct Levels {
    double farIn = 0, farOut = 0, nearIn = 0, nearOut = 0;
    void add(const int16_t* in, const int16_t* out, int count)
    {
        farIn += tonePower(in, count, kFarHz);
        farOut += tonePower(out, count, kFarHz);
        nearIn += tonePower(in, count, kNearHz);
        nearOut += tonePower(out, count, kNearHz);
    }
    double farReductionDb() const { return db(farIn) - db(farOut); }
    double nearChangeDb() const { return db(nearOut) - db(nearIn); }
};

// Speech-like sound without a period, so that an echo lines up with its
// reference only at the true delay: noise in syllables of random length.
class Talker {
public:
    explicit Talker(unsigned seed) : random_(seed) {}
    int16_t next()
    {
        if (left_-- <= 0) {
            on_ = !on_;
            left_ = std::uniform_int_distribution<int>(kAudioSampleRate / 10, kAudioSampleRate * 4 / 10)(random_);
        }
        return on_ ? int16_t(std::uniform_int_distribution<int>(-8000, 8000)(random_)) : 0;
    }

private:
    std::mt19937 random_;
    bool on_ = false;
    int left_ = 0;
};

double power(const std::vector<int16_t>& samples)
{
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return sum / double(samples.size()) / (32768.0 * 32768.0);
}

// A loudspeaker and microphone without a sound server: the microphone hears
// the far end `echoDelayMs` late at half its level; render goes to the
// processor in pieces of `renderPiece` samples, then the echo is cleaned.
class EchoInMemory {
public:
    EchoInMemory(AudioProcessor& processor, int echoDelayMs, int renderPiece = kAudioBlockSamples)
        : processor_(processor), delay_(size_t(echoDelayMs) * kAudioSampleRate / 1000), renderPiece_(renderPiece)
    {
    }
    // `blocks` blocks of 20 ms, the far end talking or silent; the echo's
    // power before and after processing over them, in dB.
    struct Result {
        double beforeDb, afterDb;
        double reductionDb() const { return beforeDb - afterDb; }
    };
    Result run(int blocks, bool farTalks = true)
    {
        std::vector<int16_t> far(kAudioBlockSamples), echo(kAudioBlockSamples);
        double before = 0, after = 0;
        for (int block = 0; block < blocks; ++block) {
            for (int16_t& s : far)
                s = farTalks ? talker_.next() : 0;
            history_.insert(history_.end(), far.begin(), far.end());
            for (int i = 0; i < kAudioBlockSamples; ++i) {
                const size_t at = history_.size() - kAudioBlockSamples + size_t(i);
                echo[size_t(i)] = at >= delay_ ? int16_t(history_[at - delay_] / 2) : 0;
            }
            for (int at = 0; at < kAudioBlockSamples; at += renderPiece_)
                processor_.processRender(far.data() + at, std::min(renderPiece_, kAudioBlockSamples - at));
            before += power(echo);
            processor_.processCapture(echo.data(), kAudioBlockSamples);
            after += power(echo);
        }
        return {db(before / blocks), db(after / blocks)};
    }

private:
    AudioProcessor& processor_;
    const size_t delay_;
    const int renderPiece_;
    Talker talker_{11};
    std::vector<int16_t> history_;
};

}  // namespace

TEST(EchoCancellation, AFarEndToneThroughTheNullSinkIsTakenOutWhileANearEndTonePasses)
{
    AudioProcessor processor;
    processor.setStreamDelayMs(60);

    // The meeting's playout: the far end's tone, also the echo reference.
    long farSample = 0;
    auto far = openAudioPlayout("vsink");
    ASSERT_EQ(far->start([&](int16_t* samples, int count) {
        for (int i = 0; i < count; ++i)
            samples[i] = tone(kFarHz, 0.25, farSample++);
        processor.processRender(samples, count);
    }), 0);
    // The person at the microphone: into the same sink, never a reference.
    std::atomic<bool> talking{false};
    long nearSample = 0;
    auto near = openAudioPlayout("vsink");
    ASSERT_EQ(near->start([&](int16_t* samples, int count) {
        for (int i = 0; i < count; ++i, ++nearSample)
            samples[i] = talking && syllableOn(nearSample) ? tone(kNearHz, 0.25, nearSample) : 0;
    }), 0);

    // The microphone: the sink's monitor, cleaned block by block.
    constexpr int kConvergeBlocks = 50;  // 1 s of the far end alone
    constexpr int kMeasuredBlocks = 100;  // then 2 s of both
    std::mutex mutex;
    std::condition_variable done;
    int blocks = 0;
    Levels measured;
    std::vector<int16_t> in;
    auto microphone = openAudioCapture("vsink.monitor");
    ASSERT_EQ(microphone->start([&](const int16_t* samples, int count) {
        in.assign(samples, samples + count);
        std::vector<int16_t> out = in;
        processor.processCapture(out.data(), count);
        std::lock_guard<std::mutex> lock(mutex);
        ++blocks;
        if (blocks == kConvergeBlocks)
            talking = true;
        else if (blocks > kConvergeBlocks + 25 && blocks <= kConvergeBlocks + 25 + kMeasuredBlocks)
            measured.add(in.data(), out.data(), count);  // from half a second after the first syllable
        if (blocks == kConvergeBlocks + 25 + kMeasuredBlocks)
            done.notify_all();
    }), 0);
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return blocks >= kConvergeBlocks + 25 + kMeasuredBlocks; }));
    }
    microphone->stop();
    near->stop();
    far->stop();

    // Both tones reached the microphone loud and clear before processing.
    EXPECT_GT(db(measured.farIn / kMeasuredBlocks), -20);
    EXPECT_GT(db(measured.nearIn / kMeasuredBlocks), -24);
    EXPECT_GE(measured.farReductionDb(), 20);
    EXPECT_GT(measured.nearChangeDb(), -6);
}

TEST(EchoCancellation, TheCancellerFindsTheEchoWhereTheSoundServerPutsIt)
{
    struct Case {
        const char* name;
        int echoDelayMs;  // reported: 80
        int renderPiece;
        int convergeSeconds;
    };
    const Case cases[] = {
        {"as reported", 80, kAudioBlockSamples, 3},
        {"later, within the canceller's filter", 140, kAudioBlockSamples, 3},
        {"far later, found by the delay search", 340, kAudioBlockSamples, 20},
        {"render in odd pieces", 80, 333, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioProcessor processor;
        processor.setStreamDelayMs(80);
        EchoInMemory room(processor, c.echoDelayMs, c.renderPiece);
        room.run(c.convergeSeconds * 50);
        const auto measured = room.run(150);
        EXPECT_GE(measured.reductionDb(), 20);
    }
}

TEST(EchoCancellation, TheCancellerRunsOnlyWhileTheFarEndSoundsAndKeepsWhatItLearnt)
{
    AudioProcessor processor;
    processor.setStreamDelayMs(40);
    EchoInMemory room(processor, 40);

    std::vector<int16_t> block(kAudioBlockSamples);
    processor.processCapture(block.data(), kAudioBlockSamples);
    EXPECT_FALSE(processor.echoCancelling()) << "nothing played";
    room.run(10, false);
    EXPECT_FALSE(processor.echoCancelling()) << "silence played";
    room.run(1);
    EXPECT_TRUE(processor.echoCancelling()) << "the far end talks";
    room.run(150);
    room.run(45, false);
    EXPECT_TRUE(processor.echoCancelling()) << "the far end's echo may still come";
    room.run(10, false);
    EXPECT_FALSE(processor.echoCancelling()) << "the far end is silent for a second";

    // Back after a pause, the canceller takes the echo out from the first
    // syllable on, far more than a new one does in its first 100 ms (about 20 dB).
    room.run(100, false);
    EXPECT_GE(room.run(5).reductionDb(), 40);
}

TEST(MicrophoneFilters, HissAndAnOffsetAreTakenOutAndAQuietVoiceRaised)
{
    struct Case {
        const char* name;
        std::function<int16_t(long sample)> sound;
        double lowestChangeDb, highestChangeDb;
    };
    std::mt19937 random(3);
    std::normal_distribution<double> hiss(0, 0.01 * 32768);  // -40 dBFS
    // A voice's harmonics over 150 Hz, rising and falling in syllables, at about -52 dBFS.
    auto voice = [](long t) {
        const long inSyllable = t % (kAudioSampleRate / 2);
        if (!syllableOn(t))
            return int16_t(0);
        double v = 0;
        for (int h = 1; h <= 20; ++h)
            v += std::sin(2 * M_PI * 150 * h * double(t) / kAudioSampleRate + h * h) / h;
        return int16_t(std::lround(0.005 * 32767 * std::sin(M_PI * double(inSyllable) / (kAudioSampleRate * 0.3)) * v));
    };
    const Case cases[] = {
        {"steady hiss", [&](long) { return int16_t(std::lround(hiss(random))); }, -100, -6},
        {"quiet voice", voice, 10, 100},
        {"a microphone's offset", [](long) { return int16_t(1000); }, -100, -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioProcessor processor;
        std::vector<int16_t> block(kAudioBlockSamples);
        double before = 0, after = 0;
        long t = 0;
        for (int n = 0; n < 500; ++n) {  // 10 s, the last 2 measured
            for (int16_t& s : block)
                s = c.sound(t++);
            if (n >= 400)
                before += power(block);
            processor.processCapture(block.data(), kAudioBlockSamples);
            if (n >= 400)
                after += power(block);
        }
        EXPECT_GE(db(after) - db(before), c.lowestChangeDb);
        EXPECT_LE(db(after) - db(before), c.highestChangeDb);
    }
}
