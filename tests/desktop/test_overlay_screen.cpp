// The annotation overlay as the X server shows it, on a screen without a
// compositor and with the openbox window manager (the test runs on an X server
// of its own, see run_with_openbox.sh): a translucent window there has no
// picture below it, and the window manager raises what is clicked.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "MouseDrag.h"
#include "qscreensharewhiteboard.h"
#include "whiteboardmenuwidget.h"

#include <gtest/gtest.h>

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

namespace {

QColor screenPixel(QPoint at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

std::string describe(const QColor& c)
{
    return c.name().toStdString();
}

// Near enough to a colour for an antialiased line's middle.
bool near(const QColor& shown, const QColor& wanted)
{
    return std::abs(shown.red() - wanted.red()) < 40 && std::abs(shown.green() - wanted.green()) < 40 &&
           std::abs(shown.blue() - wanted.blue()) < 40;
}

// What the user clicks and moves: the X server's own pointer, so that the
// window manager and the stacking order decide who gets it.
void xdotool(const QStringList& args)
{
    QProcess::execute("xdotool", args);
    QTest::qWait(150);
}

// A plain window of one colour: another application's window, or the meeting
// window under a viewer's overlay.
class ColourWindow : public QWidget {
public:
    ColourWindow(QRect geometry, QColor colour, bool framed)
    {
        if (!framed)
            setWindowFlags(Qt::FramelessWindowHint);
        setAutoFillBackground(true);
        paint(colour);
        setGeometry(geometry);
        show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
        QTest::qWait(200);
    }
    void paint(QColor colour)
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, colour);
        setPalette(p);
        update();
    }
};

class OverlayScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server";
        velto::test::resetGlobalState();
        sdk.moderator = true;
        CGlobalInstance::veltoSdk = &sdk;
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    velto::test::FakeVeltoInterface sdk;
};

TEST_F(OverlayScreen, SharerSeesTheLiveScreenBelowAndItsDrawingOnTop)
{
    ColourWindow below(QRect(300, 100, 300, 200), QColor(0, 200, 0), false);
    const QPoint onStroke(450, 150), besideStroke(450, 220);
    ASSERT_GT(screenPixel(besideStroke).green(), 150);

    QScreenshareWhiteboard overlay;
    overlay.setParentAndShow(0, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    QTest::qWait(500);
    overlay.slotColor("#ff0000");
    velto::test::drag(&overlay, {onStroke - QPoint(20, 0), onStroke, onStroke + QPoint(20, 0)});
    QTest::qWait(300);

    const QColor beside = screenPixel(besideStroke);
    EXPECT_GT(beside.green(), 150) << "the screen below is hidden: " << describe(beside);
    const QColor stroke = screenPixel(onStroke);
    EXPECT_TRUE(near(stroke, Qt::red)) << "the drawing is not on top: " << describe(stroke);

    // What lies below goes on changing while the sharer draws over it.
    below.paint(QColor(0, 0, 220));
    QTest::qWait(1500);
    const QColor changed = screenPixel(besideStroke);
    EXPECT_GT(changed.blue(), 150) << "the picture below froze: " << describe(changed);
    EXPECT_TRUE(near(screenPixel(onStroke), Qt::red)) << describe(screenPixel(onStroke));

    // The pointer reaches the overlay wherever it is, also beside its drawing.
    const int before = overlay.drawingScene()->items().size();
    xdotool({"mousemove", "700", "500", "mousedown", "1"});
    xdotool({"mousemove", "760", "520"});
    xdotool({"mousemove", "800", "540", "mouseup", "1"});
    EXPECT_GT(overlay.drawingScene()->items().size(), before);
}

TEST_F(OverlayScreen, ToolMenuStaysAboveTheOverlay)
{
    QScreenshareWhiteboard overlay;
    overlay.setParentAndShow(0, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
    WhiteboardMenuWidget* menu = overlay.toolMenu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::qWait(300);

    // A line drawn across the menu's eraser: the overlay's drawing lies there too.
    auto* eraser = menu->findChild<QToolButton*>("btnErase");
    const QPoint button = overlay.mapFromGlobal(eraser->mapToGlobal(eraser->rect().center()));
    velto::test::drag(&overlay, {button - QPoint(40, 0), button + QPoint(40, 0)});
    // Then the user draws elsewhere: a click on the overlay, which openbox raises.
    xdotool({"mousemove", "900", "400", "mousedown", "1"});
    xdotool({"mousemove", "950", "400", "mouseup", "1"});
    const int drawn = overlay.drawingScene()->items().size();
    ASSERT_EQ(drawn, 2);
    sdk.clear();

    // A click on the eraser changes the tool and draws nothing.
    const QPoint at = overlay.mapToGlobal(button);
    xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
    xdotool({"click", "1"});
    EXPECT_EQ(overlay.drawingScene()->items().size(), drawn);
    EXPECT_EQ(sdk.count("SendAnnotate"), 0);
    // The eraser is on: a drag along the second line removes it.
    xdotool({"mousemove", "910", "400", "mousedown", "1"});
    xdotool({"mousemove", "925", "400", "mouseup", "1"});
    EXPECT_EQ(overlay.drawingScene()->items().size(), drawn - 1);
}

TEST_F(OverlayScreen, ViewerSeesEachStrokeInItsColourBelowTheTitleStrip)
{
    user_info moderator;
    moderator.jid = "chair@ms/ep1";
    moderator.isModerator = true;
    CGlobalInstance::updateUserList(moderator);

    // The meeting window, as openbox frames it; the overlay lies over its frame.
    ColourWindow meeting(QRect(200, 150, 800, 450), Qt::white, true);
    const QRect frame = meeting.frameGeometry();
    QPointer<QScreenshareWhiteboard> overlay;
    ASSERT_TRUE(QScreenshareWhiteboard::relay(overlay, &meeting, "create",
                                              drawing::encodeSize({frame.width(), frame.height() - 22}),
                                              moderator.jid));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay.data()));
    QTest::qWait(300);

    // Three strokes as the sharer drew them: one along its top edge.
    struct Stroke {
        int y;
        const char* colour;
    };
    const std::vector<Stroke> strokes = {{0, "#ff0000"}, {100, "#00aa00"}, {200, "#00aaff"}};
    for (const Stroke& s : strokes) {
        const std::string body = drawing::StrokeMessage::drawn({100, s.y}, {400, s.y}, s.colour, 8).encode();
        QScreenshareWhiteboard::relay(overlay, &meeting, "message",
                                      R"({"type":"Annotate","message":)" + body + "}", moderator.jid);
        QTest::qWait(100);
    }
    QTest::qWait(300);

    // The sender's area fills the overlay below its 22-pixel strip one to one.
    for (const Stroke& s : strokes) {
        const QPoint at = frame.topLeft() + QPoint(250, 22 + s.y + 1);
        const QColor shown = screenPixel(at);
        EXPECT_TRUE(near(shown, QColor(s.colour))) << s.colour << " shows as " << describe(shown);
    }
    // Around the drawing the meeting window shows through unchanged.
    const QColor between = screenPixel(frame.topLeft() + QPoint(250, 22 + 50));
    EXPECT_TRUE(near(between, Qt::white)) << describe(between);
    overlay->close();
    delete overlay.data();
}

}  // namespace
