#include "qtopwidget.h"

#include <QLabel>
#include <QMouseEvent>

QTopWidget::QTopWidget(QWidget* parent)
    : QWidget(parent), m_renderArea(new QWidget(this)), m_muteLabel(new QLabel(this))
{
    setObjectName("QTopWidget");
    // A click on it leaves the focus with the meeting (its cursor poll goes on).
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet("background:black;");
    setFixedSize(320, 180);
    m_muteLabel->setObjectName("lblSelfMute");
    m_muteLabel->setFixedSize(60, 60);
    m_muteLabel->move(130, 60);
    m_muteLabel->setPixmap(QPixmap(":/icons/no_video").scaled(60, 60, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_muteLabel->hide();
    m_renderArea->setObjectName("selfRenderArea");
    m_renderArea->setGeometry(0, 0, 320, 180);
}

void QTopWidget::showMute(bool mute)
{
    m_muteLabel->setVisible(mute);
    m_renderArea->setVisible(!mute);
}

void QTopWidget::mousePressEvent(QMouseEvent* event)
{
    m_dragging = true;
    m_offset = event->globalPos() - pos();
}

void QTopWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || event->buttons() == Qt::NoButton)
        return;
    move(event->globalPos() - m_offset);
    m_offset = event->globalPos() - pos();
}

void QTopWidget::mouseReleaseEvent(QMouseEvent*) { m_dragging = false; }
