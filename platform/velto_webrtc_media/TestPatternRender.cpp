#include "TestPatternRender.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <cstring>
#include <vector>

#include "QGLRenderInterface.h"

namespace velto_media {
namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(66);
constexpr int kBarWidth = 16;

// The name: 5x7 glyphs drawn twice their size, from this corner of the frame.
constexpr int kGlyphScale = 2;
constexpr int kGlyphAdvance = 6 * kGlyphScale;
constexpr int kNameMargin = 6;
constexpr int kNamePadding = 3;
constexpr int kNameHeight = 7 * kGlyphScale;

struct Glyph {
    char letter;
    unsigned char rows[7];  // bit 4 is the leftmost column
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'@', {0x0E, 0x11, 0x17, 0x15, 0x17, 0x10, 0x0F}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}, {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph& glyphOf(char c)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& glyph : kGlyphs)
        if (glyph.letter == upper)
            return glyph;
    return kGlyphs[std::size(kGlyphs) - 1];  // '?'
}

std::uint32_t labelHash(const std::string& label)
{
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : label)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

// Bright enough to tell apart from a black, empty view; never full white,
// which only the name uses.
unsigned char channel(std::uint32_t hash, int shift)
{
    return static_cast<unsigned char>(0x40 | ((hash >> shift) & 0xbe));
}

constexpr unsigned char kBar = 0xe0;  // the sweeping bar's grey

void setPixel(unsigned char* pixel, unsigned char r, unsigned char g, unsigned char b)
{
    pixel[0] = 0xff;  // alpha, red, green, blue in memory order
    pixel[1] = r;
    pixel[2] = g;
    pixel[3] = b;
}

// The lit pixels of `name`, relative to its top-left corner.
std::vector<std::pair<int, int>> namePixels(const std::string& name)
{
    std::vector<std::pair<int, int>> pixels;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const Glyph& glyph = glyphOf(name[i]);
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph.rows[row] & (0x10 >> column))
                    for (int dy = 0; dy < kGlyphScale; ++dy)
                        for (int dx = 0; dx < kGlyphScale; ++dx)
                            pixels.emplace_back(static_cast<int>(i) * kGlyphAdvance + column * kGlyphScale + dx,
                                                row * kGlyphScale + dy);
    }
    return pixels;
}

}  // namespace

TestPatternRender::TestPatternRender(QGLRenderInterface* target, const std::string& label, const std::string& name,
                                     int width, int height, bool showing)
    : target_(target),
      label_(label),
      red_(channel(labelHash(label), 0)),
      green_(channel(labelHash(label), 8)),
      blue_(channel(labelHash(label), 16)),
      namePixels_(namePixels(name)),
      showing_(showing),
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
    // A frame is the stream's colour with a light bar sweeping across and a
    // dark one sweeping down: every row is one of two prepared rows. The name
    // stands white on a dark box in the top-left corner.
    std::vector<unsigned char> plainRow;
    std::vector<unsigned char> darkRow;
    std::vector<unsigned char> blackRow;
    int nameWidth = 0;
    for (const auto& [x, y] : namePixels_)
        nameWidth = std::max(nameWidth, x + 1);
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
        const bool showing = showing_;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
        plainRow.resize(rowBytes);
        darkRow.resize(rowBytes);
        blackRow.resize(rowBytes);
        const int barX = static_cast<int>(frame * 8 % static_cast<unsigned>(width + kBarWidth)) - kBarWidth;
        for (int x = 0; x < width; ++x) {
            const bool inBar = x >= barX && x < barX + kBarWidth;
            unsigned char* plain = &plainRow[static_cast<std::size_t>(x) * 4];
            if (inBar)
                setPixel(plain, kBar, kBar, kBar);
            else
                setPixel(plain, red_, green_, blue_);
            setPixel(&darkRow[static_cast<std::size_t>(x) * 4], red_ / 4, green_ / 4, blue_ / 4);
            setPixel(&blackRow[static_cast<std::size_t>(x) * 4], 0, 0, 0);
        }
        const int barY = static_cast<int>(frame * 4 % static_cast<unsigned>(height + kBarWidth)) - kBarWidth;

        target_->lockBuffer();
        unsigned char* buffer = target_->getDataBuffer(width, height);
        if (buffer) {
            for (int y = 0; y < height; ++y) {
                const bool inBar = y >= barY && y < barY + kBarWidth;
                const unsigned char* row = !showing ? blackRow.data() : inBar ? darkRow.data() : plainRow.data();
                std::memcpy(buffer + static_cast<std::size_t>(y) * rowBytes, row, rowBytes);
            }
            if (showing && nameWidth > 0) {
                const auto pixel = [&](int x, int y) {
                    return buffer + (static_cast<std::size_t>(y) * width + x) * 4;
                };
                const int boxRight = std::min(width, kNameMargin + nameWidth + kNamePadding);
                const int boxBottom = std::min(height, kNameMargin + kNameHeight + kNamePadding);
                for (int y = kNameMargin - kNamePadding; y < boxBottom; ++y)
                    for (int x = kNameMargin - kNamePadding; x < boxRight; ++x)
                        setPixel(pixel(x, y), red_ / 4, green_ / 4, blue_ / 4);
                for (const auto& [dx, dy] : namePixels_) {
                    const int x = kNameMargin + dx;
                    const int y = kNameMargin + dy;
                    if (x < width && y < height)
                        setPixel(pixel(x, y), 0xff, 0xff, 0xff);
                }
            }
        }
        target_->unlockBuffer();
        if (buffer)
            target_->PlayOneFrame(buffer, width, height);
    }
}

}  // namespace velto_media
