#include "FrameAssembler.h"

namespace velto_media {
namespace {

// More packets than any frame of ours has: a frame this long is broken.
constexpr int64_t kMaxFramePackets = 1500;

}  // namespace

FrameAssembler::Arrival FrameAssembler::insert(VideoPacket packet)
{
    Arrival arrival;
    if (started_ && packet.sequence < next_)
        return arrival;
    PacketBuffer::Inserted inserted = buffer_.insert(std::move(packet));
    if (inserted.overflowed)
        waitingForKeyframe_ = true;
    arrival.accepted = inserted.stored;
    for (int64_t sequence : inserted.missing)
        if (!started_ || sequence >= next_)
            arrival.missing.push_back(sequence);
    return arrival;
}

FrameAssembler::Completeness FrameAssembler::frameAt(int64_t start, int64_t* end) const
{
    const VideoPacket* first = buffer_.find(start);
    if (!first)
        return Completeness::Incomplete;
    for (int64_t sequence = start; sequence < start + kMaxFramePackets; ++sequence) {
        const VideoPacket* packet = buffer_.find(sequence);
        if (!packet)
            return Completeness::Incomplete;
        // Another frame began before this one ended: its last packet is lost.
        if (packet->timestamp != first->timestamp || (sequence != start && packet->frameStart)) {
            *end = sequence - 1;
            return Completeness::Broken;
        }
        if (packet->marker) {
            *end = sequence;
            return Completeness::Complete;
        }
    }
    *end = start + kMaxFramePackets - 1;
    return Completeness::Broken;
}

AssembledFrame FrameAssembler::assemble(int64_t start, int64_t end) const
{
    AssembledFrame frame;
    frame.firstSequence = start;
    frame.lastSequence = end;
    for (int64_t sequence = start; sequence <= end; ++sequence) {
        const VideoPacket* packet = buffer_.find(sequence);
        if (sequence == start) {
            frame.timestamp = packet->timestamp;
            frame.keyframe = packet->keyframe;
        }
        frame.data.insert(frame.data.end(), packet->data.begin(), packet->data.end());
    }
    return frame;
}

std::vector<AssembledFrame> FrameAssembler::takeFrames()
{
    std::vector<AssembledFrame> frames;
    for (;;) {
        if (waitingForKeyframe_) {
            bool found = false;
            for (const VideoPacket* packet = buffer_.firstFrom(INT64_MIN); packet;
                 packet = buffer_.firstFrom(packet->sequence + 1)) {
                int64_t end = 0;
                if (packet->keyframe && frameAt(packet->sequence, &end) == Completeness::Complete) {
                    next_ = packet->sequence;
                    found = true;
                    break;
                }
            }
            if (!found)
                return frames;
            buffer_.eraseBefore(next_);
            waitingForKeyframe_ = false;
            started_ = true;
        }
        const VideoPacket* first = buffer_.find(next_);
        if (!first)
            return frames;
        int64_t end = 0;
        const Completeness completeness = first->frameStart ? frameAt(next_, &end) : Completeness::Broken;
        if (completeness == Completeness::Incomplete)
            return frames;
        if (completeness == Completeness::Broken) {
            waitingForKeyframe_ = true;
            continue;
        }
        frames.push_back(assemble(next_, end));
        buffer_.eraseBefore(end + 1);
        next_ = end + 1;
    }
}

std::optional<int64_t> FrameAssembler::blockingGap() const
{
    const std::optional<int64_t> highest = buffer_.highest();
    if (waitingForKeyframe_ || !started_ || !highest)
        return std::nullopt;
    int64_t sequence = next_;
    while (sequence <= *highest && buffer_.find(sequence))
        ++sequence;
    if (sequence >= *highest)
        return std::nullopt;
    return sequence;
}

void FrameAssembler::skipGap()
{
    if (const std::optional<int64_t> gap = blockingGap()) {
        buffer_.eraseBefore(*gap);
        next_ = *gap + 1;
    }
    waitingForKeyframe_ = true;
}

bool FrameAssembler::hasKeyframeStart() const
{
    for (const VideoPacket* packet = buffer_.firstFrom(INT64_MIN); packet;
         packet = buffer_.firstFrom(packet->sequence + 1))
        if (packet->keyframe)
            return true;
    return false;
}

}  // namespace velto_media
