// The clock of a video source that makes its pictures itself (the synthetic
// camera, a still picture, a screen): a thread of its own sleeps until each
// frame is due, asks the source for the frame and hands it to the sink.
//
// The thread never spins: it waits on a condition variable until the next
// frame's time or until stop() wakes it. stop() joins it, so once stop() has
// returned neither produce() nor the sink runs any more. A subclass calls
// stop() in its own destructor, before the members produce() uses are gone.
// stop() must not be called from the sink.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "VideoSource.h"

namespace velto_media {

class PacedSource : public VideoSource {
public:
    ~PacedSource() override;
    int start(VideoSink sink) override;
    void stop() override;
    // Sizes of 0 or less keep the current size; a rate of 0 or less keeps the current rate.
    void setFormat(int width, int height, int fps) override;

protected:
    PacedSource(int width, int height, int fps);
    // The picture numbered `index` (counted over the source's whole life, not
    // restarted by start()) at about the asked size; null skips this frame.
    // Called on the source's thread only.
    virtual std::shared_ptr<VideoFrame> produce(uint32_t index, int width, int height) = 0;

private:
    void run(const VideoSink& sink);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    int width_;
    int height_;
    int fps_;
    uint32_t index_ = 0;  // touched by the source's thread only, or while none runs
    std::thread thread_;
};

int64_t steadyMicroseconds(std::chrono::steady_clock::time_point when);

}  // namespace velto_media
