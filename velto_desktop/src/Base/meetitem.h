#pragma once

#include <QString>
#include <QWidget>

#include <string>

namespace Ui {
class MeetItem;
}

// One row of the Meet and Reservation lists: title, number and time text. A
// press asks for the meeting's details; presses within 300 ms count once.
class MeetItem : public QWidget {
    Q_OBJECT
public:
    MeetItem(std::string meetId, QString title, QString number, QString timeText, QWidget* parent = nullptr);
    ~MeetItem() override;

    std::string getMeetId() const { return m_meetId; }

signals:
    void sigEnterMeetItem(std::string meetId);
    void sigLeaveMeetItem(std::string meetId);

protected:
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Ui::MeetItem* ui;
    std::string m_meetId;
    QString m_title;
    QString m_timeText;
    bool m_busy = false;
};
