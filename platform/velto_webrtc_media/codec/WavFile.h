// WAV files of 16-bit PCM: reading (for a microphone or a speaker test fed
// from a file) and writing (for a record of what was played).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velto_media {

struct WavAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
};

// False for anything but a well-formed RIFF/WAVE file of 16-bit PCM (plain
// or extensible), 1 to 8 channels, 8 to 192 kHz. Never reads past `size`.
bool parseWav(const uint8_t* data, size_t size, WavAudio* out);
bool readWav(const std::string& path, WavAudio* out);

// Mixed down to one channel and resampled (linearly) to `sampleRate`.
std::vector<int16_t> toMono(const WavAudio& audio, int sampleRate);

// Writes a mono or multi-channel 16-bit PCM file. The header is brought up
// to date every second of audio and on close, so that the file stays
// readable even when the writer is never closed.
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::string& path, int sampleRate, int channels);
    void write(const int16_t* samples, size_t count);
    void close();

private:
    void writeHeader();

    std::FILE* file_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    uint64_t dataBytes_ = 0;
    uint64_t sinceHeader_ = 0;
};

}  // namespace velto_media
