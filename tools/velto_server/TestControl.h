#pragma once
#include "Call.h"

#include <json/value.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velto::server {

// An answer a test has ordered for the next requests of a route.
struct ForcedAnswer {
    enum class Kind { Answer, Stall, Close };
    Kind kind = Kind::Answer;
    std::string route;
    int status = 200;
    std::string body;
    std::string contentType;
    int stallMs = 0;
    int remaining = 1;
};

struct RecordedRequest {
    Call call;
    Pairs headers;
    int connection = 0;
};

// The test-control side's memory: forced answers, recorded requests and the
// stalls in progress. Thread-safe.
class TestControl {
public:
    void force(ForcedAnswer answer);
    // Takes one use of the first forced answer whose route matches `path`.
    std::optional<ForcedAnswer> take(const std::string& path);

    void record(RecordedRequest request);
    Json::Value requests(const std::string& route) const;  // empty route = all
    void clearRequests();
    int keepAlives() const;

    // Waits `ms`, or less when reset() or shutdown() comes first.
    void stall(int ms);
    // Drops forced answers, recorded requests and counters; ends stalls.
    void reset();
    // Ends stalls now and every later one at once.
    void shutdown();

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<ForcedAnswer> forced_;
    std::vector<RecordedRequest> requests_;
    int keepAlives_ = 0;
    std::uint64_t generation_ = 0;  // bumped by reset() to end running stalls
    bool shutdown_ = false;
};

}  // namespace velto::server
