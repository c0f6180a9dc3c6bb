// Cameras through video4linux2: /dev/videoN nodes that capture video.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "VideoSource.h"

namespace velto_media {

// The capture devices present, ordered by node number, named by their card name.
std::vector<CameraInfo> listV4l2Cameras();

// True when `path` names a /dev/videoN node that captures video in a format we convert.
bool isV4l2Camera(const std::string& path);

// A camera on the node `path`, opened by start() (which is negative when the
// node is missing or unusable, -3 when another program holds the camera).
std::unique_ptr<VideoSource> makeV4l2Camera(const std::string& path, int width, int height, int fps);

}  // namespace velto_media
