#include "RenderTestSupport.h"

#include <QCoreApplication>
#include <QOpenGLWidget>
#include <QtTest/QTest>

#include <algorithm>
#include <cstring>
#include <thread>

namespace render_test {

std::vector<unsigned char> makeFrame(int w, int h, const FramePattern& pattern)
{
    std::vector<unsigned char> frame(std::size_t(std::max(w, 0)) * std::max(h, 0) * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Argb p = pattern(x, y, w, h);
            const unsigned char bytes[] = {p.a, p.r, p.g, p.b};
            std::memcpy(frame.data() + (std::size_t(y) * w + x) * 4, bytes, 4);
        }
    }
    return frame;
}

bool deliverFrame(QGLRenderInterface& render, int w, int h, const std::vector<unsigned char>& frame)
{
    render.lockBuffer();
    unsigned char* buffer = render.getDataBuffer(w, h);
    if (buffer)
        std::memcpy(buffer, frame.data(), frame.size());
    render.unlockBuffer();
    render.PlayOneFrame(buffer, w, h);
    return buffer != nullptr;
}

bool deliverFrame(QGLRenderInterface& render, int w, int h, const FramePattern& pattern)
{
    return deliverFrame(render, w, h, makeFrame(w, h, pattern));
}

bool deliverFrameFromThread(QGLRenderInterface& render, int w, int h, const FramePattern& pattern)
{
    bool accepted = false;
    std::thread producer([&] { accepted = deliverFrame(render, w, h, pattern); });
    producer.join();
    return accepted;
}

Argb quadrants(int x, int y, int w, int h)
{
    const bool right = 2 * x >= w;
    const bool bottom = 2 * y >= h;
    if (!bottom)
        return right ? Argb{0xFF, 0x00, 0xFF, 0x00} : Argb{0xFF, 0xFF, 0x00, 0x00};
    return right ? Argb{0xFF, 0xFF, 0xFF, 0xFF} : Argb{0xFF, 0x00, 0x00, 0xFF};
}

FramePattern solid(Argb pixel)
{
    return [pixel](int, int, int, int) { return pixel; };
}

QImage grab(QGLRenderInterface& render)
{
    return static_cast<QOpenGLWidget*>(render.getSelfWidget())->grabFramebuffer();
}

QColor colourAt(const QImage& image, double fx, double fy)
{
    const int x = qBound(0, static_cast<int>(fx * image.width()), image.width() - 1);
    const int y = qBound(0, static_cast<int>(fy * image.height()), image.height() - 1);
    return image.pixelColor(x, y);
}

::testing::AssertionResult colourNear(const QColor& actual, const QColor& expected, int tolerance)
{
    if (std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << actual.name().toStdString() << ", expected "
                                         << expected.name().toStdString();
}

std::unique_ptr<QWidget> shownHolder(int w, int h)
{
    auto holder = std::make_unique<QWidget>();
    holder->resize(w, h);
    holder->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(holder.get()));
    return holder;
}

void drainEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace render_test
