#include "OpusCodec.h"

#include <opus/opus.h>

#include <algorithm>
#include <climits>

namespace velto_media {
namespace {

constexpr int kMaxPacketBytes = 1200;

bool finish(int decoded, int16_t* out)
{
    if (decoded == kOpusFrameSamples)
        return true;
    std::fill(out, out + kOpusFrameSamples, int16_t(0));
    return false;
}

}  // namespace

AudioEncoder::AudioEncoder(int bitrateBps)
{
    int error = 0;
    encoder_ = opus_encoder_create(kOpusSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    if (error != OPUS_OK || !encoder_) {
        encoder_ = nullptr;
        return;
    }
    opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(bitrateBps));
    opus_encoder_ctl(encoder_, OPUS_SET_INBAND_FEC(1));
    opus_encoder_ctl(encoder_, OPUS_SET_PACKET_LOSS_PERC(10));
    opus_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(5));
    opus_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
}

AudioEncoder::~AudioEncoder()
{
    if (encoder_)
        opus_encoder_destroy(encoder_);
}

bool AudioEncoder::encode(const int16_t* samples, std::vector<uint8_t>* packet)
{
    if (!encoder_)
        return false;
    packet->resize(kMaxPacketBytes);
    const opus_int32 size = opus_encode(encoder_, samples, kOpusFrameSamples, packet->data(), kMaxPacketBytes);
    if (size <= 0) {
        packet->clear();
        return false;
    }
    packet->resize(static_cast<size_t>(size));
    return true;
}

void AudioEncoder::setExpectedLoss(int percent)
{
    if (encoder_)
        opus_encoder_ctl(encoder_, OPUS_SET_PACKET_LOSS_PERC(std::clamp(percent, 0, 100)));
}

AudioDecoder::AudioDecoder()
{
    int error = 0;
    decoder_ = opus_decoder_create(kOpusSampleRate, 1, &error);
    if (error != OPUS_OK)
        decoder_ = nullptr;
}

AudioDecoder::~AudioDecoder()
{
    if (decoder_)
        opus_decoder_destroy(decoder_);
}

bool AudioDecoder::decode(const uint8_t* packet, size_t size, int16_t* out)
{
    if (!decoder_ || !packet || size == 0 || size > INT_MAX)
        return finish(-1, out);
    return finish(opus_decode(decoder_, packet, static_cast<opus_int32>(size), out, kOpusFrameSamples, 0), out);
}

bool AudioDecoder::decodeFromNext(const uint8_t* nextPacket, size_t size, int16_t* out)
{
    if (!decoder_ || !nextPacket || size == 0 || size > INT_MAX)
        return finish(-1, out);
    return finish(opus_decode(decoder_, nextPacket, static_cast<opus_int32>(size), out, kOpusFrameSamples, 1), out);
}

bool AudioDecoder::carriesRedundancy(const uint8_t* packet, size_t size)
{
    if (!packet || size == 0 || size > INT_MAX)
        return false;
    // Only SILK carries redundancy: the configurations below 16 (SILK alone
    // and hybrid).
    if ((packet[0] >> 3) >= 16)
        return false;
    const unsigned char* frames[48] = {};
    opus_int16 sizes[48] = {};
    if (opus_packet_parse(packet, static_cast<opus_int32>(size), nullptr, frames, sizes, nullptr) <= 0 ||
        sizes[0] == 0)
        return false;
    // The SILK layer opens with one voice activity flag per 20 ms frame and
    // then the redundancy flag, per channel, each an even-odds bit of the
    // range coder: the first byte's top bits (as libopus 1.5's
    // opus_packet_has_lbrr reads them).
    const int samples = opus_packet_get_samples_per_frame(packet, kOpusSampleRate);
    const int silkFrames = samples > kOpusFrameSamples ? samples / kOpusFrameSamples : 1;
    bool redundancy = (frames[0][0] >> (7 - silkFrames)) & 1;
    if (opus_packet_get_nb_channels(packet) == 2)
        redundancy = redundancy || ((frames[0][0] >> (6 - 2 * silkFrames)) & 1);
    return redundancy;
}

bool AudioDecoder::conceal(int16_t* out)
{
    if (!decoder_)
        return finish(-1, out);
    return finish(opus_decode(decoder_, nullptr, 0, out, kOpusFrameSamples, 0), out);
}

}  // namespace velto_media
