// The callback bridge: its tables, its meeting gate and the rule that all of
// its work runs on the main thread.
#include "AppTestSupport.h"

#include <QThread>

#include <set>
#include <thread>

using namespace velto::test;

namespace {

// Records, as short texts, the main-window signals the bridge emits.
class SignalLog : public QObject {
public:
    explicit SignalLog(MainWindow& w)
    {
        auto add = [this](std::string entry) {
            entries.push_back(std::move(entry));
            threads.insert(QThread::currentThread());
        };
        auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
        connect(&w, &MainWindow::sigMuteAudio, this, [=](bool m) { add("muteAudio:" + flag(m)); });
        connect(&w, qOverload<bool>(&MainWindow::sigMuteVideo), this, [=](bool m) { add("muteVideo:" + flag(m)); });
        connect(&w, &MainWindow::sigLostModerator, this, [=](bool l) { add("lostModerator:" + flag(l)); });
        connect(&w, &MainWindow::sigMessageBox, this, [=](int code) { add("messageBox:" + std::to_string(code)); });
        connect(&w, &MainWindow::sigGrantAdmin, this, [=] { add("grantAdmin"); });
        connect(&w, &MainWindow::sigTransferModerator, this, [=](std::string jid) { add("transfer:" + jid); });
        connect(&w, &MainWindow::sigLockConference, this, [=](bool l) { add("lock:" + flag(l)); });
        connect(&w, &MainWindow::sigNotice, this, [=](int n) { add("notice:" + std::to_string(n)); });
        connect(&w, &MainWindow::sigChat, this, [=](std::string who, std::string text) { add("chat:" + who + ":" + text); });
        connect(&w, &MainWindow::sigDelayConference, this, [=](std::string msg) { add("delay:" + msg); });
        connect(&w, &MainWindow::sigAddUser, this, [=](user_info u) { add("addUser:" + u.jid); });
        connect(&w, &MainWindow::sigRemoveUser, this, [=](std::string jid) { add("removeUser:" + jid); });
        connect(&w, &MainWindow::sigUpdateRecentItemStatus, this,
                [=](std::string id, bool on) { add("recentStatus:" + id + ":" + flag(on)); });
        connect(&w, &MainWindow::sigSip, this, [=](std::string sip) { add("sip:" + sip); });
        connect(&w, &MainWindow::sigNetworkError, this, [=] { add("networkError"); });
        connect(&w, &MainWindow::sigKickout, this, [=] { add("kickout"); });
        connect(&w, &MainWindow::sigStat, this, [=](std::string jid, int down, int up) {
            add("stat:" + jid + ":" + std::to_string(down) + ":" + std::to_string(up));
        });
        connect(&w, &MainWindow::sigGetContacts, this, [=](conference_contacts&) { add("contacts"); });
        connect(&w, &MainWindow::sigGetSearchContacts, this, [=](conference_contacts&) { add("searchContacts"); });
        connect(&w, &MainWindow::sigSetConferenceInfo, this, [=](std::string id) { add("conferenceInfo:" + id); });
        connect(&w, &MainWindow::sigDownloadImage, this, [=](QString url) { add("downloadImage:" + url.toStdString()); });
        connect(&w, &MainWindow::sigStartConference, this, [=] { add("startConference"); });
        connect(&w, &MainWindow::sigLeaveConference, this, [=] { add("leaveConference"); });
    }
    std::vector<std::string> entries;
    std::set<QThread*> threads;
};

using Entries = std::vector<std::string>;

class CallbackTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        makeWindow();
        // The start of a meeting would build a meeting window; these tests only read signals.
        QObject::disconnect(window.get(), &MainWindow::sigStartConference, window.get(), nullptr);
        log = std::make_unique<SignalLog>(*window);
    }
    std::unique_ptr<SignalLog> log;
};

struct ControlCase {
    const char* type;
    bool flag;
    const char* value;
    bool moderator;
    Entries expected;
};

}  // namespace

TEST_F(CallbackTest, ControlMessagesFollowTheirTableInOrder)
{
    const ControlCase cases[] = {
        {"audio", true, "", false, {"muteAudio:1"}},
        {"allAudio", false, "", false, {"muteAudio:0"}},
        {"video", true, "", false, {"muteVideo:1"}},
        {"allVideo", false, "", false, {"muteVideo:0"}},
        {"lostModerator", true, "", false, {"lostModerator:1", "messageBox:100016"}},
        {"moderator", true, "", false, {"grantAdmin", "lostModerator:0"}},
        {"moderator", false, "u2@msg/pc", false, {"transfer:u2@msg/pc", "lostModerator:0"}},
        {"lock", true, "", false, {"lock:1", "notice:5"}},
        {"lock", false, "", false, {"lock:0", "notice:6"}},
        {"groupChat", false, "hello", false, {"chat:admin:hello"}},
        {"privateChat", false, "psst", false, {"chat:admin:psst"}},
        {"toClose", false, "15", true, {"delay:15"}},
        {"toClose", false, "15", false, {}},
        // The earlier word of the table wins in a type holding two.
        {"lock_audio", true, "", false, {"muteAudio:1"}},
        {"videoLock", false, "", false, {"muteVideo:0"}},
        {"Audio", true, "", false, {}},
        {"nothing", true, "", false, {}},
    };
    CGlobalInstance::isJoinConference = true;
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.type);
        log->entries.clear();
        sdk.moderator = c.moderator;
        callback.onControlMsg(c.type, c.flag, c.value);
        EXPECT_EQ(log->entries, c.expected);
    }
}

TEST_F(CallbackTest, RemoteMuteWritesTheMeetingFlags)
{
    CGlobalInstance::isJoinConference = true;
    CGlobalInstance::conferenceInfo.withAudio = true;
    CGlobalInstance::conferenceInfo.withVideo = true;
    callback.onControlMsg("audio", true, "");
    callback.onMuteVideo(true);
    EXPECT_TRUE(CGlobalInstance::isAudioMute);
    EXPECT_FALSE(CGlobalInstance::conferenceInfo.withAudio);
    EXPECT_TRUE(CGlobalInstance::isVideoMute);
    EXPECT_FALSE(CGlobalInstance::conferenceInfo.withVideo);
    callback.onMuteAudio(false);
    EXPECT_FALSE(CGlobalInstance::isAudioMute);
    EXPECT_TRUE(CGlobalInstance::conferenceInfo.withAudio);
}

TEST_F(CallbackTest, MeetingEventsOutsideAMeetingAreDropped)
{
    user_info user;
    user.jid = "u2@msg/pc2";
    callback.onUpdateUserList(user);
    callback.onRemoveUserList(user.jid);
    callback.onControlMsg("audio", true, "");
    callback.onChatMessage("bob", "hi");
    callback.onGetStat("u2@msg/pc2", 0, 0, 2, 10, 20);
    callback.onMuteAudio(true);
    EXPECT_EQ(log->entries, Entries{});
    EXPECT_TRUE(CGlobalInstance::user_list.empty());
    EXPECT_FALSE(CGlobalInstance::isAudioMute);
    // Not gated: a removal, a lost network.
    callback.onKickout();
    callback.onNetworkError();
    EXPECT_EQ(log->entries, (Entries{"kickout", "messageBox:300417", "networkError"}));
}

TEST_F(CallbackTest, ParticipantUpdatesKeepTheListAndNameGateways)
{
    CGlobalInstance::isJoinConference = true;
    sdk.moderator = true;
    user_info gateway;
    gateway.jid = "gw@msg/sip1";
    gateway.nickname = "sip:100@h323:host";
    callback.onUpdateUserList(gateway);
    EXPECT_EQ(log->entries, (Entries{"addUser:gw@msg/sip1", "recentStatus:gw:1", "sip:sip:100@h323:host"}));
    EXPECT_EQ(CGlobalInstance::user_list.count("sip1"), 1u);

    log->entries.clear();
    sdk.moderator = false;
    user_info plain;
    plain.jid = "u3@msg/pc3";
    plain.nickname = "Carol";
    callback.onUpdateUserList(plain);
    // Nobody in the list is moderator: the moderator is lost.
    EXPECT_EQ(log->entries, (Entries{"addUser:u3@msg/pc3", "recentStatus:u3:1", "lostModerator:1"}));

    log->entries.clear();
    callback.onRemoveUserList(plain.jid);
    EXPECT_EQ(log->entries, (Entries{"removeUser:u3@msg/pc3", "recentStatus:u3:0"}));
    EXPECT_EQ(CGlobalInstance::user_list.count("pc3"), 0u);
}

TEST_F(CallbackTest, StatisticsDivideByTheCountOrGiveZeros)
{
    CGlobalInstance::isJoinConference = true;
    callback.onGetStat("a", 9, 9, 4, 100, 42);
    callback.onGetStat("b", 9, 9, 0, 100, 42);
    EXPECT_EQ(log->entries, (Entries{"stat:a:25:10", "stat:b:0:0"}));
}

TEST_F(CallbackTest, AnswerCodesBecomeMessages)
{
    conference_contacts contacts;
    callback.onGetModerator(200);
    callback.onGetModerator(403);
    callback.onStartRecord(500);
    callback.onGetContacts(200, contacts);
    callback.onGetContacts(404, contacts);
    callback.onGetSearchContacts(200, contacts);
    callback.onGetSearchContacts(500, contacts);
    EXPECT_EQ(log->entries,
              (Entries{"messageBox:403", "messageBox:500", "contacts", "messageBox:300110", "searchContacts"}));
}

TEST_F(CallbackTest, AccountLoginStoresTheUserAndShowsTheMainWindow)
{
    sdk.meetPassword = "111";
    sdk.ownerPassword = "222";
    callback.onLogin(200, demoLogin());
    EXPECT_TRUE(CGlobalInstance::isLogin);
    EXPECT_EQ(CGlobalInstance::userInfo.mUserName, "Alice Demo");
    EXPECT_EQ(CGlobalInstance::userInfo.myJid, "u1@msg.example/pc1");
    EXPECT_EQ(CGlobalInstance::userInfo.videoNum, 4);
    EXPECT_EQ(CGlobalInstance::conferenceInfo.room, "123456789");
    EXPECT_EQ(CGlobalInstance::conferenceInfo.meetPassword, "111");
    EXPECT_EQ(CGlobalInstance::conferenceInfo.ownerPassword, "222");
    EXPECT_EQ(log->entries, (Entries{"downloadImage:https://example.com/p.png", "conferenceInfo:123456789"}));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(CallbackTest, AnonymousLoginStoresTheUserButShowsNothing)
{
    CGlobalInstance::isAnonymousLogin = true;
    callback.onLogin(200, demoLogin());
    EXPECT_TRUE(CGlobalInstance::isLogin);
    EXPECT_EQ(sdk.count("QueryUsers"), 1);
    EXPECT_EQ(log->entries, Entries{});
    EXPECT_FALSE(window->isVisible());
}

TEST_F(CallbackTest, RefusedLoginOnlyShowsItsCode)
{
    callback.onLogin(401, demoLogin());
    EXPECT_FALSE(CGlobalInstance::isLogin);
    EXPECT_TRUE(CGlobalInstance::userInfo.mUserName.empty());
    EXPECT_EQ(sdk.count("QueryUsers"), 0);
    EXPECT_EQ(log->entries, Entries{"messageBox:401"});
}

TEST_F(CallbackTest, JoinAnswerFillsTheMeetingFromItsTexts)
{
    conference_callback_data data = demoJoin("987");
    data.resolution = "720p";
    data.width = "";
    data.maxViewNum = "x9";
    data.recordFlag = true;
    callback.onCreateOrJoinConference(200, data);
    const ConferenceInfo& info = CGlobalInstance::conferenceInfo;
    EXPECT_TRUE(CGlobalInstance::isJoinConference);
    EXPECT_EQ(info.room, "987");
    EXPECT_EQ(info.resolution, 720);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.maxViewNum, 0);
    EXPECT_EQ(info.bandwidth, 1024);
    EXPECT_EQ(info.conferenceType, 2);
    EXPECT_TRUE(info.recordFlag);
    EXPECT_EQ(log->entries, Entries{"startConference"});

    log->entries.clear();
    callback.onLeaveConference();
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_EQ(log->entries, Entries{"leaveConference"});
}

TEST_F(CallbackTest, EventsFromOtherThreadsRunOnTheMainThread)
{
    CGlobalInstance::isJoinConference = true;
    std::thread worker([this] {
        user_info user;
        user.jid = "u4@msg/pc4";
        callback.onUpdateUserList(user);
        callback.onControlMsg("audio", true, "");
        callback.onNetworkError();
    });
    worker.join();
    // Nothing is written on the worker thread itself.
    EXPECT_TRUE(CGlobalInstance::user_list.empty());
    EXPECT_FALSE(CGlobalInstance::isAudioMute);
    EXPECT_TRUE(log->entries.empty());

    ASSERT_TRUE(waitUntil([&] { return log->entries.size() == size_t(5); }));
    EXPECT_EQ(log->entries, (Entries{"addUser:u4@msg/pc4", "recentStatus:u4:1", "lostModerator:1", "muteAudio:1",
                                     "networkError"}));
    EXPECT_EQ(log->threads, std::set<QThread*>{QThread::currentThread()});
    EXPECT_EQ(CGlobalInstance::user_list.count("pc4"), 1u);
    EXPECT_TRUE(CGlobalInstance::isAudioMute);
}

TEST_F(CallbackTest, EventsQueuedBeforeALeaveAreDroppedAfterIt)
{
    CGlobalInstance::isJoinConference = true;
    std::thread worker([this] {
        callback.onChatMessage("bob", "late");
        callback.onWhiteBoard("create", "");
    });
    worker.join();
    callback.onLeaveConference();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(log->entries, Entries{"leaveConference"});
}

TEST_F(CallbackTest, EventsAfterTheWindowIsGoneAreDropped)
{
    log.reset();
    std::thread([this] { callback.onLogin(200, demoLogin()); }).join();  // queued while it stands
    window.reset();
    // Whatever still reaches the program after this must find no window: not
    // through the bridge, and not through the global pointer.
    ASSERT_EQ(CGlobalInstance::mainWindow, nullptr);
    std::thread([this] {
        callback.onLogin(200, demoLogin());
        callback.onNetworkError();
    }).join();
    callback.onLogin(200, demoLogin());  // on the main thread: handled at once
    QCoreApplication::processEvents();
    EXPECT_FALSE(CGlobalInstance::isLogin);
    EXPECT_EQ(sdk.count("QueryUsers"), 0);

    // A login taken back late hides the main window through the global pointer.
    CGlobalInstance::isLogin = true;
    callback.abandonLogin();
    EXPECT_EQ(sdk.count("Logout"), 1);
}
