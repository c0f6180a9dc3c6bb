#pragma once

#include "FrameTexture.h"
#include "GLRenderWidget.h"

#include <memory>

// Renderer of frames of four bytes per pixel (alpha, red, green, blue in
// memory order), stretched over the whole widget with the fixed-function
// pipeline. A producer fills the frame buffer on its own thread; every paint
// happens on the GUI thread.
class YUV_GL_VIEW_EXPORT QOpenGLRGBRender : public GLRenderWidget {
    Q_OBJECT

public:
    explicit QOpenGLRGBRender(QWidget* parent);
    ~QOpenGLRGBRender() override;

    void Clean() override;
    unsigned char* getDataBuffer(int w, int h) override;
    void PlayOneFrame(const unsigned char* frame, int w, int h) override;
    void PlayOneFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void sigUpdate();

public slots:
    void slotUpdate();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void destroyGLObjects() override;

    // Guarded by m_frameMutex: the producer writes between lockBuffer and unlockBuffer.
    std::unique_ptr<unsigned char[]> m_frame;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    bool m_frameDirty = false;  // the buffer holds pixels the texture has not received yet

    FrameTexture m_texture;
    bool m_clearPending = false;  // the next paint shows only the clear colour
};
