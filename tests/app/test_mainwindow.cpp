// The main window: pages, logout and exit, meetings, network loss.
#include "AppTestSupport.h"

#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTcpServer>
#include <QToolButton>

#include <thread>

#include "Base/qbaselabel.h"
#include "Base/qbaselineedit.h"
#include "Dialogs/joinmeetwidget.h"
#include "Dialogs/veltoupdate.h"
#include "Dialogs/videocontrolwidget.h"
#include "Dialogs/videowidget.h"
#include "Tools/commonhelper.h"
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
        // Probes follow only where a test asks for them, and reach no further
        // than this machine.
        MainWindow::setNetworkCheckInterval(60000);
        makeWindow();
    }

    void loggedIn()
    {
        CGlobalInstance::isLogin = true;
        CGlobalInstance::userInfo.server = "127.0.0.1:1";
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

TEST_F(MainWindowTest, UpdateIsOfferedOnlyForANewerRealVersion)
{
    const std::pair<const char*, bool> versions[] = {
        {"1.0.9", false}, {"", false}, {"test_2.0.0", false}, {"2.0.0-test_", false},
        {"2.0.0", true}, {"1.0.8", false}, {"1.0.10", true}, {"1.0.9.1", true},
    };
    for (const auto& [version, offered] : versions)
        EXPECT_EQ(MainWindow::offersUpdate(version), offered) << version;
}

TEST_F(MainWindowTest, TwoMeetingsInARowEachGetTheirSignalsOnce)
{
    loggedIn();
    acceptMeetings();
    const QString homeLook = homeButton("btnInstantMeet")->styleSheet();
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
        // Back as they were, without an outline that reads as a focus.
        for (const char* name : {"btnInstantMeet", "btnJoinMeet"})
            EXPECT_EQ(homeButton(name)->styleSheet().toStdString(), homeLook.toStdString()) << name;
    }
    // Nothing is left to receive them.
    emit window->sigMinOrHideVideoWidget(false);
    emit window->sigMacVideoWidget();
}

TEST_F(MainWindowTest, RefusedMeetingIsNoNetworkLoss)
{
    // The conference server accepts probes: network handling, once started,
    // reaches it and logs in again.
    QTcpServer conferenceServer;
    ASSERT_TRUE(conferenceServer.listen(QHostAddress::LocalHost));
    MainWindow::setNetworkCheckInterval(10);
    const struct {
        const char* what;
        int answer;  // code the server answers the create with; 0: no answer
        bool networkLoss;
    } cases[] = {
        {"refused", 403, false},
        {"no answer", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        loggedIn();
        CGlobalInstance::userInfo.server = "127.0.0.1:" + std::to_string(conferenceServer.serverPort());
        sdk.clear();
        sdk.setResult("CreateConference", -1);
        sdk.onCall = [this, answer = c.answer](const SdkCall& call) {
            if (call.name == "CreateConference" && answer)
                sdk.callback()->onCreateOrJoinConference(answer, conference_callback_data());
        };
        window->slotCreateConference();
        EXPECT_EQ(shownMessageCount(403), c.answer == 403 ? 1 : 0);
        if (c.networkLoss) {
            EXPECT_TRUE(waitUntil([&] { return sdk.count("Login") == 1; }));
            continue;
        }
        EXPECT_TRUE(homeButton("btnInstantMeet")->isEnabled());
        QTest::qWait(300);
        EXPECT_FALSE(conferenceServer.hasPendingConnections());
        EXPECT_EQ(sdk.count("Login"), 0);
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;
    }
}

TEST_F(MainWindowTest, OwnStreamFollowsThePreferencesAndTheMeeting)
{
    struct Case {
        const char* what;
        bool audioMute, videoMute;  // "join with the microphone / camera off"
        bool withAudio, withVideo;  // what the meeting's answer allows
        bool camera;
        const char* opened;  // SDK call that opens the own stream
        const char* closed;  // and the one that closes it at the leave
        bool audioOn, videoOn;
    };
    const Case cases[] = {
        {"all on", false, false, true, true, true, "ShowLocalPreview", "CloseLocalPreview", true, true},
        {"microphone off", true, false, true, true, true, "ShowLocalPreview", "CloseLocalPreview", false, true},
        {"camera off", false, true, true, true, true, "ShowLocalPreview", "CloseLocalPreview", true, false},
        {"meeting without audio", false, false, false, true, true, "ShowLocalPreview", "CloseLocalPreview", false,
         true},
        {"meeting without video", false, false, true, false, true, "ShowLocalPreview", "CloseLocalPreview", true,
         false},
        {"voice only", false, false, true, true, false, "CreateSingleAudioStream", "CloseSingleAudioStream", true,
         true},
        {"voice only, microphone off", true, false, true, true, false, "CreateSingleAudioStream",
         "CloseSingleAudioStream", false, true},
    };
    const auto onOff = [](bool on) { return Args{on ? "true" : "false"}; };
    loggedIn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGlobalInstance::preferences.audioMute = c.audioMute;
        CGlobalInstance::preferences.videoMute = c.videoMute;
        sdk.cameras = c.camera ? sdk.microphones : std::vector<velto_webrtc::rtc_device_>{};
        sdk.clear();
        sdk.onCall = [this, &c](const SdkCall& call) {
            if (call.name == "CreateConference") {
                conference_callback_data answer = demoJoin();
                answer.withAudio = c.withAudio;
                answer.withVideo = c.withVideo;
                sdk.callback()->onCreateOrJoinConference(200, answer);
            } else if (call.name == "LeaveConference") {
                sdk.callback()->onLeaveConference();
            }
        };
        startMeeting();
        if (!c.camera)  // the device gate asks whether to go on with voice only
            emit shownWindows<MessageBox>().first()->sigOk();
        ASSERT_EQ(meetingWindows().size(), 1);
        EXPECT_EQ(sdk.count(c.opened), 1);
        EXPECT_EQ(sdk.count("ShowLocalPreview") + sdk.count("CreateSingleAudioStream"), 1);
        EXPECT_EQ(CGlobalInstance::isAudioMute, !c.audioOn);
        EXPECT_EQ(CGlobalInstance::isVideoMute, !c.videoOn);
        EXPECT_EQ(sdk.last("EnableStreamAudio").args, onOff(c.audioOn));
        EXPECT_EQ(sdk.last("EnableStreamVideo").args, onOff(c.videoOn));

        CGlobalInstance::veltoSdk->LeaveConference();
        EXPECT_TRUE(meetingWindows().isEmpty());
        EXPECT_EQ(sdk.count(c.closed), 1);
        EXPECT_EQ(sdk.count("CloseLocalPreview") + sdk.count("CloseSingleAudioStream"), 1);
    }
}

TEST_F(MainWindowTest, MeetingWhoseRoomJoinFailsIsLeft)
{
    loggedIn();
    sdk.setResult("CreateConference", -2);
    acceptMeetings();
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
    emit window->sigNetworkError();  // reported late, for the session just ended
    CGlobalInstance::isLogin = true;
    CGlobalInstance::isAnonymousLogin = true;
    emit window->sigNetworkError();
    QTest::qWait(400);
    EXPECT_FALSE(conferenceServer.hasPendingConnections());
    EXPECT_EQ(sdk.count("Login"), 0);
}

TEST_F(MainWindowTest, FailedReloginKeepsTheSessionUnlessItWasTakenBack)
{
    struct Case {
        const char* what;
        int answer;  // code the server answers the login with; 0: no answer
        int result;  // what Login returns
        bool loggedIn;
    };
    const Case cases[] = {
        {"no answer", 0, -1, true},
        {"refused", 401, -1, true},
        {"accepted, connection failed", 200, -7, false},
    };
    QTcpServer conferenceServer;
    ASSERT_TRUE(conferenceServer.listen(QHostAddress::LocalHost));
    MainWindow::setNetworkCheckInterval(20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loggedIn();
        window->loginWidget()->hide();
        CGlobalInstance::userInfo.server = "127.0.0.1:" + std::to_string(conferenceServer.serverPort());
        sdk.clear();
        sdk.setResult("Login", c.result);
        sdk.onCall = [this, answer = c.answer](const SdkCall& call) {
            if (call.name == "Login" && answer)
                sdk.callback()->onLogin(answer, demoLogin());
        };
        emit window->sigNetworkError();
        ASSERT_TRUE(waitUntil([&] { return sdk.count("Login") == 1; }));
        EXPECT_EQ(CGlobalInstance::isLogin, c.loggedIn);
        EXPECT_EQ(sdk.count("Logout"), c.loggedIn ? 0 : 1);
        // The user is left with a way on: the main window, or the login page.
        EXPECT_EQ(window->isVisible(), c.loggedIn);
        EXPECT_EQ(window->loginWidget()->isVisible(), !c.loggedIn);
    }
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

TEST_F(MainWindowTest, DeviceGateBeforeAMeeting)
{
    using Devices = std::vector<velto_webrtc::rtc_device_>;
    const Devices one{{0, "Device", "device-0"}};
    struct Case {
        const char* what;
        bool camera, microphone, speaker, cameraBusy;
        int message;     // code shown, or 0
        bool confirm;    // the message asks, and the user answers OK
        bool created;    // CreateConference was called
    };
    const Case cases[] = {
        {"all present", true, true, true, false, 0, false, true},
        {"no camera, go on with voice", false, true, true, false, 100020, true, true},
        {"no camera, cancelled", false, true, true, false, 100020, false, false},
        {"no camera, no microphone", false, false, true, false, 100022, false, false},
        {"no camera, no speaker", false, true, false, false, 100022, false, false},
        {"no microphone", true, false, true, false, 100023, false, false},
        {"no speaker", true, true, false, false, 100023, false, false},
        {"camera busy", true, true, true, true, 100024, false, false},
    };
    loggedIn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sdk.cameras = c.camera ? one : Devices{};
        sdk.microphones = c.microphone ? one : Devices{};
        sdk.speakers = c.speaker ? one : Devices{};
        sdk.occupiedCameras = c.cameraBusy ? std::set<int>{0} : std::set<int>{};
        sdk.clear();
        startMeeting();
        EXPECT_EQ(shownMessages().size(), c.message ? 1 : 0);
        if (c.message) {
            EXPECT_EQ(shownMessageCount(c.message), 1);
        }
        if (c.confirm)
            emit shownWindows<MessageBox>().first()->sigOk();
        EXPECT_EQ(sdk.count("CreateConference"), c.created ? 1 : 0);
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;
        window->setHomePageBtnStatus(true);  // a create without an answer leaves them off
    }
    // The join button passes the same gate before it opens its dialog.
    sdk.cameras = one;
    sdk.microphones.clear();
    homeButton("btnJoinMeet")->click();
    EXPECT_EQ(shownMessageCount(100023), 1);
    EXPECT_TRUE(shownWindows<JoinMeetWidget>().isEmpty());
}

TEST_F(MainWindowTest, AnsweredCallEndsOnceWhicheverWayTheMeetingEnds)
{
    loggedIn();
    acceptMeetings();
    int recents = 0;
    QObject::connect(window.get(), &MainWindow::sigUpdateRecentItem, [&](RECENTITEM) { ++recents; });
    for (const bool kickedOut : {false, true}) {
        SCOPED_TRACE(kickedOut ? "kick-out" : "leave");
        recents = 0;
        window->insertRingCallList("bob", "Bob", 0);
        CGlobalInstance::answerUserId = "bob";
        startMeeting();
        ASSERT_EQ(meetingWindows().size(), 1);
        if (kickedOut)
            callback.onKickout();
        else
            CGlobalInstance::veltoSdk->LeaveConference();
        EXPECT_TRUE(meetingWindows().isEmpty());
        EXPECT_EQ(recents, 1);
        EXPECT_TRUE(CGlobalInstance::answerUserId.empty());
        EXPECT_EQ(shownMessageCount(300417), kickedOut ? 1 : 0);
    }
}

TEST_F(MainWindowTest, MeetingWithoutAudioDevicesIsLeftAfterTheSdkCall)
{
    loggedIn();
    acceptMeetings();
    int leavesDuringCreate = -1;
    sdk.onCall = [this, &leavesDuringCreate](const SdkCall& call) {
        if (call.name == "CreateConference") {
            sdk.callback()->onCreateOrJoinConference(200, demoJoin());
            leavesDuringCreate = sdk.count("LeaveConference");
        } else if (call.name == "LeaveConference") {
            sdk.callback()->onLeaveConference();
        }
    };
    CGlobalInstance::audio_record_devices.clear();
    window->slotCreateConference();
    EXPECT_EQ(leavesDuringCreate, 0);
    ASSERT_TRUE(waitUntil([&] { return meetingWindows().isEmpty(); }));
    EXPECT_EQ(sdk.count("LeaveConference"), 1);
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_EQ(shownMessageCount(100023), 1);
}

TEST_F(MainWindowTest, MenuBarAndActivationActOnTheCurrentWindow)
{
    struct Case {
        const char* what;
        bool loggedIn, inMeeting;
        QWidget* (*front)(MainWindow&);  // the window brought forward; null: the meeting window
    };
    const Case cases[] = {
        {"nobody logged in", false, false, [](MainWindow& w) -> QWidget* { return w.loginWidget(); }},
        {"logged in", true, false, [](MainWindow& w) -> QWidget* { return &w; }},
        {"in a meeting", true, true, nullptr},
    };
    auto menuAction = [this](const QString& text) {
        for (QAction* menu : window->menuBar()->actions())
            for (QAction* action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return new QAction(window.get());
    };
    std::vector<bool> meetingWindowCalls;  // sigMinOrHideVideoWidget's argument; true: hide
    int meetingWindowFronts = 0;
    QObject::connect(window.get(), &MainWindow::sigMinOrHideVideoWidget, [&](bool hide) {
        meetingWindowCalls.push_back(hide);
    });
    QObject::connect(window.get(), &MainWindow::sigMacVideoWidget, [&] { ++meetingWindowFronts; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CGlobalInstance::isLogin = c.loggedIn;
        CGlobalInstance::isJoinConference = c.inMeeting;
        meetingWindowCalls.clear();
        meetingWindowFronts = 0;
        window->hide();
        window->loginWidget()->hide();

        emit window->systemTray()->sigShowMainWindow();  // the tray's "Open Velto"
        if (c.front) {
            QWidget* front = c.front(*window);
            EXPECT_TRUE(front->isVisible());
            menuAction("Min")->trigger();
            EXPECT_TRUE(front->isMinimized());
            window->slotReceiveMessage("message from other instance.");
            EXPECT_FALSE(front->isMinimized());
            menuAction("Close")->trigger();
            EXPECT_FALSE(front->isVisible());
        } else {
            window->slotReceiveMessage("message from other instance.");
            menuAction("Min")->trigger();
            menuAction("Close")->trigger();
            EXPECT_EQ(meetingWindowFronts, 2);
            EXPECT_EQ(meetingWindowCalls, (std::vector<bool>{false, true}));
            EXPECT_FALSE(window->isVisible());
            EXPECT_FALSE(window->loginWidget()->isVisible());
        }
    }
}

TEST_F(MainWindowTest, PositionIsSavedWhereTheNextStartPutsTheWindow)
{
    window->show();
    for (const QPoint& to : {QPoint(40, 30), QPoint(50, 35), QPoint(61, 42)})
        window->move(to);
    EXPECT_TRUE(Settings().value("/Geometry/x").isEmpty());  // still moving
    ASSERT_TRUE(waitUntil([] { return !Settings().value("/Geometry/x").isEmpty(); }));
    EXPECT_EQ(window->pos(), QPoint(61, 42));
    // The window has a frame here, as under a window manager, so frame and
    // client positions differ: the saved one must bring the window back to
    // the same place, not a title bar higher at every start.
    ASSERT_NE(window->frameGeometry().topLeft(), window->geometry().topLeft());

    CGlobalInstance::getDefaultPreferences();
    MainWindow next;  // as at the next start: placed before it is first shown
    next.restorePosition();
    next.show();
    EXPECT_EQ(next.frameGeometry(), window->frameGeometry());
}

TEST_F(MainWindowTest, AvatarGlyphKeepsItsIconFontSizeUnderTheStyleSheet)
{
    CommonHelper::setStyle(":/qss/style_mac.qss");  // as the program starts
    {
        MainWindow styled;
        EXPECT_EQ(styled.findChild<QLabel*>("lblImage")->font().pointSize(), 40);
    }
    qApp->setStyleSheet(QString());
}

TEST_F(MainWindowTest, AfterAMeetingTheMainWindowOrTheLoginPageReturns)
{
    struct Case {
        const char* what;
        bool anonymous;
        bool byToolbar;  // else the meeting window's own close button
        bool mainWindow, loginPage;
    };
    const Case cases[] = {
        {"account, leave button", false, true, true, false},
        {"account, window closed", false, false, true, false},
        // An anonymous join is logged out; the program stays, on its login page.
        {"anonymous, leave button", true, true, false, true},
        {"anonymous, window closed", true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loggedIn();
        acceptMeetings();
        startMeeting();
        ASSERT_EQ(meetingWindows().size(), 1);
        EXPECT_FALSE(window->isVisible());
        CGlobalInstance::isAnonymousLogin = c.anonymous;
        window->loginWidget()->hide();
        sdk.clear();
        VideoWidget* video = meetingWindows().first();
        if (c.byToolbar)
            video->toolbar()->findChild<QToolButton*>("m_btnClose")->click();
        else
            video->close();
        ASSERT_TRUE(waitUntil([&] { return meetingWindows().isEmpty(); }));
        EXPECT_EQ(sdk.count("Logout"), c.anonymous ? 1 : 0);
        EXPECT_EQ(window->isVisible(), c.mainWindow);
        EXPECT_EQ(window->loginWidget()->isVisible(), c.loginPage);
        window->hide();
        CGlobalInstance::isAnonymousLogin = false;
    }
}
