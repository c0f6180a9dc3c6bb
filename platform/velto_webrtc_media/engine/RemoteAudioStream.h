// One received audio stream (one SSRC): packets go into its jitter buffer on
// the network thread; the playout mixer pulls one decoded 20 ms frame at a
// time on its own thread (decoding, rebuilding from FEC or concealing).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "AudioJitterBuffer.h"
#include "OpusCodec.h"
#include "SequenceNumbers.h"
#include "velto_media_statistics.h"

namespace velto_media {

class RemoteAudioStream {
public:
    // `counters` count what arrives and what is played (new ones when null).
    explicit RemoteAudioStream(uint32_t ssrc, std::shared_ptr<ReceiveCounters> counters = nullptr)
        : ssrc_(ssrc), counters_(counters ? std::move(counters) : std::make_shared<ReceiveCounters>(ssrc, false))
    {
    }

    // Network thread.
    void onPacket(uint16_t sequence, const uint8_t* payload, size_t size);
    // Mixer thread: kOpusFrameSamples samples into `out`; false (and
    // silence) when the stream has nothing to play.
    bool pull(int16_t* out);
    uint32_t ssrc() const { return ssrc_; }

    // Frames played since the stream began: decoded, rebuilt from the next
    // packet's redundancy (in-band FEC), concealed.
    struct Counters {
        int framesDecoded = 0;
        int framesFromFec = 0;
        int framesConcealed = 0;
    };
    Counters counters() const;

private:
    const uint32_t ssrc_;
    const std::shared_ptr<ReceiveCounters> counters_;
    std::mutex mutex_;  // the buffer; the decoder is the mixer's alone
    SequenceUnwrapper unwrapper_;
    AudioJitterBuffer buffer_;
    AudioDecoder decoder_;
};

}  // namespace velto_media
