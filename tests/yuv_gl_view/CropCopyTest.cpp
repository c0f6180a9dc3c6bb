#include "yuv420_cropcopy.h"

#include <gtest/gtest.h>

#include <climits>
#include <numeric>
#include <vector>

namespace {

constexpr unsigned char kUntouched = 0xEE;

struct Block {
    int x, y, w, h;
};

struct Plane {
    Plane(int stride, int rows) : stride(stride), bytes(std::size_t(stride) * rows, kUntouched) {}

    // The plane as it must look once src (rows of b.w bytes) sits at block b.
    Plane with(const std::vector<unsigned char>& src, Block b) const
    {
        Plane expected = *this;
        for (int r = 0; r < b.h; ++r)
            for (int c = 0; c < b.w; ++c)
                expected.bytes[std::size_t(b.y + r) * stride + b.x + c] = src[std::size_t(r) * b.w + c];
        return expected;
    }

    int stride;
    std::vector<unsigned char> bytes;
};

std::vector<unsigned char> numbered(std::size_t n, unsigned char first)
{
    std::vector<unsigned char> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

struct CropCase {
    const char* name;
    int srcW, srcH;
    int x, y, stride;
    Block chroma;  // where the source chroma must land

    friend void PrintTo(const CropCase& c, std::ostream* os) { *os << c.name; }
};

class CropCopyPlacement : public ::testing::TestWithParam<CropCase> {};

TEST_P(CropCopyPlacement, PlacesLumaAndChromaAtTheirPosition)
{
    const CropCase& c = GetParam();
    const int cw = (c.srcW + 1) / 2;
    const int ch = (c.srcH + 1) / 2;
    const auto y = numbered(std::size_t(c.srcW) * c.srcH, 1);
    const auto u = numbered(std::size_t(cw) * ch, 101);
    const auto v = numbered(std::size_t(cw) * ch, 201);
    const int dstRows = 8;
    Plane dstY(c.stride, dstRows);
    Plane dstU((c.stride + 1) / 2, dstRows / 2);
    Plane dstV = dstU;
    const Plane wantY = dstY.with(y, {c.x, c.y, c.srcW, c.srcH});
    const Plane wantU = dstU.with(u, c.chroma);
    const Plane wantV = dstV.with(v, c.chroma);

    EXPECT_EQ(0, yuv420_cropcopy(y.data(), u.data(), v.data(), c.srcW, c.srcH, 0, 0, 0, 0, dstY.bytes.data(),
                                 dstU.bytes.data(), dstV.bytes.data(), c.x, c.y, c.stride, 0));
    EXPECT_EQ(wantY.bytes, dstY.bytes);
    EXPECT_EQ(wantU.bytes, dstU.bytes);
    EXPECT_EQ(wantV.bytes, dstV.bytes);
}

INSTANTIATE_TEST_SUITE_P(, CropCopyPlacement,
                         ::testing::Values(CropCase{"FourByTwoAtTwoTwo", 4, 2, 2, 2, 8, {1, 1, 2, 1}},
                                           CropCase{"OddHeightKeepsItsLastChromaRow", 4, 3, 0, 0, 8, {0, 0, 2, 2}},
                                           CropCase{"OddWidth", 3, 2, 4, 4, 8, {2, 2, 2, 1}},
                                           CropCase{"FillsTheRow", 8, 2, 0, 6, 8, {0, 3, 4, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CropCopy, RefusesUnsafeArgumentsAndTouchesNothing)
{
    const std::vector<unsigned char> src(16, 7);
    struct Bad {
        const char* name;
        const unsigned char* srcY;
        int w, h, x, y, stride;
        int result;
    } const cases[] = {
        {"null source plane", nullptr, 4, 2, 0, 0, 8, -1},
        {"negative x", src.data(), 4, 2, -1, 0, 8, -1},
        {"negative y", src.data(), 4, 2, 0, -2, 8, -1},
        {"row too short", src.data(), 4, 2, 6, 0, 8, -1},
        {"chroma row too short", src.data(), 3, 2, 5, 0, 8, -1},
        {"negative row length", src.data(), 4, 2, 1, 0, INT_MIN, -1},
        {"empty source", src.data(), 4, 0, 0, 0, 8, 0},
        {"negative width", src.data(), -4, 2, 0, 0, 8, 0},
    };
    for (const Bad& c : cases) {
        std::vector<unsigned char> dst(64, kUntouched);
        EXPECT_EQ(c.result, yuv420_cropcopy(c.srcY, src.data(), src.data(), c.w, c.h, 0, 0, 0, 0, dst.data(),
                                            dst.data() + 32, dst.data() + 48, c.x, c.y, c.stride, 0))
            << c.name;
        EXPECT_EQ(std::vector<unsigned char>(64, kUntouched), dst) << c.name;
    }
}

TEST(CropCopy, AcceptsTheLongestRowLength)
{
    const unsigned char y = 1, u = 2, v = 3;
    unsigned char dstY = 0, dstU = 0, dstV = 0;
    EXPECT_EQ(0, yuv420_cropcopy(&y, &u, &v, 1, 1, 0, 0, 0, 0, &dstY, &dstU, &dstV, 0, 0, INT_MAX, 0));
    EXPECT_EQ(1, dstY);
    EXPECT_EQ(2, dstU);
    EXPECT_EQ(3, dstV);
}

}  // namespace
