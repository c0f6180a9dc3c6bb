// One-to-one calls between the program and other SDK clients through the
// local conference server and the signalling service: every call ends as
// exactly one recents row, and messages that other users forge change nothing.
#include "AppTestSupport.h"
#include "LocalServer.h"
#include "RecordingCallback.h"

#include <QPushButton>

#include "Dialogs/ringcallwidget.h"
#include "Dialogs/ringingwidget.h"
#include "Home/meetingentry.h"

using namespace velto::test;

namespace {

class HomeCallsThroughTheServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setCaBundleEnv();
        qputenv("VELTO_UPDATE_HOST", "127.0.0.1:1");
        CGlobalInstance::getVeltoInterface();
        window = std::make_unique<MainWindow>();
        CGlobalInstance::setMainWindow(window.get());
        const Account demo = server.demoAccount();
        ASSERT_EQ(CGlobalInstance::veltoCallback->loginAccount(server.host(), demo.userName, demo.password), 0);
        ASSERT_TRUE(CGlobalInstance::isLogin);
        CGlobalInstance::getVideoAudioDevices();
        Sqlite3::instance()->deleteRecents();
        ownJid = CGlobalInstance::userInfo.myJid;

        alice = peer("alice", aliceCallback);
        bob = peer("bob", bobCallback);
    }

    void TearDown() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget != window.get())
                widget->close();
        CGlobalInstance::veltoSdk->LeaveConference();
        CGlobalInstance::veltoSdk->Logout();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        alice.reset();
        bob.reset();
        window.reset();
    }

    std::unique_ptr<VeltoInterface> peer(const std::string& name, RecordingCallback& callback)
    {
        std::unique_ptr<VeltoInterface> sdk(getVeltoInterface());
        sdk->setCallback(&callback);
        const Account account = server.account(name);
        EXPECT_EQ(sdk->Login(server.host(), account.userName, account.password, ""), 0);
        return sdk;
    }

    // The ring-call messages a peer received, as (type, field) of interest.
    static std::vector<Event> rings(const RecordingCallback& callback, const std::string& type)
    {
        std::vector<Event> found;
        for (const auto& event : callback.events("onRingCall"))
            if (event.args.at(1) == type)
                found.push_back(event);
        return found;
    }

    bool peerGot(const RecordingCallback& callback, const std::string& type)
    {
        return waitUntil([&] { return !rings(callback, type).empty(); });
    }

    std::vector<RECENTITEM> recents() const
    {
        std::vector<RECENTITEM> rows;
        Sqlite3::instance()->getRecentsTable(rows, QString::fromStdString(window->personalRoom()));
        return rows;
    }

    LocalServer server;
    std::unique_ptr<MainWindow> window;
    std::string ownJid;
    RecordingCallback aliceCallback;
    RecordingCallback bobCallback;
    std::unique_ptr<VeltoInterface> alice;
    std::unique_ptr<VeltoInterface> bob;
};

}  // namespace

TEST_F(HomeCallsThroughTheServer, OutgoingCallAnsweredEndsAsOneAnsweredRow)
{
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(CGlobalInstance::veltoSdk->SendRingCall(aliceAccount.userId, "invite", "", "Demo User", 0, 0, "1", ""),
              0);
    window->slotRinging(aliceAccount.userId, 0, aliceAccount.displayName, 1);
    ASSERT_TRUE(peerGot(aliceCallback, "invite"));
    EXPECT_EQ(rings(aliceCallback, "invite")[0].args[0], ownJid);

    ASSERT_EQ(alice->SendRingCall(ownJid, "accept", "", aliceAccount.displayName, 0, 0, "", ""), 0);
    ASSERT_TRUE(peerGot(aliceCallback, "join"));
    ASSERT_TRUE(CGlobalInstance::isJoinConference);
    const auto join = rings(aliceCallback, "join")[0].args;
    EXPECT_EQ(join[2], window->personalRoom());
    EXPECT_EQ(join[6], server.demoAccount().meetPassword);
    EXPECT_TRUE(shownWindows<RingingWidget>().isEmpty());

    ASSERT_EQ(alice->JoinConference(join[2], join[6]), 0);
    ASSERT_EQ(alice->LeaveConference(), 0);
    ASSERT_TRUE(waitUntil([&] { return recents().size() == 1; }));
    EXPECT_EQ(recents()[0].userid.toStdString(), aliceAccount.userId);
    EXPECT_EQ(recents()[0].calltype, 1);
    EXPECT_TRUE(rings(aliceCallback, "reject").empty());  // an answered call is never withdrawn

    // Leaving the meeting afterwards writes nothing more.
    CGlobalInstance::veltoSdk->LeaveConference();
    QCoreApplication::processEvents();
    EXPECT_EQ(recents().size(), 1u);
}

TEST_F(HomeCallsThroughTheServer, OutgoingCallUnansweredIsWithdrawnWhenTheRingTimeRunsOut)
{
    RingingWidget::setRingTimeout(300);
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(CGlobalInstance::veltoSdk->SendRingCall(aliceAccount.userId, "invite", "", "Demo User", 0, 0, "1", ""),
              0);
    window->slotRinging(aliceAccount.userId, 0, aliceAccount.displayName, 1);
    ASSERT_TRUE(peerGot(aliceCallback, "invite"));

    // Alice never answers: the caller's withdrawal is what ends the call on her side.
    ASSERT_TRUE(peerGot(aliceCallback, "reject"));
    const auto withdrawal = rings(aliceCallback, "reject")[0].args;
    EXPECT_EQ(withdrawal[0], ownJid);
    EXPECT_EQ(withdrawal[5], "1") << "sent as the caller";
    EXPECT_TRUE(shownWindows<RingingWidget>().isEmpty());
    EXPECT_EQ(shownMessageCount(600111), 1);
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].duration, 0);
    EXPECT_EQ(recents()[0].calltype, 1);
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    RingingWidget::setRingTimeout(RingingWidget::kRingTimeoutMs);
}

TEST_F(HomeCallsThroughTheServer, IncomingCallRefusedEndsAsOneUnansweredRow)
{
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(alice->SendRingCall(server.demoAccount().userId, "invite", "", aliceAccount.displayName, 1, 0, "1", ""),
              0);
    ASSERT_TRUE(waitUntil([] { return shownWindows<RingCallWidget>().size() == 1; }));
    shownWindows<RingCallWidget>().first()->findChild<QPushButton*>("btnReject")->click();
    ASSERT_TRUE(peerGot(aliceCallback, "reject"));
    EXPECT_EQ(rings(aliceCallback, "reject")[0].args[5], "0");
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].duration, 0);
    EXPECT_EQ(recents()[0].calltype, 0);
    EXPECT_EQ(recents()[0].username.toStdString(), aliceAccount.displayName);

    // The caller's own withdrawal afterwards finds the call over.
    ASSERT_EQ(alice->SendRingCall(server.demoAccount().userId, "reject", "", "Demo User", 1, 1, "", ""), 0);
    QTest::qWait(200);
    EXPECT_EQ(recents().size(), 1u);
}

TEST_F(HomeCallsThroughTheServer, InviteDuringAMeetingIsAnsweredBusy)
{
    ASSERT_TRUE(createMeetingRoom());
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(alice->SendRingCall(server.demoAccount().userId, "invite", "", aliceAccount.displayName, 0, 0, "1", ""),
              0);
    ASSERT_TRUE(peerGot(aliceCallback, "busy"));
    EXPECT_TRUE(shownWindows<RingCallWidget>().isEmpty());
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].duration, 0);
}

// Only the answer to a call this device placed opens a meeting: an "accept"
// from a caller whose own call is still ringing here starts nothing and sends
// neither the room nor its password.
TEST_F(HomeCallsThroughTheServer, AcceptFromACallerWhoseCallRingsHereStartsNothing)
{
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(alice->SendRingCall(server.demoAccount().userId, "invite", "", aliceAccount.displayName, 0, 0, "1", ""),
              0);
    ASSERT_TRUE(waitUntil([] { return shownWindows<RingCallWidget>().size() == 1; }));

    ASSERT_EQ(alice->SendRingCall(ownJid, "accept", "", aliceAccount.displayName, 0, 0, "", ""), 0);
    EXPECT_FALSE(waitUntil([&] { return CGlobalInstance::isJoinConference || !rings(aliceCallback, "join").empty(); },
                           1000));
    EXPECT_EQ(shownWindows<RingCallWidget>().size(), 1) << "still ringing";
}

TEST_F(HomeCallsThroughTheServer, ForgedJoinAndProcessedFromAThirdUserChangeNothing)
{
    const Account aliceAccount = server.account("alice");
    ASSERT_EQ(alice->SendRingCall(server.demoAccount().userId, "invite", "", aliceAccount.displayName, 0, 0, "1", ""),
              0);
    ASSERT_TRUE(waitUntil([] { return shownWindows<RingCallWidget>().size() == 1; }));

    ASSERT_EQ(bob->SendRingCall(ownJid, "join", "30000001", "Bob", 0, 0, "", ""), 0);
    ASSERT_EQ(bob->SendRingCall(ownJid, "processed", "", "", 0, 0, "", ""), 0);
    QTest::qWait(300);
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_EQ(shownWindows<RingCallWidget>().size(), 1);
    EXPECT_EQ(shownMessageCount(600109), 0);
    EXPECT_TRUE(recents().empty());
}
