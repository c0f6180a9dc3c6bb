// Reads the pixels of a screen or a window from the X server through xcb:
// with the MIT-SHM extension (the server writes into memory we share with
// it) where the server offers it, with plain GetImage otherwise.
//
// Screens are counted as Qt counts them: the RandR monitors, the primary
// first; without RandR monitors, screen 0 is the root window. A window is
// named by its native id and read as the server has it (on a server without
// a compositor, what covers the window covers it in the picture too).
//
// One thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "VideoFrame.h"

namespace velto_media {

class XcbGrabber {
public:
    // Null without a display, without such a screen or window, or on a server
    // whose pixels are not 32 bits. `useShm` false keeps to plain GetImage.
    static std::unique_ptr<XcbGrabber> open(bool wholeScreen, int64_t sourceId, bool useShm = true);
    ~XcbGrabber();
    XcbGrabber(const XcbGrabber&) = delete;
    XcbGrabber& operator=(const XcbGrabber&) = delete;

    // The source's picture now, an odd last row or column left out; null
    // when it cannot be read (the window is unmapped, gone or off the screen).
    // Marked unchanged when it is the same as the one before; only the rows
    // that changed since are converted.
    std::shared_ptr<VideoFrame> grab();
    // True when the last picture came through shared memory.
    bool usesShm() const;
    // A whole screen's pictures from now on show `window` (a native window id,
    // its border included) as a plain fill wherever it lies on the screen,
    // followed as it moves; 0 leaves nothing out. Without a compositor nothing
    // behind a window can be read, so what it covers is filled too.
    void leaveOut(int64_t window);

private:
    struct State;
    explicit XcbGrabber(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace velto_media
