#include "qbaselistwidget.h"

QBaseListWidget::QBaseListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setAttribute(Qt::WA_MouseTracking);
}
