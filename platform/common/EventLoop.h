// One worker thread that runs posted tasks in order. The platform stand-ins
// deliver every event through one, so that no event ever runs inside the call
// that caused it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velto_platform {

class EventLoop {
public:
    EventLoop();
    // Drops what is still pending and joins the thread.
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void post(std::function<void()> task);
    // Drops every task that has not started yet.
    void clear();
    // Waits until every task posted before the call has run or was dropped.
    // False on time-out, and at once on the loop's own thread, which would
    // wait for itself.
    bool flush(std::chrono::milliseconds timeout);
    bool isLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable progress_;
    std::deque<std::function<void()>> tasks_;
    std::uint64_t posted_ = 0;    // tasks ever posted
    std::uint64_t finished_ = 0;  // tasks that ran or were dropped
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace velto_platform
