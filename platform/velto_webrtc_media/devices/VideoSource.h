// Where a local video track's pictures come from: a camera, the synthetic
// camera, a still picture, or a screen or window.
//
// A source delivers frames on a thread of its own at about the asked rate.
// stop() joins that thread: once it has returned the sink is not called
// again (so the sink itself must never call stop()). Every other call is made
// by the engine on one thread at a time. FrameCounter.h reads back the
// synthetic camera's frame numbers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VideoFrame.h"

namespace velto_media {

using VideoSink = std::function<void(VideoFramePtr)>;

class VideoSource {
public:
    virtual ~VideoSource() = default;
    // 0, or negative when the device cannot be opened (-3: another program holds it).
    virtual int start(VideoSink sink) = 0;
    virtual void stop() = 0;
    // Asks for another size or rate; the source may keep what it can deliver.
    virtual void setFormat(int width, int height, int fps) = 0;
};

// One camera the engine can open. The synthetic camera is listed, last, with
// the id kSyntheticCameraId, only when VELTO_SYNTHETIC_CAMERA is "1"; it
// opens whether listed or not.
struct CameraInfo {
    std::string id;    // "/dev/videoN" or kSyntheticCameraId
    std::string name;  // display name
};
extern const char* const kSyntheticCameraId;

std::vector<CameraInfo> listCameras();

// The camera `id` (a V4L2 device, or the synthetic camera). Null when no such
// device exists. The format is asked for, not promised.
std::unique_ptr<VideoSource> openCamera(const std::string& id, const std::string& userName, int width, int height,
                                        int fps);

// A moving picture with `userName` and a frame counter on it.
std::unique_ptr<VideoSource> makeSyntheticCamera(const std::string& userName, int width, int height, int fps);

// A still picture (PNG file) sent at `fps`; null when the file is no picture.
std::unique_ptr<VideoSource> makeImageSource(const std::string& pngPath, int fps);

// The pixels of a screen (wholeScreen, sourceId = screen index) or of a
// window (sourceId = native window id), at `fps`; a whole screen shows the
// window `excludedWindowId` (0: none) as a plain fill. Null without a display.
std::unique_ptr<VideoSource> makeScreenSource(bool wholeScreen, int64_t sourceId, int64_t excludedWindowId, int fps);

}  // namespace velto_media
