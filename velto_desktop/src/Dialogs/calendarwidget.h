#pragma once

#include <QDate>
#include <QPoint>
#include <QWidget>

class QCalendarWidget;
class QTimer;

// Date-picker popup of the Meet and Reservation pages. It closes itself when
// a day is picked or when the cursor has left it.
class CalendarWidget : public QWidget {
    Q_OBJECT
public:
    explicit CalendarWidget(QWidget* parent = nullptr);

    // Global position of the popup, used to notice the cursor leaving it;
    // also picks the calendar's language.
    void setXY(int x, int y);
    void setMinimumDate(QDate date);

signals:
    void sigSelectedDate(const QDate& date);

private:
    void closeWhenLeft();

    QCalendarWidget* m_calendar;
    QTimer* m_timer;
    QPoint m_position;
};
