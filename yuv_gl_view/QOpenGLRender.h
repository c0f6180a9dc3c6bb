#pragma once

#include "FrameTexture.h"
#include "GLRenderWidget.h"

#include <array>
#include <memory>
#include <vector>

class QOpenGLShaderProgram;

// Renderer of planar YUV 4:2:0 frames: the three planes go to three one-channel
// textures and a fragment shader converts them to RGB (BT.601, limited range,
// as video decoders produce them).
//
// Besides the planar PlayOneFrame it takes one contiguous I420 frame: either
// written into the buffer that getDataBuffer returns (Y, then U, then V) and
// announced with the packed PlayOneFrame, or passed to the packed PlayOneFrame
// directly, which copies it.
class YUV_GL_VIEW_EXPORT QOpenGLRender : public GLRenderWidget {
    Q_OBJECT

public:
    explicit QOpenGLRender(QWidget* parent);
    ~QOpenGLRender() override;

    void Clean() override;
    void Hide() override;
    unsigned char* getDataBuffer(int w, int h) override;
    void PlayOneFrame(const unsigned char* frame, int w, int h) override;
    void PlayOneFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h) override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void destroyGLObjects() override;
    bool setFrameSize(int w, int h);
    bool copyFrame(const unsigned char* y, const unsigned char* u, const unsigned char* v, int w, int h);
    void scheduleRepaint();

    bool m_initialized = false;
    int m_uniformY = -1;
    int m_uniformU = -1;
    int m_uniformV = -1;
    std::array<FrameTexture, 3> m_textures;  // Y, U, V
    std::unique_ptr<QOpenGLShaderProgram> m_program;

    // Guarded by m_frameMutex.
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    std::vector<unsigned char> m_frame;  // the Y, U and V planes, one after the other
    bool m_frameDirty = false;           // the planes hold pixels the textures have not received yet
};
