#pragma once
// Where a point of the sharer's screen lands on a viewer's annotation overlay:
// the shared picture is fitted, aspect kept, into the overlay below its title
// strip. QtCore only.

#include <QPoint>

struct AnnotationMapping {
    bool usable = false;  // false: no usable sender or overlay size, draw nothing
    int xOff = 0;
    int yOff = 0;  // includes the title strip
    float sx = 0.0f;
    float sy = 0.0f;

    // Builds the mapping of a W x H overlay whose top titleStrip pixels are no
    // picture, for a sender area of sw x sh.
    static AnnotationMapping compute(int W, int H, int sw, int sh, int titleStrip);

    QPoint map(QPoint p) const;
    // A received pen width on this overlay: scaled down with the picture, never
    // below one pixel.
    int penSize(int size) const;
};
