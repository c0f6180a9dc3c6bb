// VP8 encoder for real-time sending (libvpx): constant bitrate, no lag,
// error resilient, fast (cpu-used -6; a screen at libvpx's fastest real-time
// speed, which keeps a still detailed picture as sharp and costs a third
// less). The first frame and every frame after a keyframe request or a size
// change is a keyframe.
//
// Thread-compatible: one thread encodes; setBitrate, setFrameRate and
// requestKeyframe may come from others.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "VideoFrame.h"

namespace velto_media {

struct EncodedFrame {
    std::vector<uint8_t> data;
    bool keyframe = false;
};

class Vp8Encoder {
public:
    // `screen`: tuned for screen content (sharp text, few changes).
    explicit Vp8Encoder(bool screen = false);
    ~Vp8Encoder();
    Vp8Encoder(const Vp8Encoder&) = delete;
    Vp8Encoder& operator=(const Vp8Encoder&) = delete;

    // Encodes `frame` with the presentation time `timestamp90k` (90 kHz).
    // False when libvpx fails or drops the frame; `out` is then empty.
    bool encode(const VideoFrame& frame, uint32_t timestamp90k, EncodedFrame* out);

    void setBitrate(int kbps);    // applies from the next frame
    void setFrameRate(int fps);
    void requestKeyframe() { keyframeWanted_ = true; }
    // The next frame will be a keyframe.
    bool keyframeWanted() const { return keyframeWanted_ || !codec_; }
    // The quantizer of the last frame (0 finest .. 63 coarsest), 63 before the first.
    int lastQuantizer() const { return lastQuantizer_; }

private:
    struct Codec;
    bool configure(int width, int height);

    const bool screen_;
    std::unique_ptr<Codec> codec_;
    std::atomic<int> bitrateKbps_{512};
    std::atomic<int> frameRate_{15};
    std::atomic<bool> keyframeWanted_{true};
    int configuredBitrate_ = 0;
    int lastQuantizer_ = 63;
    int64_t pts_ = 0;
};

}  // namespace velto_media
