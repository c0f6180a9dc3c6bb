#include "EventLoop.h"

namespace velto_platform {

EventLoop::EventLoop() : thread_([this] { run(); }) {}

EventLoop::~EventLoop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    clear();  // their captured state goes on this thread, after the last task ran
}

void EventLoop::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void EventLoop::clear()
{
    std::deque<std::function<void()>> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(tasks_);
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
        task = nullptr;  // captured state goes before the next task starts
        lock.lock();
    }
}

}  // namespace velto_platform
