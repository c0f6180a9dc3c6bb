#include "roundrect.h"

#include <QPainter>

QBitmap roundRectMask(const QSize& size, int radius)
{
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRect(QPoint(0, 0), size), radius, radius);
    return mask;
}
