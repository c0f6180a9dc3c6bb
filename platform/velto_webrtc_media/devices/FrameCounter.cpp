#include "FrameCounter.h"

#include <cstdlib>
#include <cstring>

namespace velto_media {

namespace {

constexpr int kBits = 32;
constexpr int kMinBlock = 16;
constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;
// A bit counts only when its block and its complement's differ this much in
// mean brightness (of 219 between black and white).
constexpr int kMinContrast = 64;

struct Layout {
    int columns = 0;
    int rows = 0;   // rows of bits; as many rows of complements lie below them
    int block = 0;  // side of a block, even
    int x0 = 0;
    int y0 = 0;
    bool valid() const { return block >= 2; }
};

Layout layoutFor(int width, int height)
{
    Layout l;
    if (width < 2 || height < 2)
        return l;
    l.columns = width / 32 >= kMinBlock ? 32 : width / 16 >= kMinBlock ? 16 : 8;
    l.rows = kBits / l.columns;
    l.block = (width / l.columns) & ~1;
    if (l.block * 2 * l.rows > height)
        l.block = (height / (2 * l.rows)) & ~1;
    if (!l.valid())
        return Layout();
    l.x0 = ((width - l.columns * l.block) / 2) & ~1;
    l.y0 = height - 2 * l.rows * l.block;
    return l;
}

// Top-left corner of bit `bit` (0 = most significant), or of its complement.
void blockOrigin(const Layout& l, int bit, bool complement, int* x, int* y)
{
    *x = l.x0 + (bit % l.columns) * l.block;
    *y = l.y0 + ((complement ? l.rows : 0) + bit / l.columns) * l.block;
}

void fillBlock(VideoFrame& frame, int x, int y, int side, uint8_t luma)
{
    for (int row = y; row < y + side; ++row)
        std::memset(frame.y.data() + size_t(row) * frame.width + x, luma, side);
    int chromaWidth = frame.width / 2;
    for (int row = y / 2; row < (y + side) / 2; ++row) {
        std::memset(frame.u.data() + size_t(row) * chromaWidth + x / 2, 128, side / 2);
        std::memset(frame.v.data() + size_t(row) * chromaWidth + x / 2, 128, side / 2);
    }
}

// Mean brightness of the middle half of a block: its edges blur under coding and scaling.
int innerMean(const VideoFrame& frame, int x, int y, int side)
{
    int from = side / 4, to = side - side / 4;
    int sum = 0, count = 0;
    for (int row = y + from; row < y + to; ++row) {
        const uint8_t* p = frame.y.data() + size_t(row) * frame.width + x;
        for (int col = from; col < to; ++col, ++count)
            sum += p[col];
    }
    return count ? sum / count : 0;
}

bool planesFit(const VideoFrame& frame)
{
    return frame.width > 0 && frame.height > 0 && frame.y.size() >= size_t(frame.width) * frame.height &&
           frame.u.size() >= size_t(frame.width / 2) * (frame.height / 2) &&
           frame.v.size() >= size_t(frame.width / 2) * (frame.height / 2);
}

}  // namespace

int frameCounterBandHeight(int width, int height)
{
    Layout l = layoutFor(width, height);
    return l.valid() ? height - l.y0 : 0;
}

void writeFrameCounter(VideoFrame& frame, uint32_t counter)
{
    Layout l = layoutFor(frame.width, frame.height);
    if (!l.valid() || !planesFit(frame))
        return;
    for (int bit = 0; bit < kBits; ++bit) {
        bool one = (counter >> (kBits - 1 - bit)) & 1;
        int x, y;
        blockOrigin(l, bit, false, &x, &y);
        fillBlock(frame, x, y, l.block, one ? kWhite : kBlack);
        blockOrigin(l, bit, true, &x, &y);
        fillBlock(frame, x, y, l.block, one ? kBlack : kWhite);
    }
}

bool readFrameCounter(const VideoFrame& frame, uint32_t* counter)
{
    Layout l = layoutFor(frame.width, frame.height);
    if (!l.valid() || !planesFit(frame))
        return false;
    uint32_t value = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        int x, y;
        blockOrigin(l, bit, false, &x, &y);
        int plain = innerMean(frame, x, y, l.block);
        blockOrigin(l, bit, true, &x, &y);
        int inverse = innerMean(frame, x, y, l.block);
        if (std::abs(plain - inverse) < kMinContrast)
            return false;
        value = (value << 1) | (plain > inverse ? 1u : 0u);
    }
    if (counter)
        *counter = value;
    return true;
}

}  // namespace velto_media
