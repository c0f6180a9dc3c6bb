// Opus encoder and decoder (libopus) for the engine's one audio format:
// 48 kHz mono, 20 ms frames of kOpusFrameSamples samples. The encoder puts
// in-band forward error correction into every packet, so that a receiver can
// rebuild a lost frame from the packet after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct OpusEncoder;
struct OpusDecoder;

namespace velto_media {

constexpr int kOpusSampleRate = 48000;
constexpr int kOpusFrameSamples = 960;  // 20 ms

class AudioEncoder {
public:
    explicit AudioEncoder(int bitrateBps = 32000);
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    bool valid() const { return encoder_ != nullptr; }
    // One frame of kOpusFrameSamples samples; false on failure.
    bool encode(const int16_t* samples, std::vector<uint8_t>* packet);
    // The loss the receivers see, in percent: how much redundancy to carry.
    void setExpectedLoss(int percent);

private:
    OpusEncoder* encoder_ = nullptr;
};

class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Each writes kOpusFrameSamples samples and returns false (and silence)
    // when the data cannot be decoded.
    bool decode(const uint8_t* packet, size_t size, int16_t* out);
    // The frame before `nextPacket`, rebuilt from its redundancy.
    bool decodeFromNext(const uint8_t* nextPacket, size_t size, int16_t* out);
    // Whether `packet` carries the redundancy (SILK's LBRR frame) of the frame
    // before it; without it decodeFromNext only conceals. The first packets
    // of a stream, packets sent while no loss was expected and music (CELT)
    // carry none.
    static bool carriesRedundancy(const uint8_t* packet, size_t size);
    // A lost frame guessed from what came before.
    bool conceal(int16_t* out);

private:
    OpusDecoder* decoder_ = nullptr;
};

}  // namespace velto_media
