#pragma once
// Internal: where the window list comes from. The X11 source reads the window
// manager's lists through its own xcb connection; the Qt source, used without
// X11, knows only this program's own windows.

#include "DesktopCaptureInterface.h"

#include <QByteArray>
#include <QRect>

#include <memory>
#include <vector>

namespace screen_grab {

class WindowSource {
public:
    virtual ~WindowSource() = default;
    // Application windows, front-most first.
    virtual std::vector<capture_source> windows() = 0;
    // Whether the window still exists and is shown (worth grabbing).
    virtual bool isViewable(int64_t id) = 0;
    // Global logical rectangle; false when the window is gone.
    virtual bool rect(int64_t id, QRect* rect) = 0;
    virtual bool raise(int64_t id) = 0;
};

// Null when there is no X11 display to talk to.
std::unique_ptr<WindowSource> makeXcbWindows();
std::unique_ptr<WindowSource> makeQtWindows();

// Longest title kept, in bytes of the window's property.
constexpr int kMaxTitleBytes = 4096;

// Valid UTF-8 from untrusted title bytes: invalid sequences become U+FFFD,
// control characters spaces, and the result is cut to kMaxTitleBytes.
std::string cleanTitle(const QByteArray& bytes, bool latin1);

}  // namespace screen_grab
