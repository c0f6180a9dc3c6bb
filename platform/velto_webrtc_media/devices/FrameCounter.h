// A frame number written into the picture in a form that survives lossy
// video coding and scaling, so that whoever receives the synthetic camera's
// frames (tests, latency measurements) can tell which frame it got.
//
// The 32 bits are black and white blocks along the bottom edge, most
// significant first, at least 16 pixels wide where the frame is wide enough:
// one row of 32 on frames at least 512 wide, else two rows of 16, else four of
// 8. Below the bits lie their complements, so that a picture without a
// number (a black frame, a camera) is told apart from frame 0. The layout
// follows from the frame's size alone.
#pragma once

#include <cstdint>

#include "VideoFrame.h"

namespace velto_media {

// Writes `counter` into the frame's bottom rows; frames too small for the blocks are left as they are.
void writeFrameCounter(VideoFrame& frame, uint32_t counter);

// Reads the number back; false when the frame carries none (or too damaged a one).
bool readFrameCounter(const VideoFrame& frame, uint32_t* counter);

// Height in pixels of the band writeFrameCounter covers at the bottom of a frame of this size (0: none).
int frameCounterBandHeight(int width, int height);

}  // namespace velto_media
