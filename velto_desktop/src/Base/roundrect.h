#ifndef ROUNDRECT_H
#define ROUNDRECT_H

#include <QBitmap>
#include <QSize>

// A mask that keeps the rounded rectangle of `size` with both corner radii `radius`.
QBitmap roundRectMask(const QSize& size, int radius);

#endif // ROUNDRECT_H
