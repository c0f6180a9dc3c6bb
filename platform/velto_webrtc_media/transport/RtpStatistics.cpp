#include "RtpStatistics.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace velto_media {

void ReceivedStream::onPacket(uint16_t sequence, uint32_t rtpTimestamp, int64_t arrivalMs, size_t bytes)
{
    bytes_ += bytes;
    if (!started_) {
        started_ = true;
        baseSequence_ = maxSequence_ = sequence;
        received_ = 1;
        return;
    }
    ++received_;
    const uint16_t ahead = static_cast<uint16_t>(sequence - maxSequence_);
    if (ahead != 0 && ahead < 0x8000) {
        if (sequence < maxSequence_)
            ++cycles_;
        maxSequence_ = sequence;
    }
    // Interarrival jitter in timestamp units (appendix A.8).
    const int64_t arrival = arrivalMs * static_cast<int64_t>(clockRate_) / 1000;
    const int64_t transit = arrival - static_cast<int64_t>(rtpTimestamp);
    if (haveTransit_) {
        const double d = static_cast<double>(std::llabs(transit - lastTransit_));
        jitter_ += (d - jitter_) / 16.0;
    }
    haveTransit_ = true;
    lastTransit_ = transit;
}

void ReceivedStream::onSenderReport(uint64_t ntpTime, int64_t arrivalMs)
{
    lastSr_ = static_cast<uint32_t>(ntpTime >> 16);
    lastSrArrivalMs_ = arrivalMs;
}

rtp::ReportBlock ReceivedStream::report(uint32_t ssrc, int64_t nowMs)
{
    rtp::ReportBlock block;
    block.ssrc = ssrc;
    const uint64_t extendedMax = (uint64_t(cycles_) << 16) + maxSequence_;
    const uint64_t expected = started_ ? extendedMax - baseSequence_ + 1 : 0;
    const int64_t lost = static_cast<int64_t>(expected) - static_cast<int64_t>(received_);
    block.cumulativeLost = static_cast<int32_t>(std::clamp<int64_t>(lost, -0x800000, 0x7fffff));
    const int64_t expectedInterval = static_cast<int64_t>(expected - expectedPrior_);
    const int64_t receivedInterval = static_cast<int64_t>(received_ - receivedPrior_);
    const int64_t lostInterval = expectedInterval - receivedInterval;
    expectedPrior_ = expected;
    receivedPrior_ = received_;
    block.fractionLost =
        expectedInterval <= 0 || lostInterval <= 0 ? 0 : static_cast<uint8_t>((lostInterval << 8) / expectedInterval);
    lossPercent_ = expectedInterval <= 0 || lostInterval <= 0
                       ? 0
                       : static_cast<int>(lostInterval * 100 / expectedInterval);
    block.highestSequence = static_cast<uint32_t>(extendedMax);
    block.jitter = static_cast<uint32_t>(jitter_);
    if (lastSrArrivalMs_ >= 0) {
        block.lastSr = lastSr_;
        block.delaySinceLastSr = static_cast<uint32_t>((nowMs - lastSrArrivalMs_) * 65536 / 1000);
    }
    return block;
}

int RateMeter::sample(uint64_t totalBytes, int64_t nowMs)
{
    if (started_ && nowMs > lastMs_)
        kbps_ = static_cast<int>((totalBytes - lastBytes_) * 8 / static_cast<uint64_t>(nowMs - lastMs_));
    started_ = true;
    lastBytes_ = totalBytes;
    lastMs_ = nowMs;
    return kbps_;
}

uint64_t ntpNow()
{
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    const uint64_t micros =
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since1970).count());
    const uint64_t seconds = micros / 1000000 + 2208988800ull;
    const uint64_t fraction = ((micros % 1000000) << 32) / 1000000;
    return (seconds << 32) | fraction;
}

}  // namespace velto_media
