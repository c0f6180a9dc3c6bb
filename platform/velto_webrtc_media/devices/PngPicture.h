// Reads a PNG file into an I420 frame (libpng, libyuv).
#pragma once

#include <memory>
#include <string>

#include "VideoFrame.h"

namespace velto_media {

// Pictures larger than this on either side are refused rather than held in memory.
constexpr int kMaxPictureSide = 4096;

// The picture of a PNG file: transparent parts laid over black, an odd last
// row or column left out so that the size is even. Null when the file is no
// readable PNG, is smaller than 2x2 or larger than kMaxPictureSide.
std::shared_ptr<VideoFrame> readPngPicture(const std::string& path);

}  // namespace velto_media
