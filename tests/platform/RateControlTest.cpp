// The sending rate of a video stream under what its receivers report lost:
// sequences of report blocks and the bitrate and frame rate after each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RateController.h"

namespace {

using velto_media::PictureThinner;
using velto_media::RateController;

// Loss as RTCP carries it, in 256ths.
constexpr int kNone = 0;
constexpr int kFivePercent = 13;
constexpr int kTwentyPercent = 51;
constexpr int kThirtyPercent = 77;
constexpr int kAll = 255;

struct Step {
    uint32_t reporter;
    int loss;
    int64_t afterMs;  // since the step before
    int times;        // reports, `afterMs` apart
    int kbps;         // the target after the last of them
    int fps;
};

struct Case {
    const char* name;
    int maxKbps;
    int fps;
    bool screen;
    std::vector<Step> steps;
};

TEST(RateControl, LossLowersTheBitrateAndItsAbsenceRaisesItBack)
{
    const Case cases[] = {
        {"a camera falls by half the loss above 10%, holds up to it, climbs 8% a second below 2%",
         1000, 15, false,
         {{1, kTwentyPercent, 1000, 1, 900, 15},
          {1, kTwentyPercent, 1000, 1, 811, 15},
          {1, kFivePercent, 1000, 3, 811, 15},
          {1, kNone, 1000, 1, 876, 15},
          {1, kNone, 1000, 1, 946, 15},
          {1, kNone, 1000, 1, 1000, 15},  // not past the maximum
          {1, kNone, 1000, 5, 1000, 15}}},
        {"one fall per report interval, however many reports come",
         1000, 15, false,
         {{1, kTwentyPercent, 1000, 1, 900, 15},
          {2, kTwentyPercent, 300, 1, 900, 15},
          {1, kTwentyPercent, 300, 1, 900, 15},
          {2, kTwentyPercent, 400, 1, 811, 15}}},
        {"the climb goes by time, not by the number of receivers reporting",
         1000, 15, false,
         {{1, kAll, 1000, 1, 502, 15},
          {1, kNone, 1000, 1, 542, 15},
          {2, kNone, 500, 1, 563, 15},
          {1, kNone, 500, 1, 585, 15}}},
        {"never below the floor",
         1000, 15, false,
         {{1, kAll, 1000, 1, 502, 15},
          {1, kAll, 1000, 3, 63, 15},
          {1, kAll, 1000, 1, 50, 15},
          {1, kAll, 1000, 3, 50, 15}}},
        {"the worst receiver decides until it falls silent",
         1000, 15, false,
         {{1, kNone, 1000, 1, 1000, 15},
          {2, kTwentyPercent, 100, 1, 900, 15},
          {1, kNone, 900, 1, 811, 15},
          {1, kNone, 2000, 1, 876, 15}}},
        {"a screen gives up pictures before sharpness, and takes them back as it climbs",
         1500, 15, true,
         {{1, kThirtyPercent, 1000, 1, 1274, 13},
          {1, kThirtyPercent, 1000, 6, 479, 5},
          {1, kThirtyPercent, 1000, 4, 250, 2},
          {1, kThirtyPercent, 1000, 2, 180, 2},  // from here on each picture loses quality
          {1, kNone, 1000, 2, 210, 2},
          {1, kNone, 1000, 20, 980, 10}}},
        {"a screen asked for fewer pictures than the floor keeps them",
         1500, 1, true,
         {{1, kThirtyPercent, 1000, 5, 664, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RateController rate(c.maxKbps, c.fps, c.screen);
        EXPECT_EQ((RateController::Target{c.maxKbps, c.fps}), rate.target());
        int64_t now = 0;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            for (int n = 0; n < step.times; ++n) {
                now += step.afterMs;
                rate.onReport(step.reporter, uint8_t(step.loss), now);
            }
            EXPECT_EQ((RateController::Target{step.kbps, step.fps}), rate.target()) << "step " << i;
        }
    }
}

TEST(RateControl, TheMaximumMovesAStreamNotHeldBackAndCapsOneThatIs)
{
    RateController free(800, 15, false);
    free.setMaximum(300);
    EXPECT_EQ(300, free.target().kbps);
    free.setMaximum(1200);
    EXPECT_EQ(1200, free.target().kbps);

    RateController held(1000, 15, false);
    held.onReport(1, kTwentyPercent, 0);
    ASSERT_EQ(900, held.target().kbps);
    held.setMaximum(2000);
    EXPECT_EQ(900, held.target().kbps) << "loss still holds it back";
    held.setMaximum(500);
    EXPECT_EQ(500, held.target().kbps);
    held.onReport(1, kNone, 1000);
    EXPECT_EQ(500, held.target().kbps) << "back at its maximum";
    held.setMaximum(700);
    EXPECT_EQ(700, held.target().kbps);
}

TEST(RateControl, FewerPicturesGoOutEvenlySpread)
{
    struct Case {
        int sending, source;
        const char* pattern;  // of the source's pictures, which go ('x') and which not ('.')
    };
    const Case cases[] = {
        {15, 15, "xxxxxxxxxxxxxxx"},
        {30, 15, "xxxxxxxxxxxxxxx"},
        {10, 15, "xx.xx.xx.xx.xx."},
        {5, 15, "x..x..x..x..x.."},
        {2, 15, "x......x......."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sending) + " of " + std::to_string(c.source));
        PictureThinner thinner;
        std::string pattern;
        for (size_t i = 0; i < std::string(c.pattern).size(); ++i)
            pattern += thinner.next(c.sending, c.source) ? 'x' : '.';
        EXPECT_EQ(c.pattern, pattern);
    }
}

}  // namespace
