#include "RemoteAudioStream.h"

#include <algorithm>

namespace velto_media {

void RemoteAudioStream::onPacket(uint16_t sequence, const uint8_t* payload, size_t size)
{
    counters_->onPacket(sequence);
    if (size == 0)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    buffer_.insert(unwrapper_.unwrap(sequence), std::vector<uint8_t>(payload, payload + size));
}

RemoteAudioStream::Counters RemoteAudioStream::counters() const
{
    const ReceivedStreamStatistics counted = counters_->statistics();
    // Frames rebuilt from the next packet are among the decoded ones there.
    return {static_cast<int>(counted.framesDecoded - counted.framesFromFec), static_cast<int>(counted.framesFromFec),
            static_cast<int>(counted.framesConcealed)};
}

bool RemoteAudioStream::pull(int16_t* out)
{
    AudioJitterBuffer::Pull pull;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pull = buffer_.pull();
    }
    using Frame = ReceiveCounters::AudioFrame;
    switch (pull.kind) {
    case AudioJitterBuffer::Pull::Kind::Packet:
        counters_->onAudioFrame(Frame::Decoded);
        return decoder_.decode(pull.payload.data(), pull.payload.size(), out);
    case AudioJitterBuffer::Pull::Kind::FromNext:
        // A next packet without redundancy could only be concealed from.
        if (!AudioDecoder::carriesRedundancy(pull.payload.data(), pull.payload.size())) {
            counters_->onAudioFrame(Frame::Concealed);
            return decoder_.conceal(out);
        }
        counters_->onAudioFrame(Frame::FromFec);
        return decoder_.decodeFromNext(pull.payload.data(), pull.payload.size(), out);
    case AudioJitterBuffer::Pull::Kind::Conceal:
        counters_->onAudioFrame(Frame::Concealed);
        return decoder_.conceal(out);
    case AudioJitterBuffer::Pull::Kind::Silence:
        break;
    }
    std::fill(out, out + kOpusFrameSamples, int16_t(0));
    return false;
}

}  // namespace velto_media
