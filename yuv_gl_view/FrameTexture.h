#pragma once

#include <QOpenGLFunctions>

// How frame bytes reach a texture and how it is sampled.
struct TextureFormat {
    GLint internalFormat;
    GLenum format;
    GLenum type;
    bool swizzled;         // sample through `swizzle` below
    GLint swizzle[4];      // sources of red, green, blue and alpha
};

// A 2D texture that receives whole frames (or planes) of tightly packed rows.
// Storage is allocated only when the frame size changes; every other upload
// replaces the pixels in place.
class FrameTexture {
public:
    // Both need the owning widget's context to be current.
    void create(QOpenGLFunctions& gl, const TextureFormat& format);
    void destroy(QOpenGLFunctions& gl);

    // Binds the texture and uploads width x height pixels into it.
    void upload(QOpenGLFunctions& gl, int width, int height, const void* pixels);
    void bind(QOpenGLFunctions& gl) const;

private:
    GLuint m_id = 0;
    TextureFormat m_format{};
    int m_width = 0;
    int m_height = 0;
};
