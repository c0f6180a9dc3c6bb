#include "RemoteVideoStream.h"

#include "MediaTransport.h"
#include "Vp8Decoder.h"
#include "Vp8Payload.h"

namespace velto_media {
namespace {

constexpr int64_t kPliIntervalMs = 500;
// How long a gap may wait for its resend, or an incomplete keyframe for its
// missing packets, before a keyframe is asked for.
constexpr int64_t kGapPatienceMs = 250;
constexpr size_t kMaxQueuedFrames = 30;

}  // namespace

RemoteVideoStream::RemoteVideoStream(uint32_t ssrc, std::shared_ptr<FrameFanout> renders, FeedbackSender* feedback,
                                     std::shared_ptr<ReceiveCounters> counters)
    : ssrc_(ssrc), renders_(std::move(renders)), feedback_(feedback), counters_(std::move(counters)),
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

void RemoteVideoStream::onPacket(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs)
{
    if (counters_)
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
        const FrameAssembler::Arrival arrival = assembler_.insert(std::move(packet));
        for (int64_t sequence : arrival.missing)
            missing.push_back(static_cast<uint16_t>(sequence));
        frames = assembler_.takeFrames();
        if (!frames.empty() && !assembler_.waitingForKeyframe() && !assembler_.blockingGap())
            waitingSinceMs_ = -1;
        if (assembler_.waitingForKeyframe() && !assembler_.hasKeyframeStart() && waitingSinceMs_ < 0)
            askForKeyframe(nowMs);  // nothing decodable is on its way: ask at once
    }
    if (!missing.empty())
        feedback_->sendNack(ssrc_, missing);
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

void RemoteVideoStream::askForKeyframe(int64_t nowMs)
{
    if (waitingSinceMs_ < 0)
        waitingSinceMs_ = nowMs;
    if (nowMs - lastPliMs_ < kPliIntervalMs)
        return;
    lastPliMs_ = nowMs;
    feedback_->sendPli(ssrc_);
}

int64_t RemoteVideoStream::onTimer(int64_t nowMs)
{
    std::lock_guard<std::mutex> lock(receiveMutex_);
    if (decoderWantsKeyframe_.exchange(false)) {
        std::lock_guard<std::mutex> queueLock(queueMutex_);
        queue_.clear();
        assembler_.skipGap();
    }
    const bool gap = assembler_.blockingGap().has_value();
    const bool waiting = assembler_.waitingForKeyframe();
    if (!gap && !waiting) {
        waitingSinceMs_ = -1;
        return 0;
    }
    if (waitingSinceMs_ < 0)
        waitingSinceMs_ = nowMs;
    if (nowMs - waitingSinceMs_ >= kGapPatienceMs) {
        if (gap)
            assembler_.skipGap();
        askForKeyframe(nowMs);
    }
    // Nothing arrives (the sender went away or stopped): no more requests.
    if (nowMs - lastPacketMs_ > 2 * kPliIntervalMs)
        return 0;
    return nowMs + 50;
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
            ++framesDecoded_;
            renders_->deliver(*picture);
            if (counters_)
                counters_->onFrameDrawn(frame.keyframe);
        }
    }
    renders_->deliverBlack();
}

}  // namespace velto_media
