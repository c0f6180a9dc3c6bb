#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <string>

#include "VeltoInterface.h"

namespace Ui {
class ReservationMeetWidget;
}
class CalendarWidget;

// The form that reserves a meeting, or changes one that setReservationInfo
// loaded. Parentless and modal; the main window makes a new one per opening
// and the form deletes itself when it closes.
class ReservationMeetWidget : public QWidget {
    Q_OBJECT
public:
    // userName: the user's display name, from which the default subject is made.
    explicit ReservationMeetWidget(QString userName, QWidget* parent = nullptr);
    ~ReservationMeetWidget() override;

    void setReservationInfo(const conferences_info* info);
    // Rebuilds the start-time list for `day`: the remaining quarter hours
    // today, every quarter hour on another day.
    void setIntervalComboBox(QDateTime day);
    bool isToday(QString text);

signals:
    void sigReserveConferenceSuccess();

public slots:
    void slotTranslatorLanguage();

private:
    void applyTexts();
    void showDates();
    void moveStartDay(int days);
    void setPeriodic(bool on);
    CalendarWidget* openCalendar(QDate earliest, QPoint at, QPoint global);
    void commitReservation();
    void showError(const QString& text);

    Ui::ReservationMeetWidget* ui;
    std::string m_conferenceId;  // empty for a new reservation; kept until a commit succeeds
    QString m_userName;
    QDateTime m_startDay;
    QDateTime m_endDay;
    QStringList m_timeList;
    qint64 m_storedStartMs = 0;  // of the meeting being changed
    unsigned m_storedLength = 0;
    int m_fullHeight = 0;
};
