// Microphone and speaker through the sound server (PulseAudio), in the one
// format the engine uses: 48 kHz, mono, signed 16-bit, 20 ms blocks of
// kAudioBlockSamples samples.
//
// Capture hands each block to its sink; playout asks its source for each
// block it plays. Both are called on the sound server's threads and must
// return quickly. stop() returns only once neither callback runs any more
// (so a callback must never call stop()).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velto_media {

constexpr int kAudioSampleRate = 48000;
constexpr int kAudioBlockSamples = 960;  // 20 ms

struct AudioDeviceInfo {
    std::string id;    // the sound server's name of the source or sink
    std::string name;  // its description
};

// The sound server's sources (monitors included) and sinks; empty when no
// sound server runs.
std::vector<AudioDeviceInfo> listAudioSources();
std::vector<AudioDeviceInfo> listAudioSinks();

// Level of one block in dBFS, from -100 (silence) up to 0 (full scale).
double blockLevelDb(const int16_t* samples, int count);

using AudioCaptureSink = std::function<void(const int16_t* samples, int count)>;
using AudioPlayoutSource = std::function<void(int16_t* samples, int count)>;

class AudioCapture {
public:
    virtual ~AudioCapture() = default;
    virtual int start(AudioCaptureSink sink) = 0;  // 0, or negative when the device cannot be opened
    virtual void stop() = 0;
};

class AudioPlayout {
public:
    virtual ~AudioPlayout() = default;
    virtual int start(AudioPlayoutSource source) = 0;
    virtual void stop() = 0;
    virtual void setVolume(double gain) = 0;  // 0..1
};

// `deviceId` empty: the sound server's default.
std::unique_ptr<AudioCapture> openAudioCapture(const std::string& deviceId);
std::unique_ptr<AudioPlayout> openAudioPlayout(const std::string& deviceId);

}  // namespace velto_media
