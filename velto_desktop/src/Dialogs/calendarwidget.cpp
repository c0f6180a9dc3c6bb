#include "calendarwidget.h"

#include <QCalendarWidget>
#include <QCursor>
#include <QLocale>
#include <QTimer>

#include "cglobalinstance.h"
#include "ui_calendarwidget.h"

CalendarWidget::CalendarWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::CalendarWidget), m_timer(new QTimer(this))
{
    ui->setupUi(this);
    // The frameless hint alone keeps the picker a child drawn in its parent.
    setWindowFlags(Qt::FramelessWindowHint);
    applyLanguage();
    connect(ui->calendarWidget, &QCalendarWidget::clicked, this, [this](const QDate& date) {
        emit sigSelectedDate(date);
        close();
    });
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &CalendarWidget::closeWhenLeft);
    m_timer->start();
}

CalendarWidget::~CalendarWidget() { delete ui; }

void CalendarWidget::applyLanguage()
{
    ui->calendarWidget->setLocale(
        QLocale(CGlobalInstance::eLanguage == eENGLISH ? QLocale::English : QLocale::Chinese));
}

void CalendarWidget::setXY(int x, int y)
{
    m_position = QPoint(x, y);
    applyLanguage();
}

void CalendarWidget::setMinimumDate(QDate date) { ui->calendarWidget->setMinimumDate(date); }

void CalendarWidget::closeWhenLeft()
{
    if (isVisible() && !QRect(m_position, size()).contains(QCursor::pos()))
        close();
}
