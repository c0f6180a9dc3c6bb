// One picture in I420 (planar Y, then U and V at half size), the form every
// video source hands out and the VP8 encoder takes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace velto_media {

struct VideoFrame {
    int width = 0;             // even
    int height = 0;            // even
    int64_t captureUs = 0;     // steady clock, microseconds
    std::vector<uint8_t> y;    // width * height
    std::vector<uint8_t> u;    // (width / 2) * (height / 2)
    std::vector<uint8_t> v;    // (width / 2) * (height / 2)
    // The same pixels as the source's picture before (a still screen): what
    // was sent of that one still stands.
    bool unchanged = false;

    // A black frame of this size (Y 16, U and V 128).
    static std::shared_ptr<VideoFrame> black(int width, int height);
};

using VideoFramePtr = std::shared_ptr<const VideoFrame>;

}  // namespace velto_media
