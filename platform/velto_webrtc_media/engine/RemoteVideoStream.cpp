#include "RemoteVideoStream.h"

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
// While frames are held up, how often the timer looks again.
constexpr int64_t kStalledPollMs = 20;

}  // namespace

RemoteVideoStream::RemoteVideoStream(uint32_t ssrc, std::shared_ptr<FrameFanout> renders, FeedbackSender* feedback,
                                     std::shared_ptr<ReceiveCounters> counters)
    : ssrc_(ssrc), renders_(std::move(renders)), feedback_(feedback),
      counters_(counters ? std::move(counters) : std::make_shared<ReceiveCounters>(ssrc, true)),
      thread_([this] { run(); })
{
}

RemoteVideoStream::~RemoteVideoStream()
{
    stop();
}

void RemoteVideoStream::stop()
{
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (stopping_ && !thread_.joinable())
            return;
        stopping_ = true;
    }
    queueWake_.notify_all();
    if (thread_.joinable())
        thread_.join();
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

    std::vector<AssembledFrame> frames;
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
        frames = assembler_.takeFrames();
        if (!frames.empty()) {
            nack_.forgetBefore(frames.back().lastSequence + 1);
            hadKeyframe_ = true;  // the first frame handed out is one
        }
        if (!assembler_.waitingForKeyframe())
            waitingSinceMs_ = -1;
        if (assembler_.waitingForKeyframe() && !assembler_.hasKeyframeStart() && waitingSinceMs_ < 0)
            askForKeyframe(nowMs);  // nothing decodable is on its way: ask at once
    }
    requestResends(missing);
    if (frames.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        for (AssembledFrame& frame : frames)
            queue_.push_back(std::move(frame));
        // A decoder this far behind shows old pictures: start over from a keyframe.
        if (queue_.size() > kMaxQueuedFrames) {
            queue_.clear();
            decoderWantsKeyframe_ = true;
        }
    }
    queueWake_.notify_one();
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

void RemoteVideoStream::run()
{
    Vp8Decoder decoder;
    bool needKeyframe = true;
    for (;;) {
        AssembledFrame frame;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueWake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                break;
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        if (needKeyframe && !frame.keyframe)
            continue;
        std::shared_ptr<VideoFrame> picture;
        const Vp8Decoder::Result result = decoder.decode(frame.data.data(), frame.data.size(), &picture);
        if (result == Vp8Decoder::Result::Failed) {
            needKeyframe = true;
            decoderWantsKeyframe_ = true;
            continue;
        }
        needKeyframe = false;
        if (result == Vp8Decoder::Result::Picture) {
            renders_->deliver(*picture);
            counters_->onFrameDrawn(frame.keyframe);
        }
    }
    renders_->deliverBlack();
}

}  // namespace velto_media
