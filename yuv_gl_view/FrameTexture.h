#pragma once

#include <QOpenGLFunctions>

// A 2D texture that receives whole frames (or planes) of tightly packed rows.
// Storage is allocated only when the frame size changes; every other upload
// replaces the pixels in place.
class FrameTexture {
public:
    FrameTexture(GLint internalFormat, GLenum format, GLenum type);

    // Both need the owning widget's context to be current.
    void create(QOpenGLFunctions& gl);
    void destroy(QOpenGLFunctions& gl);

    // Binds the texture and uploads width x height pixels into it.
    void upload(QOpenGLFunctions& gl, int width, int height, const void* pixels);
    void bind(QOpenGLFunctions& gl) const;

private:
    GLuint m_id = 0;
    GLint m_internalFormat;
    GLenum m_format;
    GLenum m_type;
    int m_width = 0;
    int m_height = 0;
};
