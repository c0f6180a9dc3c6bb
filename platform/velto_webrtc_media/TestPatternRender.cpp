#include "TestPatternRender.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "QGLRenderInterface.h"

namespace velto_media {
namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(66);
constexpr int kBarWidth = 16;

std::uint32_t labelHash(const std::string& label)
{
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : label)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

// Bright enough to tell apart from a black, empty view.
unsigned char channel(std::uint32_t hash, int shift)
{
    return static_cast<unsigned char>(0x40 | ((hash >> shift) & 0xbf));
}

void setPixel(unsigned char* pixel, unsigned char r, unsigned char g, unsigned char b)
{
    pixel[0] = 0xff;  // alpha, red, green, blue in memory order
    pixel[1] = r;
    pixel[2] = g;
    pixel[3] = b;
}

}  // namespace

TestPatternRender::TestPatternRender(QGLRenderInterface* target, const std::string& label, int width, int height)
    : target_(target),
      label_(label),
      red_(channel(labelHash(label), 0)),
      green_(channel(labelHash(label), 8)),
      blue_(channel(labelHash(label), 16)),
      width_(width),
      height_(height),
      thread_([this] { run(); })
{
}

TestPatternRender::~TestPatternRender()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TestPatternRender::resize(int width, int height)
{
    std::lock_guard<std::mutex> lock(mutex_);
    width_ = width;
    height_ = height;
}

void TestPatternRender::size(int* width, int* height) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    *width = width_;
    *height = height_;
}

void TestPatternRender::run()
{
    // A frame is the stream's colour with a white bar sweeping across and a
    // dark one sweeping down: every row is one of two prepared rows.
    std::vector<unsigned char> plainRow;
    std::vector<unsigned char> darkRow;
    for (unsigned frame = 0;; ++frame) {
        int width = 0;
        int height = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_for(lock, kFrameInterval, [this] { return stopping_; }))
                return;
            width = width_;
            height = height_;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
        plainRow.resize(rowBytes);
        darkRow.resize(rowBytes);
        const int barX = static_cast<int>(frame * 8 % static_cast<unsigned>(width + kBarWidth)) - kBarWidth;
        for (int x = 0; x < width; ++x) {
            const bool inBar = x >= barX && x < barX + kBarWidth;
            unsigned char* plain = &plainRow[static_cast<std::size_t>(x) * 4];
            if (inBar)
                setPixel(plain, 0xff, 0xff, 0xff);
            else
                setPixel(plain, red_, green_, blue_);
            setPixel(&darkRow[static_cast<std::size_t>(x) * 4], red_ / 4, green_ / 4, blue_ / 4);
        }
        const int barY = static_cast<int>(frame * 4 % static_cast<unsigned>(height + kBarWidth)) - kBarWidth;

        target_->lockBuffer();
        unsigned char* buffer = target_->getDataBuffer(width, height);
        if (buffer) {
            for (int y = 0; y < height; ++y) {
                const bool inBar = y >= barY && y < barY + kBarWidth;
                std::memcpy(buffer + static_cast<std::size_t>(y) * rowBytes, inBar ? darkRow.data() : plainRow.data(),
                            rowBytes);
            }
        }
        target_->unlockBuffer();
        if (buffer)
            target_->PlayOneFrame(buffer, width, height);
    }
}

}  // namespace velto_media
