// The synthetic camera: SyntheticPicture at the asked rate, on the paced
// clock. It is what machines without a camera send.
#include <algorithm>

#include "PacedSource.h"
#include "SyntheticPicture.h"

namespace velto_media {

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 360;
constexpr int kDefaultFps = 15;

class SyntheticCamera final : public PacedSource {
public:
    SyntheticCamera(std::string userName, int width, int height, int fps)
        : PacedSource(width, height, fps), userName_(std::move(userName))
    {
    }
    ~SyntheticCamera() override { stop(); }

private:
    std::shared_ptr<VideoFrame> produce(uint32_t index, int width, int height) override
    {
        // The background is drawn again only when the size changes.
        if (!picture_ || picture_->width() != width || picture_->height() != height)
            picture_ = std::make_unique<SyntheticPicture>(userName_, width, height);
        return picture_->draw(index);
    }

    const std::string userName_;
    std::unique_ptr<SyntheticPicture> picture_;  // the source's thread only
};

}  // namespace

std::unique_ptr<VideoSource> makeSyntheticCamera(const std::string& userName, int width, int height, int fps)
{
    if (width <= 0 || height <= 0)
        width = kDefaultWidth, height = kDefaultHeight;
    return std::make_unique<SyntheticCamera>(userName, width, height, fps > 0 ? fps : kDefaultFps);
}

}  // namespace velto_media
