#include "QOpenGLRender.h"
#include "RenderTestSupport.h"

#include <cstring>
#include <thread>
#include <vector>

using namespace render_test;

namespace {

struct Yuv {
    unsigned char y, u, v;
};

// BT.601 limited range.
constexpr Yuv kYuvRed{81, 90, 240};
constexpr Yuv kYuvGreen{145, 54, 34};
constexpr Yuv kYuvBlue{41, 240, 110};
constexpr Yuv kYuvWhite{235, 128, 128};

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

// One contiguous I420 frame (Y, U, V planes, chroma rounded up): the upper half
// of the rows in one colour, the lower half in another.
struct I420Frame {
    I420Frame(int w, int h, Yuv top, Yuv bottom)
        : w(w), h(h), cw((w + 1) / 2), ch((h + 1) / 2), bytes(std::size_t(w) * h + 2 * std::size_t(cw) * ch)
    {
        unsigned char* y = bytes.data();
        unsigned char* u = y + std::size_t(w) * h;
        unsigned char* v = u + std::size_t(cw) * ch;
        for (int row = 0; row < h; ++row)
            std::memset(y + std::size_t(row) * w, 2 * row < h ? top.y : bottom.y, w);
        for (int row = 0; row < ch; ++row) {
            const Yuv& c = 4 * row < h ? top : bottom;
            std::memset(u + std::size_t(row) * cw, c.u, cw);
            std::memset(v + std::size_t(row) * cw, c.v, cw);
        }
    }
    const unsigned char* y() const { return bytes.data(); }
    const unsigned char* u() const { return y() + std::size_t(w) * h; }
    const unsigned char* v() const { return u() + std::size_t(cw) * ch; }

    int w, h, cw, ch;
    std::vector<unsigned char> bytes;
};

enum class Path { Planar, PackedInPlace, PackedCopy };

void deliver(QGLRenderInterface& render, Path path, const I420Frame& frame)
{
    std::thread producer([&] {
        switch (path) {
        case Path::Planar:
            render.PlayOneFrame(frame.y(), frame.u(), frame.v(), frame.w, frame.h);
            break;
        case Path::PackedInPlace: {
            render.lockBuffer();
            unsigned char* buffer = render.getDataBuffer(frame.w, frame.h);
            if (buffer)
                std::memcpy(buffer, frame.bytes.data(), frame.bytes.size());
            render.unlockBuffer();
            render.PlayOneFrame(buffer, frame.w, frame.h);
            break;
        }
        case Path::PackedCopy:
            render.PlayOneFrame(frame.bytes.data(), frame.w, frame.h);
            break;
        }
    });
    producer.join();
}

struct YuvStep {
    const char* name;
    Path path;
    int w, h;
    Yuv top, bottom;
    QColor topRgb, bottomRgb;
};

TEST(YuvRender, ShowsEachOfConsecutivePlanarFramesInItsColours)
{
    const YuvStep steps[] = {
        {"odd width", Path::Planar, 7, 8, kYuvRed, kYuvBlue, kRed, kBlue},
        {"next frame, same size", Path::Planar, 7, 8, kYuvGreen, kYuvWhite, kGreen, kWhite},
        {"written in place", Path::PackedInPlace, 640, 360, kYuvBlue, kYuvRed, kBlue, kRed},
        {"larger than 1080p, copied", Path::PackedCopy, 2560, 1440, kYuvWhite, kYuvGreen, kWhite, kGreen},
        {"odd width and height", Path::Planar, 5, 7, kYuvRed, kYuvGreen, kRed, kGreen},
    };
    auto holder = shownHolder(160, 160);
    auto* render = new QOpenGLRender(holder.get());
    drainEvents();

    for (const YuvStep& step : steps) {
        SCOPED_TRACE(step.name);
        deliver(*render, step.path, I420Frame(step.w, step.h, step.top, step.bottom));
        drainEvents();
        const QImage picture = grab(*render);
        EXPECT_TRUE(colourNear(colourAt(picture, 0.5, 0.12), step.topRgb, 6));
        EXPECT_TRUE(colourNear(colourAt(picture, 0.5, 0.88), step.bottomRgb, 6));
        EXPECT_TRUE(colourNear(colourAt(picture, 0.03, 0.03), step.topRgb, 6)) << "fills the widget";
        EXPECT_TRUE(colourNear(colourAt(picture, 0.97, 0.97), step.bottomRgb, 6)) << "fills the widget";
    }

    render->Clean();
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), QColor(0, 0, 0)));
}

TEST(YuvRender, ShowsItsFrameAgainInAnotherWindow)
{
    auto otherWindow = shownHolder(200, 200);  // outlives holder, which becomes its child
    auto holder = shownHolder(96, 96);
    auto* render = new QOpenGLRender(holder.get());
    drainEvents();
    deliver(*render, Path::Planar, I420Frame(8, 8, kYuvGreen, kYuvBlue));
    drainEvents();

    // Another top-level window means another GL context: program and textures are made anew.
    holder->setParent(otherWindow.get());
    holder->show();
    drainEvents();
    const QImage picture = grab(*render);
    EXPECT_TRUE(colourNear(colourAt(picture, 0.5, 0.12), kGreen, 6));
    EXPECT_TRUE(colourNear(colourAt(picture, 0.5, 0.88), kBlue, 6));
}

TEST(YuvRender, RefusesFramesItCannotHold)
{
    auto holder = shownHolder(64, 64);
    auto* render = new QOpenGLRender(holder.get());
    const I420Frame frame(4, 4, kYuvRed, kYuvRed);

    render->lockBuffer();
    EXPECT_EQ(nullptr, render->getDataBuffer(0, 4));
    EXPECT_EQ(nullptr, render->getDataBuffer(4, 16385));
    render->unlockBuffer();
    render->PlayOneFrame(nullptr, frame.u(), frame.v(), 4, 4);
    render->PlayOneFrame(frame.y(), frame.u(), frame.v(), -4, 4);
    render->PlayOneFrame(frame.bytes.data(), 4, -4);
    drainEvents();
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), QColor(0, 0, 0)));
}

}  // namespace
