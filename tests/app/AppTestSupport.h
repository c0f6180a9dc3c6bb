#pragma once
// Fixture of the shell's tests: the recording SDK fake behind CGlobalInstance,
// the real callback bridge registered with it, and helpers to drive and read
// the windows that the shell opens.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <memory>

#include "FakeVeltoInterface.h"
#include "Base/qbaselineedit.h"
#include "Dialogs/messagebox.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"
#include "cveltocallback.h"
#include "loginwidget.h"
#include "mainwindow.h"

namespace velto::test {

// Runs the event loop until the condition holds; false when it did not
// within the time.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(5);
    }
    return true;
}

// Visible top-level windows of one class.
template <typename T>
QList<T*> shownWindows()
{
    QList<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* typed = qobject_cast<T*>(widget); typed && typed->isVisible())
            found.append(typed);
    return found;
}

// Texts of the message boxes on screen.
inline QStringList shownMessages()
{
    QStringList texts;
    for (MessageBox* box : shownWindows<MessageBox>())
        texts << box->findChild<QLabel*>("lblMsgText")->text();
    return texts;
}

// How many message boxes on screen carry the text of `code`.
inline int shownMessageCount(int code)
{
    int count = 0;
    for (const QString& text : shownMessages())
        count += text.startsWith(CGlobalInstance::getErrorByCode(code).section(",Error code:", 0, 0));
    return count;
}

// Logs in through the login page as a user would type it.
inline void logInThroughLoginPage(MainWindow& window, const std::string& server, const std::string& userName,
                                  const std::string& password)
{
    // The first window comes once the update check has its answer.
    EXPECT_TRUE(waitUntil([&window] { return window.startPageShown(); }));
    LoginWidget* login = window.loginWidget();
    login->findChild<QPushButton*>("btnLogin")->click();  // no automatic login: the login page
    login->findChild<QBaseLineEdit*>("edtDomain_2")->setText(QString::fromStdString(server));
    login->findChild<QBaseLineEdit*>("edtUsername")->setText(QString::fromStdString(userName));
    login->findChild<QBaseLineEdit*>("edtPassword_2")->setText(QString::fromStdString(password));
    login->findChild<QPushButton*>("btnLogin_2")->click();
}

inline login_callback_data demoLogin()
{
    login_callback_data data;
    data.myJid = "u1@msg.example/pc1";
    data.cNumber = "123456789";
    data.mUserName = "Alice Demo";
    data.email = "alice@example.com";
    data.phone = "555-0100";
    data.photo = "https://example.com/p.png";
    data.videoNum = 4;
    return data;
}

inline conference_callback_data demoJoin(const std::string& room = "123456789")
{
    conference_callback_data data;
    data.r = room;
    data.bandwidth = "1024";
    data.resolution = "720";
    data.width = "1280";
    data.conferenceType = "2";
    data.maxViewNum = "6";
    data.withAudio = true;
    data.withVideo = true;
    return data;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No manifest server is reachable at this address: no update is offered.
        qputenv("VELTO_UPDATE_HOST", "127.0.0.1:1");
        // Every test starts without settings and without a saved account.
        QFile::remove(CGlobalInstance::getIniPath());
        Sqlite3::instance()->updateUserTable("", "", "", false);
        resetState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::veltoCallback = &callback;
        sdk.setCallback(&callback);
        sdk.clear();
    }

    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget != window.get())
                widget->close();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CGlobalInstance::veltoSdk = nullptr;
        CGlobalInstance::veltoCallback = nullptr;
    }

    static void resetState()
    {
        CGlobalInstance::isLogin = false;
        CGlobalInstance::isAnonymousLogin = false;
        CGlobalInstance::isJoinConference = false;
        CGlobalInstance::isAudioMute = false;
        CGlobalInstance::isVideoMute = false;
        CGlobalInstance::userInfo = UserInfo();
        CGlobalInstance::conferenceInfo = ConferenceInfo();
        CGlobalInstance::preferences = Preferences();
        CGlobalInstance::answerUserId.clear();
        CGlobalInstance::user_list.clear();
    }

    MainWindow& makeWindow()
    {
        window = std::make_unique<MainWindow>();
        CGlobalInstance::setMainWindow(window.get());
        // The first window comes once the update check has its answer.
        EXPECT_TRUE(waitUntil([this] { return window->startPageShown(); }));
        return *window;
    }

    // The fake answers each create or join the way a server accepting it would.
    void acceptMeetings()
    {
        sdk.onCall = [this](const SdkCall& call) {
            if (call.name == "CreateConference" || call.name == "JoinConference")
                sdk.callback()->onCreateOrJoinConference(200, demoJoin());
            else if (call.name == "LeaveConference")
                sdk.callback()->onLeaveConference();
        };
    }

    FakeVeltoInterface sdk;
    CVeltoCallback callback;
    std::unique_ptr<MainWindow> window;
};

}  // namespace velto::test
