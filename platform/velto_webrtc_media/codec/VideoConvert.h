// Colour conversion and scaling of I420 pictures (libyuv).
#pragma once

#include <cstdint>
#include <memory>

#include "VideoFrame.h"

namespace velto_media {

// Writes `frame` as width * height pixels of the bytes alpha, red, green,
// blue in memory order: what the renderer's buffer takes.
void i420ToArgb(const VideoFrame& frame, uint8_t* out);

// The picture of `width` x `height` pixels in that byte order as I420;
// width and height are rounded down to even numbers.
std::shared_ptr<VideoFrame> argbToI420(const uint8_t* argb, int width, int height);

// `frame` scaled to `width` x `height` (even); the frame itself when it has
// that size already.
VideoFramePtr scaleFrame(const VideoFramePtr& frame, int width, int height);

}  // namespace velto_media
