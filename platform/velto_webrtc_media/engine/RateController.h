// The sending rate of one video stream from what its receivers report lost
// (RTCP report blocks), as the loss-based half of Google's congestion control
// does it: above 10% loss the bitrate falls by half the loss (x (1 - loss / 2),
// at most once per report interval), below 2% it climbs back by 8% a second,
// in between it holds; never above the stream's maximum (SetMediaBitrate's
// value), never below a floor.
//
// Through the forwarding unit every receiver of the stream reports on it: the
// worst of the receivers heard from lately decides, as one encoding serves
// them all. A screen keeps its pictures sharp: its frame rate falls with the
// bitrate, so that each picture keeps its bits, down to a few pictures a
// second, and only then does the picture lose quality.
//
// Pure and thread-compatible.
#pragma once

#include <cstdint>
#include <map>

namespace velto_media {

class RateController {
public:
    struct Target {
        int kbps = 0;
        int fps = 0;
        bool operator==(const Target& other) const { return kbps == other.kbps && fps == other.fps; }
    };

    static constexpr int kFloorKbps = 50;
    static constexpr int kScreenFloorFps = 2;

    RateController(int maxKbps, int fps, bool screen);

    // The most the stream may send: a stream not held back by loss follows it
    // up or down, one held back stays below it.
    void setMaximum(int kbps);
    // The frame rate asked for (a screen's target falls below it under loss).
    void setFrameRate(int fps);
    // One receiver's report block on the stream: `fractionLost` in 256ths, as
    // RTCP carries it, from the receiver `reporter` at `nowMs`.
    void onReport(uint32_t reporter, uint8_t fractionLost, int64_t nowMs);

    Target target() const;

private:
    // The worst loss of the receivers heard from lately, in 256ths.
    int worstLoss(int64_t nowMs);

    const bool screen_;
    int maxKbps_;
    int fps_;
    double kbps_;
    std::map<uint32_t, std::pair<uint8_t, int64_t>> reports_;  // by receiver: loss and when
    int64_t lastReportMs_ = -1;
    int64_t lastDecreaseMs_ = -1;
};

// Which of a source's pictures go out when fewer a second may than it gives:
// spread evenly, `sending` of every `source`.
class PictureThinner {
public:
    bool next(int sending, int source);

private:
    double credit_ = 1;  // a picture goes once it reaches 1
};

}  // namespace velto_media
