// A meeting with loudspeakers: the host (an SDK in this process) plays what
// it receives into the null sink "vsink" and hears the room through its
// monitor, "vsink.monitor", as its microphone. The scripted peer (Alice)
// talks in a tone of one pitch; the person at the host's microphone, played
// into the same sink by the test, in another. What Alice hears back is what
// the host sent: her own tone must be gone from it, the host's voice not.
#include <cmath>
#include <filesystem>

#include "AudioDevice.h"
#include "MediaFiles.h"
#include "MediaTestSupport.h"
#include "PeerProcess.h"
#include "SdkTestFixture.h"
#include "TonePower.h"
#include "velto_media_sources.h"

namespace velto::test {
namespace {

using velto_media::kAudioBlockSamples;
using velto_media::kAudioSampleRate;

constexpr double kFarHz = 1000;  // Alice
constexpr double kNearHz = 650;  // the host's user; both whole cycles in a 20 ms block
constexpr double kAmplitude = 0.25;
constexpr int kPeriod = kAudioSampleRate / 2;

// A tone spoken in syllables, 300 ms on and 200 ms off, so that noise
// suppression does not take it for a steady hum.
int16_t syllables(double hz, long sample)
{
    if (sample % kPeriod >= kAudioSampleRate * 3 / 10)
        return 0;
    return int16_t(std::lround(kAmplitude * 32767 * std::sin(2 * M_PI * hz * double(sample) / kAudioSampleRate)));
}

using velto::test::db;
using velto::test::tonePower;

// The mean power of each tone over 20 ms blocks.
struct Tones {
    double far = 0, near = 0;
    int blocks = 0;
    void add(const int16_t* block)
    {
        far += tonePower(block, kAudioBlockSamples, kFarHz);
        near += tonePower(block, kAudioBlockSamples, kNearHz);
        ++blocks;
    }
    double farDb() const { return db(far / std::max(1, blocks)); }
    double nearDb() const { return db(near / std::max(1, blocks)); }
};

// What the microphone hears: the sink's monitor, read beside the host's engine.
class Room {
public:
    Room()
    {
        monitor_ = velto_media::openAudioCapture("vsink.monitor");
        started_ = monitor_ &&
                   monitor_->start([this](const int16_t* samples, int count) { heard(samples, count); }) == 0;
    }
    ~Room()
    {
        if (monitor_)
            monitor_->stop();
    }
    bool started() const { return started_; }
    // The far tone's power over the last half second, in dB.
    double recentFarDb()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return recent_.farDb();
    }
    void measure(bool on)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        measuring_ = on;
    }
    Tones measured()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return measured_;
    }

private:
    void heard(const int16_t* samples, int count)
    {
        if (count != kAudioBlockSamples)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (recent_.blocks == kPeriod / kAudioBlockSamples)
            recent_ = Tones();
        recent_.add(samples);
        if (measuring_)
            measured_.add(samples);
    }

    std::unique_ptr<velto_media::AudioCapture> monitor_;
    bool started_ = false;
    std::mutex mutex_;
    Tones recent_;
    Tones measured_;
    bool measuring_ = false;
};

class MediaEchoTest : public SdkTest {
protected:
    void SetUp() override
    {
        SdkTest::SetUp();
        dir_ = freshTestDirectory("media_echo");
        std::vector<int16_t> voice(kAudioSampleRate * 2);  // loops seamlessly: whole syllables
        for (size_t i = 0; i < voice.size(); ++i)
            voice[i] = syllables(kFarHz, long(i));
        ASSERT_TRUE(media_test::writeWav(far(), voice, kAudioSampleRate));
    }
    void TearDown() override
    {
        SdkTest::TearDown();
        std::filesystem::remove_all(dir_);
    }

    std::string far() const { return dir_ + "/alice.wav"; }

    std::string dir_;
};

TEST_F(MediaEchoTest, WhatTheMeetingPlaysIsTakenOutOfTheMicrophoneAndTheVoiceBesideItIsNot)
{
    Room room;
    ASSERT_TRUE(room.started());
    // The person at the host's microphone, in the same room: never an echo reference.
    std::atomic<bool> talking{false};
    long nearSample = 0;
    auto voice = velto_media::openAudioPlayout("vsink");
    ASSERT_TRUE(voice);
    ASSERT_EQ(voice->start([&](int16_t* samples, int count) {
        for (int i = 0; i < count; ++i, ++nearSample)
            samples[i] = talking ? syllables(kNearHz, nearSample) : 0;
    }), 0);

    RecordingCallback callback;
    auto host = makeSdk(&callback);
    rtc_render preview;
    callback.onEvent("onCreateOrJoinConference", [&host, &preview](const Event&) {
        const velto_webrtc_test::Devices devices = velto_webrtc_test::DefaultDevices();
        host->ShowLocalPreview(preview, devices.cameras.at(0), devices.microphones.at(0), devices.speakers.at(0), 320,
                               180, 15, 300);
    });
    startDemoMeeting(*host, callback);
    const Account demo = server().demoAccount();
    const std::string heard = dir_ + "/alice-heard.wav";
    PeerProcess alice(server().host(), server().account("alice"), demo.room, demo.meetPassword,
                      {"--microphone-wav", far(), "--dump-audio", heard});
    ASSERT_EQ(alice.waitFor("result join "), "result join 0");

    // Alice's voice sounds in the room; the canceller gets two seconds of it alone.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (room.recentFarDb() < -30 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_GE(room.recentFarDb(), -30) << "the host does not play Alice";
    std::this_thread::sleep_for(2s);

    // Then both talk: four seconds of what the microphone heard, and what
    // reached Alice of the same time (3.5 s of it, after its way through the unit).
    talking = true;
    std::this_thread::sleep_for(1s);
    room.measure(true);
    std::this_thread::sleep_for(4s);
    room.measure(false);
    std::this_thread::sleep_for(1s);
    const Tones microphone = room.measured();
    const std::vector<int16_t> received = readWav(heard);
    const size_t second = kAudioSampleRate;
    ASSERT_GE(received.size(), second * 5);
    Tones sent;
    for (size_t at = received.size() - second * 9 / 2; at + second <= received.size(); at += kAudioBlockSamples)
        sent.add(received.data() + at);
    voice->stop();

    // Both reached the microphone loud and clear.
    EXPECT_GT(microphone.farDb(), -20);
    EXPECT_GT(microphone.nearDb(), -24);
    // Alice's own voice is gone from what she hears back; the host's is not.
    // Taken out by 28 to 60 dB on a quiet machine and by 18 on a busy
    // two-core one, whose late sound blocks move the echo under the
    // canceller; without the canceller it comes back 1 to 3 dB louder.
    EXPECT_GE(microphone.farDb() - sent.farDb(), 12) << "far end " << microphone.farDb() << " dB in the room, "
                                                     << sent.farDb() << " dB sent";
    EXPECT_GT(sent.nearDb() - microphone.nearDb(), -6) << "near end " << microphone.nearDb() << " dB in the room, "
                                                       << sent.nearDb() << " dB sent";
    std::cout << "far end: " << microphone.farDb() << " dB in the room, " << sent.farDb()
              << " dB sent; near end: " << microphone.nearDb() << " dB in the room, " << sent.nearDb() << " dB sent"
              << std::endl;
}

}  // namespace
}  // namespace velto::test
