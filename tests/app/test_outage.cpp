// The real program objects with the real SDK over a real outage: the local
// server stops while the user is logged in, and starts again.
#include "AppTestSupport.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>

#include "LocalServer.h"

using namespace velto::test;

TEST(Outage, TheProgramNoticesAStoppedServerAndLogsInAgainWhenItIsBack)
{
    LocalServer server;
    server.setProgramEnv();
    const Account account = server.demoAccount();

    ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);
    {
        MainWindow window;
        CGlobalInstance::setMainWindow(&window);
        window.setNetworkCheckInterval(200);
        LoginWidget* login = window.loginWidget();
        logInThroughLoginPage(window, server.localhost(), account.userName, account.password);
        ASSERT_TRUE(CGlobalInstance::isLogin) << shownMessages().join("|").toStdString();
        ASSERT_EQ(server.signalClients().size(), 1u);

        // Noticed well within one ping interval (10 s).
        QSignalSpy lost(&window, &MainWindow::sigNetworkError);
        QElapsedTimer clock;
        clock.start();
        server.stop();
        ASSERT_TRUE(waitUntil([&] { return lost.count() > 0; }, 10000));
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_TRUE(CGlobalInstance::isLogin) << "outside a meeting the login is kept for the reconnection";
        EXPECT_TRUE(shownMessages().isEmpty()) << shownMessages().join("|").toStdString();

        // Back: the program logs in again by itself and reaches the message server.
        server.restart();
        server.setCaBundleEnv();
        ASSERT_TRUE(waitUntil([&] { return server.requests("/clientApi/loginClient").size() == 1; }, 15000));
        ASSERT_TRUE(waitUntil([&] { return server.signalClients().size() == 1; }, 10000));
        EXPECT_TRUE(CGlobalInstance::isLogin);
        EXPECT_FALSE(login->isVisible());
        EXPECT_EQ(lost.count(), 1) << "one loss, one report";

        for (QAction* action : window.findChild<QPushButton*>("btnName")->menu()->actions())
            if (action->text() == "Logout")
                action->trigger();
        EXPECT_FALSE(CGlobalInstance::isLogin);
    }
    delete CGlobalInstance::veltoSdk;
    CGlobalInstance::veltoSdk = nullptr;
}
