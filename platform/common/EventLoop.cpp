#include "EventLoop.h"

namespace velto_platform {

EventLoop::EventLoop() : thread_([this] { run(); }) {}

EventLoop::~EventLoop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        finished_ += tasks_.size();
        tasks_.clear();
    }
    wake_.notify_all();
    progress_.notify_all();
    thread_.join();
}

void EventLoop::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        tasks_.push_back(std::move(task));
        ++posted_;
    }
    wake_.notify_one();
}

void EventLoop::clear()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ += tasks_.size();
        tasks_.clear();
    }
    progress_.notify_all();
}

bool EventLoop::flush(std::chrono::milliseconds timeout)
{
    if (isLoopThread())
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t target = posted_;
    return progress_.wait_for(lock, timeout, [&] { return finished_ >= target; });
}

void EventLoop::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_)
            return;
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        task = nullptr;  // captured state goes before the task counts as finished
        lock.lock();
        ++finished_;
        progress_.notify_all();
    }
}

}  // namespace velto_platform
