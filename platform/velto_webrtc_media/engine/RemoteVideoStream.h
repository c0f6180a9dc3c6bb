// One received video stream (one SSRC): its packets, and those resent in its
// retransmission stream, are put together into frames on the network thread,
// which also asks for what is missing (NACK at once on a gap, again after
// about a round trip: NackRequester) and for keyframes (PLI, at most one per
// 500 ms: when the stream cannot be decoded yet, when a gap was given up,
// when the decoder fails). A stream that never had a keyframe (its receiver
// joined a running sender) asks for its first at once, as soon as feedback
// can go out, and the first few times again after 200 ms while none comes.
//
// Only a stream that is drawn somewhere is decoded: whole frames go through
// a bounded queue to the engine's decoder pool, where one task at a time
// decodes them in order and draws them into the stream's renders. A stream
// no render shows holds no decoder, only its latest keyframe and the few
// frames after it, for a render that starts soon; a render that starts
// later has a keyframe asked for. A keyframe announcing a picture larger
// than the program's largest is dropped before it reaches the decoder, and
// another one is asked for.
//
// stop() waits for the stream's running task and draws black: the stream is gone.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "DecoderPool.h"
#include "FrameAssembler.h"
#include "FrameFanout.h"
#include "NackRequester.h"
#include "SequenceNumbers.h"
#include "rtp/RtpPacket.h"
#include "velto_media_statistics.h"

namespace velto_media {

class Vp8Decoder;

// Where a receiver's requests go: the transport of the moment, if any.
class FeedbackSender {
public:
    virtual ~FeedbackSender() = default;
    virtual void sendNack(uint32_t mediaSsrc, const std::vector<uint16_t>& sequences) = 0;
    // False when it could not go out (no connection yet).
    virtual bool sendPli(uint32_t mediaSsrc) = 0;
};

class RemoteVideoStream {
public:
    // Decodes on `decoders`; `counters` count what arrives and what is drawn
    // (new ones when null).
    RemoteVideoStream(uint32_t ssrc, std::shared_ptr<FrameFanout> renders, FeedbackSender* feedback,
                      std::shared_ptr<DecoderPool> decoders, std::shared_ptr<ReceiveCounters> counters = nullptr);
    ~RemoteVideoStream();
    RemoteVideoStream(const RemoteVideoStream&) = delete;
    RemoteVideoStream& operator=(const RemoteVideoStream&) = delete;

    // --- network thread ----------------------------------------------------
    // `resent`: the packet came in the retransmission stream.
    void onPacket(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs,
                  bool resent = false);
    // Repeated requests, keyframe requests and gaps given up; the next time
    // wanted, 0 for none.
    int64_t onTimer(int64_t nowMs);

    void stop();
    uint32_t ssrc() const { return ssrc_; }

    struct Counters {
        int framesDecoded = 0;
        int keyframesDecoded = 0;
        int nacksSent = 0;         // NACK messages
        int packetsRequested = 0;  // sequences they named, repeats included
        int packetsRecovered = 0;  // missing packets that came as resends
        int plisSent = 0;
        int rttMs = 0;             // as the resends tell it
    };
    Counters counters() const;

private:
    // The pool's task: decodes a few queued frames, then makes way for the
    // other streams' tasks.
    void decodeQueued();
    // Hands the queue to the pool unless a task of ours is queued or
    // running; needs queueMutex_.
    void scheduleLocked();
    // Hands whole frames to the decoder, or holds them while no render
    // shows the stream; drops a keyframe too large and what follows it.
    // Needs receiveMutex_.
    void queueLocked(std::vector<AssembledFrame> frames, int64_t nowMs);
    void askForKeyframe(int64_t nowMs);
    // Whether a keyframe request may go now: at most one per 500 ms, but
    // sooner while the first keyframe is awaited.
    bool mayAskLocked(int64_t nowMs) const;
    void requestResends(const std::vector<uint16_t>& sequences);
    // Gives up gaps and asks for keyframes while no frame can be decoded;
    // the next time to look again, 0 for none.
    int64_t waitForFramesLocked(int64_t nowMs);

    const uint32_t ssrc_;
    const std::shared_ptr<FrameFanout> renders_;
    FeedbackSender* const feedback_;
    const std::shared_ptr<DecoderPool> decoders_;
    const std::shared_ptr<ReceiveCounters> counters_;
    std::atomic<bool> decoderWantsKeyframe_{false};

    // Network thread side.
    mutable std::mutex receiveMutex_;
    SequenceUnwrapper unwrapper_;
    FrameAssembler assembler_;
    NackRequester nack_;
    int64_t lastPliMs_ = -1000000;
    bool hadKeyframe_ = false;
    int firstKeyframeRequests_ = 0;  // sent while no keyframe came yet
    int64_t waitingSinceMs_ = -1;  // for a keyframe
    std::optional<int64_t> blockedAt_;  // the gap that holds the next frame up
    int64_t blockedSinceMs_ = 0;
    int64_t lastPacketMs_ = 0;

    // Decoder side.
    std::mutex queueMutex_;
    std::condition_variable idle_;  // no task of ours is queued or running
    std::deque<AssembledFrame> queue_;
    bool scheduled_ = false;        // a task of ours is queued or running
    bool decoding_ = false;         // a render shows the stream: the queue is decoded
    bool releaseDecoder_ = false;   // no render shows the stream
    bool stopping_ = false;
    // Used by the stream's one task at a time.
    std::unique_ptr<Vp8Decoder> decoder_;
    bool needKeyframe_ = true;
};

}  // namespace velto_media
