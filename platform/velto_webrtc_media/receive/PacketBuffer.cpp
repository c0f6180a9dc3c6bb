#include "PacketBuffer.h"

namespace velto_media {

PacketBuffer::Inserted PacketBuffer::insert(VideoPacket packet)
{
    Inserted result;
    if (packets_.count(packet.sequence) != 0)
        return result;
    if (packets_.size() >= capacity_) {
        packets_.clear();
        result.overflowed = true;
    }
    const int64_t sequence = packet.sequence;
    if (highest_ && sequence > *highest_ + 1 && sequence - *highest_ <= kMaxGap)
        for (int64_t missing = *highest_ + 1; missing < sequence; ++missing)
            result.missing.push_back(missing);
    if (!highest_ || sequence > *highest_)
        highest_ = sequence;
    packets_.emplace(sequence, std::move(packet));
    result.stored = true;
    return result;
}

const VideoPacket* PacketBuffer::find(int64_t sequence) const
{
    const auto it = packets_.find(sequence);
    return it == packets_.end() ? nullptr : &it->second;
}

const VideoPacket* PacketBuffer::firstFrom(int64_t sequence) const
{
    const auto it = packets_.lower_bound(sequence);
    return it == packets_.end() ? nullptr : &it->second;
}

void PacketBuffer::eraseBefore(int64_t sequence)
{
    packets_.erase(packets_.begin(), packets_.lower_bound(sequence));
}

void PacketBuffer::clear()
{
    packets_.clear();
}

}  // namespace velto_media
