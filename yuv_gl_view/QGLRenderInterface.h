#pragma once

// Video surface that a frame producer (the media engine) draws into.
//
// This header needs no Qt: code that only produces frames can include it and
// call the virtual operations without linking Qt widgets.
//
// Frame hand-over, on any thread, in this order:
//   1. lockBuffer();
//   2. unsigned char* buf = getDataBuffer(w, h);   // w x h pixels, 4 bytes each
//   3. if buf is not null, write the whole frame into it: rows from the top row
//      down, each pixel as the bytes alpha, red, green, blue in memory order
//      (a buffer of a new size starts black; one of the same size still holds
//      the previous frame);
//   4. unlockBuffer();
//   5. PlayOneFrame(buf, w, h);                     // schedules one repaint
// getDataBuffer returns null when w or h is not positive or the frame is
// implausibly large; the producer then writes nothing. The buffer must not be
// used after unlockBuffer: a later getDataBuffer with another size replaces it.
// The renderer keeps no pointer that the producer passes in.
//
// Every other operation belongs to the GUI thread. A renderer must not be
// destroyed while a producer may still call it.

#include <string>

class QWidget;

#if defined(YUV_GL_VIEW_BUILD)
#define YUV_GL_VIEW_EXPORT __attribute__((visibility("default")))
#else
#define YUV_GL_VIEW_EXPORT
#endif

class YUV_GL_VIEW_EXPORT QGLRenderInterface {
public:
    using Callback = void (*)(QGLRenderInterface*, void*);

    QGLRenderInterface() = default;
    QGLRenderInterface(const QGLRenderInterface&) = delete;
    QGLRenderInterface& operator=(const QGLRenderInterface&) = delete;

    // The order of these operations is part of the calling contract: the
    // producer calls them by their place in the interface.
    virtual ~QGLRenderInterface() = default;
    virtual void SetCB(Callback cb, void* userData) = 0;
    virtual void ReSize(int x, int y, int w, int h) = 0;
    virtual void Clean() = 0;
    virtual QWidget* getParent() = 0;
    virtual QWidget* getSelfWidget() = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    virtual void setWinTitle(std::string& title) = 0;
    virtual void setPriority(int priority) = 0;
    virtual void getWinSize(int* w, int* h) = 0;
    virtual void lockBuffer() = 0;
    virtual unsigned char* getDataBuffer(int w, int h) = 0;
    virtual void unlockBuffer() = 0;
    virtual void PlayOneFrame(const unsigned char* frame, int w, int h) = 0;
    virtual void PlayOneFrame(const unsigned char* y, const unsigned char* u,
                              const unsigned char* v, int w, int h) = 0;

    // Creates the renderer as the only content of parent (a QWidget*, passed
    // untyped): every widget in parent's layout is deleted and the layout is
    // replaced by one that holds the renderer. GUI thread only; never null.
    static QGLRenderInterface* CreateRender(void* parent);
};
