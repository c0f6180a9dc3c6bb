#include "qtransparentwidget.h"

#include "roundrect.h"

#include <QPainter>

QTransparentWidget::QTransparentWidget(QWidget* parent)
    : QWidget(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
}

void QTransparentWidget::setRoundRect(int radius)
{
    setMask(roundRectMask(size(), radius));
}

void QTransparentWidget::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), QColor(0, 0, 0, 80));
}
