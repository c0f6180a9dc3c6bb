#pragma once

#include <QWidget>

namespace Ui {
class LoginWidget;
}

// The window through which a user enters: an account login (server, user name,
// password) or an anonymous join of one meeting (server, room, optional
// password, display name). Created once, hidden, by the main window; hiding it
// keeps its page and fields.
class LoginWidget : public QWidget {
    Q_OBJECT
public:
    explicit LoginWidget(QWidget* parent = nullptr);
    ~LoginWidget() override;

    // The start page's Login: logs in at once with the saved account when
    // automatic login is on, otherwise opens the login page.
    void autoLogin();
    // The login page's Login.
    void login();

public slots:
    // The anonymous join, after the device gate.
    void slotJoin();
    void slotTranslatorLanguage();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyTexts();
    void checkDevicesAndJoin();
    // Stores server, user name and password of the login page in the global
    // state; false, after a message, when the user name or password is empty.
    bool takeAccountFields();
    void joinAnonymously();
    void showPage(QWidget* page);

    Ui::LoginWidget* ui;
};
