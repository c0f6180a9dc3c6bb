#include "RemoteAudioStream.h"

#include <algorithm>

namespace velto_media {

void RemoteAudioStream::onPacket(uint16_t sequence, const uint8_t* payload, size_t size)
{
    if (counters_)
        counters_->onPacket(sequence);
    if (size == 0)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    buffer_.insert(unwrapper_.unwrap(sequence), std::vector<uint8_t>(payload, payload + size));
}

void RemoteAudioStream::count(AudioJitterBuffer::Pull::Kind kind)
{
    using Frame = ReceiveCounters::AudioFrame;
    switch (kind) {
    case AudioJitterBuffer::Pull::Kind::Packet:
        counters_->onAudioFrame(Frame::Decoded);
        break;
    case AudioJitterBuffer::Pull::Kind::FromNext:
        counters_->onAudioFrame(Frame::FromFec);
        break;
    case AudioJitterBuffer::Pull::Kind::Conceal:
        counters_->onAudioFrame(Frame::Concealed);
        break;
    case AudioJitterBuffer::Pull::Kind::Silence:
        break;
    }
}

RemoteAudioStream::Counters RemoteAudioStream::counters() const
{
    return {framesDecoded_, framesFromFec_, framesConcealed_};
}

bool RemoteAudioStream::pull(int16_t* out)
{
    AudioJitterBuffer::Pull pull;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pull = buffer_.pull();
    }
    if (counters_)
        count(pull.kind);
    switch (pull.kind) {
    case AudioJitterBuffer::Pull::Kind::Packet:
        ++framesDecoded_;
        return decoder_.decode(pull.payload.data(), pull.payload.size(), out);
    case AudioJitterBuffer::Pull::Kind::FromNext:
        ++framesFromFec_;
        return decoder_.decodeFromNext(pull.payload.data(), pull.payload.size(), out);
    case AudioJitterBuffer::Pull::Kind::Conceal:
        ++framesConcealed_;
        return decoder_.conceal(out);
    case AudioJitterBuffer::Pull::Kind::Silence:
        break;
    }
    std::fill(out, out + kOpusFrameSamples, int16_t(0));
    return false;
}

}  // namespace velto_media
