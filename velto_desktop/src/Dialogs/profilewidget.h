#pragma once

#include <QString>
#include <QWidget>

#include <string>

namespace Ui {
class ProfileWidget;
}

// The own profile: avatar, account, e-mail address, display name and phone.
// Modal and parentless; deletes itself when it closes (title bar, Edit, or a
// lost network).
class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    ProfileWidget(std::string userName, std::string email, std::string displayName, std::string phone,
                  QWidget* parent = nullptr);
    ~ProfileWidget() override;

public slots:
    void slotTranslatorLanguage();

private:
    void showTexts();

    Ui::ProfileWidget* ui;
    QString m_account;
    QString m_email;
    QString m_displayName;
    QString m_phone;
};
