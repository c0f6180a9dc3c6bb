#include "switchcontrol.h"

#include "meetingtoolrules.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

SwitchControl::SwitchControl(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(24);
    connect(&m_timer, &QTimer::timeout, this, &SwitchControl::onTimeout);
}

void SwitchControl::setToggle(bool checked)
{
    m_on = checked;
    m_timer.start(5);
}

QSize SwitchControl::sizeHint() const
{
    return QSize(2 * (m_knobHeight + m_margin), m_knobHeight + 2 * m_margin);
}

QSize SwitchControl::minimumSizeHint() const
{
    return sizeHint();
}

void SwitchControl::onTimeout()
{
    if (m_on) {
        m_knobX += 1;
        if (m_knobX >= meetingtools::switchKnobRest(true, width(), m_knobHeight))
            m_timer.stop();
    } else {
        m_knobX -= 1;
        if (m_knobX <= meetingtools::switchKnobRest(false, width(), m_knobHeight))
            m_timer.stop();
    }
    update();
}

void SwitchControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor track = isEnabled() && m_on ? m_checkedColor : m_disabledColor;
    QPainterPath path;
    path.addRoundedRect(QRectF(m_margin, m_margin, width() - 2 * m_margin, height() - 2 * m_margin), m_radius,
                        m_radius);
    painter.setBrush(track);
    painter.drawPath(path.simplified());
    painter.setBrush(m_thumbColor);
    painter.drawEllipse(QRectF(m_knobX - m_knobHeight / 2 + 1, m_knobY - m_knobHeight / 2, height(), height()));
}

void SwitchControl::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (event->buttons() & Qt::LeftButton)
        event->accept();
    else
        event->ignore();
}

void SwitchControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    m_on = !m_on;
    emit toggled(m_on);
    m_timer.start(10);
}

// A resize puts the knob where the state says at once: a switch that is on
// stays on the right instead of sliding in from the left again.
void SwitchControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_knobX = meetingtools::switchKnobRest(m_on, width(), m_knobHeight);
    m_knobY = m_knobHeight / 2;
    m_timer.stop();
    update();
}
