// The login page: account login, the saved account, the Return key.
#include "AppTestSupport.h"

#include <QAudioDeviceInfo>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>

#include "Base/qbaselineedit.h"
#include "Dialogs/avcheckwidget.h"
#include "Dialogs/videowidget.h"
#include "Tools/settings.h"
#include "Tools/sqlite3.h"
#include "loginwidget.h"

using namespace velto::test;

namespace {

class LoginTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        makeWindow();
        login = window->loginWidget();
    }

    template <typename T>
    T* child(const char* name) const
    {
        T* found = login->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QBaseLineEdit* edit(const char* name) const { return child<QBaseLineEdit>(name); }
    QString page() const { return child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(); }

    void fillAccount(const QString& server, const QString& user, const QString& password, bool autoLogin)
    {
        edit("edtDomain_2")->setText(server);
        edit("edtUsername")->setText(user);
        edit("edtPassword_2")->setText(password);
        child<QCheckBox>("chkAutoLogin")->setChecked(autoLogin);
    }

    // The server accepts every login; `result` is what Login itself returns.
    void serverAccepts(int result)
    {
        sdk.setResult("Login", result);
        sdk.onCall = [this](const SdkCall& call) {
            if (call.name == "Login")
                sdk.callback()->onLogin(200, demoLogin());
        };
    }

    static void savedAccount(QString& user, QString& password, QString& server)
    {
        Sqlite3::instance()->getUserTable(user, password, server);
    }

    LoginWidget* login = nullptr;
};

}  // namespace

TEST_F(LoginTest, SuccessSavesTheTrimmedAccountAndTheChoice)
{
    serverAccepts(0);
    login->show();
    fillAccount("  ", "  alice  ", " secret ", true);
    child<QPushButton>("btnLogin_2")->click();

    EXPECT_EQ(sdk.last("Login").args, (Args{"localhost:8443", "alice", "secret", "localhost:8443"}));
    QString user, password, server;
    savedAccount(user, password, server);
    EXPECT_EQ(user, "alice");
    EXPECT_EQ(password, "secret");
    EXPECT_EQ(server, "");  // an empty field stays empty at the next start
    EXPECT_TRUE(CGlobalInstance::preferences.autoLogin);
    EXPECT_EQ(Settings().value("/General/autoLogin"), "true");
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(LoginTest, FailureSavesNothing)
{
    sdk.setResult("Login", -1);
    login->show();
    fillAccount("example.org", "alice", "secret", true);
    child<QPushButton>("btnLogin_2")->click();

    EXPECT_EQ(sdk.count("Login"), 1);
    QString user, password, server;
    savedAccount(user, password, server);
    EXPECT_TRUE(user.isEmpty());
    EXPECT_TRUE(Settings().value("/General/autoLogin").isEmpty());
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(page(), "pageMain");
}

TEST_F(LoginTest, AcceptedLoginWhoseConnectionFailsIsTakenBack)
{
    serverAccepts(-7);
    login->show();
    fillAccount("", "alice", "secret", false);
    child<QPushButton>("btnLogin_2")->click();

    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"Login", "QueryUsers", "Logout"}));
    EXPECT_FALSE(CGlobalInstance::isLogin);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(login->isVisible());
    QString user, password, server;
    savedAccount(user, password, server);
    EXPECT_TRUE(user.isEmpty());
}

TEST_F(LoginTest, HostilePasswordRoundTrips)
{
    const QString hostile = "pa%1ss' \"; DROP TABLE user; -- 密码";
    serverAccepts(0);
    fillAccount("example.org:8443", "o'brien", hostile, true);
    child<QPushButton>("btnLogin_2")->click();
    ASSERT_EQ(sdk.last("Login").args[2], hostile.toStdString());

    LoginWidget next;  // the next start reads the saved account back
    EXPECT_EQ(next.findChild<QBaseLineEdit*>("edtPassword_2")->text(), hostile);
    EXPECT_EQ(next.findChild<QBaseLineEdit*>("edtUsername")->text(), "o'brien");
    EXPECT_TRUE(next.findChild<QCheckBox*>("chkAutoLogin")->isChecked());
}

TEST_F(LoginTest, AutomaticLoginWithTheSavedAccount)
{
    Sqlite3::instance()->updateUserTable("alice", "secret", "example.org", true);
    CGlobalInstance::preferences.autoLogin = true;
    serverAccepts(0);
    LoginWidget page;
    page.show();
    page.findChild<QPushButton*>("btnLogin")->click();
    EXPECT_EQ(sdk.last("Login").args, (Args{"example.org", "alice", "secret", "example.org"}));
    EXPECT_FALSE(page.isVisible());

    // A failing automatic login turns itself off and opens the login page.
    sdk.setResult("Login", -1);
    sdk.onCall = nullptr;
    page.show();
    page.findChild<QPushButton*>("btnLogin")->click();
    EXPECT_FALSE(CGlobalInstance::preferences.autoLogin);
    EXPECT_EQ(Settings().value("/General/autoLogin"), "false");
    EXPECT_EQ(page.findChild<QStackedWidget*>("stackedWidget")->currentWidget()->objectName(), "pageLogin");
}

struct ReturnCase {
    const char* page;
    const char* focus;
    const char* pageAfter;
    const char* toggled;  // check box that changed, or ""
    int message;          // code of the message shown, or 0
};

TEST_F(LoginTest, ReturnKeyActsByPageAndFocus)
{
    const ReturnCase cases[] = {
        {"pageMain", "btnJoin", "pageJoin", "", 0},
        {"pageMain", "btnLogin", "pageLogin", "", 0},  // automatic login off: the login page
        {"pageJoin", "btnBack_2", "pageMain", "", 0},
        {"pageJoin", "chkNickName", "pageJoin", "chkNickName", 0},
        {"pageJoin", "edtNickname", "pageJoin", "", 300315},  // join with no room number
        {"pageLogin", "btnBack", "pageMain", "", 0},
        {"pageLogin", "chkAutoLogin", "pageLogin", "chkAutoLogin", 0},
        {"pageLogin", "edtPassword_2", "pageLogin", "", 300103},  // login with no user name
    };
    login->show();
    QApplication::setActiveWindow(login);
    for (const ReturnCase& c : cases) {
        SCOPED_TRACE(std::string(c.page) + "/" + c.focus);
        child<QStackedWidget>("stackedWidget")->setCurrentWidget(child<QWidget>(c.page));
        child<QWidget>(c.focus)->setFocus();
        const bool nickName = child<QCheckBox>("chkNickName")->isChecked();
        const bool autoLogin = child<QCheckBox>("chkAutoLogin")->isChecked();

        QTest::keyClick(login, Qt::Key_Return);

        EXPECT_EQ(page(), c.pageAfter);
        EXPECT_EQ(child<QCheckBox>("chkNickName")->isChecked() != nickName, std::string(c.toggled) == "chkNickName");
        EXPECT_EQ(child<QCheckBox>("chkAutoLogin")->isChecked() != autoLogin, std::string(c.toggled) == "chkAutoLogin");
        EXPECT_EQ(shownMessages().size(), c.message ? 1 : 0);
        if (c.message) {
            EXPECT_EQ(shownMessageCount(c.message), 1);
        }
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;
    }
    EXPECT_EQ(sdk.count("Login"), 0);
    EXPECT_EQ(sdk.count("AnonymousJoinConference"), 0);
}

TEST_F(LoginTest, RememberedNicknameComesBackAtTheNextStart)
{
    Settings().setValue("/Login/nickname", "  Bob  ");
    LoginWidget next;
    EXPECT_EQ(next.findChild<QBaseLineEdit*>("edtNickname")->text(), "Bob");
    EXPECT_TRUE(next.findChild<QCheckBox*>("chkNickName")->isChecked());
}

TEST_F(LoginTest, AnonymousJoinKeepsTheNameOnlyWhenItGotIn)
{
    struct Case {
        const char* what;
        int joinAnswer;  // code of the create-or-join answer; 0: the check window is closed instead
        int result;      // what AnonymousJoinConference returns
        bool entered;
    };
    const Case cases[] = {
        {"joined", 200, 0, true},
        {"refused after the login", 404, -1, false},
        {"check window closed", 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sdk.clear();
        Settings().setValue("/Login/nickname", "Old");
        sdk.setResult("AnonymousJoinConference", c.result);
        sdk.onCall = [this, answer = c.joinAnswer](const SdkCall& call) {
            if (call.name == "AnonymousJoinConference") {
                sdk.callback()->onLogin(200, demoLogin());
                sdk.callback()->onCreateOrJoinConference(answer, demoJoin("42"));
            } else if (call.name == "LeaveConference") {
                sdk.callback()->onLeaveConference();
            }
        };
        login->show();
        child<QStackedWidget>("stackedWidget")->setCurrentWidget(child<QWidget>("pageJoin"));
        edit("edtDomain")->setText("");
        edit("edtRoom")->setText("42");
        edit("edtNickname")->setText("  Bob  ");
        child<QCheckBox>("chkNickName")->setChecked(true);
        child<QPushButton>("btnJoin_2")->click();

        const QList<AVCheckWidget*> checks = shownWindows<AVCheckWidget>();
        ASSERT_EQ(checks.size(), 1);
        EXPECT_FALSE(login->isVisible());
        EXPECT_FALSE(child<QPushButton>("btnJoin_2")->isEnabled());
        if (c.joinAnswer)
            checks.first()->findChild<QPushButton*>("ok")->click();
        else
            checks.first()->close();  // through its title bar: as Back
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        EXPECT_TRUE(child<QPushButton>("btnJoin_2")->isEnabled());
        EXPECT_EQ(login->isVisible(), !c.entered);
        EXPECT_EQ(page(), c.entered ? "pageMain" : "pageJoin");
        EXPECT_EQ(Settings().value("/Login/nickname"), c.entered ? "Bob" : "Old");
        EXPECT_FALSE(window->isVisible());
        if (c.joinAnswer) {
            EXPECT_EQ(sdk.last("AnonymousJoinConference").args, (Args{"localhost:8443", "42", "", "Bob"}));
        }
        // A login the refused join had opened is taken back.
        EXPECT_EQ(sdk.count("Logout"), c.joinAnswer && !c.entered ? 1 : 0);
        EXPECT_EQ(CGlobalInstance::isLogin, c.entered);
        EXPECT_EQ(shownWindows<VideoWidget>().size(), c.entered ? 1 : 0);
        if (c.entered)
            CGlobalInstance::veltoSdk->LeaveConference();
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;
        CGlobalInstance::isLogin = false;
    }
}

TEST_F(LoginTest, AnonymousJoinUsesTheDevicesChosenInTheCheckWindow)
{
    sdk.cameras = {{0, "Camera", "camera-0"}, {1, "Camera 2", "camera-1"}};
    // The check window lists the system's inputs; the engine device whose name
    // contains the chosen one is stored.
    const QList<QAudioDeviceInfo> inputs = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    const std::string lastInput = inputs.isEmpty() ? "none" : inputs.last().deviceName().toStdString();
    sdk.microphones = {{0, "Microphone", "microphone-0"}, {1, "Engine (" + lastInput + ")", "microphone-1"}};
    sdk.onCall = [this](const SdkCall& call) {
        if (call.name == "AnonymousJoinConference") {
            sdk.callback()->onLogin(200, demoLogin());
            sdk.callback()->onCreateOrJoinConference(200, demoJoin("42"));
        }
    };
    login->show();
    child<QStackedWidget>("stackedWidget")->setCurrentWidget(child<QWidget>("pageJoin"));
    edit("edtRoom")->setText("42");
    edit("edtNickname")->setText("Bob");
    child<QPushButton>("btnJoin_2")->click();

    const QList<AVCheckWidget*> checks = shownWindows<AVCheckWidget>();
    ASSERT_EQ(checks.size(), 1);
    for (QComboBox* box : checks.first()->findChildren<QComboBox*>())
        box->setCurrentIndex(box->count() - 1);
    checks.first()->findChild<QPushButton*>("ok")->click();

    // The meeting that this join opened already runs on the chosen devices.
    // The check window's own camera previews come first; the meeting's carries the audio devices.
    const Args preview = sdk.last("ShowLocalPreview").args;
    ASSERT_EQ(preview.size(), 7u);
    EXPECT_EQ(preview[0], "Camera 2");
    if (!inputs.isEmpty()) {
        EXPECT_EQ(preview[1], sdk.microphones[1].name);
    }
    CGlobalInstance::veltoSdk->LeaveConference();
}
