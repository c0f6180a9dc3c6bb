#pragma once
// An X server of the test's own (Xvfb), optionally with a window manager
// (openbox) on it, as users run the program. The pointer, the focus and the
// stacking then belong to this test alone, not to the tests beside it on the
// shared display. Started before the QApplication; DISPLAY names it from then
// on. Both programs end with the object (and with the test process).

#include <QPoint>

#include "OwnXServer.h"

#include <string>
#include <sys/types.h>

namespace velto::test {

class PrivateDisplay {
public:
    // Empty `windowManager`: none.
    explicit PrivateDisplay(const std::string& windowManager);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    bool startServer();
    bool startWindowManager(const std::string& name);

    OwnXServer server_;
    pid_t windowManager_ = -1;
    bool ok_ = false;
    std::string error_;
};

// The window manager the test runs under ("openbox"), empty without one.
std::string windowManagerName();

// Pointer input as the X server delivers it (XTEST): the window manager and
// the toolkit see a real move or click at a global position.
void movePointer(QPoint global);
void clickAt(QPoint global);
// The left button alone, for drags: pressed at `global`, released where the
// pointer is.
void pressAt(QPoint global);
void release();

// Where the X server stacks the top-level window that holds `window` (its
// window manager's frame, when there is one): higher lies above.
int stackingOrder(unsigned long window);

// Where the X server shows the point `local` of `window` (a native window's
// id), on the screen: what the pointer must aim at, whatever the toolkit
// still believes of a window that the window manager has just placed.
QPoint onScreen(unsigned long window, QPoint local);

}  // namespace velto::test
