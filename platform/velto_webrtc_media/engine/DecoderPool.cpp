#include "DecoderPool.h"

#include <algorithm>

namespace velto_media {

size_t DecoderPool::defaultThreads()
{
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

DecoderPool::DecoderPool(size_t threads) : size_(std::max<size_t>(threads, 1)) {}

DecoderPool::~DecoderPool()
{
    stop();
}

bool DecoderPool::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return false;
        tasks_.push_back(std::move(task));
        if (workers_.empty()) {
            workers_.reserve(size_);
            for (size_t i = 0; i < size_; ++i)
                workers_.emplace_back([this] { run(); });
        }
    }
    wake_.notify_one();
    return true;
}

void DecoderPool::stop()
{
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        workers.swap(workers_);
    }
    wake_.notify_all();
    for (std::thread& worker : workers)
        worker.join();
}

size_t DecoderPool::threads() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return workers_.size();
}

void DecoderPool::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
            // What was queued before stop() still runs: its stream waits for it.
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace velto_media
