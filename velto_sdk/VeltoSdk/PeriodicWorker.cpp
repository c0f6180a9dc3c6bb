#include "PeriodicWorker.h"

namespace {

// How often stop() interrupts again while the thread has not ended: a run may
// have begun its blocking call just after the stop request and the first
// interrupt.
constexpr std::chrono::milliseconds kInterruptRetry{20};

}  // namespace

PeriodicWorker::~PeriodicWorker() { stop(); }

void PeriodicWorker::start(std::chrono::milliseconds interval, Task task, std::function<void()> onEnd,
                           std::function<void()> interrupt)
{
    std::lock_guard<std::mutex> control(controlMutex_);
    endThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = false;
        finished_ = false;
    }
    interrupt_ = std::move(interrupt);
    thread_ = std::thread([this, interval, task = std::move(task), onEnd = std::move(onEnd)] {
        run(interval, task, onEnd);
    });
}

void PeriodicWorker::requestStop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

void PeriodicWorker::stop()
{
    std::lock_guard<std::mutex> control(controlMutex_);
    endThread();
}

void PeriodicWorker::endThread()
{
    requestStop();
    // A thread that stops itself ends on its own; the next start() or stop()
    // from elsewhere joins it.
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id())
        return;
    if (interrupt_) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!finished_) {
            lock.unlock();
            interrupt_();
            lock.lock();
            ended_.wait_for(lock, kInterruptRetry, [this] { return finished_; });
        }
    }
    thread_.join();
}

void PeriodicWorker::run(std::chrono::milliseconds interval, const Task& task, const std::function<void()>& onEnd)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // The predicate keeps a spurious wake-up from ending the worker.
            if (wake_.wait_for(lock, interval, [this] { return stopRequested_; }))
                break;
        }
        if (!task())
            break;
    }
    if (onEnd)
        onEnd();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    ended_.notify_all();
}
