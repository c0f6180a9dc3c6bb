// A still picture sent as a camera: the PNG is read and converted once, and
// each frame is a copy of it stamped with its own capture time.
#include "PacedSource.h"
#include "PngPicture.h"

namespace velto_media {

namespace {

class ImageSource final : public PacedSource {
public:
    ImageSource(std::shared_ptr<const VideoFrame> picture, int fps)
        : PacedSource(picture->width, picture->height, fps), picture_(std::move(picture))
    {
    }
    ~ImageSource() override { stop(); }

private:
    // The picture keeps its own size whatever size is asked for: scaling is the encoder's business.
    std::shared_ptr<VideoFrame> produce(uint32_t, int, int) override { return std::make_shared<VideoFrame>(*picture_); }

    const std::shared_ptr<const VideoFrame> picture_;
};

}  // namespace

std::unique_ptr<VideoSource> makeImageSource(const std::string& pngPath, int fps)
{
    auto picture = readPngPicture(pngPath);
    if (!picture)
        return nullptr;
    return std::make_unique<ImageSource>(std::move(picture), fps);
}

}  // namespace velto_media
