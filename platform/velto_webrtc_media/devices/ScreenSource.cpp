// A screen or window as a video source: XcbGrabber on the paced clock.
#include "PacedSource.h"
#include "XcbGrabber.h"

namespace velto_media {

namespace {

class ScreenSource final : public PacedSource {
public:
    ScreenSource(std::unique_ptr<XcbGrabber> grabber, int fps)
        : PacedSource(2, 2, fps), grabber_(std::move(grabber))
    {
    }
    ~ScreenSource() override { stop(); }

private:
    // Pictures come at the screen's or window's own size, whatever size is
    // asked: the encoder scales. A window that cannot be read now (unmapped,
    // gone) sends nothing until it can again.
    std::shared_ptr<VideoFrame> produce(uint32_t, int, int) override { return grabber_->grab(); }

    std::unique_ptr<XcbGrabber> grabber_;  // the source's thread only, once started
};

}  // namespace

// `excludedWindowId` (the sharer's own meeting window) is shown as a plain
// fill on a whole screen: without a compositor the X server keeps no picture
// of what lies under a window, and the others must not see their own faces.
std::unique_ptr<VideoSource> makeScreenSource(bool wholeScreen, int64_t sourceId, int64_t excludedWindowId, int fps)
{
    auto grabber = XcbGrabber::open(wholeScreen, sourceId);
    if (!grabber)
        return nullptr;
    if (wholeScreen)
        grabber->leaveOut(excludedWindowId);
    return std::make_unique<ScreenSource>(std::move(grabber), fps);
}

}  // namespace velto_media
