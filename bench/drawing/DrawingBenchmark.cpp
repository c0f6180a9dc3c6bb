// Drawing on the whiteboard against a distant message server: the moderator's
// whiteboard window gets 60 mouse moves a second for 10 s (each one a stroke
// message) through the event loop, as the window system delivers them, while
// the server holds every client message 100 ms before handling it. Prints the
// GUI thread's longest stall (the longest single event it handled; goal under
// 20 ms), how many moves it handled, and how many strokes reached the other
// participant of the meeting, and whether all of them came in order.
//
//   build/.../drawing_bench [seconds] [server delay ms]
#include "LocalServer.h"
#include "RecordingCallback.h"
#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"
#include "Whiteboard/drawingmessage.h"
#include "cglobalinstance.h"
#include "qbasegraphicsview.h"
#include "whiteboardwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Times every event the GUI thread handles at the outermost level.
class StallWatch : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ == 0)
            m_timer.start();
        const int type = event->type();
        const bool result = QApplication::notify(receiver, event);
        if (--m_depth == 0 && m_watching && m_timer.nsecsElapsed() > m_longestNs) {
            m_longestNs = m_timer.nsecsElapsed();
            m_longestType = type;
        }
        return result;
    }
    void watch(bool on) { m_watching = on; }
    double longestMs() const { return m_longestNs / 1e6; }
    int longestType() const { return m_longestType; }

private:
    int m_depth = 0;
    bool m_watching = false;
    qint64 m_longestNs = 0;
    int m_longestType = 0;
    QElapsedTimer m_timer;
};

// The i-th point of the path: a zigzag that never repeats a point.
QPoint pointAt(int i)
{
    return {20 + i % 400, 20 + (i / 400) * 20 + (i % 2) * 5};
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int fail(const char* what)
{
    std::fprintf(stderr, "drawing_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int delayMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;
    constexpr int kMovesPerSecond = 60;
    const int moves = seconds * kMovesPerSecond;

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    StallWatch app(argc, argv);

    velto::test::LocalServer::Options options;
    options.messageDelayMs = delayMs;
    velto::test::LocalServer server(options);
    server.setProgramEnv();
    const velto::test::Account demo = server.demoAccount();
    const velto::test::Account alice = server.account("alice");

    // The moderator's program: its SDK and its whiteboard window.
    velto::test::RecordingCallback moderatorEvents;
    std::unique_ptr<VeltoSdk> moderator(static_cast<VeltoSdk*>(::getVeltoInterface()));
    moderator->setCallback(&moderatorEvents);
    if (moderator->Login(server.host(), demo.userName, demo.password, "") != 0 || moderator->CreateConference() != 0)
        return fail("the moderator cannot start the meeting");
    moderator->getHttpCallback()->setModerator(true);
    CGlobalInstance::veltoSdk = moderator.get();

    // The other participant counts what arrives.
    velto::test::RecordingCallback guestEvents;
    std::unique_ptr<VeltoSdk> guest(static_cast<VeltoSdk*>(::getVeltoInterface()));
    guest->setCallback(&guestEvents);
    if (guest->Login(server.host(), alice.userName, alice.password, "") != 0 ||
        guest->JoinConference(demo.room, demo.meetPassword) != 0)
        return fail("the other participant cannot join");

    WhiteboardWidget board(true);
    board.showWidget();
    QWidget* canvas = board.findChild<QBaseGraphicsView*>("graphicsView")->viewport();
    const auto post = [canvas](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QCoreApplication::postEvent(canvas, new QMouseEvent(type, at, canvas->mapToGlobal(at), button, buttons,
                                                            Qt::NoModifier));
    };

    // Press, then one move every 1/60 s, then release.
    QElapsedTimer clock;
    int sent = 0;
    app.watch(true);
    clock.start();
    post(QEvent::MouseButtonPress, pointAt(0), Qt::LeftButton, Qt::LeftButton);
    QTimer pacer;
    pacer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        // Moves due by now, so a late tick does not lower the rate.
        const int due = std::min(moves, int(clock.elapsed() * kMovesPerSecond / 1000) + 1);
        while (sent < due) {
            ++sent;
            post(QEvent::MouseMove, pointAt(sent), Qt::NoButton, Qt::LeftButton);
        }
        if (sent == moves) {
            pacer.stop();
            post(QEvent::MouseButtonRelease, pointAt(sent), Qt::LeftButton, Qt::NoButton);
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        }
    });
    pacer.start(1000 / kMovesPerSecond);
    app.exec();
    const double drawSeconds = clock.elapsed() / 1000.0;
    app.watch(false);

    // The strokes as the other participant must see them, in order.
    std::vector<std::string> expected;
    for (int i = 1; i <= moves; ++i)
        expected.push_back(R"({"message":)" +
                           drawing::StrokeMessage::drawn(pointAt(i - 1), pointAt(i), drawing::kDefaultColour, 8).encode() +
                           R"(,"type":")" + drawing::kTypeWhiteboard + "\"}");
    const auto strokes = [&] {
        std::vector<std::string> got;
        for (const auto& event : guestEvents.events("onWhiteBoard"))
            if (event.args.size() == 2 && event.args[1].find(R"("type":"Whiteboard")") != std::string::npos)
                got.push_back(event.args[1]);
        return got;
    };
    waitFor([&] { return strokes().size() >= expected.size(); }, 10000 + 2 * delayMs);
    const std::vector<std::string> arrived = strokes();
    const bool inOrder = arrived == expected;

    std::printf("server delay          %d ms\n", delayMs);
    std::printf("moves posted          %d in %.2f s (%.1f a second)\n", sent, drawSeconds, sent / drawSeconds);
    std::printf("GUI thread stall      %.2f ms longest event, of type %d (goal < 20 ms)\n", app.longestMs(),
                app.longestType());
    std::printf("strokes at the peer   %zu of %d, %s\n", arrived.size(), moves,
                inOrder ? "all in order" : "NOT all in order");

    moderator->LeaveConference();
    guest->LeaveConference();
    CGlobalInstance::veltoSdk = nullptr;
    return inOrder ? 0 : 2;
}
