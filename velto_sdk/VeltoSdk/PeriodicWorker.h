#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One owned thread that runs a task at a fixed interval until it is told to
// stop or the task asks to end. The first run comes one interval after start.
//
// start() and stop() belong to the owner's thread; requestStop() may come from
// any thread (a network error is reported on the signalling client's thread,
// which must not wait for a worker that may be calling into that client).
class PeriodicWorker {
public:
    // Returns false to end the worker.
    using Task = std::function<bool()>;

    PeriodicWorker() = default;
    PeriodicWorker(const PeriodicWorker&) = delete;
    PeriodicWorker& operator=(const PeriodicWorker&) = delete;
    ~PeriodicWorker();

    // Stops and joins a previous run, then starts a new thread.
    void start(std::chrono::milliseconds interval, Task task, std::function<void()> onEnd = {});

    // Wakes the thread and makes it end at its next wait; a run in progress
    // finishes first. Concerns only the thread running now.
    void requestStop();

    // requestStop(), then waits until the thread has ended.
    void stop();

private:
    void run(std::chrono::milliseconds interval, const Task& task, const std::function<void()>& onEnd);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    std::thread thread_;
};
