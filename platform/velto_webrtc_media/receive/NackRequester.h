// Which lost packets of one video stream to ask for again, and when
// (RFC 4585 generic NACK). A packet found missing (a later one arrived) is
// asked for at once, again about one round trip later while it is still
// missing, and given up kMaxRequests requests and one more wait later.
//
// The round trip is learned from the resends: the time from the first
// request of a packet to its arrival (later requests do not count, as an
// answer to one cannot be told from an answer to an earlier one). Until a
// resend came, kDefaultRttMs is assumed.
//
// Pure and thread-compatible; sequences unwrapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace velto_media {

class NackRequester {
public:
    static constexpr int kMaxRequests = 5;
    static constexpr int64_t kDefaultRttMs = 50;
    // Requests are never repeated sooner: the sender's resend and its way
    // back take their time even on one machine.
    static constexpr int64_t kMinWaitMs = 20;
    static constexpr int64_t kMaxWaitMs = 500;
    // Gaps wider than this are a restart of the stream, not a loss to ask for.
    static constexpr int64_t kMaxGap = 256;
    // More packets missing at once than this: the oldest are given up.
    static constexpr size_t kMaxMissing = 512;

    // A packet arrived: `resent` when it came as a resend. Returns the
    // sequences to ask for now, those that this packet found missing.
    std::vector<int64_t> onPacket(int64_t sequence, bool resent, int64_t nowMs);
    // The missing sequences whose time to be asked for again has come.
    std::vector<int64_t> due(int64_t nowMs);
    // When due() has something next or a packet will be given up, if ever.
    std::optional<int64_t> nextDueMs(int64_t nowMs) const;
    // `sequence` is missing and will not be asked for any more.
    bool givenUp(int64_t sequence, int64_t nowMs) const;
    // Packets before `sequence` are no longer wanted.
    void forgetBefore(int64_t sequence);

    int64_t rttMs() const { return rttMs_; }
    // How long to wait for a resend before asking again.
    int64_t waitMs() const;
    int requests() const { return requests_; }   // sequences asked for, repeats included
    int recovered() const { return recovered_; } // missing packets that came as resends

private:
    struct Missing {
        int requests = 0;
        int64_t firstRequestMs = 0;
        int64_t nextMs = 0;  // the next request, or (after the last) when it is given up
    };

    std::optional<int64_t> highest_;
    std::map<int64_t, Missing> missing_;
    int64_t rttMs_ = kDefaultRttMs;
    bool measured_ = false;
    int requests_ = 0;
    int recovered_ = 0;
};

}  // namespace velto_media
