// The screen and window source on a real X server (Xvfb, no window manager):
// the pixels of coloured windows made here come back at their place on the
// screen and as the window's own picture, with shared memory and without; a
// picture like the one before is marked so.
#include <gtest/gtest.h>

#include <libyuv/convert_argb.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

#include "MediaDevicesTestSupport.h"
#include "VideoSource.h"
#include "XcbGrabber.h"

using namespace velto_media;
using namespace media_devices_test;

namespace {

struct Colour {
    int r, g, b;
};
constexpr Colour kRed{224, 48, 32};
constexpr Colour kBlue{32, 64, 208};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kLeftOut{48, 48, 48};  // the grabber's plain fill

uint32_t pixelOf(Colour c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b); }

// Plain windows in solid colours, placed where asked (override-redirect: no window manager moves them).
// Made first in every test: while its connection is open the X server does not reset, which it does
// when its last client leaves (the test before), dropping whoever connects meanwhile.
class Windows {
public:
    Windows()
    {
        for (int attempt = 0; attempt < 40; ++attempt) {
            connection_ = xcb_connect(nullptr, nullptr);
            if (!xcb_connection_has_error(connection_))
                break;
            xcb_disconnect(connection_);
            connection_ = nullptr;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (connection_)
            screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    }
    ~Windows()
    {
        if (connection_)
            xcb_disconnect(connection_);
    }
    bool ok() const { return screen_ != nullptr; }
    int screenWidth() const { return screen_->width_in_pixels; }
    int screenHeight() const { return screen_->height_in_pixels; }

    // On the root, or inside `parent` (as a window manager's frame holds a window).
    xcb_window_t show(int x, int y, int width, int height, Colour colour, xcb_window_t parent = 0)
    {
        xcb_window_t window = xcb_generate_id(connection_);
        const uint32_t values[] = {pixelOf(colour), 1};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, parent ? parent : screen_->root, int16_t(x),
                          int16_t(y),
                          uint16_t(width), uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(connection_, window);
        sync();
        return window;
    }
    void destroy(xcb_window_t window)
    {
        xcb_destroy_window(connection_, window);
        sync();
    }
    void move(xcb_window_t window, int x, int y)
    {
        const uint32_t place[] = {uint32_t(x), uint32_t(y)};
        xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
        sync();
    }
    void unmap(xcb_window_t window)
    {
        xcb_unmap_window(connection_, window);
        sync();
    }

private:
    // A round trip: every request before it has been carried out, the background painted.
    void sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
};

// The frame in 8-bit B, G, R, A, to read colours at places.
class Pixels {
public:
    explicit Pixels(const VideoFrame& frame) : width_(frame.width), argb_(size_t(frame.width) * frame.height * 4)
    {
        libyuv::I420ToARGB(frame.y.data(), frame.width, frame.u.data(), frame.width / 2, frame.v.data(),
                           frame.width / 2, argb_.data(), frame.width * 4, frame.width, frame.height);
    }
    bool near(int x, int y, Colour c, int tolerance = 12) const
    {
        const uint8_t* p = &argb_[(size_t(y) * width_ + x) * 4];
        return std::abs(p[2] - c.r) <= tolerance && std::abs(p[1] - c.g) <= tolerance &&
               std::abs(p[0] - c.b) <= tolerance;
    }

private:
    int width_;
    std::vector<uint8_t> argb_;
};

class ScopedDisplay {
public:
    explicit ScopedDisplay(const char* display)
    {
        if (const char* old = std::getenv("DISPLAY"))
            old_ = old, had_ = true;
        setenv("DISPLAY", display, 1);
    }
    ~ScopedDisplay()
    {
        if (had_)
            setenv("DISPLAY", old_.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    std::string old_;
    bool had_ = false;
};

}  // namespace

TEST(ScreenSource, ReadsWindowsAtTheirPlaceOnTheScreenAndAsTheirOwnPicture)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    const int redX = 300, redY = 140, redWidth = 240, redHeight = 160;
    windows.show(redX, redY, redWidth, redHeight, kRed);
    xcb_window_t blue = windows.show(700, 500, 201, 121, kBlue);  // odd: the picture loses a column and a row

    for (bool shm : {true, false}) {
        SCOPED_TRACE(shm ? "shared memory" : "GetImage");
        auto screen = XcbGrabber::open(true, 0, shm);
        ASSERT_TRUE(screen);
        auto frame = screen->grab();
        ASSERT_TRUE(frame);
        EXPECT_EQ(screen->usesShm(), shm);
        EXPECT_EQ(frame->width, windows.screenWidth() & ~1);
        EXPECT_EQ(frame->height, windows.screenHeight() & ~1);
        Pixels pixels(*frame);
        for (auto [x, y] : {std::pair{redX + 4, redY + 4}, {redX + redWidth / 2, redY + redHeight / 2},
                            {redX + redWidth - 5, redY + redHeight - 5}})
            EXPECT_TRUE(pixels.near(x, y, kRed)) << x << "," << y;
        for (auto [x, y] : {std::pair{redX - 6, redY + 50}, {redX + 50, redY - 6}, {redX + redWidth + 5, redY + 50},
                            {redX + 50, redY + redHeight + 5}})
            EXPECT_FALSE(pixels.near(x, y, kRed, 40)) << x << "," << y;
        EXPECT_TRUE(pixels.near(750, 550, kBlue));

        auto window = XcbGrabber::open(false, blue, shm);
        ASSERT_TRUE(window);
        auto picture = window->grab();
        ASSERT_TRUE(picture);
        EXPECT_EQ(window->usesShm(), shm);
        EXPECT_EQ(picture->width, 200);
        EXPECT_EQ(picture->height, 120);
        Pixels own(*picture);
        for (auto [x, y] : {std::pair{0, 0}, {100, 60}, {199, 119}})
            EXPECT_TRUE(own.near(x, y, kBlue)) << x << "," << y;
    }
}

TEST(ScreenSource, AStillScreenIsMarkedUnchangedAndAChangedOneComesWhole)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    const auto samePixels = [](const VideoFrame& a, const VideoFrame& b) {
        return a.width == b.width && a.height == b.height && a.y == b.y && a.u == b.u && a.v == b.v;
    };
    for (bool shm : {true, false}) {
        SCOPED_TRACE(shm ? "shared memory" : "GetImage");
        auto screen = XcbGrabber::open(true, 0, shm);
        ASSERT_TRUE(screen);
        auto first = screen->grab();
        auto again = screen->grab();
        ASSERT_TRUE(first && again);
        EXPECT_FALSE(first->unchanged);
        EXPECT_TRUE(again->unchanged);
        EXPECT_TRUE(samePixels(*first, *again));

        // A window from an odd row to an odd row: the rows it covers are read anew, and the
        // picture is the one a fresh read of the whole screen gives.
        const xcb_window_t red = windows.show(300, 141, 240, 160, kRed);
        auto changed = screen->grab();
        ASSERT_TRUE(changed);
        EXPECT_FALSE(changed->unchanged);
        EXPECT_TRUE(Pixels(*changed).near(400, 200, kRed));
        auto whole = XcbGrabber::open(true, 0, shm)->grab();
        ASSERT_TRUE(whole);
        EXPECT_TRUE(samePixels(*changed, *whole));

        windows.destroy(red);
        auto back = screen->grab();
        ASSERT_TRUE(back);
        EXPECT_FALSE(back->unchanged);
        EXPECT_TRUE(samePixels(*back, *first));
        EXPECT_TRUE(screen->grab()->unchanged);
    }
}

TEST(ScreenSource, AWholeScreenShowsTheLeftOutWindowAsAPlainFillWhereverItIs)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    const auto samePixels = [](const VideoFrame& a, const VideoFrame& b) {
        return a.width == b.width && a.height == b.height && a.y == b.y && a.u == b.u && a.v == b.v;
    };
    const xcb_window_t blue = windows.show(700, 500, 200, 120, kBlue);
    for (bool shm : {true, false}) {
        SCOPED_TRACE(shm ? "shared memory" : "GetImage");
        // From an odd row, like a meeting window below a title bar.
        const xcb_window_t red = windows.show(300, 141, 240, 160, kRed);
        auto screen = XcbGrabber::open(true, 0, shm);
        ASSERT_TRUE(screen);
        screen->leaveOut(red);
        // A fresh grabber's picture: what the changed rows of a running one must add up to.
        const auto fresh = [&] {
            auto grabber = XcbGrabber::open(true, 0, shm);
            grabber->leaveOut(red);
            return grabber->grab();
        };

        auto frame = screen->grab();
        ASSERT_TRUE(frame);
        Pixels first(*frame);
        for (auto [x, y] : {std::pair{300, 142}, {420, 220}, {539, 299}})
            EXPECT_TRUE(first.near(x, y, kLeftOut)) << x << "," << y;
        for (auto [x, y] : {std::pair{294, 220}, {420, 134}, {546, 220}, {420, 308}})
            EXPECT_TRUE(first.near(x, y, kBlack)) << x << "," << y;
        EXPECT_TRUE(first.near(750, 550, kBlue));

        // Moved over the blue window: followed, and the place it left is the screen's again.
        windows.move(red, 640, 451);
        auto moved = screen->grab();
        ASSERT_TRUE(moved);
        EXPECT_FALSE(moved->unchanged);
        Pixels there(*moved);
        EXPECT_TRUE(there.near(420, 220, kBlack));
        EXPECT_TRUE(there.near(750, 550, kLeftOut));
        EXPECT_TRUE(there.near(890, 600, kBlue));
        EXPECT_TRUE(samePixels(*moved, *fresh()));
        EXPECT_TRUE(screen->grab()->unchanged);

        // Partly off the screen: the part on it.
        windows.move(red, windows.screenWidth() - 100, -60);
        auto edge = screen->grab();
        ASSERT_TRUE(edge);
        EXPECT_TRUE(Pixels(*edge).near(windows.screenWidth() - 50, 50, kLeftOut));
        EXPECT_TRUE(Pixels(*edge).near(10, 50, kBlack)) << "the fill ran on into the next row";
        EXPECT_TRUE(Pixels(*edge).near(750, 550, kBlue));
        EXPECT_TRUE(samePixels(*edge, *fresh()));

        // Unmapped or gone, it hides nothing.
        windows.move(red, 650, 460);
        windows.unmap(red);
        auto unmapped = screen->grab();
        ASSERT_TRUE(unmapped);
        EXPECT_TRUE(Pixels(*unmapped).near(750, 550, kBlue));
        windows.destroy(red);
        auto gone = screen->grab();
        ASSERT_TRUE(gone);
        EXPECT_TRUE(Pixels(*gone).near(750, 550, kBlue));

        // In a window manager's frame, its title bar included: the whole frame is filled.
        const xcb_window_t wmFrame = windows.show(300, 120, 240, 190, kBlue);
        const xcb_window_t framed = windows.show(0, 30, 240, 160, kRed, wmFrame);
        screen->leaveOut(framed);
        auto inFrame = screen->grab();
        ASSERT_TRUE(inFrame);
        for (auto [x, y] : {std::pair{420, 130}, {420, 220}})
            EXPECT_TRUE(Pixels(*inFrame).near(x, y, kLeftOut)) << x << "," << y;
        windows.destroy(wmFrame);
    }
    windows.destroy(blue);
}

TEST(ScreenSource, SendsAWindowAtTheAskedRateUntilItIsGone)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    xcb_window_t window = windows.show(100, 100, 160, 90, kBlue);
    auto source = makeScreenSource(false, window, 0, 20);
    ASSERT_TRUE(source);
    FrameCollector collector;
    ASSERT_EQ(source->start(collector.sink()), 0);
    constexpr size_t kCount = 12;
    auto frames = collector.waitFor(kCount);
    ASSERT_EQ(frames.size(), kCount);
    EXPECT_EQ(frames[2]->width, 160);
    EXPECT_EQ(frames[2]->height, 90);
    // A late frame is made up for by at most two periods: frame j comes at
    // least j - i - 2 periods after frame i, which a source 25% too fast
    // misses over 11 periods.
    EXPECT_GE(frames[kCount - 1]->captureUs - frames[0]->captureUs, int64_t(kCount - 1 - 2) * 50000);
    EXPECT_TRUE(Pixels(*frames[2]).near(80, 45, kBlue));

    windows.destroy(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // a frame in flight may still come
    size_t settled = collector.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(collector.count(), settled);
    source->stop();
}

TEST(ScreenSource, StopWaitsForTheSinkAndNothingIsDeliveredAfterIt)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    auto source = makeScreenSource(true, 0, 0, 30);
    ASSERT_TRUE(source);
    CallWatch watch;
    ASSERT_EQ(source->start([&watch](VideoFramePtr) {
        watch.enter();
        watch.leave();
    }), 0);
    ASSERT_TRUE(watch.waitUntilInside());
    source->stop();
    EXPECT_FALSE(watch.inside);
    int calls = watch.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(watch.calls, calls);
}

TEST(ScreenSource, IsNullWithoutADisplayOrWithoutTheScreenOrWindow)
{
    Windows windows;
    ASSERT_TRUE(windows.ok());
    EXPECT_TRUE(makeScreenSource(true, 0, 0, 5));
    EXPECT_FALSE(makeScreenSource(true, 1, 0, 5));
    EXPECT_FALSE(makeScreenSource(true, -1, 0, 5));
    EXPECT_FALSE(makeScreenSource(false, 0, 0, 5));
    EXPECT_FALSE(makeScreenSource(false, 0x7ffffff0, 0, 5));
    EXPECT_FALSE(makeScreenSource(false, int64_t(1) << 40, 0, 5));

    xcb_window_t gone = windows.show(10, 10, 50, 50, kRed);
    auto grabber = XcbGrabber::open(false, gone, true);
    ASSERT_TRUE(grabber);
    windows.destroy(gone);
    EXPECT_FALSE(grabber->grab());

    ScopedDisplay nowhere(":987");
    EXPECT_FALSE(makeScreenSource(true, 0, 0, 5));
}
