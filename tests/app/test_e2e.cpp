// The real program objects with the real SDK against the local conference
// server: log in through the login page, start an instant meeting, leave it,
// log out.
#include "AppTestSupport.h"

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
