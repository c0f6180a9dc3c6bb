// The first window at start-up follows the update manifest of the conference server.
#include "AppTestSupport.h"

#include "Dialogs/veltoupdate.h"
#include "LocalServer.h"
#include "loginwidget.h"

using namespace velto::test;

namespace {

class StartPageTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        server.setCaBundleEnv();
        qputenv("VELTO_UPDATE_HOST", QByteArray::fromStdString(server.localhost()));
    }
    LocalServer server;
};

}  // namespace

TEST_F(StartPageTest, CurrentOrTestVersionsShowTheLoginPage)
{
    for (const char* version : {"1.0.9", "", "2.0.0test_"}) {
        SCOPED_TRACE(version);
        server.setManifest(std::string(R"({"version":")") + version + R"(","fileName":"v.dmg","downPath":"","md5":""})");
        makeWindow();
        EXPECT_TRUE(window->loginWidget()->isVisible());
        EXPECT_TRUE(shownWindows<VeltoUpdate>().isEmpty());
        window.reset();
    }
}

TEST_F(StartPageTest, NewerVersionShowsTheUpdateDialogFirst)
{
    server.setManifest(R"({"version":"2.0.0","fileName":"v.dmg","downPath":"https://example.org/v.dmg","md5":"00"})");
    makeWindow();
    const QList<VeltoUpdate*> dialogs = shownWindows<VeltoUpdate>();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(dialogs.first()->offersUpdate());
    EXPECT_TRUE(dialogs.first()->isModal());
    EXPECT_FALSE(window->loginWidget()->isVisible());

    dialogs.first()->close();
    EXPECT_TRUE(window->loginWidget()->isVisible());
}
