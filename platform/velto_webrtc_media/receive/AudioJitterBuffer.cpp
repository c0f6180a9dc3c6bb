#include "AudioJitterBuffer.h"

#include <algorithm>

namespace velto_media {

AudioJitterBuffer::AudioJitterBuffer(size_t target, size_t slack) : target_(std::max<size_t>(1, target)), slack_(slack)
{
}

void AudioJitterBuffer::insert(int64_t sequence, std::vector<uint8_t> payload)
{
    if (playing_ && sequence < next_)
        return;
    packets_.emplace(sequence, std::move(payload));
    // Before playout starts (or while it waits to resume) only the newest count.
    while (packets_.size() > target_ + slack_)
        packets_.erase(packets_.begin());
}

AudioJitterBuffer::Pull AudioJitterBuffer::pull()
{
    Pull pull;
    if (!playing_) {
        if (packets_.size() < target_)
            return pull;
        playing_ = true;
        next_ = packets_.begin()->first;
        concealed_ = 0;
    }
    // Too far behind the newest packet: catch up to the target delay.
    if (!packets_.empty()) {
        const int64_t newest = packets_.rbegin()->first;
        if (newest - next_ >= static_cast<int64_t>(target_ + slack_)) {
            next_ = newest - static_cast<int64_t>(target_) + 1;
            packets_.erase(packets_.begin(), packets_.lower_bound(next_));
        }
    }
    const auto it = packets_.find(next_);
    if (it != packets_.end()) {
        pull.kind = Pull::Kind::Packet;
        pull.payload = std::move(it->second);
        packets_.erase(it);
        ++next_;
        concealed_ = 0;
        return pull;
    }
    if (++concealed_ > kMaxConcealed && packets_.empty()) {
        playing_ = false;
        return pull;
    }
    const auto following = packets_.find(next_ + 1);
    ++next_;
    if (following != packets_.end()) {
        pull.kind = Pull::Kind::FromNext;
        pull.payload = following->second;
    } else {
        pull.kind = Pull::Kind::Conceal;
    }
    return pull;
}

}  // namespace velto_media
