#include "calendarwidget.h"

#include <QIcon>
#include <QCalendarWidget>
#include <QCursor>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>

#include "cglobalinstance.h"

CalendarWidget::CalendarWidget(QWidget* parent)
    : QWidget(parent), m_calendar(new QCalendarWidget(this)), m_timer(new QTimer(this))
{
    setObjectName("CalendarWidget");
    // A child outside any layout keeps the size it is given: the picker's own.
    resize(288, 246);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_calendar);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](const QDate& date) {
        emit sigSelectedDate(date);
        close();
    });
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &CalendarWidget::closeWhenLeft);
    m_timer->start();
}

void CalendarWidget::setXY(int x, int y)
{
    m_position = QPoint(x, y);
    m_calendar->setLocale(QLocale(CGlobalInstance::eLanguage == eENGLISH ? QLocale::English : QLocale::Chinese));
}

void CalendarWidget::setMinimumDate(QDate date) { m_calendar->setMinimumDate(date); }

void CalendarWidget::closeWhenLeft()
{
    if (isVisible() && !QRect(m_position, size()).contains(QCursor::pos()))
        close();
}
