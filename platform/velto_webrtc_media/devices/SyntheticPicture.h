// The synthetic camera's picture: colour bands scrolling sideways, a square
// bouncing across them, the user's name and the frame number in a caption,
// and the frame number again in machine-readable blocks (FrameCounter.h)
// along the bottom edge.
//
// The picture depends on the name, the size and the frame number only. The
// background is drawn once per size and each frame copies a window of it, so
// a frame costs about one copy of its planes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VideoFrame.h"

namespace velto_media {

class SyntheticPicture {
public:
    SyntheticPicture(std::string userName, int width, int height);  // sizes made even, at least 2

    int width() const { return width_; }
    int height() const { return height_; }
    std::shared_ptr<VideoFrame> draw(uint32_t counter) const;

private:
    void drawBackground(VideoFrame& frame, uint32_t motion) const;
    void drawSquare(VideoFrame& frame, uint32_t motion) const;
    void drawCaption(VideoFrame& frame, uint32_t counter) const;

    std::string userName_;
    int width_;
    int height_;
    // The background twice side by side (period: the frame's width), one array a plane.
    std::vector<uint8_t> bandY_, bandU_, bandV_;
};

}  // namespace velto_media
