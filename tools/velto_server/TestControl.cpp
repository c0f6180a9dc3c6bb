#include "TestControl.h"

#include <chrono>

namespace velto::server {

void TestControl::force(ForcedAnswer answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    forced_.push_back(std::move(answer));
}

std::optional<ForcedAnswer> TestControl::take(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = forced_.begin(); it != forced_.end(); ++it) {
        if (!routeMatches(it->route, path))
            continue;
        ForcedAnswer answer = *it;
        if (--it->remaining <= 0)
            forced_.erase(it);
        return answer;
    }
    return std::nullopt;
}

void TestControl::record(RecordedRequest request)
{
    static const std::string keepAlivePrefix = "/clientApi/keepAlive/";
    std::lock_guard<std::mutex> lock(mutex_);
    if (request.call.path.compare(0, keepAlivePrefix.size(), keepAlivePrefix) == 0)
        ++keepAlives_;
    requests_.push_back(std::move(request));
}

Json::Value TestControl::requests(const std::string& route) const
{
    const auto pairs = [](const Pairs& items) {
        Json::Value out(Json::arrayValue);
        for (const auto& [key, value] : items) {
            Json::Value pair(Json::arrayValue);
            pair.append(key);
            pair.append(value);
            out.append(pair);
        }
        return out;
    };
    std::lock_guard<std::mutex> lock(mutex_);
    Json::Value out(Json::arrayValue);
    for (const RecordedRequest& request : requests_) {
        if (!route.empty() && !routeMatches(route, request.call.path))
            continue;
        Json::Value entry;
        entry["method"] = request.call.method;
        entry["target"] = request.call.target;
        entry["path"] = request.call.path;
        entry["query"] = pairs(request.call.query);
        entry["headers"] = pairs(request.headers);
        entry["body"] = request.call.body;
        entry["connection"] = request.connection;
        out.append(entry);
    }
    return out;
}

void TestControl::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

int TestControl::keepAlives() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return keepAlives_;
}

void TestControl::stall(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t generation = generation_;
    wake_.wait_for(lock, std::chrono::milliseconds(ms),
                   [&] { return shutdown_ || generation_ != generation; });
}

void TestControl::reset()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        forced_.clear();
        requests_.clear();
        keepAlives_ = 0;
        ++generation_;
    }
    wake_.notify_all();
}

void TestControl::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutdown_ = true;
    }
    wake_.notify_all();
}

}  // namespace velto::server
