#include "qbasegraphicsview.h"

#include <QMouseEvent>

QBaseGraphicsView::QBaseGraphicsView(QWidget* parent) : QGraphicsView(parent) { setMouseTracking(true); }

void QBaseGraphicsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sigMousePress(event->localPos().toPoint());
}

void QBaseGraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        emit sigMouseMove(event->localPos().toPoint());
}

void QBaseGraphicsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sigMouseRelease(event->localPos().toPoint());
}

void QBaseGraphicsView::enterEvent(QEvent*) { viewport()->setCursor(Qt::CrossCursor); }

void QBaseGraphicsView::leaveEvent(QEvent*) { viewport()->setCursor(Qt::ArrowCursor); }
