// The sharer's annotation overlay as the X server shows it, on a screen
// without a compositor (the test command's Xvfb): a translucent window there
// has no picture below it, so the overlay must bring its own.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "MouseDrag.h"
#include "qscreensharewhiteboard.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTest>

namespace {

QColor screenPixel(QPoint at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

TEST(OverlayScreen, SharerOverlayShowsTheScreenBelowAndItsDrawingOnTop)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server";
    velto::test::resetGlobalState();
    velto::test::FakeVeltoInterface sdk;
    sdk.moderator = true;
    CGlobalInstance::veltoSdk = &sdk;

    QWidget below;
    below.setWindowFlags(Qt::FramelessWindowHint);
    below.setAutoFillBackground(true);
    QPalette palette = below.palette();
    palette.setColor(QPalette::Window, QColor(0, 200, 0));
    below.setPalette(palette);
    below.setGeometry(300, 100, 300, 200);
    below.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));
    QTest::qWait(100);
    const QPoint onStroke(450, 150), besideStroke(450, 220);
    ASSERT_GT(screenPixel(besideStroke).green(), 150);

    {
        QScreenshareWhiteboard overlay;
        overlay.setParentAndShow(0, false);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&overlay));
        QTest::qWait(700);  // the overlay takes its picture of the screen below
        overlay.slotColor("#ff0000");
        velto::test::drag(&overlay, {onStroke - QPoint(20, 0), onStroke, onStroke + QPoint(20, 0)});
        QTest::qWait(200);

        const QColor beside = screenPixel(besideStroke);
        EXPECT_GT(beside.green(), 150) << "the screen below is hidden: " << beside.name().toStdString();
        const QColor stroke = screenPixel(onStroke);
        EXPECT_GT(stroke.red(), 150) << "the drawing is not on top: " << stroke.name().toStdString();
        EXPECT_LT(stroke.green(), 100) << stroke.name().toStdString();
    }
    CGlobalInstance::veltoSdk = nullptr;
}

}  // namespace
