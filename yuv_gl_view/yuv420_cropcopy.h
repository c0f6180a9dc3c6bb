#pragma once

#include "QGLRenderInterface.h"

// Places a planar YUV 4:2:0 source frame of srcWidth x srcHeight into a larger
// destination frame whose luma rows are dstStride bytes long, with its top-left
// corner at (x, y). Chroma planes of both frames have half the width, height
// and position, rounded up. The unnamed arguments are ignored.
// Returns 0, also when the source is empty; -1 for a null plane, a negative
// position or a destination row too short for the source.
YUV_GL_VIEW_EXPORT int yuv420_cropcopy(const unsigned char* srcPlaneY, const unsigned char* srcPlaneU,
                                       const unsigned char* srcPlaneV, int srcWidth, int srcHeight, int, int,
                                       int, int, unsigned char* dstPlaneY, unsigned char* dstPlaneU,
                                       unsigned char* dstPlaneV, int x, int y, int dstStride, int);
