#include "MediaFiles.h"

#include <png.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace velto::test {

bool writePng(const std::string& path, const Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_ARGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.argb.data(), 0, nullptr) != 0;
}

Picture readPng(const std::string& path)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_ARGB;
    Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    picture.argb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.argb.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    return picture;
}

std::vector<int16_t> readWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The data chunk of the writers used here follows a plain 16-byte format chunk.
    if (bytes.size() < 44 || std::memcmp(bytes.data() + 36, "data", 4) != 0)
        return {};
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

std::vector<std::string> filesStartingWith(const std::string& directory, const std::string& prefix)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string freshTestDirectory(const std::string& name)
{
    const std::string dir = ::testing::TempDir() + "/" + name + "_" + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace velto::test
