// Two SDK clients in one meeting through the in-process signalling hub: the
// moderator draws on the drawer's whiteboard, the other participant's program
// follows it through the main window's relay.
#include "AppTestSupport.h"

#include "LocalServer.h"
#include "MouseDrag.h"
#include "RecordingCallback.h"
#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"
#include "Whiteboard/drawingmessage.h"
#include "qbasegraphicsview.h"
#include "videocontrolwidget.h"
#include "videowidget.h"
#include "qscreensharewhiteboard.h"
#include "whiteboardwidget.h"

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QPointer>
#include <QToolButton>

#include <memory>
#include <set>

using namespace velto::test;

namespace {

// A replay request as the message server delivers it.
const std::string kGetInitSignal = R"({"type":"whiteboard","action":"message","data":"{\"type\":\"getInit\"}"})";

// The data text the signalling service makes of a sent "message".
std::string wrapType(const std::string& type, const std::string& body)
{
    return R"({"message":)" + body + R"(,"type":")" + type + "\"}";
}

// The program leaves its meeting, logs out and forgets its main window.
void leaveAndLogOut()
{
    CGlobalInstance::veltoSdk->LeaveConference();
    waitUntil([] { return !CGlobalInstance::isJoinConference; });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CGlobalInstance::veltoSdk->Logout();
    CGlobalInstance::setMainWindow(nullptr);
}

int lines(const WhiteboardWidget* board)
{
    int n = 0;
    for (QGraphicsItem* item : board->drawingScene()->items())
        n += qgraphicsitem_cast<QGraphicsLineItem*>(item) != nullptr;
    return n;
}

// The moderator's side: its own SDK object, and the drawer's window sending
// through it.
class Moderator {
public:
    explicit Moderator(LocalServer& server) : sdk(static_cast<VeltoSdk*>(::getVeltoInterface()))
    {
        sdk->setCallback(&callback);
        const Account demo = server.demoAccount();
        EXPECT_EQ(sdk->Login(server.host(), demo.userName, demo.password, ""), 0);
        EXPECT_EQ(sdk->CreateConference(), 0);
        sdk->getHttpCallback()->setModerator(true);
        jid = callback.events("onLogin").at(0).args[1];
    }
    ~Moderator() { sdk->LeaveConference(); }

    // Runs f with the moderator's SDK as the program's SDK object, as it is in
    // the moderator's own program.
    template <typename F>
    void asModerator(F f)
    {
        VeltoInterface* own = CGlobalInstance::veltoSdk;
        CGlobalInstance::veltoSdk = sdk.get();
        f();
        CGlobalInstance::veltoSdk = own;
    }

    void drag(const std::vector<QPoint>& points)
    {
        asModerator([&] { velto::test::drag(board->findChild<QBaseGraphicsView*>("graphicsView")->viewport(), points); });
    }

    // What the meeting toolbar does when the whiteboard opens.
    void openWhiteboard()
    {
        ASSERT_EQ(sdk->SendWhiteboard(drawing::kCreate, drawing::kWhiteboardPage, ""), 0);
        board = std::make_unique<WhiteboardWidget>(true);
        board->showWidget();
    }

    RecordingCallback callback;
    std::unique_ptr<VeltoSdk> sdk;
    std::string jid;
    std::unique_ptr<WhiteboardWidget> board;
};

// The local conference server, and the program's SDK object dropped at the end.
class WhiteboardMeeting : public ::testing::Test {
protected:
    WhiteboardMeeting()
    {
        server.setProgramEnv();
    }
    ~WhiteboardMeeting() override
    {
        delete CGlobalInstance::veltoSdk;
        CGlobalInstance::veltoSdk = nullptr;
    }

    // The program, with a main window of its own, logged in as `who` and in a
    // meeting: a new one of its own, or the demo user's room. Call it through
    // ASSERT_NO_FATAL_FAILURE.
    void enterMeeting(std::unique_ptr<MainWindow>& window, const Account& who, bool ownMeeting)
    {
        ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);
        CGlobalInstance::veltoSdk->setCallback(CGlobalInstance::veltoCallback);  // also when run after another test
        window = std::make_unique<MainWindow>();
        CGlobalInstance::setMainWindow(window.get());
        VeltoInterface* sdk = CGlobalInstance::veltoSdk;
        ASSERT_EQ(sdk->Login(server.host(), who.userName, who.password, ""), 0);
        CGlobalInstance::getVideoAudioDevices();  // as the join button does first
        ASSERT_EQ(ownMeeting ? sdk->CreateConference() : sdk->JoinConference(demo.room, demo.meetPassword), 0);
        ASSERT_TRUE(waitUntil([] { return CGlobalInstance::isJoinConference; }));
    }

    LocalServer server;
    const Account demo = server.demoAccount();
    const Account alice = server.account("alice");
};

TEST_F(WhiteboardMeeting, TheViewerFollowsTheModeratorsDrawing)
{
    {
        Moderator moderator(server);
        moderator.openWhiteboard();
        // Drawn before the viewer arrives: it reaches her only by a replay.
        moderator.drag({{10, 10}, {20, 20}, {30, 10}});

        std::unique_ptr<MainWindow> window;
        ASSERT_NO_FATAL_FAILURE(enterMeeting(window, alice, false));

        // The meeting window greets the arrival with "create"; she opens a
        // read-only copy and the meeting window hides.
        ASSERT_EQ(moderator.sdk->SendWhiteboard(drawing::kCreate, drawing::kWhiteboardPage, ""), 0);
        ASSERT_TRUE(waitUntil([&] { return window->viewerWhiteboard() != nullptr; }));
        WhiteboardWidget* viewer = window->viewerWhiteboard();
        EXPECT_TRUE(CGlobalInstance::isWhiteboardViewer);
        EXPECT_FALSE(CGlobalInstance::isWhiteboard);
        EXPECT_EQ(lines(viewer), 0);

        // Someone asks for the drawing; the drawer answers to all.
        ASSERT_TRUE(server.pushSignals(moderator.jid, {kGetInitSignal}));
        ASSERT_TRUE(moderator.callback.waitForEvent("onWhiteBoard"));
        moderator.asModerator([&] { moderator.board->slotGetInit(); });
        ASSERT_TRUE(waitUntil([&] { return lines(viewer) == 2; }));

        // Live strokes and a text follow.
        moderator.drag({{100, 100}, {110, 110}, {120, 100}, {130, 110}});
        moderator.asModerator([&] {
            moderator.board->findChild<QToolButton*>("btnText")->click();
            QTest::mouseClick(moderator.board->findChild<QBaseGraphicsView*>("graphicsView")->viewport(),
                              Qt::LeftButton, Qt::NoModifier, {200, 200});
            moderator.board->findChild<QLineEdit*>()->setText(QString::fromUtf8("会议 notes"));
            QTest::keyClick(moderator.board.get(), Qt::Key_Return);
        });
        ASSERT_TRUE(waitUntil([&] { return lines(viewer) == 5 && viewer->drawingScene()->items().size() == 6; }));
        EXPECT_EQ(lines(moderator.board.get()), 5);
        QGraphicsTextItem* text = nullptr;
        for (QGraphicsItem* item : viewer->drawingScene()->items())
            if (auto* t = qgraphicsitem_cast<QGraphicsTextItem*>(item))
                text = t;
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->toPlainText(), QString::fromUtf8("会议 notes"));
        EXPECT_EQ(text->pos(), QPointF(200, 200));

        // A clear empties both, and the viewer sends nothing back.
        moderator.asModerator([&] { moderator.board->findChild<QToolButton*>("btnClear")->click(); });
        EXPECT_TRUE(moderator.board->drawingScene()->items().isEmpty());
        ASSERT_TRUE(waitUntil([&] { return viewer->drawingScene()->items().isEmpty(); }));
        // Whatever the viewer sent back would arrive before this marker.
        ASSERT_TRUE(server.pushSignals(moderator.jid, {R"({"type":"chat","nickname":"marker","message":"flush"})"}));
        ASSERT_TRUE(moderator.callback.waitForEvent("onChatMessage"));
        // Only replay requests (the injected one, and the server's for each
        // "create") reached the moderator.
        for (const Event& e : moderator.callback.events("onWhiteBoard"))
            EXPECT_EQ(drawing::decodeMessage(e.args.at(1), drawing::Channel::Whiteboard).kind,
                      drawing::Incoming::GetInit)
                << e.args.at(1);

        // "destroy" closes the copy and brings the meeting window back.
        ASSERT_EQ(moderator.sdk->SendWhiteboard(drawing::kDestroy, drawing::kWhiteboardPage, ""), 0);
        ASSERT_TRUE(waitUntil([&] { return window->viewerWhiteboard() == nullptr; }));
        EXPECT_FALSE(CGlobalInstance::isWhiteboardViewer);

        // Annotation: the moderator shares the screen and draws over it; the
        // viewer's overlay lies over her meeting window and maps the strokes.
        QWidget frame;
        frame.setGeometry(0, 0, 1200, 697);
        QPointer<QScreenshareWhiteboard> viewerOverlay;
        QObject::connect(window.get(), &MainWindow::sigAnnotate, &frame,
                [&](std::string action, std::string data, std::string from) {
                    QScreenshareWhiteboard::relay(viewerOverlay, &frame, action, data, from);
                });
        QScreenshareWhiteboard sharer;
        moderator.asModerator([&] { sharer.setParentAndShow(0, true); });
        ASSERT_TRUE(waitUntil([&] { return !viewerOverlay.isNull(); }));
        EXPECT_EQ(viewerOverlay->geometry(), frame.frameGeometry());
        moderator.asModerator([&] { velto::test::drag(&sharer, {{40, 40}, {60, 40}, {80, 60}}); });
        ASSERT_TRUE(waitUntil([&] { return viewerOverlay->drawingScene()->items().size() == 2; }));
        QList<QPoint> ends;
        for (QGraphicsItem* item : viewerOverlay->drawingScene()->items(Qt::AscendingOrder))
            ends << qgraphicsitem_cast<QGraphicsLineItem*>(item)->line().p2().toPoint();
        EXPECT_EQ(ends, (QList<QPoint>{viewerOverlay->handlePoint({60, 40}), viewerOverlay->handlePoint({80, 60})}));

        leaveAndLogOut();
    }
}

TEST_F(WhiteboardMeeting, TheToolbarOpensTheDrawersWhiteboardAndItAnswersReplays)
{
    {
        std::unique_ptr<MainWindow> window;
        ASSERT_NO_FATAL_FAILURE(enterMeeting(window, demo, true));
        ASSERT_TRUE(CGlobalInstance::veltoSdk->isModerator());
        const QList<VideoWidget*> meetings = shownWindows<VideoWidget>();
        ASSERT_EQ(meetings.size(), 1);

        RecordingCallback guestCallback;
        std::unique_ptr<VeltoSdk> guest(static_cast<VeltoSdk*>(::getVeltoInterface()));
        guest->setCallback(&guestCallback);
        ASSERT_EQ(guest->Login(server.host(), alice.userName, alice.password, ""), 0);
        ASSERT_EQ(guest->JoinConference(demo.room, demo.meetPassword), 0);
        const std::string ownJid = CGlobalInstance::userInfo.myJid;

        auto* button = meetings.first()->toolbar()->findChild<QToolButton*>("m_btnWhiteboard");
        ASSERT_NE(button, nullptr);
        button->click();
        ASSERT_NE(window->drawerWhiteboard(), nullptr);
        EXPECT_TRUE(window->drawerWhiteboard()->isVisible());
        EXPECT_TRUE(CGlobalInstance::isWhiteboard);
        EXPECT_FALSE(CGlobalInstance::isWhiteboardViewer);
        ASSERT_TRUE(guestCallback.waitForEvent("onWhiteBoard"));

        velto::test::drag(window->drawerWhiteboard()->findChild<QBaseGraphicsView*>("graphicsView")->viewport(),
                          {{10, 10}, {40, 40}});
        const auto strokeFor = [](const std::string& type) {
            return wrapType(type,
                            drawing::StrokeMessage::drawn({10, 10}, {40, 40}, drawing::kDefaultColour, 8).encode());
        };
        ASSERT_TRUE(guestCallback.waitFor([&](const std::vector<Event>& events) {
            return std::any_of(events.begin(), events.end(),
                               [&](const Event& e) { return e.args == std::vector<std::string>{"message", strokeFor("Whiteboard")}; });
        }));

        // A replay request that reaches this program travels to the drawer.
        ASSERT_TRUE(server.pushSignals(ownJid, {kGetInitSignal}));
        // The program's events need its event loop: wait in it.
        ASSERT_TRUE(waitUntil([&] {
            const auto events = guestCallback.events("onWhiteBoard");
            return std::any_of(events.begin(), events.end(), [&](const Event& e) {
                return e.args == std::vector<std::string>{"message", strokeFor("init")};
            });
        }));

        // Closing asks first; on OK the drawer's window goes.
        button->click();
        QList<MessageBox*> boxes = shownWindows<MessageBox>();
        ASSERT_EQ(boxes.size(), 1);
        boxes.first()->findChild<QPushButton*>("btnOK")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window->drawerWhiteboard(), nullptr);
        EXPECT_FALSE(CGlobalInstance::isWhiteboard);

        guest->LeaveConference();
        leaveAndLogOut();
    }
}

// The replays a guest received on a channel: the distinct bodies of type
// "init", as the data texts carry them.
std::set<std::string> replayed(const RecordingCallback& guest, const char* event)
{
    std::set<std::string> bodies;
    for (const Event& e : guest.events(event)) {
        const drawing::Incoming in =
            drawing::decodeMessage(e.args.at(1), std::string(event) == "onAnnotate" ? drawing::Channel::Annotation
                                                                                  : drawing::Channel::Whiteboard);
        if (e.args.at(0) == "message" && in.kind == drawing::Incoming::DrawStroke &&
            e.args.at(1).find(R"("type":"init")") != std::string::npos)
            bodies.insert(in.stroke.encode());
    }
    return bodies;
}

TEST_F(WhiteboardMeeting, ParticipantsArrivingWithinTheReplayIntervalAllGetTheWholeDrawing)
{
    {
        std::unique_ptr<MainWindow> window;
        ASSERT_NO_FATAL_FAILURE(enterMeeting(window, demo, true));
        const QList<VideoWidget*> meetings = shownWindows<VideoWidget>();
        ASSERT_EQ(meetings.size(), 1);

        // The moderator draws on the whiteboard and over the shared screen
        // before anybody else is there.
        meetings.first()->toolbar()->findChild<QToolButton*>("m_btnWhiteboard")->click();
        ASSERT_NE(window->drawerWhiteboard(), nullptr);
        velto::test::drag(window->drawerWhiteboard()->findChild<QBaseGraphicsView*>("graphicsView")->viewport(),
                          {{10, 10}, {40, 40}, {80, 20}, {120, 60}});
        meetings.first()->slotAnnotate(true);
        QScreenshareWhiteboard* sharer = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* o = qobject_cast<QScreenshareWhiteboard*>(top); o && o->isVisible())
                sharer = o;
        ASSERT_NE(sharer, nullptr);
        velto::test::drag(sharer, {{300, 300}, {350, 320}, {400, 300}});
        ASSERT_EQ(window->drawerWhiteboard()->drawnItems().size(), 3u);
        ASSERT_EQ(sharer->drawnItems().size(), 2u);

        // Alice arrives; her arrival brings both replays.
        RecordingCallback aliceEvents, bobEvents;
        std::unique_ptr<VeltoSdk> aliceSdk(static_cast<VeltoSdk*>(::getVeltoInterface()));
        std::unique_ptr<VeltoSdk> bobSdk(static_cast<VeltoSdk*>(::getVeltoInterface()));
        aliceSdk->setCallback(&aliceEvents);
        bobSdk->setCallback(&bobEvents);
        const Account bob = server.account("bob");
        ASSERT_EQ(aliceSdk->Login(server.host(), alice.userName, alice.password, ""), 0);
        ASSERT_EQ(bobSdk->Login(server.host(), bob.userName, bob.password, ""), 0);
        ASSERT_EQ(aliceSdk->JoinConference(demo.room, demo.meetPassword), 0);
        ASSERT_TRUE(waitUntil([&] {
            return replayed(aliceEvents, "onWhiteBoard").size() == 3 && replayed(aliceEvents, "onAnnotate").size() == 2;
        }));
        // Bob comes right after: his request falls inside the interval of hers.
        ASSERT_EQ(bobSdk->JoinConference(demo.room, demo.meetPassword), 0);
        EXPECT_TRUE(waitUntil([&] { return replayed(bobEvents, "onWhiteBoard").size() == 3; }));
        EXPECT_TRUE(waitUntil([&] { return replayed(bobEvents, "onAnnotate").size() == 2; }));

        aliceSdk->LeaveConference();
        bobSdk->LeaveConference();
        leaveAndLogOut();
    }
}

}  // namespace
