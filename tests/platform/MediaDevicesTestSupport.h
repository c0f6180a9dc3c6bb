// Small helpers for the device layer's tests: a sink that keeps the frames it
// gets and wakes a waiting test, and a sink whose call the test can hold open.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "VideoSource.h"

namespace media_devices_test {

constexpr auto kPatience = std::chrono::seconds(10);

class FrameCollector {
public:
    velto_media::VideoSink sink()
    {
        return [this](velto_media::VideoFramePtr frame) {
            std::lock_guard<std::mutex> lock(mutex_);
            frames_.push_back(std::move(frame));
            arrived_.notify_all();
        };
    }
    // The first `count` frames, or fewer after kPatience.
    std::vector<velto_media::VideoFramePtr> waitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_for(lock, kPatience, [&] { return frames_.size() >= count; });
        return std::vector<velto_media::VideoFramePtr>(frames_.begin(),
                                                       frames_.begin() + std::min(count, frames_.size()));
    }
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<velto_media::VideoFramePtr> frames_;
};

// Counts calls and marks while one is running; the first call lingers, so
// that a test can ask to stop while a callback runs.
struct CallWatch {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};  // a call found another one running

    void enter()
    {
        if (inside.exchange(true))
            overlapped = true;
        if (calls++ == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    void leave() { inside = false; }
    bool waitUntilInside()
    {
        auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!inside && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return inside;
    }
};

}  // namespace media_devices_test
