#include "qroundlabel.h"

#include <QPainter>
#include <QPainterPath>

QRoundLabel::QRoundLabel(QWidget* parent)
    : QLabel(parent)
{
}

void QRoundLabel::mousePressEvent(QMouseEvent*)
{
    emit clicked();
}

void QRoundLabel::paintEvent(QPaintEvent* event)
{
    const QPixmap picture = pixmap(Qt::ReturnByValue);
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    const int d = qMin(width(), height());
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(0, 0, d, d);
    painter.setClipPath(circle);
    // One pixel beyond the circle on every side, so the circle is filled to its edge.
    painter.drawPixmap(QRect(-1, -1, d + 2, d + 2), picture);
}
