#include "NackRequester.h"

#include <algorithm>

namespace velto_media {

int64_t NackRequester::waitMs() const
{
    return std::clamp<int64_t>(rttMs_ + rttMs_ / 2, kMinWaitMs, kMaxWaitMs);
}

std::vector<int64_t> NackRequester::onPacket(int64_t sequence, bool resent, int64_t nowMs)
{
    std::vector<int64_t> ask;
    const auto missing = missing_.find(sequence);
    if (missing != missing_.end()) {
        if (resent) {
            ++recovered_;
            // Only the answer to a first request tells the round trip.
            if (missing->second.requests == 1) {
                const int64_t sample = std::max<int64_t>(1, nowMs - missing->second.firstRequestMs);
                rttMs_ = measured_ ? rttMs_ + (sample - rttMs_) / 8 : sample;
                measured_ = true;
            }
        }
        missing_.erase(missing);
        return ask;
    }
    if (!highest_ || sequence - *highest_ > kMaxGap || *highest_ - sequence > kMaxGap) {
        // The first packet, or a restart: nothing before it is asked for.
        missing_.clear();
        highest_ = sequence;
        return ask;
    }
    if (sequence <= *highest_)
        return ask;
    for (int64_t lost = *highest_ + 1; lost < sequence; ++lost) {
        missing_[lost] = {1, nowMs, nowMs + waitMs()};
        ask.push_back(lost);
    }
    requests_ += static_cast<int>(ask.size());
    highest_ = sequence;
    while (missing_.size() > kMaxMissing)
        missing_.erase(missing_.begin());
    return ask;
}

std::vector<int64_t> NackRequester::due(int64_t nowMs)
{
    std::vector<int64_t> ask;
    for (auto& [sequence, missing] : missing_) {
        if (missing.requests >= kMaxRequests || missing.nextMs > nowMs)
            continue;
        ++missing.requests;
        missing.nextMs = nowMs + waitMs();
        ask.push_back(sequence);
    }
    requests_ += static_cast<int>(ask.size());
    return ask;
}

std::optional<int64_t> NackRequester::nextDueMs(int64_t nowMs) const
{
    std::optional<int64_t> next;
    for (const auto& [sequence, missing] : missing_) {
        // After the last request: the time it is given up, while still ahead.
        const bool waiting = missing.requests < kMaxRequests || missing.nextMs > nowMs;
        if (waiting && (!next || missing.nextMs < *next))
            next = missing.nextMs;
    }
    return next;
}

bool NackRequester::givenUp(int64_t sequence, int64_t nowMs) const
{
    const auto missing = missing_.find(sequence);
    return missing != missing_.end() && missing->second.requests >= kMaxRequests && nowMs >= missing->second.nextMs;
}

void NackRequester::forgetBefore(int64_t sequence)
{
    missing_.erase(missing_.begin(), missing_.lower_bound(sequence));
}

}  // namespace velto_media
