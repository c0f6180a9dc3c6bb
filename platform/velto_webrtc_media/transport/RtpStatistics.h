// Counting of RTP streams for RTCP (RFC 3550 section 6.4 and appendix A):
// what a receiver reports about a stream it gets, what a sender reports about
// its own, and the bitrates both see. Pure and thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtp/Rtcp.h"

namespace velto_media {

class ReceivedStream {
public:
    explicit ReceivedStream(uint32_t clockRate) : clockRate_(clockRate) {}

    void onPacket(uint16_t sequence, uint32_t rtpTimestamp, int64_t arrivalMs, size_t bytes);
    // A sender report about this stream arrived: its time is echoed in the next block.
    void onSenderReport(uint64_t ntpTime, int64_t arrivalMs);
    // The report block for now; starts the next interval of the loss count.
    rtp::ReportBlock report(uint32_t ssrc, int64_t nowMs);

    bool started() const { return started_; }
    int lossPercent() const { return lossPercent_; }  // of the last reported interval
    uint64_t bytes() const { return bytes_; }

private:
    const uint32_t clockRate_;
    bool started_ = false;
    uint16_t baseSequence_ = 0;
    uint16_t maxSequence_ = 0;
    uint32_t cycles_ = 0;
    uint64_t received_ = 0;
    uint64_t expectedPrior_ = 0;
    uint64_t receivedPrior_ = 0;
    double jitter_ = 0;
    bool haveTransit_ = false;
    int64_t lastTransit_ = 0;
    uint32_t lastSr_ = 0;
    int64_t lastSrArrivalMs_ = -1;
    int lossPercent_ = 0;
    uint64_t bytes_ = 0;
};

// A bitrate over the intervals between two samples of a growing byte count.
class RateMeter {
public:
    // The kbit/s since the last sample.
    int sample(uint64_t totalBytes, int64_t nowMs);
    int kbps() const { return kbps_; }

private:
    bool started_ = false;
    uint64_t lastBytes_ = 0;
    int64_t lastMs_ = 0;
    int kbps_ = 0;
};

// NTP time (RFC 5905: seconds since 1900 in the high 32 bits) of the wall clock.
uint64_t ntpNow();

}  // namespace velto_media
