#include "RendererSupport.h"

#include <QColor>
#include <QDebug>
#include <QHBoxLayout>
#include <QPalette>
#include <QWidget>

#include <iostream>

namespace renderer_support {

bool isAcceptedFrameSize(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxFrameSide && height <= kMaxFrameSide;
}

void traceInvalidFrame(int width, int height)
{
    qDebug() << "kpz," << "Error,invalid frame, widht:" << width << ",height:" << height;
}

void attachToHolder(QWidget* renderer, QWidget* holder, HolderContent content)
{
    renderer->setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    renderer->setWindowOpacity(1.0);
    renderer->setAutoFillBackground(true);

    const QColor background = (holder ? holder : renderer)->palette().brush(QPalette::Current, QPalette::Window).color();
    std::cout << "kpz," << "parent bk color,red:" << background.red() << ",green:" << background.green()
              << ",blue:" << background.blue() << ",alpha:" << background.alpha() << std::endl;
    if (!holder)
        return;

    if (holder->isVisible())
        renderer->show();
    if (QLayout* old = holder->layout()) {
        while (QLayoutItem* item = old->takeAt(0)) {
            if (content == HolderContent::Delete)
                delete item->widget();
            delete item;
        }
        delete old;
    }
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(renderer);
}

}  // namespace renderer_support
