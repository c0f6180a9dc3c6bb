#include "SyntheticPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "BitmapFont.h"
#include "FrameCounter.h"

namespace velto_media {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kScrollPixels = 4;  // per frame, even so that the chroma planes move by whole samples

// 0 .. range .. 0 as `step` grows: a position bouncing between two walls.
int bounce(uint32_t step, int range)
{
    if (range <= 0)
        return 0;
    int phase = int(step % uint32_t(2 * range));
    return phase <= range ? phase : 2 * range - phase;
}

void fillRect(VideoFrame& frame, int x, int y, int w, int h, uint8_t luma, uint8_t cb, uint8_t cr)
{
    x &= ~1, y &= ~1, w &= ~1, h &= ~1;
    int right = std::min(frame.width, x + w), bottom = std::min(frame.height, y + h);
    x = std::max(0, x), y = std::max(0, y);
    if (right <= x || bottom <= y)
        return;
    for (int row = y; row < bottom; ++row)
        std::memset(frame.y.data() + size_t(row) * frame.width + x, luma, size_t(right - x));
    int chromaWidth = frame.width / 2;
    for (int row = y / 2; row < bottom / 2; ++row) {
        std::memset(frame.u.data() + size_t(row) * chromaWidth + x / 2, cb, size_t(right - x) / 2);
        std::memset(frame.v.data() + size_t(row) * chromaWidth + x / 2, cr, size_t(right - x) / 2);
    }
}

}  // namespace

SyntheticPicture::SyntheticPicture(std::string userName, int width, int height)
    : userName_(std::move(userName)), width_(std::max(2, width & ~1)), height_(std::max(2, height & ~1))
{
    int cw = width_ / 2, ch = height_ / 2;
    bandY_.resize(size_t(2 * width_) * height_);
    bandU_.resize(size_t(2 * cw) * ch);
    bandV_.resize(size_t(2 * cw) * ch);
    std::vector<double> wave(size_t(2 * width_));
    for (int x = 0; x < 2 * width_; ++x)
        wave[size_t(x)] = 90 + 50 * std::sin(2 * kPi * x / width_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < 2 * width_; ++x)
            bandY_[size_t(y) * 2 * width_ + x] = uint8_t(wave[size_t(x)] + 40.0 * y / height_);
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < 2 * cw; ++x) {
            double a = 2 * kPi * x / cw;
            bandU_[size_t(y) * 2 * cw + x] = uint8_t(128 + 60 * std::sin(a + 1.0));
            bandV_[size_t(y) * 2 * cw + x] = uint8_t(128 + 60 * std::cos(a + 2.0 * y / ch));
        }
}

std::shared_ptr<VideoFrame> SyntheticPicture::draw(uint32_t counter) const
{
    auto frame = std::make_shared<VideoFrame>();
    frame->width = width_;
    frame->height = height_;
    frame->y.resize(size_t(width_) * height_);
    frame->u.resize(size_t(width_ / 2) * (height_ / 2));
    frame->v.resize(frame->u.size());
    uint32_t motion = counter;  // everything that moves follows the frame number
    drawBackground(*frame, motion);
    drawSquare(*frame, motion);
    drawCaption(*frame, counter);
    writeFrameCounter(*frame, counter);
    return frame;
}

void SyntheticPicture::drawBackground(VideoFrame& frame, uint32_t motion) const
{
    int offset = int((uint64_t(motion) * kScrollPixels) % uint32_t(width_)) & ~1;
    for (int y = 0; y < height_; ++y)
        std::memcpy(frame.y.data() + size_t(y) * width_, bandY_.data() + size_t(y) * 2 * width_ + offset, width_);
    int cw = width_ / 2;
    for (int y = 0; y < height_ / 2; ++y) {
        std::memcpy(frame.u.data() + size_t(y) * cw, bandU_.data() + size_t(y) * 2 * cw + offset / 2, cw);
        std::memcpy(frame.v.data() + size_t(y) * cw, bandV_.data() + size_t(y) * 2 * cw + offset / 2, cw);
    }
}

void SyntheticPicture::drawSquare(VideoFrame& frame, uint32_t motion) const
{
    int side = std::max(2, height_ / 5);
    int floor = height_ - frameCounterBandHeight(width_, height_);
    int x = bounce(motion * 6, width_ - side);
    int y = bounce(motion * 4, floor - side);
    fillRect(frame, x, y, side, side, 200, 60, 200);
}

void SyntheticPicture::drawCaption(VideoFrame& frame, uint32_t counter) const
{
    int scale = std::max(1, height_ / 90);
    int margin = 2 * scale;
    int lineHeight = (kGlyphHeight + 2) * scale;
    int maxCharacters = std::max(1, (width_ - 4 * margin) / (kGlyphAdvance * scale));
    std::string name = userName_;
    // Cut at whole characters: the font counts each UTF-8 sequence as one.
    while (textLength(name) > maxCharacters) {
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty())
            name.pop_back();
    }
    std::string number = "#" + std::to_string(counter);
    int characters = std::max(textLength(name), textLength(number));
    fillRect(frame, margin, margin, characters * kGlyphAdvance * scale + 2 * margin, 2 * lineHeight + margin, 16, 128,
             128);
    drawText(frame.y.data(), frame.width, frame.width, frame.height, 2 * margin, 2 * margin, name, scale, 235);
    drawText(frame.y.data(), frame.width, frame.width, frame.height, 2 * margin, 2 * margin + lineHeight, number, scale,
             235);
}

}  // namespace velto_media
