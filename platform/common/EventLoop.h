// One worker thread that runs posted tasks in order. The platform stand-ins
// deliver every event through one, so that no event ever runs inside the call
// that caused it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velto_platform {

class EventLoop {
public:
    EventLoop();
    // Drops what is still pending and joins the thread; not to be called from
    // a task, which the join would wait for.
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void post(std::function<void()> task);
    // Drops every task that has not started yet.
    void clear();
    bool isLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace velto_platform
