// The cameras the engine offers: the V4L2 devices present, then the synthetic
// camera when VELTO_SYNTHETIC_CAMERA is "1" (the run script, the tests, the
// benchmarks and the scripted peer): a user without a camera is offered an
// audio-only join, not a test picture.
#include <cstdlib>
#include <cstring>

#include "V4l2Camera.h"
#include "VideoSource.h"

namespace velto_media {

const char* const kSyntheticCameraId = "synthetic";

std::vector<CameraInfo> listCameras()
{
    auto cameras = listV4l2Cameras();
    const char* synthetic = std::getenv("VELTO_SYNTHETIC_CAMERA");
    if (synthetic && std::strcmp(synthetic, "1") == 0)
        cameras.push_back({kSyntheticCameraId, "Synthetic camera"});
    return cameras;
}

std::unique_ptr<VideoSource> openCamera(const std::string& id, const std::string& userName, int width, int height,
                                        int fps)
{
    if (id == kSyntheticCameraId)
        return makeSyntheticCamera(userName, width, height, fps);
    if (!isV4l2Camera(id))
        return nullptr;
    return makeV4l2Camera(id, width, height, fps);
}

}  // namespace velto_media
