#pragma once

#include <QDate>
#include <QPoint>
#include <QWidget>

class QTimer;

namespace Ui {
class CalendarWidget;
}

// Date picker drawn inside its opener (a frameless child, not a window). It
// closes itself when a day is picked or when the cursor has left it.
class CalendarWidget : public QWidget {
    Q_OBJECT
public:
    explicit CalendarWidget(QWidget* parent = nullptr);
    ~CalendarWidget() override;

    // Global position of the picker, used to notice the cursor leaving it;
    // also picks the calendar's language again.
    void setXY(int x, int y);
    void setMinimumDate(QDate date);

signals:
    void sigSelectedDate(const QDate& date);

private:
    void applyLanguage();
    void closeWhenLeft();

    Ui::CalendarWidget* ui;
    QTimer* m_timer;
    QPoint m_position;
};
