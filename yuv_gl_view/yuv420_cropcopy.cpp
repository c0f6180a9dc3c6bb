#include "yuv420_cropcopy.h"

#include <cstddef>
#include <cstring>

namespace {

// Half of a non-negative size or position, rounded up, without overflow.
constexpr int half(int value)
{
    return value / 2 + value % 2;
}

void copyRows(const unsigned char* src, int width, int rows, unsigned char* dst, std::size_t dstOrigin, int dstStride)
{
    for (int r = 0; r < rows; ++r)
        std::memcpy(dst + dstOrigin + static_cast<std::size_t>(r) * dstStride,
                    src + static_cast<std::size_t>(r) * width, width);
}

}  // namespace

int yuv420_cropcopy(const unsigned char* srcPlaneY, const unsigned char* srcPlaneU, const unsigned char* srcPlaneV,
                    int srcWidth, int srcHeight, int, int, int, int, unsigned char* dstPlaneY,
                    unsigned char* dstPlaneU, unsigned char* dstPlaneV, int x, int y, int dstStride, int)
{
    if (srcWidth < 1 || srcHeight < 1)
        return 0;
    if (!srcPlaneY || !srcPlaneU || !srcPlaneV || !dstPlaneY || !dstPlaneU || !dstPlaneV || x < 0 || y < 0
        || dstStride < x || srcWidth > dstStride - x || half(x) + half(srcWidth) > half(dstStride))
        return -1;

    copyRows(srcPlaneY, srcWidth, srcHeight, dstPlaneY,
             static_cast<std::size_t>(y) * dstStride + x, dstStride);

    // An odd height still has chroma for its last row.
    const int chromaStride = half(dstStride);
    const std::size_t chromaOrigin = static_cast<std::size_t>(half(y)) * chromaStride + half(x);
    copyRows(srcPlaneU, half(srcWidth), half(srcHeight), dstPlaneU, chromaOrigin, chromaStride);
    copyRows(srcPlaneV, half(srcWidth), half(srcHeight), dstPlaneV, chromaOrigin, chromaStride);
    return 0;
}
