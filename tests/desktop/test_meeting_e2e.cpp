// A real meeting: the program with the real SDK, logged in to the local
// conference server, meets a second SDK client (the guest) in the same
// process, through the server. The meeting window draws the guest's video
// where the server's stage puts it and where the moderator moves it (main
// screen, strip, tiles); chat goes both ways, and leaving brings the main
// window back. The program also meets the guest on a machine of its own,
// the server listening on another (network namespaces).
#include "AppTestSupport.h"
#include "LocalServer.h"
#include "NetworkLab.h"
#include "RecordingCallback.h"

#include "Base/qbaselineedit.h"
#include "Home/callbuttons.h"
#include "QGLRenderInterface.h"
#include "cglobalinstance.h"
#include "loginwidget.h"
#include "mainwindow.h"
#include "qlayoutmanagerwidget.h"
#include "qnicknamewidget.h"
#include "qpickcandiatewidget.h"
#include "qstaticswidget.h"
#include "screensharewidget.h"
#include "subvideowidget.h"
#include "velto_webrtc_test_hooks.h"
#include "videocontrolwidget.h"
#include "videowidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolButton>

#include <memory>
#include <optional>

using namespace velto::test;

namespace {

VideoWidget* meetingWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* video = qobject_cast<VideoWidget*>(widget); video && video->isVisible())
            return video;
    return nullptr;
}

bool isBlack(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            if (qGray(image.pixel(x, y)) > 16)
                return false;
    return true;
}

// Which participant's stream a render target shows: the label of the stream
// the media engine was asked to draw there, once that stream's frames arrive
// (the picture is not black and moves). Empty while nothing arrives.
std::string streamDrawnInto(QGLRenderInterface* target)
{
    const std::string label = velto_webrtc_test::RenderedLabel(target);
    auto* view = target ? qobject_cast<QOpenGLWidget*>(target->getSelfWidget()) : nullptr;
    if (label.empty() || !view)
        return {};
    const QImage first = view->grabFramebuffer();
    QImage later;
    const bool moves = waitUntil([&] { return (later = view->grabFramebuffer()) != first; }, 3000);
    return moves && !first.isNull() && !isBlack(later) ? label : std::string();
}

// Waits until `target` shows the stream `label`; the last stream seen otherwise.
std::string waitForStream(QGLRenderInterface* target, const std::string& label)
{
    std::string seen;
    waitUntil([&] { return (seen = streamDrawnInto(target)) == label; }, 15000);
    return seen;
}

// Where the server runs: on this machine, or on a machine of its own that
// the program and the guest reach over a link (server 192.0.2.1 -- program
// 192.0.2.2), the test's thread and the SDKs' threads living on the
// program's. The display and the sound server are reached through their
// sockets' files, which every namespace sees.
struct Machines {
    explicit Machines(bool apart)
    {
        if (!apart || !NetworkLab::unavailable().empty())
            return;
        lab.emplace();
        const std::string serverMachine = lab->add("server"), program = lab->add("program");
        lab->link(serverMachine, "192.0.2.1/24", program, "192.0.2.2/24");
        serverOptions.networkNamespace = serverMachine;
        serverOptions.listen = "192.0.2.1";
        onTheProgramsMachine.emplace(program);
    }
    std::optional<NetworkLab> lab;
    LocalServer::Options serverOptions;
    std::optional<NetworkLab::Inside> onTheProgramsMachine;
};

class MeetingEndToEnd : public ::testing::Test {
protected:
    explicit MeetingEndToEnd(bool apart = false) : machines(apart), server(machines.serverOptions) {}

    void SetUp() override
    {
        const std::string serverAddress = machines.lab ? server.host() : server.localhost();
        server.setCaBundleEnv();
        setenv("VELTO_UPDATE_HOST", serverAddress.c_str(), 1);
        account = server.demoAccount();
        ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);
        guest.reset(getVeltoInterface());
        guest->setCallback(&guestCallback);

        window = std::make_unique<MainWindow>();
        CGlobalInstance::setMainWindow(window.get());
        LoginWidget* login = window->loginWidget();
        login->findChild<QPushButton*>("btnLogin")->click();
        login->findChild<QBaseLineEdit*>("edtDomain_2")->setText(QString::fromStdString(serverAddress));
        login->findChild<QBaseLineEdit*>("edtUsername")->setText(QString::fromStdString(account.userName));
        login->findChild<QBaseLineEdit*>("edtPassword_2")->setText(QString::fromStdString(account.password));
        login->findChild<QPushButton*>("btnLogin_2")->click();
        ASSERT_TRUE(CGlobalInstance::isLogin);
        window->findChild<QToolButton*>("btnInstantMeet")->click();
        ASSERT_TRUE(CGlobalInstance::isJoinConference);
        video = meetingWindow();
        ASSERT_NE(video, nullptr);
        hostJid = CGlobalInstance::userInfo.myJid;

        // The guest joins with a camera stream of its own, started inside the
        // join as the program does, before the signalling room is joined.
        std::vector<velto_webrtc::rtc_device_> cameras, microphones, speakers;
        guest->getVideoCaptureDevices(cameras);
        guest->getAudioRecordingDevices(microphones);
        guest->getAudioPlayoutDevices(speakers);
        ASSERT_FALSE(cameras.empty() || microphones.empty() || speakers.empty());
        guestView.resize(320, 180);
        guestRender.window = QGLRenderInterface::CreateRender(&guestView);
        guestCallback.onEvent("onCreateOrJoinConference", [&](const Event&) {
            guest->ShowLocalPreview(guestRender, cameras[0], microphones[0], speakers[0], 640, 360, 15, 512);
        });
        ASSERT_EQ(guest->AnonymousJoinConference(server.host(), account.room, account.meetPassword, "Guest"), 0);
        ASSERT_FALSE(guestRender.label.empty());

        // The host learns the guest's camera stream.
        ASSERT_TRUE(waitUntil([&] {
            for (const auto& [endpoint, user] : CGlobalInstance::user_list)
                if (user.nickname == "Guest" && user.label == guestRender.label)
                    guestJid = user.jid;
            return !guestJid.empty();
        }, 20000)) << "the guest's stream never reached the host";
    }

    void TearDown() override
    {
        if (QPointer<VideoWidget> closing = meetingWindow()) {
            closing->toolbar()->findChild<QToolButton*>("m_btnClose")->click();
            waitUntil([&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return !closing;
            });
        }
        if (guest) {
            guest->LeaveConference();
            guest->Logout();
        }
        if (CGlobalInstance::veltoSdk)
            CGlobalInstance::veltoSdk->Logout();
        window.reset();
        guest.reset();
        delete CGlobalInstance::veltoSdk;
        CGlobalInstance::veltoSdk = nullptr;
    }

    SubVideoWidget* tileOf(const std::string& jid) const
    {
        for (SubVideoWidget* tile : video->tiles())
            if (tile->isVisible() && tile->getUserJid() == jid)
                return tile;
        return nullptr;
    }
    // The tile of `jid`, once a stage update placed it.
    SubVideoWidget* waitForTile(const std::string& jid) const
    {
        SubVideoWidget* tile = nullptr;
        waitUntil([&] { return (tile = tileOf(jid)) != nullptr; }, 15000);
        return tile;
    }
    QGLRenderInterface* mainView() const { return static_cast<QGLRenderInterface*>(video->ownRender().window); }
    const std::string& ownLabel() const { return video->ownRender().label; }

    // The moderator's layout manager, as the toolbar opens it, in mode `tab`
    // (0 surround, 1 tiles); each slot gets the participant of `endpoints`.
    void chooseLayout(int tab, const std::vector<std::string>& endpoints)
    {
        video->toolbar()->findChild<QToolButton*>("m_btnLayout")->click();
        QList<QLayoutManagerWidget*> dialogs = shownWindows<QLayoutManagerWidget>();
        ASSERT_EQ(dialogs.size(), 1);
        QLayoutManagerWidget* dialog = dialogs.front();
        dialog->findChild<QTabWidget*>("tabManagerWidget")->setCurrentIndex(tab);
        QApplication::processEvents();  // widgets added to a shown layout show a moment later
        QList<QPickCandiateWidget*> screens;
        for (QPickCandiateWidget* slot : dialog->findChildren<QPickCandiateWidget*>())
            if (slot->isVisibleTo(dialog))
                screens << slot;
        // (in screen order: surround's main screen first)
        ASSERT_EQ(size_t(screens.size()), endpoints.size());
        for (int i = 0; i < screens.size(); ++i) {
            auto* combo = screens[i]->findChild<QComboBox*>("comboBox");
            combo->setCurrentIndex(combo->findData(QString::fromStdString(endpoints[size_t(i)])));
        }
        dialog->findChild<QPushButton*>("btnOk")->click();
        EXPECT_TRUE(waitUntil([] { return shownWindows<QLayoutManagerWidget>().isEmpty(); }));
    }

    Machines machines;
    LocalServer server;
    Account account;
    RecordingCallback guestCallback;
    std::unique_ptr<VeltoInterface> guest;
    std::unique_ptr<MainWindow> window;
    QWidget guestView;
    rtc_render guestRender;
    VideoWidget* video = nullptr;
    std::string hostJid;
    std::string guestJid;
};

TEST_F(MeetingEndToEnd, TwoClientsSeeEachOtherChatAndLeave)
{
    // Nobody chose a stage: the server puts the moderator on the main screen
    // and the guest into the strip, naming the guest's camera source.
    SubVideoWidget* tile = waitForTile(guestJid);
    ASSERT_NE(tile, nullptr) << "the guest never got a tile";
    EXPECT_EQ(waitForStream(tile->renderer(), guestRender.label), guestRender.label);
    EXPECT_EQ(waitForStream(mainView(), ownLabel()), ownLabel());

    // Chat both ways.
    video->slotShowChatWidget(true);
    auto* input = video->findChild<QTextEdit*>("textEdit");
    input->setPlainText("hello guest");
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_TRUE(guestCallback.waitFor([](const std::vector<Event>& events) {
        return std::any_of(events.begin(), events.end(), [](const Event& e) {
            return e.name == "onChatMessage" && e.args.size() > 1 && e.args[1] == "hello guest";
        });
    }));
    guest->SendChatMessage("hello host");
    auto* history = video->findChild<QTextBrowser*>("textBrowser");
    EXPECT_TRUE(waitUntil([&] { return history->toPlainText().contains("hello host"); }));

    // Screen share: a screen picked in the picker goes out and is marked
    // on the toolbar; stopping it takes the mark away.
    video->slotShareStream(true);
    ScreenShareWidget* picker = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<ScreenShareWidget*>(w); found && found->isVisible())
            picker = found;
    ASSERT_NE(picker, nullptr);
    picker->findChild<QListWidget*>("screenListWidget")->setCurrentRow(0);
    picker->findChild<QPushButton*>("btnScreenShare")->click();
    EXPECT_TRUE(video->toolbar()->isSharing());
    EXPECT_TRUE(CGlobalInstance::isSecondStreamModel);
    video->slotShareStream(false);
    EXPECT_FALSE(video->toolbar()->isSharing());

    // Leave: the main window comes back.
    QPointer<VideoWidget> closing = video;
    video->toolbar()->findChild<QToolButton*>("m_btnClose")->click();
    EXPECT_TRUE(waitUntil([&] {
        // No event loop runs here: the closed window goes now.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !closing;
    }));
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_TRUE(waitUntil([&] { return window->isVisible(); }));
}

class MeetingAcrossMachines : public MeetingEndToEnd {
protected:
    MeetingAcrossMachines() : MeetingEndToEnd(true) {}
    void SetUp() override
    {
        if (const std::string why = NetworkLab::unavailable(); !why.empty())
            GTEST_SKIP() << why;
        MeetingEndToEnd::SetUp();
    }
};

TEST_F(MeetingAcrossMachines, TheProgramLogsInToTheServerOnAnotherMachineAndSeesTheGuest)
{
    // Without a media path the meeting ends (its window goes) a few seconds in.
    const QPointer<VideoWidget> meeting = video;
    std::string seen;
    waitUntil([&] {
        if (!meeting)
            return true;
        SubVideoWidget* tile = tileOf(guestJid);
        return tile && (seen = streamDrawnInto(tile->renderer())) == guestRender.label;
    }, 20000);
    ASSERT_TRUE(meeting) << "the meeting ended: its media found no path";
    EXPECT_EQ(seen, guestRender.label) << "the guest's picture in its tile";
}

TEST_F(MeetingEndToEnd, TheModeratorMovesTheGuestToTheMainScreenAndIntoTiles)
{
    const std::string guestEndpoint = CGlobalInstance::getEndpointByJid(guestJid);
    const std::string ownEndpoint = CGlobalInstance::getEndpointByJid(hostJid);
    SubVideoWidget* tile = waitForTile(guestJid);
    ASSERT_NE(tile, nullptr);

    // "Put on screen" from the statistics panel over the guest's tile.
    tile->enterWidget();
    ASSERT_TRUE(video->staticsWidget()->isVisible());
    video->staticsWidget()->findChild<QToolButton*>("m_btnShowscreen")->click();
    EXPECT_EQ(waitForStream(mainView(), guestRender.label), guestRender.label) << "the main view stays on the own video";
    EXPECT_EQ(video->nicknameWidget()->getNickname(), "Guest");
    SubVideoWidget* own = waitForTile(hostJid);
    ASSERT_NE(own, nullptr) << "the moderator's own video left the meeting window";
    EXPECT_EQ(waitForStream(own->renderer(), ownLabel()), ownLabel());

    // Tiles: both participants, each in a tile of its own.
    chooseLayout(1, {guestEndpoint, ownEndpoint});
    ASSERT_TRUE(waitUntil([] { return CGlobalInstance::eSplitScreen == 5; }));
    ASSERT_NE(tile = waitForTile(guestJid), nullptr);
    EXPECT_EQ(waitForStream(tile->renderer(), guestRender.label), guestRender.label);
    ASSERT_NE(own = waitForTile(hostJid), nullptr);
    EXPECT_EQ(waitForStream(own->renderer(), ownLabel()), ownLabel());

    // Surround with the moderator on the main screen, then the guest.
    chooseLayout(0, {ownEndpoint, guestEndpoint});
    EXPECT_EQ(waitForStream(mainView(), ownLabel()), ownLabel());
    ASSERT_NE(tile = waitForTile(guestJid), nullptr);
    EXPECT_EQ(waitForStream(tile->renderer(), guestRender.label), guestRender.label);
    chooseLayout(0, {guestEndpoint, ownEndpoint});
    EXPECT_EQ(waitForStream(mainView(), guestRender.label), guestRender.label);
    EXPECT_TRUE(video->findChild<QWidget*>("m_videoWidget")->isVisible());
}

// Bob, an SDK client of his own: answers a call by joining the meeting it
// names, with a camera stream, and draws what he is asked to.
class Callee {
public:
    explicit Callee(LocalServer& server) : account(server.account("bob")), sdk(getVeltoInterface())
    {
        sdk->setCallback(&callback);
        loggedIn = sdk->Login(server.host(), account.userName, account.password, "") == 0;
        ownView.resize(320, 180);
        shownView.resize(320, 180);
    }
    ~Callee()
    {
        if (drawing)
            sdk->StopRenderStream(int(drawId), drawnLabel);
        sdk->LeaveConference();
        sdk->Logout();
    }

    // The first ring-call message of `type` that reached him; empty arguments when none did.
    std::vector<std::string> ring(const std::string& type)
    {
        const auto rang = [&] {
            for (const Event& e : callback.events("onRingCall"))
                if (e.args.at(1) == type)
                    return e.args;
            return std::vector<std::string>();
        };
        // The program answers on this thread: its events go on meanwhile.
        waitUntil([&] { return !rang().empty(); }, 15000);
        return rang();
    }

    int join(const std::string& room, const std::string& password)
    {
        std::vector<velto_webrtc::rtc_device_> cameras, microphones, speakers;
        sdk->getVideoCaptureDevices(cameras);
        sdk->getAudioRecordingDevices(microphones);
        sdk->getAudioPlayoutDevices(speakers);
        if (cameras.empty() || microphones.empty() || speakers.empty())
            return -1;
        render.window = QGLRenderInterface::CreateRender(&ownView);
        callback.onEvent("onCreateOrJoinConference", [=](const Event&) {
            sdk->ShowLocalPreview(render, cameras[0], microphones[0], speakers[0], 640, 360, 15, 512);
        });
        return sdk->JoinConference(room, password);
    }

    // The stream `label` as he draws it: `label` once its pictures come.
    std::string draws(const std::string& label)
    {
        auto* target = QGLRenderInterface::CreateRender(&shownView);
        shownView.show();
        if (!waitUntil([&] { return sdk->StartRenderStream(target, drawId, label, false); }, 10000))
            return {};
        drawing = true;
        drawnLabel = label;
        return waitForStream(target, label);
    }

    const Account account;
    RecordingCallback callback;
    std::unique_ptr<VeltoInterface> sdk;
    bool loggedIn = false;
    rtc_render render;

private:
    // Drawn into until he left: they go after him.
    QWidget ownView;
    QWidget shownView;
    unsigned int drawId = 0;
    bool drawing = false;
    std::string drawnLabel;
};

// The moderator chose the guest for the main screen and himself for the
// strip, then rings Bob from the contacts (the main window brought back during
// the meeting); Bob answers by joining the running meeting, as an invite into
// one asks. The chosen list would leave him out: the caller adds him, and
// each side draws the other.
TEST_F(MeetingEndToEnd, ACalleeAnsweringIntoABusyMeetingIsDrawnOnBothSides)
{
    ASSERT_NE(waitForTile(guestJid), nullptr);
    chooseLayout(0, {CGlobalInstance::getEndpointByJid(guestJid), CGlobalInstance::getEndpointByJid(hostJid)});
    ASSERT_EQ(waitForStream(mainView(), guestRender.label), guestRender.label);

    Callee bob(server);
    ASSERT_TRUE(bob.loggedIn);
    int64_t now = 0;
    ASSERT_TRUE(ringContact(bob.account.userId, true, now));
    window->slotRinging(bob.account.userId, 0, bob.account.displayName, now);
    const std::vector<std::string> invite = bob.ring("invite");
    ASSERT_FALSE(invite.empty());
    EXPECT_EQ(invite.at(4), "2") << "an invite into the running meeting";
    ASSERT_EQ(bob.join(invite.at(2), invite.at(6)), 0);
    ASSERT_FALSE(bob.render.label.empty());

    // The caller draws Bob in a tile, the guest staying on the main screen.
    std::string bobJid;
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& [endpoint, user] : CGlobalInstance::user_list)
            if (user.label == bob.render.label)
                bobJid = user.jid;
        return !bobJid.empty();
    }, 20000)) << "Bob's stream never reached the caller";
    SubVideoWidget* tile = waitForTile(bobJid);
    ASSERT_NE(tile, nullptr) << "Bob never got a tile";
    EXPECT_EQ(waitForStream(tile->renderer(), bob.render.label), bob.render.label);
    EXPECT_EQ(waitForStream(mainView(), guestRender.label), guestRender.label);
    EXPECT_EQ(bob.draws(ownLabel()), ownLabel());
}

}  // namespace
