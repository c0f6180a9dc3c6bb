#include "QOpenGLRGBRender.h"

#include "PRINTF_FUNCTION.h"
#include "RendererSupport.h"
#include "UnitSquare.h"

#include <QDebug>
#include <QOpenGLContext>

#include <cstdio>
#include <new>

namespace {

// Frame shown (black) from the first paint until a producer delivers one.
constexpr int kInitialFrameWidth = 1920;
constexpr int kInitialFrameHeight = 1080;

constexpr std::size_t frameBytes(int width, int height)
{
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

// The texture takes the frame's bytes (A, R, G, B in memory) as they are, with
// no conversion on the CPU. Where texture swizzling exists the bytes go in as
// plain RGBA, which drivers copy straight through, and the sampler picks the
// colour channels out of them; elsewhere each pixel is read as one 32-bit word
// packing blue, green, red, alpha from the most significant byte down, which
// is the same memory order on a little-endian machine. Alpha is not shown.
TextureFormat argbFormat(const QOpenGLContext& context)
{
    if (context.format().version() >= qMakePair(3, 3) || context.hasExtension("GL_ARB_texture_swizzle")
        || context.hasExtension("GL_EXT_texture_swizzle"))
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, true, {GL_GREEN, GL_BLUE, GL_ALPHA, GL_ONE}};
    return {GL_RGB, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, false, {}};
}

}  // namespace

QOpenGLRGBRender::QOpenGLRGBRender(QWidget* parent)
    : GLRenderWidget(parent, SettingsTrace::On)
{
    PRINTF_FUNCTION("QOpenGLRGBRender");
    renderer_support::attachToHolder(this, parent, renderer_support::HolderContent::Delete);
    connect(this, &QOpenGLRGBRender::sigUpdate, this, &QOpenGLRGBRender::slotUpdate);
    std::printf("%s out\n", "QOpenGLRGBRender");
}

QOpenGLRGBRender::~QOpenGLRGBRender()
{
    PRINTF_FUNCTION("~QOpenGLRGBRender");
    releaseGLBeforeDestruction();
}

void QOpenGLRGBRender::destroyGLObjects()
{
    m_texture.destroy(*this);
}

void QOpenGLRGBRender::Clean()
{
    PRINTF_FUNCTION("Clean");
    // GL work belongs to paintGL, where the widget's context is current.
    m_clearPending = true;
    update();
}

unsigned char* QOpenGLRGBRender::getDataBuffer(int w, int h)
{
    if (!renderer_support::isAcceptedFrameSize(w, h)) {
        renderer_support::traceInvalidFrame(w, h);
        return nullptr;
    }
    if (w != m_frameWidth || h != m_frameHeight) {
        // A new buffer starts black. It is allocated before the old one is
        // released, so a new size always gets a new address.
        std::unique_ptr<unsigned char[]> frame(new (std::nothrow) unsigned char[frameBytes(w, h)]());
        if (!frame) {
            qWarning() << "kpz," << "Error,no memory for frame, width:" << w << ",height:" << h;
            return nullptr;
        }
        m_frame = std::move(frame);
        m_frameWidth = w;
        m_frameHeight = h;
    }
    // A frame of the same size overwrites the last one in place: clearing it first
    // would only double the time the producer holds the lock.
    m_frameDirty = true;
    return m_frame.get();
}

void QOpenGLRGBRender::PlayOneFrame(const unsigned char*, int, int)
{
    if (repaintRequestNeeded())
        emit sigUpdate();
}

void QOpenGLRGBRender::PlayOneFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h)
{
    if (y && u && v && w >= 1 && h >= 1)
        PlayOneFrame(y, w, h);
    else
        renderer_support::traceInvalidFrame(w, h);
}

bool QOpenGLRGBRender::eventFilter(QObject*, QEvent*)
{
    return false;
}

void QOpenGLRGBRender::slotUpdate()
{
    serveRepaintRequest();
}

void QOpenGLRGBRender::initializeGL()
{
    GLRenderWidget::initializeGL();
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    m_texture.create(*this, argbFormat(*context()));
    setUnitSquareProjection();

    FrameMutex::PaintLock lock(m_frameMutex);
    m_frame.reset(new unsigned char[frameBytes(kInitialFrameWidth, kInitialFrameHeight)]());
    m_frameWidth = kInitialFrameWidth;
    m_frameHeight = kInitialFrameHeight;
    m_frameDirty = true;
}

void QOpenGLRGBRender::paintGL()
{
    if (m_clearPending) {
        m_clearPending = false;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    setWidgetViewport();
    {
        // The producer waits only while the pixels are handed to GL.
        FrameMutex::PaintLock lock(m_frameMutex);
        if (m_frameDirty) {
            m_texture.upload(*this, m_frameWidth, m_frameHeight, m_frame.get());
            m_frameDirty = false;
        } else {
            m_texture.bind(*this);
        }
    }
    glEnable(GL_TEXTURE_2D);
    glLoadIdentity();
    drawTexturedUnitSquare();
    glBindTexture(GL_TEXTURE_2D, 0);
    glFlush();
}
