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

// One contiguous I420 frame (Y, U, V planes, chroma rounded up): the top-left
// quadrant in one colour, the rest in another, so a flip on either axis shows.
struct I420Frame {
    I420Frame(int w, int h, Yuv corner, Yuv rest)
        : w(w), h(h), cw((w + 1) / 2), ch((h + 1) / 2), bytes(std::size_t(w) * h + 2 * std::size_t(cw) * ch)
    {
        unsigned char* y = bytes.data();
        unsigned char* u = y + std::size_t(w) * h;
        unsigned char* v = u + std::size_t(cw) * ch;
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                y[std::size_t(row) * w + col] = (2 * row < h && 2 * col < w ? corner : rest).y;
        // A chroma sample covers two luma rows and columns.
        for (int row = 0; row < ch; ++row) {
            for (int col = 0; col < cw; ++col) {
                const Yuv& c = 4 * row < h && 4 * col < w ? corner : rest;
                u[std::size_t(row) * cw + col] = c.u;
                v[std::size_t(row) * cw + col] = c.v;
            }
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

// Samples away from the quadrants' borders, and near the corners (a viewport
// short of the widget shows there).
void expectQuadrants(const QImage& picture, const QColor& corner, const QColor& rest)
{
    const struct {
        double fx, fy;
        const QColor& colour;
    } samples[] = {{0.03, 0.03, corner}, {0.12, 0.12, corner}, {0.88, 0.12, rest}, {0.12, 0.88, rest},
                   {0.97, 0.97, rest}};
    for (const auto& s : samples)
        EXPECT_TRUE(colourNear(colourAt(picture, s.fx, s.fy), s.colour, 6)) << "at " << s.fx << "," << s.fy;
}

struct YuvStep {
    const char* name;
    Path path;
    int w, h;
    Yuv corner, rest;
    QColor cornerRgb, restRgb;
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
        deliver(*render, step.path, I420Frame(step.w, step.h, step.corner, step.rest));
        drainEvents();
        expectQuadrants(grab(*render), step.cornerRgb, step.restRgb);
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
    expectQuadrants(grab(*render), kGreen, kBlue);

    // The renderer may go with a repaint request still queued for it.
    deliver(*render, Path::Planar, I420Frame(8, 8, kYuvRed, kYuvRed));
    delete render;
    drainEvents();
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
