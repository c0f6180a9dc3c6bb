// The real program objects with the real SDK against the local conference
// server: log in through the login page, start an instant meeting, leave it,
// log out; without a camera, the meeting is offered with voice only.
#include "AppTestSupport.h"

#include <glob.h>

#include <QPushButton>
#include <QToolButton>
#include <QMenu>

#include "Base/qbaselineedit.h"
#include "Dialogs/videowidget.h"
#include "LocalServer.h"
#include "loginwidget.h"

using namespace velto::test;

TEST(EndToEnd, LoginInstantMeetingLeaveLogout)
{
    LocalServer server;
    server.setProgramEnv();
    const Account account = server.demoAccount();

    ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);
    {
        MainWindow window;
        CGlobalInstance::setMainWindow(&window);
        LoginWidget* login = window.loginWidget();
        ASSERT_TRUE(waitUntil([&] { return window.startPageShown(); }));
        ASSERT_TRUE(login->isVisible());

        logInThroughLoginPage(window, server.localhost(), account.userName, account.password);

        ASSERT_TRUE(CGlobalInstance::isLogin) << shownMessages().join("|").toStdString();
        EXPECT_FALSE(login->isVisible());
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.findChild<QPushButton*>("btnName")->text().toStdString(), account.displayName);
        EXPECT_EQ(window.findChild<QLabel*>("lblMeetId")->text().toStdString(), account.room);

        window.findChild<QToolButton*>("btnInstantMeet")->click();
        ASSERT_TRUE(CGlobalInstance::isJoinConference) << shownMessages().join("|").toStdString();
        const QList<VideoWidget*> meetings = shownWindows<VideoWidget>();
        ASSERT_EQ(meetings.size(), 1);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(CGlobalInstance::conferenceInfo.room, account.room);

        meetings.first()->close();  // the meeting window's close button leaves
        EXPECT_FALSE(CGlobalInstance::isJoinConference);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(shownWindows<VideoWidget>().isEmpty());

        for (QAction* action : window.findChild<QPushButton*>("btnName")->menu()->actions())
            if (action->text() == "Logout")
                action->trigger();
        EXPECT_FALSE(CGlobalInstance::isLogin);
        EXPECT_TRUE(login->isVisible());
        EXPECT_TRUE(shownMessages().isEmpty()) << shownMessages().join("|").toStdString();
    }
    delete CGlobalInstance::veltoSdk;
    CGlobalInstance::veltoSdk = nullptr;
}

// A user without a camera is asked whether to meet with voice only, and
// meets so: the synthetic camera of the tests is no camera of his.
TEST(EndToEnd, WithoutACameraTheMeetingIsOfferedWithVoiceOnly)
{
    glob_t nodes{};
    const bool camera = glob("/dev/video*", 0, nullptr, &nodes) == 0;
    globfree(&nodes);
    if (camera)
        GTEST_SKIP() << "this machine has a camera";
    const QByteArray synthetic = qgetenv("VELTO_SYNTHETIC_CAMERA");
    qunsetenv("VELTO_SYNTHETIC_CAMERA");
    struct Restore {
        QByteArray value;
        ~Restore()
        {
            if (!value.isNull())
                qputenv("VELTO_SYNTHETIC_CAMERA", value);
        }
    } restore{synthetic};

    LocalServer server;
    server.setProgramEnv();
    const Account account = server.demoAccount();
    ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);
    {
        MainWindow window;
        CGlobalInstance::setMainWindow(&window);
        ASSERT_TRUE(waitUntil([&] { return window.startPageShown(); }));
        logInThroughLoginPage(window, server.localhost(), account.userName, account.password);
        ASSERT_TRUE(CGlobalInstance::isLogin) << shownMessages().join("|").toStdString();

        window.findChild<QToolButton*>("btnInstantMeet")->click();
        EXPECT_FALSE(CGlobalInstance::isJoinConference);
        ASSERT_EQ(shownMessageCount(100020), 1) << shownMessages().join("|").toStdString();
        EXPECT_TRUE(CGlobalInstance::video_devices.empty());
        emit shownWindows<MessageBox>().first()->sigOk();
        ASSERT_TRUE(CGlobalInstance::isJoinConference) << shownMessages().join("|").toStdString();
        const QList<VideoWidget*> meetings = shownWindows<VideoWidget>();
        ASSERT_EQ(meetings.size(), 1);
        for (MessageBox* box : shownWindows<MessageBox>())
            delete box;

        meetings.first()->close();
        EXPECT_FALSE(CGlobalInstance::isJoinConference);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CGlobalInstance::veltoSdk->Logout();
    }
    delete CGlobalInstance::veltoSdk;
    CGlobalInstance::veltoSdk = nullptr;
}
