#include "QGLRenderInterface.h"

#include "QOpenGLRGBRender.h"

#include <QDebug>

QGLRenderInterface* QGLRenderInterface::CreateRender(void* parent)
{
    qDebug() << "in," << "CreateRender";
    auto* holder = static_cast<QWidget*>(parent);
    auto* render = new QOpenGLRGBRender(holder);
    if (holder) {
        qDebug() << "x:" << holder->x();
        qDebug() << "y:" << holder->y();
        qDebug() << "width:" << holder->width();
        qDebug() << "height:" << holder->height();
        render->setGeometry(0, 0, holder->width(), holder->height());
    } else {
        qDebug() << "parent is NULL";
    }
    qDebug() << "exit," << "CreateRender";
    return render;
}
