#include "QOpenGLRender.h"

#include "PRINTF_FUNCTION.h"
#include "RendererSupport.h"

#include <QDebug>
#include <QOpenGLShaderProgram>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr int kVertexAttribute = 3;
constexpr int kTextureAttribute = 4;

// A strip over the whole viewport; the first plane row is drawn at the top.
constexpr GLfloat kVertices[] = {-1, -1, 1, -1, -1, 1, 1, 1};
constexpr GLfloat kTextureCoords[] = {0, 1, 1, 1, 0, 0, 1, 0};

const char* const kVertexShader = R"(
attribute vec4 vertexIn;
attribute vec2 textureIn;
varying vec2 textureOut;
void main(void)
{
    gl_Position = vertexIn;
    textureOut = textureIn;
}
)";

// BT.601 with limited range (luma 16..235, chroma 16..240), what decoders deliver.
const char* const kFragmentShader = R"(
varying vec2 textureOut;
uniform sampler2D tex_y;
uniform sampler2D tex_u;
uniform sampler2D tex_v;
void main(void)
{
    vec3 yuv = vec3(1.164384 * (texture2D(tex_y, textureOut).r - 0.062745),
                    texture2D(tex_u, textureOut).r - 0.501961,
                    texture2D(tex_v, textureOut).r - 0.501961);
    vec3 rgb = mat3(1.0, 1.0, 1.0,
                    0.0, -0.391762, 2.017232,
                    1.596027, -0.812968, 0.0) * yuv;
    gl_FragColor = vec4(rgb, 1.0);
}
)";

// Sizes of the planes of a w x h frame; chroma is rounded up for odd sizes.
struct PlaneSizes {
    PlaneSizes(int w, int h)
        : chromaWidth((w + 1) / 2), chromaHeight((h + 1) / 2),
          luma(static_cast<std::size_t>(w) * h),
          chroma(static_cast<std::size_t>(chromaWidth) * chromaHeight)
    {
    }
    std::size_t total() const { return luma + 2 * chroma; }

    int chromaWidth;
    int chromaHeight;
    std::size_t luma;
    std::size_t chroma;
};

constexpr TextureFormat kPlaneFormat{GL_RED, GL_RED, GL_UNSIGNED_BYTE, false, {}};

}  // namespace

QOpenGLRender::QOpenGLRender(QWidget* parent)
    : GLRenderWidget(parent, SettingsTrace::Off)
{
    PRINTF_FUNCTION("QOpenGLRender");
    renderer_support::attachToHolder(this, parent, renderer_support::HolderContent::Keep);
}

QOpenGLRender::~QOpenGLRender()
{
    PRINTF_FUNCTION("~QOpenGLRender");
    releaseGLBeforeDestruction();
}

void QOpenGLRender::destroyGLObjects()
{
    m_program.reset();
    for (FrameTexture& texture : m_textures)
        texture.destroy(*this);
    m_initialized = false;
}

void QOpenGLRender::Clean()
{
    PRINTF_FUNCTION("Clean");
    {
        FrameMutex::PaintLock lock(m_frameMutex);
        m_videoWidth = 0;
        m_videoHeight = 0;
    }
    update();
}

void QOpenGLRender::Hide()
{
    GLRenderWidget::Hide();
    update();
}

unsigned char* QOpenGLRender::getDataBuffer(int w, int h)
{
    return setFrameSize(w, h) ? m_frame.data() : nullptr;
}

void QOpenGLRender::PlayOneFrame(const unsigned char* frame, int w, int h)
{
    if (!frame)
        return;
    bool accepted = true;
    {
        std::lock_guard<FrameMutex> lock(m_frameMutex);
        // A frame written into the buffer of getDataBuffer is in place already;
        // one of the producer's own is copied in.
        if (frame != m_frame.data()) {
            accepted = renderer_support::isAcceptedFrameSize(w, h);
            if (accepted) {
                const PlaneSizes sizes(w, h);
                accepted = copyFrame(frame, frame + sizes.luma, frame + sizes.luma + sizes.chroma, w, h);
            } else {
                renderer_support::traceInvalidFrame(w, h);
            }
        }
    }
    if (accepted)
        scheduleRepaint();
}

void QOpenGLRender::PlayOneFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h)
{
    if (!y || !u || !v) {
        renderer_support::traceInvalidFrame(w, h);
        return;
    }
    bool accepted = false;
    {
        std::lock_guard<FrameMutex> lock(m_frameMutex);
        accepted = copyFrame(y, u, v, w, h);
    }
    if (accepted)
        scheduleRepaint();
}

bool QOpenGLRender::setFrameSize(int w, int h)
{
    if (!renderer_support::isAcceptedFrameSize(w, h)) {
        renderer_support::traceInvalidFrame(w, h);
        return false;
    }
    try {
        // Grows only; a smaller frame reuses the storage.
        m_frame.resize(PlaneSizes(w, h).total());
    } catch (const std::bad_alloc&) {
        qWarning() << "kpz," << "Error,no memory for frame, width:" << w << ",height:" << h;
        return false;
    }
    m_videoWidth = w;
    m_videoHeight = h;
    m_frameDirty = true;
    return true;
}

bool QOpenGLRender::copyFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h)
{
    if (!setFrameSize(w, h))
        return false;
    const PlaneSizes sizes(w, h);
    unsigned char* dst = m_frame.data();
    std::memcpy(dst, y, sizes.luma);
    std::memcpy(dst + sizes.luma, u, sizes.chroma);
    std::memcpy(dst + sizes.luma + sizes.chroma, v, sizes.chroma);
    return true;
}

void QOpenGLRender::scheduleRepaint()
{
    if (repaintRequestNeeded())
        QMetaObject::invokeMethod(this, [this] { serveRepaintRequest(); }, Qt::QueuedConnection);
}

void QOpenGLRender::initializeGL()
{
    GLRenderWidget::initializeGL();

    std::printf("OpenGL实现厂商的名字：%s\n", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
    std::printf("渲染器标识符：%s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("OpenGL实现的版本号：%s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));

    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader)) {
        std::printf("kpz Error, failed to compileSourceCode");
        std::fflush(stdout);
        return;
    }
    if (!program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader)) {
        qDebug() << "kpz," << "compileSourceCode failed";
        return;
    }
    program->bindAttributeLocation("vertexIn", kVertexAttribute);
    program->bindAttributeLocation("textureIn", kTextureAttribute);
    if (!program->link()) {
        qDebug() << "kpz," << "link failed:" << program->log();
        return;
    }
    m_uniformY = program->uniformLocation("tex_y");
    m_uniformU = program->uniformLocation("tex_u");
    m_uniformV = program->uniformLocation("tex_v");
    m_program = std::move(program);

    for (FrameTexture& texture : m_textures)
        texture.create(*this, kPlaneFormat);
    glClearColor(0, 0, 0, 1);
    {
        FrameMutex::PaintLock lock(m_frameMutex);
        m_frameDirty = true;  // the new textures are empty
    }
    m_initialized = true;
}

void QOpenGLRender::paintGL()
{
    if (!m_initialized) {
        PRINTF_FUNCTION("paintGL");
        qDebug() << "kpz," << "is_initialized:" << "false";
        return;
    }
    setWidgetViewport();
    glClear(GL_COLOR_BUFFER_BIT);

    int videoWidth = 0;
    int videoHeight = 0;
    {
        // The producer waits only while the planes are handed to GL.
        FrameMutex::PaintLock lock(m_frameMutex);
        videoWidth = m_videoWidth;
        videoHeight = m_videoHeight;
        if (videoWidth > 0 && videoHeight > 0) {
            const PlaneSizes sizes(videoWidth, videoHeight);
            const unsigned char* const y = m_frame.data();
            const unsigned char* const planes[] = {y, y + sizes.luma, y + sizes.luma + sizes.chroma};
            const int widths[] = {videoWidth, sizes.chromaWidth, sizes.chromaWidth};
            const int heights[] = {videoHeight, sizes.chromaHeight, sizes.chromaHeight};
            for (int i = 0; i < 3; ++i) {
                glActiveTexture(GL_TEXTURE0 + i);
                if (m_frameDirty)
                    m_textures[i].upload(*this, widths[i], heights[i], planes[i]);
                else
                    m_textures[i].bind(*this);
            }
            m_frameDirty = false;
        }
    }
    if (videoWidth <= 0 || videoHeight <= 0) {
        qDebug() << "kpz," << title().c_str() << ",paintGL,m_nVideoW:" << videoWidth << ",m_nVideoH:" << videoHeight;
        return;
    }

    m_program->bind();
    m_program->setUniformValue(m_uniformY, 0);
    m_program->setUniformValue(m_uniformU, 1);
    m_program->setUniformValue(m_uniformV, 2);
    m_program->setAttributeArray(kVertexAttribute, kVertices, 2);
    m_program->setAttributeArray(kTextureAttribute, kTextureCoords, 2);
    m_program->enableAttributeArray(kVertexAttribute);
    m_program->enableAttributeArray(kTextureAttribute);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program->disableAttributeArray(kVertexAttribute);
    m_program->disableAttributeArray(kTextureAttribute);
    m_program->release();
    glActiveTexture(GL_TEXTURE0);
}
