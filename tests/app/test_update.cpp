// The first window at start-up follows the update manifest of the conference server.
#include "AppTestSupport.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>

#include <functional>

#include "Dialogs/veltoupdate.h"
#include "LocalServer.h"
#include "Tools/updatecheck.h"
#include "loginwidget.h"

using namespace velto::test;

namespace {

const char* const kManifest = "/download/bm/version_mac_bm.json";

class StartPageTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        server.setProgramEnv();
        // Where an answer is due, a slow (sanitizer) build must not miss it.
        UpdateCheck::setStartupTimeout(kAnswerDueMs);
    }
    void TearDown() override
    {
        UpdateCheck::setStartupTimeout(UpdateCheck::kStartupTimeoutMs);
        AppTest::TearDown();
    }
    static constexpr int kAnswerDueMs = 30000;
    LocalServer server;
};

}  // namespace

// Which versions call for the dialog is MainWindow::offersUpdate's table;
// here one version of each kind, and a server that never answers.
TEST_F(StartPageTest, FirstWindowFollowsTheManifestWithoutHoldingTheGuiThread)
{
    struct Case {
        const char* what;
        std::function<void()> serve;
        bool dialog;
        int deadlineMs;
    };
    const Case cases[] = {
        {"current version", [this] { server.setManifest(R"({"version":"1.0.9"})"); }, false, kAnswerDueMs},
        {"newer version",
         [this] {
             server.setManifest(
                 R"({"version":"2.0.0","fileName":"v.dmg","downPath":"https://example.org/v.dmg","md5":"00"})");
         },
         true, kAnswerDueMs},
        {"silent server", [this] { server.forceStall(kManifest, 60000); }, false, UpdateCheck::kStartupTimeoutMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.reset();
        c.serve();
        UpdateCheck::setStartupTimeout(c.deadlineMs);
        window = std::make_unique<MainWindow>();
        // Nothing has been decided yet: the constructor did not wait for the answer.
        EXPECT_FALSE(window->startPageShown());
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(waitUntil([&] { return window->startPageShown(); }, kAnswerDueMs));
        EXPECT_LT(clock.elapsed(), c.deadlineMs + 1000);
        EXPECT_EQ(server.requests(kManifest).size(), 1u);

        const QList<VeltoUpdate*> dialogs = shownWindows<VeltoUpdate>();
        ASSERT_EQ(dialogs.size(), c.dialog ? 1 : 0);
        EXPECT_EQ(window->loginWidget()->isVisible(), !c.dialog);
        if (c.dialog) {
            EXPECT_TRUE(dialogs.first()->offersUpdate());
            EXPECT_TRUE(dialogs.first()->isModal());
            dialogs.first()->close();
            EXPECT_TRUE(window->loginWidget()->isVisible());
        }
        window.reset();
    }
}

TEST_F(StartPageTest, WindowWaitsForTheCheckSentBeforeIt)
{
    server.setManifest(R"({"version":"2.0.0","fileName":"v.dmg","downPath":"https://example.org/v.dmg","md5":"00"})");
    UpdateCheck::sendAtStartup();  // as start-up does, before any window
    ASSERT_TRUE(waitUntil([&] { return server.requests(kManifest).size() == 1u; }));
    makeWindow();
    EXPECT_EQ(server.requests(kManifest).size(), 1u);
    EXPECT_EQ(shownWindows<VeltoUpdate>().size(), 1);
}

TEST_F(StartPageTest, UpdateFromTheMenuWaitsForTheAnswerWithoutHoldingTheGuiThread)
{
    makeWindow();
    server.forceStall(kManifest, 60000);
    QAction* update = nullptr;
    for (QAction* action : window->findChild<QPushButton*>("btnName")->menu()->actions())
        if (action->text() == "Update")
            update = action;
    ASSERT_NE(update, nullptr);
    QElapsedTimer clock;
    clock.start();
    update->trigger();
    update->trigger();  // clicked again while waiting
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(shownWindows<VeltoUpdate>().isEmpty());

    ASSERT_TRUE(waitUntil([&] { return server.requests(kManifest).size() == 1u; }));
    server.reset();  // the stalled request is answered: the current version
    ASSERT_TRUE(waitUntil([] { return !shownWindows<VeltoUpdate>().isEmpty(); }));
    QTest::qWait(100);
    const QList<VeltoUpdate*> dialogs = shownWindows<VeltoUpdate>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_FALSE(dialogs.first()->isModal());
    EXPECT_FALSE(dialogs.first()->offersUpdate());
    EXPECT_EQ(server.requests(kManifest).size(), 1u);
}
