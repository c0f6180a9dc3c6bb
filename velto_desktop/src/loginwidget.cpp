#include "loginwidget.h"
#include "ui_loginwidget.h"

#include <QIcon>
#include <QKeyEvent>

#include "Dialogs/avcheckwidget.h"
#include "Tools/settings.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"
#include "cveltocallback.h"
#include "mainwindow.h"

namespace {

void showError(int code) { MainWindow::showMessageBox(code, MainWindow::PromptKind::Default); }

}  // namespace

LoginWidget::LoginWidget(QWidget* parent) : QWidget(parent), ui(new Ui::LoginWidget)
{
    ui->setupUi(this);
    showPage(ui->pageMain);
    setWindowIcon(QIcon(":/images/logo"));
    ui->lblIcon->setStyleSheet("border-image: url(:/images/logo);");
    applyTexts();

    connect(ui->btnLogin, &QPushButton::clicked, this, &LoginWidget::autoLogin);
    connect(ui->btnJoin, &QPushButton::clicked, this, [this] { showPage(ui->pageJoin); });
    connect(ui->btnBack, &QPushButton::clicked, this, [this] { showPage(ui->pageMain); });
    connect(ui->btnBack_2, &QPushButton::clicked, this, [this] { showPage(ui->pageMain); });
    connect(ui->btnLogin_2, &QPushButton::clicked, this, &LoginWidget::login);
    connect(ui->btnJoin_2, &QPushButton::clicked, this, &LoginWidget::checkDevicesAndJoin);

    ui->edtRoom->setValidator();
    ui->edtPassword->setPasswordEchoMode();
    ui->edtPassword_2->setPasswordEchoMode();

    const QString nickname = Settings().value("/Login/nickname");
    ui->chkNickName->setChecked(!nickname.isEmpty());
    ui->edtNickname->setText(nickname);

    QString userName, password, server;
    Sqlite3::instance()->getUserTable(userName, password, server);
    if (!userName.isEmpty()) {
        ui->edtDomain_2->setText(server);
        ui->edtUsername->setText(userName);
        ui->edtPassword_2->setText(password);
        ui->chkAutoLogin->setChecked(CGlobalInstance::preferences.autoLogin);
    } else {
        CGlobalInstance::preferences.autoLogin = false;
        ui->chkAutoLogin->setChecked(false);
    }
}

LoginWidget::~LoginWidget() { delete ui; }

void LoginWidget::applyTexts()
{
    setWindowTitle(tr("BRENMORAL"));
    ui->lblVersion->setText(kAppVersion);
    ui->edtDomain->setPlaceholderText(kDefaultServer);
    ui->edtDomain_2->setPlaceholderText(kDefaultServer);
    ui->edtRoom->setPlaceholderText(tr("Please enter the room number"));
    ui->edtPassword->setPlaceholderText(tr("Please enter the password"));
    ui->edtNickname->setPlaceholderText(tr("Please enter your name"));
    ui->edtUsername->setPlaceholderText(tr("Please enter the username"));
    ui->edtPassword_2->setPlaceholderText(tr("Please enter the password"));
    ui->chkNickName->setText(tr("Use the current name at a later meeting"));
    ui->chkAutoLogin->setText(tr("Automatic logon"));
}

void LoginWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    applyTexts();
}

void LoginWidget::showPage(QWidget* page) { ui->stackedWidget->setCurrentWidget(page); }

bool LoginWidget::takeAccountFields()
{
    UserInfo& user = CGlobalInstance::userInfo;
    user.server = serverOrDefault(ui->edtDomain_2->text().toStdString());
    user.username = ui->edtUsername->text().toStdString();
    if (user.username.empty()) {
        showError(300103);
        return false;
    }
    user.password = ui->edtPassword_2->text().toStdString();
    if (user.password.empty()) {
        showError(300104);
        return false;
    }
    return true;
}

void LoginWidget::autoLogin()
{
    if (!CGlobalInstance::preferences.autoLogin) {
        showPage(ui->pageLogin);
        return;
    }
    ui->btnLogin->setEnabled(false);
    CGlobalInstance::isAnonymousLogin = false;
    if (!takeAccountFields()) {
        showPage(ui->pageLogin);
    } else {
        const UserInfo& user = CGlobalInstance::userInfo;
        if (CGlobalInstance::veltoCallback->loginAccount(user.server, user.username, user.password) == 0) {
            close();
        } else {
            // Let the user correct the fields instead of failing the same way again.
            showPage(ui->pageLogin);
            Settings().setValue("/General/autoLogin", false);
            CGlobalInstance::preferences.autoLogin = false;
            ui->chkAutoLogin->setChecked(false);
        }
    }
    ui->btnLogin->setEnabled(true);
}

void LoginWidget::login()
{
    ui->btnLogin_2->setEnabled(false);
    CGlobalInstance::isAnonymousLogin = false;
    if (takeAccountFields()) {
        const UserInfo& user = CGlobalInstance::userInfo;
        if (CGlobalInstance::veltoCallback->loginAccount(user.server, user.username, user.password) == 0) {
            const bool keepLoggingIn = ui->chkAutoLogin->isChecked();
            Sqlite3::instance()->updateUserTable(ui->edtUsername->text(), ui->edtPassword_2->text(),
                                                 ui->edtDomain_2->text(), keepLoggingIn);
            Settings().setValue("/General/autoLogin", keepLoggingIn);
            CGlobalInstance::preferences.autoLogin = keepLoggingIn;
            close();
        }
    }
    ui->btnLogin_2->setEnabled(true);
}

void LoginWidget::checkDevicesAndJoin()
{
    MainWindow::runAfterDeviceCheck(this, [this] { slotJoin(); });
}

void LoginWidget::slotJoin()
{
    ui->btnJoin_2->setEnabled(false);
    CGlobalInstance::isAnonymousLogin = true;
    CGlobalInstance::userInfo.server = serverOrDefault(ui->edtDomain->text().toStdString());
    CGlobalInstance::conferenceInfo.room = ui->edtRoom->text().toStdString();
    if (CGlobalInstance::conferenceInfo.room.empty()) {
        showError(300315);
        ui->btnJoin_2->setEnabled(true);
        return;
    }
    CGlobalInstance::userInfo.password = ui->edtPassword->text().toStdString();
    CGlobalInstance::userInfo.username = ui->edtNickname->text().toStdString();
    if (CGlobalInstance::userInfo.username.empty()) {
        showError(108);
        ui->btnJoin_2->setEnabled(true);
        return;
    }

    hide();
    auto* check = new AVCheckWidget(nullptr);
    // One check window per attempt; closing it through its title bar counts
    // as Back, so the join button never stays disabled behind a hidden page.
    check->setAttribute(Qt::WA_DeleteOnClose);
    connect(check, &AVCheckWidget::sigJoin, this, &LoginWidget::joinAnonymously);
    connect(check, &QObject::destroyed, this, [this] {
        if (ui->btnJoin_2->isEnabled())
            return;
        ui->btnJoin_2->setEnabled(true);
        show();
    });
    check->show();
}

void LoginWidget::joinAnonymously()
{
    const UserInfo& user = CGlobalInstance::userInfo;
    const std::string room = CGlobalInstance::conferenceInfo.room;
    CVeltoCallback* callback = CGlobalInstance::veltoCallback;
    const auto result = callback->enterConference([&] {
        return CGlobalInstance::veltoSdk->AnonymousJoinConference(user.server, room, user.password, user.username);
    });
    if (result == CVeltoCallback::EntryResult::Entered) {
        Settings settings;
        if (ui->chkNickName->isChecked())
            settings.setValue("/Login/nickname", ui->edtNickname->text());
        else
            settings.removeKey("/Login/nickname");
        showPage(ui->pageMain);
    } else {
        callback->abandonLogin();
        show();
    }
    ui->btnJoin_2->setEnabled(true);
}

void LoginWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    QWidget* page = ui->stackedWidget->currentWidget();
    QWidget* focus = focusWidget();
    if (page == ui->pageMain) {
        if (focus == ui->btnJoin)
            showPage(ui->pageJoin);
        else
            autoLogin();
    } else if (page == ui->pageJoin) {
        if (focus == ui->btnBack_2)
            showPage(ui->pageMain);
        else if (focus == ui->chkNickName)
            ui->chkNickName->toggle();
        else
            checkDevicesAndJoin();
    } else if (page == ui->pageLogin) {
        if (focus == ui->btnBack)
            showPage(ui->pageMain);
        else if (focus == ui->chkAutoLogin)
            ui->chkAutoLogin->toggle();
        else
            login();
    }
}
