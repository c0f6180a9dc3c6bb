#include "VideoConvert.h"

#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>

namespace velto_media {

// libyuv names packed formats by their 32-bit word from the high byte down:
// its "BGRA" is alpha, red, green, blue in memory.
void i420ToArgb(const VideoFrame& frame, uint8_t* out)
{
    libyuv::I420ToBGRA(frame.y.data(), frame.width, frame.u.data(), frame.width / 2, frame.v.data(), frame.width / 2,
                       out, frame.width * 4, frame.width, frame.height);
}

std::shared_ptr<VideoFrame> argbToI420(const uint8_t* argb, int width, int height)
{
    auto frame = VideoFrame::black(width & ~1, height & ~1);
    libyuv::BGRAToI420(argb, width * 4, frame->y.data(), frame->width, frame->u.data(), frame->width / 2,
                       frame->v.data(), frame->width / 2, frame->width, frame->height);
    return frame;
}

VideoFramePtr scaleFrame(const VideoFramePtr& frame, int width, int height)
{
    width &= ~1;
    height &= ~1;
    if (!frame || (frame->width == width && frame->height == height) || width <= 0 || height <= 0)
        return frame;
    auto scaled = VideoFrame::black(width, height);
    scaled->captureUs = frame->captureUs;
    scaled->unchanged = frame->unchanged;
    libyuv::I420Scale(frame->y.data(), frame->width, frame->u.data(), frame->width / 2, frame->v.data(),
                      frame->width / 2, frame->width, frame->height, scaled->y.data(), width, scaled->u.data(),
                      width / 2, scaled->v.data(), width / 2, width, height, libyuv::kFilterBilinear);
    return scaled;
}

}  // namespace velto_media
