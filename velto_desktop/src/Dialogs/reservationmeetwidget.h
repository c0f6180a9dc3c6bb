#pragma once

#include <QString>
#include <QWidget>

#include <string>

#include "VeltoInterface.h"

class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Reserves a one-time meeting, or changes one that setReservationInfo loaded.
class ReservationMeetWidget : public QWidget {
    Q_OBJECT
public:
    // userName: the user's display name, from which the default subject is made.
    explicit ReservationMeetWidget(QString userName, QWidget* parent = nullptr);

    void setReservationInfo(const conferences_info* info);

signals:
    void sigReserveConferenceSuccess();

public slots:
    void slotTranslatorLanguage();

private:
    void reserve();

    QString m_userName;
    std::string m_conferenceId;  // empty for a new reservation
    QLineEdit* m_title;
    QDateTimeEdit* m_start;
    QSpinBox* m_lengthMinutes;
    QLineEdit* m_meetPassword;
    QLineEdit* m_ownerPassword;
    QPushButton* m_btnReserve;
};
