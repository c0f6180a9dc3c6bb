#pragma once

#include "FrameMutex.h"
#include "FrameTexture.h"
#include "QGLRenderInterface.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <atomic>
#include <memory>
#include <string>

// Renderer of frames of four bytes per pixel (alpha, red, green, blue in
// memory order), stretched over the whole widget with the fixed-function
// pipeline. A producer fills the frame buffer on its own thread; every paint
// happens on the GUI thread.
class YUV_GL_VIEW_EXPORT QOpenGLRGBRender : public QOpenGLWidget, protected QOpenGLFunctions, public QGLRenderInterface {
    Q_OBJECT

public:
    explicit QOpenGLRGBRender(QWidget* parent);
    ~QOpenGLRGBRender() override;

    void SetCB(Callback cb, void* userData) override;
    void ReSize(int x, int y, int w, int h) override;
    void Clean() override;
    QWidget* getParent() override;
    QWidget* getSelfWidget() override;
    void Hide() override;
    void Show() override;
    void setWinTitle(std::string& title) override;
    void setPriority(int priority) override;
    void getWinSize(int* w, int* h) override;
    void lockBuffer() override;
    unsigned char* getDataBuffer(int w, int h) override;
    void unlockBuffer() override;
    void PlayOneFrame(const unsigned char* frame, int w, int h) override;
    void PlayOneFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void sigUpdate();

public slots:
    void slotUpdate();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void releaseGL();

    // Guarded by m_frameMutex: the producer writes between lockBuffer and unlockBuffer.
    std::unique_ptr<unsigned char[]> m_frame;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    bool m_frameDirty = false;  // the buffer holds pixels the texture has not received yet

    FrameTexture m_texture;
    std::string m_title = "unknow";
    Callback m_cb = nullptr;
    void* m_cbUserData = nullptr;
    bool m_hidden = false;
    float m_winX = 0;
    float m_winY = 0;
    float m_winWidth = 0;
    float m_winHeight = 0;
    int m_priority = 1;
    bool m_clearPending = false;               // the next paint shows only the clear colour
    std::atomic_bool m_repaintPending{false};  // one queued repaint at most, however many frames arrive
    FrameMutex m_frameMutex;
};
