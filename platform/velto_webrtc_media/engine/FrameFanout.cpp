#include "FrameFanout.h"

#include <algorithm>

#include "QGLRenderInterface.h"
#include "VideoConvert.h"

namespace velto_media {
namespace {

// Black before any picture came: a small 16:9 frame.
constexpr int kBlackWidth = 320;
constexpr int kBlackHeight = 180;

}  // namespace

void FrameFanout::add(unsigned int renderId, QGLRenderInterface* target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sinks_.push_back({renderId, target});
    targets_ = sinks_.size();
}

bool FrameFanout::remove(unsigned int renderId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it =
        std::find_if(sinks_.begin(), sinks_.end(), [&](const Sink& sink) { return sink.renderId == renderId; });
    if (it == sinks_.end())
        return false;
    sinks_.erase(it);
    targets_ = sinks_.size();
    return true;
}

void FrameFanout::deliver(const VideoFrame& frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    width_ = frame.width;
    height_ = frame.height;
    drawLocked(frame);
}

void FrameFanout::deliverBlack()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sinks_.empty())
        return;
    const auto black = VideoFrame::black(width_ > 0 ? width_ : kBlackWidth, height_ > 0 ? height_ : kBlackHeight);
    drawLocked(*black);
}

bool FrameFanout::lastSize(int* width, int* height) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (width_ <= 0 || height_ <= 0)
        return false;
    *width = width_;
    *height = height_;
    return true;
}

void FrameFanout::drawLocked(const VideoFrame& frame)
{
    for (const Sink& sink : sinks_) {
        QGLRenderInterface* target = sink.target;
        target->lockBuffer();
        unsigned char* buffer = target->getDataBuffer(frame.width, frame.height);
        if (buffer)
            i420ToArgb(frame, buffer);
        target->unlockBuffer();
        if (buffer)
            target->PlayOneFrame(buffer, frame.width, frame.height);
    }
}

}  // namespace velto_media
