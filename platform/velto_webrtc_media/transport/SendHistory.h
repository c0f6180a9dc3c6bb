// The packets one stream sent in about the last second, kept for receivers
// that lost some and ask for them again (RFC 4585 generic NACK). One packet
// is handed out for a resend at most once per `minResendMs`: the unit
// forwards every receiver's request, and several receivers that lost the
// same packet on its way up need only one resend between them.
//
// Requests come from any member of the room, so what they may cost is
// bounded: a packet is resent at most kMaxResends times, and resends spend
// a budget that only the stream's own sending fills, never holding more
// than the history does (about a second of the stream). A flood of
// requests costs at most about the stream's own rate again.
//
// Pure and thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace velto_media {

class SendHistory {
public:
    static constexpr int64_t kKeepMs = 1000;
    // A screen's keyframe is a few hundred packets; a second of it fits.
    static constexpr size_t kMaxPackets = 2048;
    // A receiver asks a few times for a packet whose resend it lost too.
    static constexpr int kMaxResends = 3;

    explicit SendHistory(int64_t keepMs = kKeepMs, size_t maxPackets = kMaxPackets);

    struct Packet {
        uint16_t sequence = 0;
        uint32_t timestamp = 0;
        bool marker = false;
        std::vector<uint8_t> payload;  // as sent, after the RTP header
        int64_t sentMs = 0;
        int64_t resentMs = 0;
        int resends = 0;
    };

    // A packet just sent; sequences follow each other by one.
    void add(uint16_t sequence, uint32_t timestamp, bool marker, const uint8_t* payload, size_t size, int64_t nowMs);
    // The packet `sequence` to be sent again now, marked as resent; null when
    // it is not kept (older than the history, never sent), was resent less
    // than `minResendMs` ago or kMaxResends times already, or the budget
    // has not its bytes left.
    const Packet* takeForResend(uint16_t sequence, int64_t nowMs, int64_t minResendMs);
    size_t size() const { return packets_.size(); }
    // Payload bytes that resends may still spend.
    size_t resendBudget() const { return budget_; }

private:
    void forgetOld(int64_t nowMs);
    void dropOldest();

    const int64_t keepMs_;
    const size_t maxPackets_;
    std::deque<Packet> packets_;  // oldest first
    size_t keptBytes_ = 0;        // payload bytes of packets_
    size_t budget_ = 0;           // at most keptBytes_
};

}  // namespace velto_media
