#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "VeltoInterface.h"

class QListWidgetItem;
class QUserInfoWidget;

namespace Ui {
class QConferenceInfoWidget;
}

// A self-contained participation panel: a dark rounded card with the meeting's
// number and type, the user's name and role, and the participants as rows. It
// deletes itself when it closes.
class QConferenceInfoWidget : public QWidget {
    Q_OBJECT
public:
    explicit QConferenceInfoWidget(QWidget* parent = nullptr);
    ~QConferenceInfoWidget() override;

    void showInfoWidget();
    void resizeWidget();
    void closeAllWidgets();
    void setConferenceInfo();
    void setUserListWidget();
    void addItemWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator, bool videoMute,
                       bool audioMute);
    std::vector<QUserInfoWidget*> rows() const;

signals:
    void sigMicPhone(bool mute);
    void sigTransferModerator();

public slots:
    void slotGrantAdmin();
    void slotAddUser(user_info user);
    void slotRemoveUser(std::string userJid);
    void slotTranslatorLanguage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void removeItem(size_t index);

    Ui::QConferenceInfoWidget* ui;
    std::vector<QListWidgetItem*> m_items;
};
