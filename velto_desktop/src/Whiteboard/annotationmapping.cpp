#include "annotationmapping.h"

#include <algorithm>
#include <cmath>

namespace {

// int(double(v) + 0.5), cut toward zero as the conversion does.
int roundHalfUp(float v) { return static_cast<int>(static_cast<double>(v) + 0.5); }

}  // namespace

AnnotationMapping AnnotationMapping::compute(int W, int H, int sw, int sh, int titleStrip)
{
    AnnotationMapping m;
    const int Hf = H - titleStrip;
    if (W <= 0 || Hf <= 0 || sw <= 0 || sh <= 0)
        return m;
    m.usable = true;

    // Single precision on purpose: every viewer must land on the same pixels.
    const float r = float(W) / float(Hf);
    const int g = int(r * float(sh) + 0.5f);
    const int W2 = sw >= g ? sw : g;
    const int H2 = int(float(W2) / r + 0.5f);
    const int eW = 2 * (W2 / 2);
    const int eH = 2 * (H2 / 2);
    const int hh = roundHalfUp(float(eW - sw) * 0.5f);
    const int vh = roundHalfUp(float(eH - sh) * 0.5f);
    const float a = float(sw) / float(sh);

    // The two fits as the offsets choose them; rounding at small sender sizes
    // can pick one that overflows the area, and both offsets can come out
    // non-zero: then a centred fit keeps the picture inside.
    bool fitted = false;
    if (hh == 0) {  // the picture is at least as wide as the area: fit to width
        const int cH = int(float(W) / a + 0.5f);
        if (cH <= Hf) {
            m.xOff = 0;
            m.yOff = roundHalfUp(float(Hf - cH) * 0.5f);
            m.sx = float(W) / float(sw);
            m.sy = float(cH) / float(sh);
            fitted = true;
        }
    } else if (vh == 0) {  // narrower: fit to height
        const int cW = roundHalfUp(a * float(Hf));
        if (cW <= W) {
            m.xOff = roundHalfUp(float(W - cW) * 0.5f);
            m.yOff = 0;
            m.sx = float(cW) / float(sw);
            m.sy = float(Hf) / float(sh);
            fitted = true;
        }
    }
    if (!fitted) {
        const float s = std::min(float(W) / float(sw), float(Hf) / float(sh));
        m.sx = m.sy = s;
        m.xOff = roundHalfUp((float(W) - float(sw) * s) * 0.5f);
        m.yOff = roundHalfUp((float(Hf) - float(sh) * s) * 0.5f);
    }
    m.yOff += titleStrip;
    return m;
}

QPoint AnnotationMapping::map(QPoint p) const
{
    return QPoint(int(float(p.x()) * sx + 0.5f) + xOff, int(float(p.y()) * sy + 0.5f) + yOff);
}

int AnnotationMapping::penSize(int size) const
{
    if (sy < 1.0f)
        size = roundHalfUp(float(size) * sy);
    return std::max(size, 1);
}
