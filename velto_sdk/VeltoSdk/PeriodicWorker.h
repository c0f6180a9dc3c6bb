#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One owned thread that runs a task at a fixed interval until it is told to
// stop or the task asks to end. The first run comes one interval after start.
//
// Any thread may call these operations, except that the task must not start
// its own worker again. requestStop() never waits, so a thread that the task
// may be waiting on (a network error is reported on the signalling client's
// thread, which a ping may be calling into) can use it; stop() waits for the
// thread unless it is that thread itself.
class PeriodicWorker {
public:
    // Returns false to end the worker.
    using Task = std::function<bool()>;

    PeriodicWorker() = default;
    PeriodicWorker(const PeriodicWorker&) = delete;
    PeriodicWorker& operator=(const PeriodicWorker&) = delete;
    ~PeriodicWorker();

    // Stops and joins a previous run, then starts a new thread. `interrupt`,
    // when given, makes a blocked run of `task` return early; the stopping
    // thread calls it.
    void start(std::chrono::milliseconds interval, Task task, std::function<void()> onEnd = {},
               std::function<void()> interrupt = {});

    // Wakes the thread and makes it end at its next wait; a run in progress
    // finishes first. Concerns only the thread running now.
    void requestStop();

    // requestStop(), interrupts a run in progress, then waits until the
    // thread has ended.
    void stop();

private:
    void run(std::chrono::milliseconds interval, const Task& task, const std::function<void()>& onEnd);
    // stop() with controlMutex_ held.
    void endThread();

    std::mutex controlMutex_;  // serialises start() and stop(); never taken by the thread
    std::thread thread_;       // under controlMutex_
    std::function<void()> interrupt_;  // under controlMutex_

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable ended_;
    bool stopRequested_ = false;
    bool finished_ = false;  // the thread has left its loop
};
