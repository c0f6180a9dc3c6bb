#include "SendHistory.h"

#include <algorithm>

namespace velto_media {

SendHistory::SendHistory(int64_t keepMs, size_t maxPackets) : keepMs_(keepMs), maxPackets_(maxPackets) {}

void SendHistory::add(uint16_t sequence, uint32_t timestamp, bool marker, const uint8_t* payload, size_t size,
                      int64_t nowMs)
{
    // A sequence that does not follow the newest is a new beginning.
    if (!packets_.empty() && static_cast<uint16_t>(packets_.back().sequence + 1) != sequence) {
        packets_.clear();
        keptBytes_ = 0;
    }
    forgetOld(nowMs);
    Packet packet;
    // The buffer of the packet that falls out is used again.
    if (packets_.size() >= maxPackets_) {
        packet.payload = std::move(packets_.front().payload);
        keptBytes_ -= packet.payload.size();
        packets_.pop_front();
    }
    packet.sequence = sequence;
    packet.timestamp = timestamp;
    packet.marker = marker;
    packet.payload.assign(payload, payload + size);
    packet.sentMs = nowMs;
    packets_.push_back(std::move(packet));
    keptBytes_ += size;
    budget_ = std::min(budget_ + size, keptBytes_);
}

const SendHistory::Packet* SendHistory::takeForResend(uint16_t sequence, int64_t nowMs, int64_t minResendMs)
{
    forgetOld(nowMs);
    if (packets_.empty())
        return nullptr;
    const size_t offset = static_cast<uint16_t>(sequence - packets_.front().sequence);
    if (offset >= packets_.size())
        return nullptr;
    Packet& packet = packets_[offset];
    if (packet.resends >= kMaxResends || (packet.resends > 0 && nowMs - packet.resentMs < minResendMs) ||
        packet.payload.size() > budget_)
        return nullptr;
    ++packet.resends;
    packet.resentMs = nowMs;
    budget_ -= packet.payload.size();
    return &packet;
}

void SendHistory::dropOldest()
{
    keptBytes_ -= packets_.front().payload.size();
    packets_.pop_front();
}

void SendHistory::forgetOld(int64_t nowMs)
{
    while (!packets_.empty() && nowMs - packets_.front().sentMs > keepMs_)
        dropOldest();
    budget_ = std::min(budget_, keptBytes_);
}

}  // namespace velto_media
