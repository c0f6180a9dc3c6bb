// The main window: pages, logout and exit, meetings, network loss.
#include "AppTestSupport.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTcpServer>
#include <QToolButton>

#include <thread>

#include "Base/qbaselabel.h"
#include "Base/qbaselineedit.h"
#include "Dialogs/joinmeetwidget.h"
#include "Dialogs/veltoupdate.h"
#include "Dialogs/videowidget.h"
#include "Tools/settings.h"
#include "loginwidget.h"
#include "systemtray.h"

using namespace velto::test;

namespace {

class MainWindowTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        makeWindow();
    }

    void loggedIn()
    {
        CGlobalInstance::isLogin = true;
        CGlobalInstance::userInfo.server = "example.org";
        CGlobalInstance::userInfo.username = "alice";
        CGlobalInstance::userInfo.password = "secret";
        window->show();
    }

    void popupAction(const QString& text)
    {
        for (QAction* action : window->findChild<QPushButton*>("btnName")->menu()->actions())
            if (action->text() == text)
                return action->trigger();
        FAIL() << "no popup entry " << text.toStdString();
    }

    // The home page's Instant Meeting, through its device gate.
    void startMeeting() { homeButton("btnInstantMeet")->click(); }

    QToolButton* homeButton(const char* name) const { return window->findChild<QToolButton*>(name); }

    static QList<VideoWidget*> meetingWindows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<VideoWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* video = qobject_cast<VideoWidget*>(widget))
                found.append(video);
        return found;
    }
};

}  // namespace

TEST_F(MainWindowTest, TabsSwitchPagesOnlyOnChange)
{
    auto* stack = window->findChild<QStackedWidget*>("mainStackedWidget");
    EXPECT_EQ(window->currentPage(), HOME_PAGE);
    EXPECT_EQ(stack->currentWidget()->objectName(), "homePage");
    const std::pair<const char*, const char*> tabs[] = {
        {"lblMeet", "meetPage"}, {"lblReservation", "reservationPage"}, {"lblRecents", "recentsPage"},
        {"lblContacts", "contactsPage"}, {"lblHome", "homePage"}, {"lblHome", "homePage"},
    };
    for (const auto& [tab, page] : tabs) {
        emit window->findChild<QBaseLabel*>(tab)->clicked();
        EXPECT_EQ(stack->currentWidget()->objectName(), page) << tab;
    }
    window->selectedPage(ePAGE(7));  // out of range: only remembered
    EXPECT_EQ(stack->currentWidget()->objectName(), "homePage");
}

TEST_F(MainWindowTest, LogoutLeavesBeforeLoggingOut)
{
    loggedIn();
    CGlobalInstance::preferences.autoLogin = true;
    popupAction("Logout");
    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"LeaveConference", "Logout"}));
    EXPECT_FALSE(CGlobalInstance::isLogin);
    EXPECT_FALSE(CGlobalInstance::preferences.autoLogin);
    EXPECT_TRUE(Settings().value("/General/autoLogin").isEmpty());  // only the memory changes
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->loginWidget()->isVisible());
}

TEST_F(MainWindowTest, ExitFromThePopupLeavesTheMeetingAndLogsOut)
{
    loggedIn();
    acceptMeetings();
    startMeeting();
    ASSERT_EQ(meetingWindows().size(), 1);
    sdk.clear();
    popupAction("Exit");
    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"CloseLocalPreview", "LeaveConference", "Logout"}));
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_TRUE(meetingWindows().isEmpty());
}

TEST_F(MainWindowTest, UpdateIsOfferedOnlyForAnotherRealVersion)
{
    const std::pair<const char*, bool> versions[] = {
        {"1.0.9", false}, {"", false}, {"test_2.0.0", false}, {"2.0.0-test_", false},
        {"2.0.0", true}, {"1.0.8", true}, {"1.0.9.1", true},
    };
    for (const auto& [version, offered] : versions)
        EXPECT_EQ(MainWindow::offersUpdate(version), offered) << version;
}

TEST_F(MainWindowTest, TwoMeetingsInARowEachGetTheirSignalsOnce)
{
    loggedIn();
    acceptMeetings();
    for (int meeting = 0; meeting < 2; ++meeting) {
        SCOPED_TRACE(meeting);
        startMeeting();
        const QList<VideoWidget*> windows = meetingWindows();
        ASSERT_EQ(windows.size(), 1);
        VideoWidget* video = windows.first();
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(homeButton("btnInstantMeet")->isEnabled());

        int locks = 0, adds = 0, mutes = 0;
        QObject::connect(video, &VideoWidget::sigLockConference, [&](bool) { ++locks; });
        QObject::connect(video, &VideoWidget::sigAddUser, [&](user_info) { ++adds; });
        QObject::connect(video, &VideoWidget::sigMuteVideo, [&](std::string label, bool) {
            ++mutes;
            EXPECT_EQ(label, CGlobalInstance::userInfo.videoLabel);
        });
        emit window->sigLockConference(true);
        emit window->sigAddUser(user_info());
        emit window->sigMuteVideo(true);  // passed on with the own stream's label
        EXPECT_EQ(locks, 1);
        EXPECT_EQ(adds, 1);
        EXPECT_EQ(mutes, 1);
        emit window->sigMinOrHideVideoWidget(true);
        EXPECT_FALSE(video->isVisible());

        CGlobalInstance::veltoSdk->LeaveConference();
        EXPECT_TRUE(meetingWindows().isEmpty());
        EXPECT_TRUE(homeButton("btnInstantMeet")->isEnabled());
    }
    // Nothing is left to receive them.
    emit window->sigMinOrHideVideoWidget(false);
    emit window->sigMacVideoWidget();
}

TEST_F(MainWindowTest, RefusedMeetingIsNoNetworkLoss)
{
    loggedIn();
    sdk.setResult("CreateConference", -1);
    sdk.onCall = [this](const SdkCall& call) {
        if (call.name == "CreateConference")
            sdk.callback()->onCreateOrJoinConference(403, conference_callback_data());
    };
    MainWindow::setNetworkCheckInterval(10);
    window->slotCreateConference();
    EXPECT_EQ(shownMessageCount(403), 1);
    EXPECT_TRUE(homeButton("btnInstantMeet")->isEnabled());
    QTest::qWait(100);
    EXPECT_EQ(sdk.count("Login"), 0);
}

TEST_F(MainWindowTest, MeetingWhoseRoomJoinFailsIsLeft)
{
    loggedIn();
    sdk.setResult("CreateConference", -2);
    acceptMeetings();
    MainWindow::setNetworkCheckInterval(60000);
    window->slotCreateConference();
    EXPECT_EQ(sdk.count("LeaveConference"), 1);
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_TRUE(meetingWindows().isEmpty());
}

TEST_F(MainWindowTest, JoinDialogRefusalIsNoNetworkLoss)
{
    loggedIn();
    int networkErrors = 0;
    JoinMeetWidget dialog;
    QObject::connect(&dialog, &JoinMeetWidget::sigNetworkError, [&] { ++networkErrors; });
    dialog.findChild<QBaseLineEdit*>("edtJoinMeetId")->setText("");
    int codes = 0;
    QObject::connect(&dialog, &JoinMeetWidget::sigMessageBox, [&](int code) { codes += code == 114; });
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(codes, 1);
    EXPECT_EQ(sdk.count("JoinConference"), 0);

    sdk.setResult("JoinConference", -1);
    sdk.onCall = [this](const SdkCall& call) {
        if (call.name == "JoinConference")
            sdk.callback()->onCreateOrJoinConference(404, conference_callback_data());
    };
    dialog.findChild<QBaseLineEdit*>("edtJoinMeetId")->setText("42");
    dialog.findChild<QBaseLineEdit*>("edtJoinMeetPw")->setText("  pw  ");
    dialog.findChild<QPushButton*>("btnJoinMeet")->click();
    EXPECT_EQ(sdk.last("JoinConference").args, (Args{"42", "pw"}));
    EXPECT_EQ(networkErrors, 0);

    sdk.onCall = nullptr;  // no answer at all: a transfer failure
    dialog.findChild<QPushButton*>("btnJoinMeet")->click();
    EXPECT_EQ(networkErrors, 1);
}

TEST_F(MainWindowTest, NetworkLossInAMeetingLeavesWithOneMessage)
{
    loggedIn();
    acceptMeetings();
    startMeeting();
    ASSERT_EQ(meetingWindows().size(), 1);
    sdk.clear();
    std::thread([this] { callback.onNetworkError(); }).join();
    ASSERT_TRUE(waitUntil([&] { return shownMessageCount(100015) == 1; }));
    EXPECT_EQ(sdk.count("LeaveConference"), 1);
    EXPECT_EQ(sdk.count("Logout"), 0);
    EXPECT_FALSE(CGlobalInstance::isLogin);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(meetingWindows().isEmpty());

    emit shownWindows<MessageBox>().first()->sigOk();
    EXPECT_TRUE(window->loginWidget()->isVisible());
}

TEST_F(MainWindowTest, NetworkLossOutsideAMeetingProbesThenLogsInOnce)
{
    QTcpServer conferenceServer;
    ASSERT_TRUE(conferenceServer.listen(QHostAddress::LocalHost));
    int probes = 0;
    QObject::connect(&conferenceServer, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = conferenceServer.nextPendingConnection()) {
            ++probes;
            socket->deleteLater();
        }
    });
    loggedIn();
    CGlobalInstance::userInfo.server = "127.0.0.1:" + std::to_string(conferenceServer.serverPort());
    MainWindow::setNetworkCheckInterval(20);

    emit window->sigNetworkError();
    emit window->sigNetworkError();  // a second loss restarts the wait
    EXPECT_EQ(shownMessages().size(), 0);
    ASSERT_TRUE(waitUntil([&] { return sdk.count("Login") == 1; }));
    EXPECT_EQ(sdk.last("Login").args, (Args{CGlobalInstance::userInfo.server, "alice", "secret",
                                            CGlobalInstance::userInfo.server}));
    QTest::qWait(200);
    EXPECT_EQ(sdk.count("Login"), 1);
    EXPECT_EQ(probes, 1);
}

TEST_F(MainWindowTest, NoProbeAfterLogoutOrForAnAnonymousJoin)
{
    QTcpServer conferenceServer;
    ASSERT_TRUE(conferenceServer.listen(QHostAddress::LocalHost));
    loggedIn();
    CGlobalInstance::userInfo.server = "127.0.0.1:" + std::to_string(conferenceServer.serverPort());
    MainWindow::setNetworkCheckInterval(100);

    emit window->sigNetworkError();
    popupAction("Logout");
    CGlobalInstance::isAnonymousLogin = true;
    emit window->sigNetworkError();
    QTest::qWait(400);
    EXPECT_FALSE(conferenceServer.hasPendingConnections());
    EXPECT_EQ(sdk.count("Login"), 0);
}

TEST_F(MainWindowTest, UnreachableServerIsProbedAgain)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nothing listens there now
    loggedIn();
    CGlobalInstance::userInfo.server = "127.0.0.1:" + std::to_string(port);
    MainWindow::setNetworkCheckInterval(20);
    emit window->sigNetworkError();
    QTest::qWait(300);
    EXPECT_EQ(sdk.count("Login"), 0);

    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, port));  // the network is back
    ASSERT_TRUE(waitUntil([&] { return sdk.count("Login") == 1; }));
}

TEST_F(MainWindowTest, TrayLanguageChoiceIsStoredForTheNextStart)
{
    struct Case {
        const char* entry;
        const char* stored;  // "/Language/language" afterwards; "" when nothing is written
        bool message;
    };
    const Case cases[] = {
        {"Chinese(Simplified)", "", false},  // already the language in use
        {"English", "1", true},
        {"English", "", false},
        {"Chinese(Simplified)", "0", true},
    };
    auto action = [this](const QString& text) {
        for (QAction* candidate : window->systemTray()->findChildren<QAction*>())
            if (candidate->text() == text)
                return candidate;
        return static_cast<QAction*>(nullptr);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        QFile::remove(CGlobalInstance::getIniPath());
        action(c.entry)->trigger();
        EXPECT_EQ(Settings().value("/Language/language"), c.stored);
        EXPECT_EQ(shownMessageCount(100029), c.message ? 1 : 0);
        EXPECT_TRUE(action(c.entry)->isChecked());
        EXPECT_FALSE(action(c.entry == std::string("English") ? "Chinese(Simplified)" : "English")->isChecked());
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;
    }
}
