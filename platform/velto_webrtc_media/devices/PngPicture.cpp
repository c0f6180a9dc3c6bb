#include "PngPicture.h"

#include <png.h>

#include <libyuv/convert.h>

#include <cstring>
#include <vector>

namespace velto_media {

std::shared_ptr<VideoFrame> readPngPicture(const std::string& path)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return nullptr;
    if (image.width < 2 || image.height < 2 || image.width > kMaxPictureSide || image.height > kMaxPictureSide) {
        png_image_free(&image);
        return nullptr;
    }
    // libpng's BGR is libyuv's RGB24 (blue first in memory); without an alpha
    // channel in the asked format, libpng lays transparent pixels over the background.
    image.format = PNG_FORMAT_BGR;
    const int width = int(image.width), height = int(image.height);
    const int stride = width * 3;
    std::vector<uint8_t> pixels(size_t(stride) * height);
    png_color black{0, 0, 0};
    if (!png_image_finish_read(&image, &black, pixels.data(), stride, nullptr)) {
        png_image_free(&image);
        return nullptr;
    }
    auto frame = VideoFrame::black(width & ~1, height & ~1);
    libyuv::RGB24ToI420(pixels.data(), stride, frame->y.data(), frame->width, frame->u.data(), frame->width / 2,
                        frame->v.data(), frame->width / 2, frame->width, frame->height);
    return frame;
}

}  // namespace velto_media
