#include "VideoFrame.h"

namespace velto_media {

std::shared_ptr<VideoFrame> VideoFrame::black(int width, int height)
{
    auto frame = std::make_shared<VideoFrame>();
    frame->width = width;
    frame->height = height;
    frame->y.assign(size_t(width) * height, 16);
    frame->u.assign(size_t(width / 2) * (height / 2), 128);
    frame->v.assign(size_t(width / 2) * (height / 2), 128);
    return frame;
}

}  // namespace velto_media
