#include "RemoteVideoStream.h"

#include <algorithm>

#include "MediaTransport.h"
#include "Vp8Decoder.h"
#include "Vp8Payload.h"

namespace velto_media {
namespace {

constexpr int64_t kPliIntervalMs = 500;
// A stream's first keyframe: what a newcomer waits for before anything shows.
// A lost request (or keyframe) is asked for again sooner, a few times.
constexpr int64_t kFirstKeyframeRetryMs = 200;
constexpr int kQuickFirstKeyframeRequests = 3;
// How long a gap may wait for its resends at most, or an incomplete keyframe
// for its missing packets, before a keyframe is asked for.
constexpr int64_t kGapPatienceMs = 250;
constexpr size_t kMaxQueuedFrames = 30;
// Frames one task decodes before the other streams' tasks get their turn.
constexpr int kFramesPerTurn = 4;
// While frames are held up, how often the timer looks again.
constexpr int64_t kStalledPollMs = 20;

}  // namespace

RemoteVideoStream::RemoteVideoStream(uint32_t ssrc, std::shared_ptr<FrameFanout> renders, FeedbackSender* feedback,
                                     std::shared_ptr<DecoderPool> decoders, std::shared_ptr<ReceiveCounters> counters)
    : ssrc_(ssrc), renders_(std::move(renders)), feedback_(feedback), decoders_(std::move(decoders)),
      counters_(counters ? std::move(counters) : std::make_shared<ReceiveCounters>(ssrc, true))
{
}

RemoteVideoStream::~RemoteVideoStream()
{
    stop();
}

void RemoteVideoStream::stop()
{
    {
        std::unique_lock<std::mutex> lock(queueMutex_);
        if (stopping_)
            return;
        stopping_ = true;
        queue_.clear();
        // A running task ends after its frame; a queued one returns at once.
        idle_.wait(lock, [&] { return !scheduled_; });
    }
    decoder_.reset();
    renders_->deliverBlack();
}

void RemoteVideoStream::onPacket(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs,
                                 bool resent)
{
    // The stream's own losses are counted on its first sending alone.
    if (!resent)
        counters_->onPacket(header.sequence);
    rtp::Vp8Descriptor descriptor;
    if (!rtp::parseVp8Descriptor(payload, size, &descriptor))
        return;
    VideoPacket packet;
    packet.timestamp = header.timestamp;
    packet.marker = header.marker;
    packet.frameStart = descriptor.start && descriptor.partition == 0;
    packet.keyframe = packet.frameStart && rtp::isVp8Keyframe(payload + descriptor.size, size - descriptor.size);
    packet.data.assign(payload + descriptor.size, payload + size);

    std::vector<uint16_t> missing;
    {
        std::lock_guard<std::mutex> lock(receiveMutex_);
        packet.sequence = unwrapper_.unwrap(header.sequence);
        lastPacketMs_ = nowMs;
        const int recovered = nack_.recovered();
        for (int64_t sequence : nack_.onPacket(packet.sequence, resent, nowMs))
            missing.push_back(static_cast<uint16_t>(sequence));
        if (nack_.recovered() > recovered)
            counters_->onPacketRecovered();
        assembler_.insert(std::move(packet));
        std::vector<AssembledFrame> frames = assembler_.takeFrames();
        if (!frames.empty())
            nack_.forgetBefore(frames.back().lastSequence + 1);
        queueLocked(std::move(frames), nowMs);
        if (!assembler_.waitingForKeyframe())
            waitingSinceMs_ = -1;
        if (assembler_.waitingForKeyframe() && !assembler_.hasKeyframeStart() && waitingSinceMs_ < 0)
            askForKeyframe(nowMs);  // nothing decodable is on its way: ask at once
    }
    requestResends(missing);
}

void RemoteVideoStream::queueLocked(std::vector<AssembledFrame> frames, int64_t nowMs)
{
    // A picture larger than ours would make the decoder allocate for it:
    // it and what builds on it are dropped, and another keyframe is awaited.
    const auto oversized = std::find_if(frames.begin(), frames.end(), [](const AssembledFrame& frame) {
        int width = 0, height = 0;
        return frame.keyframe && rtp::vp8KeyframeSize(frame.data.data(), frame.data.size(), &width, &height) &&
               !rtp::pictureSizeAllowed(width, height);
    });
    if (oversized != frames.end()) {
        frames.erase(oversized, frames.end());
        assembler_.skipGap();
        askForKeyframe(nowMs);
    }
    if (frames.empty())
        return;
    hadKeyframe_ = true;  // the first frame handed out is one

    const bool shown = renders_->shown();
    bool startFromKeyframe = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (!shown && decoding_) {
            // Nobody sees the stream any more: no decoding, no decoder.
            decoding_ = false;
            queue_.clear();
            releaseDecoder_ = true;
            scheduleLocked();
        }
        if (decoding_) {
            for (AssembledFrame& frame : frames)
                queue_.push_back(std::move(frame));
            // A decoder this far behind shows old pictures: start over from a keyframe.
            if (queue_.size() > kMaxQueuedFrames) {
                queue_.clear();
                decoderWantsKeyframe_ = true;
            }
        } else {
            // Held undecoded for a render that may start soon (a stream is
            // drawn only once it was announced): the latest keyframe and the
            // frames after it, which a fresh decoder can start from.
            for (AssembledFrame& frame : frames) {
                if (frame.keyframe)
                    queue_.clear();
                if (frame.keyframe || !queue_.empty())
                    queue_.push_back(std::move(frame));
            }
            if (queue_.size() > kMaxQueuedFrames)
                queue_.clear();
            if (shown) {
                // A render started: decoding starts from the held keyframe,
                // or from one asked for now.
                decoding_ = !queue_.empty();
                startFromKeyframe = !decoding_;
            }
        }
        if (decoding_)
            scheduleLocked();
    }
    if (startFromKeyframe) {
        assembler_.skipGap();
        askForKeyframe(nowMs);
    }
}

void RemoteVideoStream::scheduleLocked()
{
    if (scheduled_ || stopping_)
        return;
    scheduled_ = decoders_->post([this] { decodeQueued(); });
}

bool RemoteVideoStream::mayAskLocked(int64_t nowMs) const
{
    const bool first = !hadKeyframe_ && firstKeyframeRequests_ < kQuickFirstKeyframeRequests;
    return nowMs - lastPliMs_ >= (first ? kFirstKeyframeRetryMs : kPliIntervalMs);
}

void RemoteVideoStream::askForKeyframe(int64_t nowMs)
{
    if (waitingSinceMs_ < 0)
        waitingSinceMs_ = nowMs;
    if (!mayAskLocked(nowMs))
        return;
    // Not sent (no connection yet): asked again at the next look.
    if (!feedback_->sendPli(ssrc_))
        return;
    lastPliMs_ = nowMs;
    if (!hadKeyframe_)
        ++firstKeyframeRequests_;
    counters_->onPliSent();
}

void RemoteVideoStream::requestResends(const std::vector<uint16_t>& sequences)
{
    if (sequences.empty())
        return;
    counters_->onNackSent();
    feedback_->sendNack(ssrc_, sequences);
}

int64_t RemoteVideoStream::onTimer(int64_t nowMs)
{
    std::vector<uint16_t> again;
    int64_t next = 0;
    {
        std::lock_guard<std::mutex> lock(receiveMutex_);
        if (decoderWantsKeyframe_.exchange(false)) {
            std::lock_guard<std::mutex> queueLock(queueMutex_);
            queue_.clear();
            assembler_.skipGap();
        }
        for (int64_t sequence : nack_.due(nowMs))
            again.push_back(static_cast<uint16_t>(sequence));
        next = waitForFramesLocked(nowMs);
        if (const std::optional<int64_t> due = nack_.nextDueMs(nowMs))
            next = next == 0 ? *due : std::min(next, *due);
    }
    requestResends(again);
    return next;
}

int64_t RemoteVideoStream::waitForFramesLocked(int64_t nowMs)
{
    const std::optional<int64_t> gap = assembler_.blockingGap();
    const bool waiting = assembler_.waitingForKeyframe();
    if (!gap && !waiting) {
        waitingSinceMs_ = -1;
        blockedAt_.reset();
        return 0;
    }
    if (gap) {
        // Each gap is given up once its requests were, or after the patience
        // at the latest; then the stream waits for a keyframe.
        if (gap != blockedAt_) {
            blockedAt_ = gap;
            blockedSinceMs_ = nowMs;
        }
        if (nack_.givenUp(*gap, nowMs) || nowMs - blockedSinceMs_ >= kGapPatienceMs) {
            assembler_.skipGap();
            nack_.forgetBefore(*gap + 1);
            blockedAt_.reset();
            askForKeyframe(nowMs);
        }
    } else if (!hadKeyframe_ && !assembler_.hasKeyframeStart()) {
        // Nothing shown yet and no keyframe on its way: the sender runs
        // already and answers with one only when asked, so ask at once.
        askForKeyframe(nowMs);
        if (firstKeyframeRequests_ == 0)
            return nowMs + kStalledPollMs;  // not sent yet: the connection is still coming up
    } else {
        // A keyframe is awaited (perhaps missing packets of its own): asked
        // for when it does not come in time, and again while it does not.
        if (waitingSinceMs_ < 0)
            waitingSinceMs_ = nowMs;
        if (nowMs - waitingSinceMs_ >= kGapPatienceMs)
            askForKeyframe(nowMs);
    }
    // Nothing arrives (the sender went away or stopped): no more requests.
    if (nowMs - lastPacketMs_ > 2 * kPliIntervalMs)
        return 0;
    return nowMs + kStalledPollMs;
}

RemoteVideoStream::Counters RemoteVideoStream::counters() const
{
    const ReceivedStreamStatistics counted = counters_->statistics();
    Counters counters;
    counters.framesDecoded = static_cast<int>(counted.framesDecoded);
    counters.keyframesDecoded = static_cast<int>(counted.keyframes);
    counters.nacksSent = static_cast<int>(counted.nacksSent);
    counters.plisSent = static_cast<int>(counted.plisSent);
    std::lock_guard<std::mutex> lock(receiveMutex_);
    counters.packetsRequested = nack_.requests();
    counters.packetsRecovered = nack_.recovered();
    counters.rttMs = static_cast<int>(nack_.rttMs());
    return counters;
}

void RemoteVideoStream::decodeQueued()
{
    for (int turn = 0;; ++turn) {
        AssembledFrame frame;
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            if (releaseDecoder_) {
                releaseDecoder_ = false;
                decoder_.reset();
                needKeyframe_ = true;
            }
            const bool more = !stopping_ && decoding_ && !queue_.empty();
            if (!more || turn == kFramesPerTurn) {
                // The rest waits for our next turn, behind the other streams' tasks.
                scheduled_ = more && decoders_->post([this] { decodeQueued(); });
                if (!scheduled_)
                    idle_.notify_all();
                return;
            }
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        if (needKeyframe_ && !frame.keyframe)
            continue;
        if (!decoder_)
            decoder_ = std::make_unique<Vp8Decoder>();
        std::shared_ptr<VideoFrame> picture;
        const Vp8Decoder::Result result = decoder_->decode(frame.data.data(), frame.data.size(), &picture);
        if (result == Vp8Decoder::Result::Failed) {
            needKeyframe_ = true;
            decoderWantsKeyframe_ = true;
            continue;
        }
        needKeyframe_ = false;
        if (result == Vp8Decoder::Result::Picture) {
            renders_->deliver(*picture);
            counters_->onFrameDrawn(frame.keyframe);
        }
    }
}

}  // namespace velto_media
