#include "GLRenderWidget.h"

#include "PRINTF_FUNCTION.h"

#include <QDebug>
#include <QOpenGLContext>

GLRenderWidget::GLRenderWidget(QWidget* parent, SettingsTrace settingsTrace)
    : QOpenGLWidget(parent), m_settingsTrace(settingsTrace)
{
}

void GLRenderWidget::traceSetting(const char* operation) const
{
    if (m_settingsTrace == SettingsTrace::On)
        PRINTF_FUNCTION{operation};
}

void GLRenderWidget::SetCB(Callback cb, void* userData)
{
    traceSetting("SetCB");
    m_cb = cb;
    m_cbUserData = userData;
}

void GLRenderWidget::ReSize(int x, int y, int w, int h)
{
    PRINTF_FUNCTION("ReSize");
    setGeometry(x, y, w, h);
    m_winX = x;
    m_winY = y;
    m_winWidth = w;
    m_winHeight = h;
    update();
}

QWidget* GLRenderWidget::getParent()
{
    PRINTF_FUNCTION("getParent");
    return parentWidget();
}

QWidget* GLRenderWidget::getSelfWidget()
{
    return this;
}

void GLRenderWidget::Hide()
{
    traceSetting("Hide");
    m_hidden = true;
}

void GLRenderWidget::Show()
{
    traceSetting("Show");
    m_hidden = false;
}

void GLRenderWidget::setWinTitle(std::string& title)
{
    traceSetting("setWinTitle");
    m_title = title;
}

void GLRenderWidget::setPriority(int priority)
{
    traceSetting("setPriority");
    m_priority = priority;
}

void GLRenderWidget::getWinSize(int* w, int* h)
{
    if (w)
        *w = static_cast<int>(m_winWidth);
    if (h)
        *h = static_cast<int>(m_winHeight);
}

void GLRenderWidget::lockBuffer()
{
    m_frameMutex.lock();
}

void GLRenderWidget::unlockBuffer()
{
    m_frameMutex.unlock();
}

void GLRenderWidget::initializeGL()
{
    PRINTF_FUNCTION("initializeGL");
    initializeOpenGLFunctions();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GLRenderWidget::releaseGL);
}

void GLRenderWidget::resizeGL(int w, int h)
{
    PRINTF_FUNCTION("resizeGL");
    qDebug() << "kpz," << "resizeGL" << ",w:" << w << ",h:" << h;
    m_winWidth = w;
    m_winHeight = h > 0 ? h : 1;
}

void GLRenderWidget::releaseGL()
{
    makeCurrent();
    destroyGLObjects();
    doneCurrent();
}

void GLRenderWidget::releaseGLBeforeDestruction()
{
    if (QOpenGLContext* ctx = context())
        disconnect(ctx, nullptr, this, nullptr);
    releaseGL();
}

void GLRenderWidget::setWidgetViewport()
{
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, qRound(m_winWidth * ratio), qRound(m_winHeight * ratio));
}

bool GLRenderWidget::repaintRequestNeeded()
{
    return !m_repaintPending.exchange(true);
}

void GLRenderWidget::serveRepaintRequest()
{
    // Released before the paint reads the frame: a frame completed from now on
    // queues the next request, so the newest frame is always shown.
    m_repaintPending.store(false);
    update();
}
