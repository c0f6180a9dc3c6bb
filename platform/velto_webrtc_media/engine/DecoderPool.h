// The few threads that decode every received video stream of one engine:
// however many streams a room announces, the engine decodes on at most
// defaultThreads() threads. A stream hands its decoding over as tasks and
// keeps its own frames in order by having at most one task queued or
// running at a time (RemoteVideoStream does so).
//
// Threads start with the first task. stop() lets the queued tasks run,
// joins the threads and refuses tasks from then on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velto_media {

class DecoderPool {
public:
    // min(4, cores), at least one.
    static size_t defaultThreads();

    explicit DecoderPool(size_t threads = defaultThreads());
    ~DecoderPool();
    DecoderPool(const DecoderPool&) = delete;
    DecoderPool& operator=(const DecoderPool&) = delete;

    // Runs `task` on one of the threads; false (and not run) once stopped.
    bool post(std::function<void()> task);
    void stop();
    // Threads running (tests).
    size_t threads() const;

private:
    void run();

    const size_t size_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace velto_media
