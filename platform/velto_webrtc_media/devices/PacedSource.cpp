#include "PacedSource.h"

#include <algorithm>

namespace velto_media {

int64_t steadyMicroseconds(std::chrono::steady_clock::time_point when)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count();
}

PacedSource::PacedSource(int width, int height, int fps)
    : width_(std::max(2, width & ~1)), height_(std::max(2, height & ~1)), fps_(std::max(1, fps))
{
}

PacedSource::~PacedSource() { stop(); }

int PacedSource::start(VideoSink sink)
{
    stop();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    thread_ = std::thread([this, sink = std::move(sink)] { run(sink); });
    return 0;
}

void PacedSource::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void PacedSource::setFormat(int width, int height, int fps)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (width > 0 && height > 0) {
        width_ = std::max(2, width & ~1);
        height_ = std::max(2, height & ~1);
    }
    if (fps > 0)
        fps_ = fps;
}

void PacedSource::run(const VideoSink& sink)
{
    // The first frame goes out at once: the encoder's first keyframe should not wait a period.
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        int width, height, fps;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, next, [this] { return stopping_; }))
                return;
            width = width_, height = height_, fps = fps_;
        }
        auto frame = produce(index_++, width, height);
        if (frame) {
            frame->captureUs = steadyMicroseconds(std::chrono::steady_clock::now());
            sink(std::move(frame));
        }
        auto period = std::chrono::microseconds(1000000 / fps);
        next += period;
        // After a stall (a slow sink, a suspended machine) go on from now rather than catch up in a burst.
        auto now = std::chrono::steady_clock::now();
        if (next + period < now)
            next = now;
    }
}

}  // namespace velto_media
