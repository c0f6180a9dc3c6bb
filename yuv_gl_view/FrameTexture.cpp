#include "FrameTexture.h"

void FrameTexture::create(QOpenGLFunctions& gl, const TextureFormat& format)
{
    m_format = format;
    gl.glGenTextures(1, &m_id);
    gl.glBindTexture(GL_TEXTURE_2D, m_id);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // One level only: a video frame is replaced long before mipmaps would pay off.
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (format.swizzled)
        gl.glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    m_width = 0;
    m_height = 0;
}

void FrameTexture::destroy(QOpenGLFunctions& gl)
{
    if (m_id != 0)
        gl.glDeleteTextures(1, &m_id);
    m_id = 0;
    m_width = 0;
    m_height = 0;
}

void FrameTexture::upload(QOpenGLFunctions& gl, int width, int height, const void* pixels)
{
    gl.glBindTexture(GL_TEXTURE_2D, m_id);
    // Rows are tightly packed; planes of odd width are not 4-byte aligned.
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (width != m_width || height != m_height) {
        gl.glTexImage2D(GL_TEXTURE_2D, 0, m_format.internalFormat, width, height, 0, m_format.format, m_format.type,
                        pixels);
        m_width = width;
        m_height = height;
    } else {
        gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, m_format.format, m_format.type, pixels);
    }
}

void FrameTexture::bind(QOpenGLFunctions& gl) const
{
    gl.glBindTexture(GL_TEXTURE_2D, m_id);
}
