#include "FrameDump.h"

#include <png.h>

#include <cstdio>
#include <memory>

FrameDump::FrameDump(std::string directory, std::string label)
    : directory_(std::move(directory)), label_(std::move(label))
{
}

void FrameDump::PlayOneFrame(const unsigned char*, int w, int h)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (written_ > 0 && now - lastWrite_ < std::chrono::seconds(1))
        return;
    if (w != width_ || h != height_ || buffer_.empty())
        return;
    char name[32];
    std::snprintf(name, sizeof name, "-%04d.png", ++written_);
    lastWrite_ = now;
    writePng(directory_ + "/" + label_ + name, buffer_.data(), w, h);
}

bool writePng(const std::string& path, const unsigned char* argb, int width, int height)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const unsigned char* pixel = argb + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            row[size_t(x) * 3] = pixel[x * 4 + 1];
            row[size_t(x) * 3 + 1] = pixel[x * 4 + 2];
            row[size_t(x) * 3 + 2] = pixel[x * 4 + 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
