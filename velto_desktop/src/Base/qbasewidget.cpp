#include "qbasewidget.h"

#include <QMouseEvent>

QBaseWidget::QBaseWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_StyledBackground); }

void QBaseWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sigClicked();
}
