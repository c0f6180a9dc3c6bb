#include "WavFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace velto_media {
namespace {

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xfffe;
constexpr size_t kMaxSamples = size_t(1) << 28;  // a file of hours is no test sound

}  // namespace

bool parseWav(const uint8_t* data, size_t size, WavAudio* out)
{
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    WavAudio audio;
    size_t at = 12;
    while (size - at >= 8) {
        const uint8_t* chunk = data + at;
        const uint32_t length = le32(chunk + 4);
        const size_t available = size - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || length > available)
                return false;
            const uint16_t format = le16(chunk + 8);
            audio.channels = le16(chunk + 10);
            audio.sampleRate = static_cast<int>(le32(chunk + 12));
            const uint16_t blockAlign = le16(chunk + 20);
            const uint16_t bits = le16(chunk + 22);
            if (format == kFormatExtensible) {
                // The sub-format's first two bytes carry the actual format.
                if (length < 26 || le16(chunk + 8 + 24) != kFormatPcm)
                    return false;
            } else if (format != kFormatPcm) {
                return false;
            }
            if (bits != 16 || audio.channels < 1 || audio.channels > 8 || audio.sampleRate < 8000 ||
                audio.sampleRate > 192000 || blockAlign != audio.channels * 2)
                return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            // A writer that never finished leaves the length too large or
            // zero: take what is there.
            const size_t bytes = (length == 0 || length > available) ? available : length;
            const size_t count = std::min(bytes / 2 / size_t(audio.channels) * size_t(audio.channels), kMaxSamples);
            audio.samples.resize(count);
            for (size_t i = 0; i < count; ++i)
                audio.samples[i] = static_cast<int16_t>(le16(chunk + 8 + 2 * i));
            *out = std::move(audio);
            return true;
        }
        if (length > available)
            return false;
        at += 8 + length + (length & 1);
        if (at > size)
            return false;
    }
    return false;
}

bool readWav(const std::string& path, WavAudio* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseWav(bytes.data(), bytes.size(), out);
}

std::vector<int16_t> toMono(const WavAudio& audio, int sampleRate)
{
    if (audio.channels <= 0 || audio.sampleRate <= 0 || sampleRate <= 0)
        return {};
    const size_t frames = audio.samples.size() / size_t(audio.channels);
    std::vector<int16_t> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        int sum = 0;
        for (int c = 0; c < audio.channels; ++c)
            sum += audio.samples[i * size_t(audio.channels) + size_t(c)];
        mono[i] = static_cast<int16_t>(sum / audio.channels);
    }
    if (audio.sampleRate == sampleRate || frames == 0)
        return mono;
    const size_t count = static_cast<size_t>(double(frames) * sampleRate / audio.sampleRate);
    std::vector<int16_t> resampled(count);
    const double step = double(audio.sampleRate) / sampleRate;
    for (size_t i = 0; i < count; ++i) {
        const double position = double(i) * step;
        const size_t left = std::min(static_cast<size_t>(position), frames - 1);
        const size_t right = std::min(left + 1, frames - 1);
        const double fraction = position - double(left);
        resampled[i] = static_cast<int16_t>(mono[left] * (1.0 - fraction) + mono[right] * fraction);
    }
    return resampled;
}

WavWriter::~WavWriter()
{
    close();
}

bool WavWriter::open(const std::string& path, int sampleRate, int channels)
{
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_)
        return false;
    sampleRate_ = sampleRate;
    channels_ = channels;
    dataBytes_ = 0;
    sinceHeader_ = 0;
    writeHeader();
    return true;
}

void WavWriter::write(const int16_t* samples, size_t count)
{
    if (!file_ || count == 0)
        return;
    std::vector<uint8_t> bytes(count * 2);
    for (size_t i = 0; i < count; ++i)
        put16(&bytes[2 * i], static_cast<uint16_t>(samples[i]));
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    dataBytes_ += bytes.size();
    sinceHeader_ += bytes.size();
    if (sinceHeader_ >= uint64_t(sampleRate_) * uint64_t(channels_) * 2) {
        writeHeader();
        sinceHeader_ = 0;
    }
}

void WavWriter::close()
{
    if (!file_)
        return;
    writeHeader();
    std::fclose(file_);
    file_ = nullptr;
}

void WavWriter::writeHeader()
{
    const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(dataBytes_, 0xffffffffu - 36));
    uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 36 + data);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, kFormatPcm);
    put16(header + 22, static_cast<uint16_t>(channels_));
    put32(header + 24, static_cast<uint32_t>(sampleRate_));
    put32(header + 28, static_cast<uint32_t>(sampleRate_ * channels_ * 2));
    put16(header + 32, static_cast<uint16_t>(channels_ * 2));
    put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, data);
    const long end = std::ftell(file_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, file_);
    if (end > 0)
        std::fseek(file_, end, SEEK_SET);
    std::fflush(file_);
}

}  // namespace velto_media
