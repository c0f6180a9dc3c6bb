#pragma once
// Screen and window capture for the share picker and the annotation overlay:
// lists the screens and the application windows with their ids and titles,
// renders thumbnails as encoded images and reports a window's rectangle.
//
// Ids: a screen's id is its index in QGuiApplication::screens(); a window's id
// is its native window id (on X11 the client window, equal to QWidget::winId()
// of the program's own windows). The media engine names sources the same way.
//
// Every call happens on the Qt GUI thread, after the QGuiApplication exists.
// The object is deleted through its virtual destructor.

#include <cstdint>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define SCREEN_GRAB_EXPORT __attribute__((visibility("default")))
#else
#define SCREEN_GRAB_EXPORT
#endif

struct capture_source {
    int64_t id = 0;
    std::string title;  // UTF-8; a screen's name, a window's title
};

class SCREEN_GRAB_EXPORT DesktopCaptureInterface {
public:
    // A new capture object; the caller deletes it.
    static DesktopCaptureInterface* createNew();

    virtual ~DesktopCaptureInterface() = default;

    // True when windows come from the window system (X11); false when only the
    // screens and this program's own windows can be listed.
    virtual bool listsSystemWindows() const = 0;
    // Replaces *sources with the current screens (screens true) or windows.
    // 0, or -1 for a null pointer.
    virtual int getSourceList(std::vector<capture_source>* sources, bool screens) = 0;
    // Brings the window to the front. 0, or -1 when it no longer exists.
    virtual int selectWindow(int64_t id) = 0;
    // The window's position and size in global logical coordinates. Leaves the
    // values untouched and returns -1 when the window no longer exists.
    virtual int getWindowRect(int64_t id, int* x, int* y, int* width, int* height) = 0;
    // A PNG of the window, at most 480 pixels wide. The bytes belong to this
    // object and stay valid until its next call; *length is 0 when the window
    // cannot be grabbed.
    virtual const unsigned char* getWindowThumbnail(int64_t id, int* length) = 0;
    // As getWindowThumbnail, for a screen.
    virtual const unsigned char* getScreenThumbnail(int* length, int64_t id) = 0;
};
