#include "RenderTestSupport.h"

#include <QEvent>
#include <QtTest/QTest>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPointer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <thread>
#include <vector>

using namespace render_test;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

constexpr Argb kOpaqueRed{0xFF, 0xFF, 0x00, 0x00};
constexpr Argb kOpaqueGreen{0xFF, 0x00, 0xFF, 0x00};
constexpr Argb kOpaqueBlue{0xFF, 0x00, 0x00, 0xFF};

struct Sample {
    double fx, fy;
    QColor colour;
};

// Near the corners (a viewport short of the widget shows there) and at the
// centres of the quadrants.
const std::vector<Sample> kQuadrantSamples = {
    {0.03, 0.03, kRed},   {0.25, 0.25, kRed},   {0.97, 0.03, kGreen}, {0.75, 0.25, kGreen},
    {0.03, 0.97, kBlue},  {0.25, 0.75, kBlue},  {0.97, 0.97, kWhite}, {0.75, 0.75, kWhite},
};

std::vector<Sample> everywhere(const QColor& colour)
{
    return {{0.03, 0.03, colour}, {0.97, 0.03, colour}, {0.5, 0.5, colour}, {0.03, 0.97, colour}, {0.97, 0.97, colour}};
}

struct PictureCase {
    const char* name;
    int w, h;
    FramePattern pattern;
    std::vector<Sample> samples;

    friend void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }
};

class RgbPicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(RgbPicture, ShowsTheFrameStretchedOverTheWidgetFirstRowOnTop)
{
    const PictureCase& c = GetParam();
    auto holder = shownHolder(320, 180);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());
    drainEvents();

    ASSERT_TRUE(deliverFrameFromThread(*render, c.w, c.h, c.pattern));
    drainEvents();
    const QImage picture = grab(*render);
    for (const Sample& s : c.samples)
        EXPECT_TRUE(colourNear(colourAt(picture, s.fx, s.fy), s.colour)) << "at " << s.fx << "," << s.fy;
}

INSTANTIATE_TEST_SUITE_P(
    , RgbPicture,
    ::testing::Values(
        // Bytes in memory: alpha, red, green, blue; alpha is not shown.
        PictureCase{"OpaqueBluePixel", 1, 1, solid({0xFF, 0x00, 0x00, 0xFF}), everywhere(kBlue)},
        PictureCase{"RedPixelWithZeroAlpha", 1, 1, solid({0x00, 0xFF, 0x00, 0x00}), everywhere(kRed)},
        PictureCase{"Quadrants2x2", 2, 2, quadrants, kQuadrantSamples},
        PictureCase{"Quadrants640x360", 640, 360, quadrants, kQuadrantSamples},
        PictureCase{"Quadrants1920x1080", 1920, 1080, quadrants, kQuadrantSamples}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RgbRender, FrameBufferIsReusedForTheSameSizeAndReplacedForAnother)
{
    auto holder = shownHolder(160, 90);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());

    render->lockBuffer();
    unsigned char* first = render->getDataBuffer(64, 36);
    ASSERT_NE(nullptr, first);
    std::fill_n(first, 64 * 36 * 4, 0xAB);
    EXPECT_EQ(first, render->getDataBuffer(64, 36));

    unsigned char* larger = render->getDataBuffer(128, 72);
    ASSERT_NE(nullptr, larger);
    EXPECT_NE(first, larger);
    EXPECT_TRUE(std::all_of(larger, larger + 128 * 72 * 4, [](unsigned char b) { return b == 0; }))
        << "a new buffer starts black";
    std::fill_n(larger, 128 * 72 * 4, 0xCD);

    const std::pair<int, int> refused[] = {{0, 10}, {10, 0}, {-1, 10}, {10, -4}, {16385, 1}, {1, 16385}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}};
    for (const auto& [w, h] : refused)
        EXPECT_EQ(nullptr, render->getDataBuffer(w, h)) << w << "x" << h;
    EXPECT_EQ(larger, render->getDataBuffer(128, 72)) << "a refused size leaves the buffer alone";
    render->unlockBuffer();

    // A refused frame leaves the picture as it was.
    ASSERT_TRUE(deliverFrameFromThread(*render, 4, 4, solid(kOpaqueGreen)));
    EXPECT_FALSE(deliverFrameFromThread(*render, 0, 4, solid(kOpaqueRed)));
    drainEvents();
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), kGreen));
}

TEST(RgbRender, CleanAndReSizeNeedNoContextAndCleanBlanksOnePaint)
{
    auto holder = std::make_unique<QWidget>();
    holder->resize(160, 90);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());
    render->Clean();  // not shown yet: there is no GL context
    render->ReSize(10, 20, 320, 180);
    int w = 0;
    int h = 0;
    render->getWinSize(&w, &h);
    EXPECT_EQ(320, w);
    EXPECT_EQ(180, h);

    holder->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(holder.get()));
    drainEvents();
    ASSERT_TRUE(deliverFrameFromThread(*render, 4, 4, solid(kOpaqueRed)));
    drainEvents();
    render->Clean();
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), kBlack));
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), kRed)) << "the next paint shows the frame again";
}

class EventCounter : public QObject {
public:
    EventCounter(QWidget* widget, QEvent::Type type) : m_type(type) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    const QEvent::Type m_type;
};

TEST(RgbRender, FramesArrivingFasterThanPaintsShareOneRepaintRequest)
{
    auto holder = shownHolder(160, 90);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());
    QWidget* widget = render->getSelfWidget();
    drainEvents();
    // Repaint requests from producer threads arrive as queued calls.
    EventCounter requests(widget, QEvent::MetaCall);
    EventCounter paints(widget, QEvent::Paint);

    std::thread producer([&] {
        for (int i = 0; i < 200; ++i)
            deliverFrame(*render, 32, 18, solid(i < 199 ? kOpaqueRed : kOpaqueBlue));
    });
    producer.join();
    drainEvents();
    EXPECT_EQ(1, requests.count);
    EXPECT_GE(paints.count, 1);
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), kBlue));

    // A frame that arrives while the widget is hidden must not block later repaints.
    widget->hide();
    deliverFrameFromThread(*render, 32, 18, solid(kOpaqueRed));
    drainEvents();
    widget->show();
    drainEvents();
    requests.count = 0;
    paints.count = 0;
    deliverFrameFromThread(*render, 32, 18, solid(kOpaqueGreen));
    drainEvents();
    EXPECT_EQ(1, requests.count);
    EXPECT_GE(paints.count, 1);
}

// A context of its own in the share group of a renderer's context: it keeps
// the group's objects alive after the renderer's context is gone, so only
// what the renderer deleted itself disappears.
class TextureWatch {
public:
    explicit TextureWatch(QOpenGLContext* shared)
    {
        context_.setShareContext(shared);
        EXPECT_TRUE(context_.create());
        surface_.setFormat(context_.format());
        surface_.create();
    }

    // Live textures of exactly width x height among the first names.
    int texturesOfSize(int width, int height)
    {
        using GetLevelParameter = void (*)(GLenum, GLint, GLenum, GLint*);
        EXPECT_TRUE(context_.makeCurrent(&surface_));
        auto* gl = context_.functions();
        const auto levelParameter =
            reinterpret_cast<GetLevelParameter>(context_.getProcAddress("glGetTexLevelParameteriv"));
        int found = 0;
        for (GLuint name = 1; name < 256; ++name) {
            if (!gl->glIsTexture(name))
                continue;
            GLint w = 0, h = 0;
            gl->glBindTexture(GL_TEXTURE_2D, name);
            levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
            levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
            found += w == width && h == height;
        }
        gl->glBindTexture(GL_TEXTURE_2D, 0);
        context_.doneCurrent();
        return found;
    }

private:
    QOpenGLContext context_;
    QOffscreenSurface surface_;
};

TEST(RgbRenderStress, ProducerChangingSizesWhileTheWidgetIsShownResizedMovedAndDestroyed)
{
    auto holder = shownHolder(320, 180);
    auto otherWindow = shownHolder(400, 300);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());
    QPointer<QWidget> widget = render->getSelfWidget();
    EventCounter paints(widget, QEvent::Paint);

    struct Sized {
        int w, h;
        std::vector<unsigned char> bytes;
    };
    std::vector<Sized> frames;
    for (const auto& [w, h] : {std::pair{640, 360}, {2, 2}, {1280, 720}, {320, 180}, {1, 1}, {7, 3}})
        frames.push_back({w, h, makeFrame(w, h, quadrants)});

    std::atomic_bool stop{false};
    std::thread producer([&] {
        for (std::size_t i = 0; !stop.load(); ++i) {
            const Sized& frame = frames[i % frames.size()];
            deliverFrame(*render, frame.w, frame.h, frame.bytes);
        }
    });
    for (int i = 0; i < 60; ++i) {
        holder->resize(120 + (i * 37) % 300, 60 + (i * 53) % 200);
        if (i % 10 == 4) {
            // Another top-level window means another GL context for the renderer.
            holder->setParent(otherWindow.get());
            holder->show();
        } else if (i % 10 == 9) {
            holder->setParent(nullptr);
            holder->show();
        }
        if (i % 7 == 3)
            render->Clean();
        if (i % 11 == 5)
            render->ReSize(0, 0, 150, 90);
        drainEvents();
    }
    stop = true;
    producer.join();
    EXPECT_GT(paints.count, 0);

    // Once the producer is done, its last frame is painted and shown.
    paints.count = 0;
    ASSERT_TRUE(deliverFrameFromThread(*render, 8, 8, solid(kOpaqueBlue)));
    drainEvents();
    EXPECT_GE(paints.count, 1);
    EXPECT_TRUE(colourNear(colourAt(grab(*render), 0.5, 0.5), kBlue));

    // Going, the renderer releases its frame texture, even with a repaint
    // request still queued for it: a context sharing its objects outlives it
    // and finds no texture of the frame's size any more.
    auto* glWidget = qobject_cast<QOpenGLWidget*>(widget.data());
    ASSERT_NE(glWidget, nullptr);
    TextureWatch watch(glWidget->context());
    ASSERT_EQ(watch.texturesOfSize(8, 8), 1);
    ASSERT_TRUE(deliverFrameFromThread(*render, 8, 8, solid(kOpaqueRed)));
    holder.reset();
    drainEvents();
    EXPECT_EQ(watch.texturesOfSize(8, 8), 0);
}

}  // namespace
