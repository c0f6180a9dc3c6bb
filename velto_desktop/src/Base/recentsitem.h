#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

namespace Ui {
class RecentsItem;
}

// One row of the recent calls: the other party, the call's length, date and
// direction; under the pointer of an online user two buttons ring again.
// Unanswered calls show the name in red.
class RecentsItem : public QWidget {
    Q_OBJECT
public:
    RecentsItem(QString userid, QString username, int duration, long long starttime, int calltype, bool online,
                QWidget* parent = nullptr);
    ~RecentsItem() override;

    void isBtnVisible(bool visible);
    bool isOnline() const { return m_online; }

signals:
    void sigRinging(std::string userId, int callType, std::string nickName, int64_t time);

public slots:
    void slotUpdateRecentItemStatus(std::string userId, bool onLine);

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showAvatar();
    void ring(bool video);

    Ui::RecentsItem* ui;
    std::string m_userId;
    std::string m_name;
    int m_duration;
    qint64 m_start;
    bool m_online;
    QString m_photoPath;
};
