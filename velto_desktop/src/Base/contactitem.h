#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

namespace Ui {
class ContactItem;
}

// One row of the contacts list: avatar, name, device glyph and, under the
// pointer of an online contact, an audio and a video call button.
class ContactItem : public QWidget {
    Q_OBJECT
public:
    ContactItem(std::string userId, QString photoUrl, QString name, bool online, QString clientType,
                QWidget* parent = nullptr);
    ~ContactItem() override;

    void initUI();
    void setDeviceType(std::string clientType);
    void setBtnStatus(bool enabled);
    void selectedItem(bool selected);
    void setOnLine(bool online);
    bool isOnLine() const { return m_online; }

signals:
    void sigRinging(std::string userId, int callType, std::string nickName, int64_t time);

public slots:
    void slotRingingStatus(std::string userId);

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void showAvatar(const QString& path);
    void ring(bool video);

    Ui::ContactItem* ui;
    bool m_online;
    bool m_video = false;
    QString m_photoUrl;
    std::string m_userId;  // lower case
    std::string m_name;
    QString m_clientType;
};
