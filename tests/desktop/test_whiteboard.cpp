// The drawing windows: the input widgets, the tool menu, the whiteboard in
// both roles and the annotation overlay in both roles, against the recording
// SDK fake.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "MouseDrag.h"
#include "Whiteboard/drawingmessage.h"
#include "qbasegraphicsview.h"
#include "qbasewidget.h"
#include "qscreensharewhiteboard.h"
#include "qwhiteboardlineedit.h"
#include "whiteboardmenuwidget.h"
#include "whiteboardwidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImageReader>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

using velto::test::Args;
using velto::test::drag;
using velto::test::FakeVeltoInterface;

namespace {

class Drawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        sdk.moderator = true;
        CGlobalInstance::veltoSdk = &sdk;
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    // The (type, body) of every "message" sent on a channel, in order.
    std::vector<std::pair<std::string, std::string>> messages(const char* operation) const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& call : sdk.calls())
            if (call.name == operation && call.args.at(0) == "message")
                out.emplace_back(call.args.at(1), call.args.at(2));
        return out;
    }
    std::vector<std::string> types(const char* operation) const
    {
        std::vector<std::string> out;
        for (const auto& m : messages(operation))
            out.push_back(m.first);
        return out;
    }

    FakeVeltoInterface sdk;
};

template <typename T>
int countItems(QGraphicsScene* scene)
{
    int n = 0;
    for (QGraphicsItem* item : scene->items())
        n += qgraphicsitem_cast<T*>(item) != nullptr;
    return n;
}

QWidget* canvasOf(WhiteboardWidget& w) { return w.findChild<QBaseGraphicsView*>("graphicsView")->viewport(); }

void click(QWidget* window, const char* button) { window->findChild<QToolButton*>(button)->click(); }

// --- input widgets ------------------------------------------------------------------

TEST_F(Drawing, CanvasTurnsLeftButtonActivityIntoPositions)
{
    QBaseGraphicsView view;
    view.resize(200, 200);
    view.show();
    QSignalSpy press(&view, &QBaseGraphicsView::sigMousePress);
    QSignalSpy move(&view, &QBaseGraphicsView::sigMouseMove);
    QSignalSpy release(&view, &QBaseGraphicsView::sigMouseRelease);

    drag(view.viewport(), {{5, 5}, {10, 10}, {20, 30}}, Qt::RightButton);
    EXPECT_EQ(press.count() + move.count() + release.count(), 0);

    drag(view.viewport(), {{5, 5}, {10, 10}, {20, 30}});
    ASSERT_EQ(press.count(), 1);
    EXPECT_EQ(press.at(0).at(0).toPoint(), QPoint(5, 5));
    ASSERT_EQ(move.count(), 2);
    EXPECT_EQ(move.at(1).at(0).toPoint(), QPoint(20, 30));
    EXPECT_EQ(release.count(), 1);
}

TEST_F(Drawing, TextBoxDragsByTheMouseAndResets)
{
    QWidget parent;
    parent.resize(600, 400);
    auto* box = new QWhiteboardLineEdit(&parent);
    box->move(50, 60);
    parent.show();
    box->setText("kept");
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, {10, 10});
    QMouseEvent move(QEvent::MouseMove, {30, 15}, box->mapToGlobal(QPoint(10, 10)) + QPoint(20, 5), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
    QTest::mouseRelease(box, Qt::LeftButton);
    EXPECT_EQ(box->pos(), QPoint(70, 65));
    EXPECT_EQ(box->text(), "kept");

    box->enterPress();
    EXPECT_TRUE(box->isHidden());
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(box->placeholderText(), "Type here:");
}

TEST_F(Drawing, ToolMenuEmitsOneSignalPerControl)
{
    WhiteboardMenuWidget menu;
    menu.show();
    QSignalSpy modes(&menu, &WhiteboardMenuWidget::sigWorkMode);
    QSignalSpy colours(&menu, &WhiteboardMenuWidget::sigColor);
    QSignalSpy sizes(&menu, &WhiteboardMenuWidget::sigPenSize);
    QSignalSpy exits(&menu, &WhiteboardMenuWidget::sigExit);

    for (const char* b : {"btnClear", "btnText", "btnLine", "btnErase"})
        click(&menu, b);
    for (const char* b : {"btnRed", "btnBlue", "btnYellow", "btnGreen", "btnPink", "btnGray", "btnBlack_1", "btnBlack"})
        click(&menu, b);
    for (const char* b : {"btnX", "btnXL", "btnXXL", "btnXXXL"})
        click(&menu, b);
    // A dot's margin counts as the dot, and the release need not be inside it.
    QWidget* dot = menu.findChild<QBaseWidget*>("widgetXL");
    QTest::mousePress(dot, Qt::LeftButton, Qt::NoModifier, {1, 1});
    QTest::mouseRelease(dot, Qt::LeftButton, Qt::NoModifier, {200, 200});
    click(&menu, "btnExit");

    std::vector<int> gotModes, gotSizes;
    std::vector<QString> gotColours;
    for (const auto& s : modes)
        gotModes.push_back(s.at(0).toInt());
    for (const auto& s : sizes)
        gotSizes.push_back(s.at(0).toInt());
    for (const auto& s : colours)
        gotColours.push_back(s.at(0).toString());
    EXPECT_EQ(gotModes, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(gotColours, (std::vector<QString>{"#ff0000", "#00aaff", "#ffaa00", "#00aa00", "#5500ff", "#7a7a7a",
                                                "#00007f", "#000000"}));
    EXPECT_EQ(gotSizes, (std::vector<int>{4, 8, 12, 16, 8}));
    EXPECT_EQ(exits.count(), 1);
}

TEST_F(Drawing, ToolMenuMovesByItsBackgroundOnly)
{
    WhiteboardMenuWidget menu;
    menu.move(300, 200);
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QPoint start = menu.pos();
    QTest::mousePress(&menu, Qt::LeftButton, Qt::NoModifier, {2, 2});
    QMouseEvent move(QEvent::MouseMove, {2, 2}, menu.mapToGlobal(QPoint(2, 2)) + QPoint(15, -7), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&menu, &move);
    QTest::mouseRelease(&menu, Qt::LeftButton);
    EXPECT_EQ(menu.pos(), start + QPoint(15, -7));
}

// --- whiteboard window ------------------------------------------------------------------

TEST_F(Drawing, DrawerSendsAndKeepsEveryMove)
{
    WhiteboardWidget board(true);
    board.showWidget();
    board.slotColor("#00aaff");
    board.slotPenSize(16);
    drag(canvasOf(board), {{10, 20}, {13, 24}, {20, 30}, {30, 30}, {40, 45}, {50, 50}});

    EXPECT_EQ(countItems<QGraphicsLineItem>(board.drawingScene()), 5);
    ASSERT_EQ(board.drawnItems().size(), 5u);
    const auto sent = messages("SendWhiteboard");
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], (std::pair<std::string, std::string>{
                           "Whiteboard",
                           R"({"mouse":[[10,20],[13,24]],"penColor":"#00aaff","penSize":16,"penType":"source-over"})"}));
    EXPECT_EQ(board.drawnItems().back().p2, QPoint(50, 50));
}

TEST_F(Drawing, ReadOnlyWhiteboardDrawsOnlyWhatArrives)
{
    WhiteboardWidget board(false);
    board.showWidget();
    EXPECT_TRUE(board.findChild<QWidget*>("widget")->isHidden());
    drag(canvasOf(board), {{10, 20}, {13, 24}, {20, 30}});
    EXPECT_TRUE(board.drawingScene()->items().isEmpty());

    board.slotDrawWhiteboard({1, 1}, {5, 5}, "destination-out", "#ff0000", 8);
    board.slotDrawWhiteboard({1, 1}, {5, 5}, "source-over", "#ff0000", 8);
    board.slotTextWhiteboard({7, 8}, "hi");
    QList<QColor> colours;
    for (QGraphicsItem* item : board.drawingScene()->items(Qt::AscendingOrder))
        if (auto* line = qgraphicsitem_cast<QGraphicsLineItem*>(item))
            colours << line->pen().color();
    EXPECT_EQ(colours, (QList<QColor>{Qt::white, QColor("#ff0000")}));
    EXPECT_TRUE(board.drawnItems().empty());

    // A clear that arrives is shown, never sent back.
    board.slotClearWhiteboard();
    EXPECT_TRUE(board.drawingScene()->items().isEmpty());
    EXPECT_EQ(sdk.count("SendWhiteboard"), 0);
}

TEST_F(Drawing, WhiteboardToolStates)
{
    struct Step {
        const char* control;  // a button, or "colour:<c>"
        int mode;
        const char* colour;
    };
    const std::vector<std::vector<Step>> runs = {
        {{"btnErase", 3, "#ffffff"}, {"btnLine", 2, "#000000"}},
        // A colour chosen while erasing draws in that colour, with the pen too.
        {{"btnErase", 3, "#ffffff"}, {"btnRed", 3, "#ff0000"}, {"btnLine", 2, "#ff0000"}},
        {{"btnText", 1, "#000000"}, {"btnBlue", 1, "#00aaff"}, {"btnLine", 2, "#00aaff"}},
        {{"btnClear", 0, "#000000"}, {"btnXXXL", 0, "#000000"}, {"btnLine", 2, "#000000"}},
    };
    for (const auto& run : runs) {
        WhiteboardWidget board(true);
        board.showWidget();
        for (const Step& s : run) {
            click(&board, s.control);
            EXPECT_EQ(board.currentWorkMode(), s.mode) << s.control;
            EXPECT_EQ(board.currentPenColor(), QString(s.colour)) << s.control;
        }
    }
    WhiteboardWidget board(true);
    const std::vector<std::pair<const char*, int>> sizes = {{"btnX", 4}, {"btnXL", 8}, {"btnXXL", 16}, {"btnXXXL", 24}};
    for (const auto& [button, size] : sizes) {
        click(&board, button);
        EXPECT_EQ(board.currentPenSize(), size) << button;
    }
}

TEST_F(Drawing, TextIsPlacedWhereTheBoxStandsOnTheCanvas)
{
    WhiteboardWidget board(true);
    board.showWidget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board));
    click(&board, "btnText");
    QWidget* canvas = canvasOf(board);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, {100, 50});
    auto* box = board.findChild<QWhiteboardLineEdit*>();
    ASSERT_TRUE(box->isVisible());
    EXPECT_EQ(box->pos(), canvas->mapTo(&board, QPoint(100, 50)));

    box->setText(QString::fromUtf8("你好"));
    QTest::keyClick(&board, Qt::Key_Enter);  // the keypad's Enter commits nothing
    EXPECT_TRUE(box->isVisible());
    QTest::keyClick(&board, Qt::Key_Return);

    EXPECT_TRUE(box->isHidden());
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(messages("SendWhiteboard"),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Whiteboard Text", drawing::TextMessage{{100, 50}, QString::fromUtf8("你好")}.encode()}}));
    ASSERT_EQ(countItems<QGraphicsTextItem>(board.drawingScene()), 1);
    EXPECT_EQ(board.drawingScene()->items().first()->pos(), QPointF(100, 50));

    // Return on an empty box stores and sends nothing.
    QTest::keyClick(&board, Qt::Key_Return);
    EXPECT_EQ(board.drawnItems().size(), 1u);
}

TEST_F(Drawing, DrawerReplaysItsDrawingOldestFirst)
{
    WhiteboardWidget board(true);
    board.showWidget();
    drag(canvasOf(board), {{1, 1}, {2, 2}});
    click(&board, "btnText");
    QTest::mouseClick(canvasOf(board), Qt::LeftButton, Qt::NoModifier, {30, 30});
    board.findChild<QWhiteboardLineEdit*>()->setText("t");
    QTest::keyClick(&board, Qt::Key_Return);
    click(&board, "btnErase");
    drag(canvasOf(board), {{3, 3}, {4, 4}});
    sdk.clear();

    board.slotGetInit();
    EXPECT_EQ(types("SendWhiteboard"), (std::vector<std::string>{"init", "init Text", "init"}));
    EXPECT_EQ(messages("SendWhiteboard").back().second,
              drawing::StrokeMessage::drawn({3, 3}, {4, 4}, drawing::kEraserColour, 8).encode());
    // A request right after is answered once more, when the interval ends
    // (the asker may have come after the first replay).
    board.slotGetInit();
    board.slotGetInit();
    EXPECT_EQ(sdk.count("SendWhiteboard"), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sdk.count("SendWhiteboard") == 6; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(sdk.count("SendWhiteboard"), 6);

    // After a clear there is nothing to replay.
    sdk.clear();
    click(&board, "btnClear");
    EXPECT_EQ(types("SendWhiteboard"), (std::vector<std::string>{"Clear Whiteboard"}));
    EXPECT_TRUE(board.drawnItems().empty());
}

TEST_F(Drawing, SavedPictureIsPngUnlessNamedOtherwise)
{
    QTemporaryDir dir;
    WhiteboardWidget board(true);
    board.showWidget();
    board.slotDrawWhiteboard({0, 0}, {100, 100}, "source-over", "#ff0000", 8);
    struct Case {
        const char* name;
        const char* format;  // expected content, or nullptr: the save fails
    };
    const std::vector<Case> cases = {
        {"whiteboard.png", "png"}, {"noSuffix", "png"}, {"odd.xyz", "png"}, {"photo.jpg", "jpeg"},
        {"missing/folder/w.png", nullptr},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        EXPECT_EQ(board.saveTo(path), c.format != nullptr) << c.name;
        if (!c.format)
            continue;
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray(c.format)) << c.name;
        // The tool column is part of the picture.
        EXPECT_EQ(reader.size(), board.size()) << c.name;
    }
}

// --- annotation overlay --------------------------------------------------------------

TEST_F(Drawing, ViewerOverlayMapsWhatArrives)
{
    QScreenshareWhiteboard overlay;
    overlay.showWidget(QRect(0, 0, 1200, 697), 1440, 900);
    EXPECT_FALSE(overlay.toolMenu()->isVisible());
    EXPECT_EQ(overlay.handlePoint({100, 200}), QPoint(135, 172));

    overlay.slotDrawLine({100, 200}, {100, 300}, "source-over", "#ff0000", 8);
    auto* line = qgraphicsitem_cast<QGraphicsLineItem*>(overlay.drawingScene()->items().value(0));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->line().p1().toPoint(), QPoint(135, 172));
    EXPECT_EQ(line->pen().width(), 6);
    EXPECT_FALSE(overlay.drawingEnabled());

    // An eraser stroke takes the topmost item at its mapped end, once.
    overlay.slotDrawLine({100, 200}, {110, 200}, "source-over", "#00ff00", 8);
    overlay.slotDrawLine({0, 0}, {500, 500}, "destination-out", "", 8);  // nothing there
    EXPECT_EQ(overlay.drawingScene()->items().size(), 2);
    overlay.slotDrawLine({0, 0}, {100, 200}, "destination-out", "", 8);
    ASSERT_EQ(overlay.drawingScene()->items().size(), 1);
    EXPECT_EQ(qgraphicsitem_cast<QGraphicsLineItem*>(overlay.drawingScene()->items().value(0))->pen().color(),
              QColor("#ff0000"));

    overlay.slotDrawText({0, 0}, "t");
    EXPECT_EQ(overlay.drawingScene()->items().size(), 2);
    overlay.slotClear();
    EXPECT_TRUE(overlay.drawingScene()->items().isEmpty());
    EXPECT_EQ(sdk.count("SendAnnotate"), 0);
}

TEST_F(Drawing, ViewerOverlayLetsThePictureThroughAroundItsDrawing)
{
    QScreenshareWhiteboard overlay;
    overlay.showWidget(QRect(0, 0, 800, 622), 800, 600);
    QApplication::processEvents();
    EXPECT_FALSE(overlay.mask().contains(QPoint(400, 322)));
    overlay.slotDrawLine({100, 300}, {700, 300}, "source-over", "#ff0000", 8);
    QApplication::processEvents();
    EXPECT_TRUE(overlay.mask().contains(QPoint(400, 322)));
    EXPECT_FALSE(overlay.mask().contains(QPoint(400, 222)));
    overlay.slotClear();
    QApplication::processEvents();
    EXPECT_FALSE(overlay.mask().contains(QPoint(400, 322)));
}

TEST_F(Drawing, ViewerOverlayWithoutAUsableSenderSizeDrawsNothing)
{
    QScreenshareWhiteboard overlay;
    overlay.showWidget(QRect(0, 0, 1200, 697), 0, 0);
    overlay.slotDrawLine({1, 1}, {2, 2}, "source-over", "#ff0000", 8);
    overlay.slotDrawText({1, 1}, "t");
    EXPECT_TRUE(overlay.drawingScene()->items().isEmpty());
}

class Sharer : public Drawing {
protected:
    void SetUp() override
    {
        Drawing::SetUp();
        overlay = std::make_unique<QScreenshareWhiteboard>();
        overlay->setParentAndShow(0, true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay.get()));
    }
    std::unique_ptr<QScreenshareWhiteboard> overlay;
};

TEST_F(Sharer, AnnouncesItsSizeAndShowsTheMenu)
{
    const auto create = sdk.last("SendAnnotate");
    EXPECT_EQ(create.args, (Args{"create", drawing::encodeSize(overlay->size()), "", ""}));
    EXPECT_EQ(overlay->geometry(), CGlobalInstance::getScreenRect());
    EXPECT_TRUE(overlay->toolMenu()->isVisible());
    overlay->slotCreateAnnotate("late@ms/pc");
    EXPECT_EQ(sdk.last("SendAnnotate").args.at(3), "late@ms/pc");
}

TEST_F(Sharer, DrawsOnlyWithThePenAndOnlyAsModerator)
{
    drag(overlay.get(), {{10, 10}, {20, 20}, {30, 30}});
    EXPECT_EQ(types("SendAnnotate"), (std::vector<std::string>{"Annotate", "Annotate"}));
    EXPECT_EQ(overlay->drawnItems().size(), 2u);

    sdk.clear();
    overlay->slotWorkMode(1);  // text: a drag draws nothing, a press opens the box there
    drag(overlay.get(), {{40, 40}, {50, 50}});
    EXPECT_EQ(sdk.count("SendAnnotate"), 0);
    auto* box = overlay->findChild<QWhiteboardLineEdit*>();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->pos(), QPoint(40, 40));

    overlay->slotWorkMode(2);
    sdk.moderator = false;
    drag(overlay.get(), {{60, 60}, {70, 70}});
    EXPECT_EQ(sdk.count("SendAnnotate"), 0);
    EXPECT_EQ(overlay->drawnItems().size(), 2u);
}

TEST_F(Sharer, ErasingDropsExactlyTheErasedLines)
{
    // Two crossing lines through (50, 50), and one elsewhere sharing an end with the first.
    drag(overlay.get(), {{10, 50}, {90, 50}});
    drag(overlay.get(), {{50, 10}, {50, 90}});
    drag(overlay.get(), {{90, 50}, {90, 200}});
    sdk.clear();

    overlay->slotWorkMode(3);
    overlay->slotColor("#ff0000");  // ignored while erasing
    drag(overlay.get(), {{60, 60}, {50, 50}});

    const auto sent = messages("SendAnnotate");
    ASSERT_EQ(sent.size(), 3u);
    std::vector<std::string> erased = {sent[0].second, sent[1].second};
    std::sort(erased.begin(), erased.end());
    std::vector<std::string> expected = {drawing::StrokeMessage::drawn({10, 50}, {90, 50}, "#ffffff", 8).encode(),
                                         drawing::StrokeMessage::drawn({50, 10}, {50, 90}, "#ffffff", 8).encode()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(erased, expected);
    EXPECT_EQ(sent[2].second, drawing::StrokeMessage::drawn({60, 60}, {50, 50}, "#ffffff", 8).encode());
    ASSERT_EQ(overlay->drawnItems().size(), 1u);
    EXPECT_EQ(overlay->drawnItems()[0].p1, QPoint(90, 50));
    EXPECT_EQ(overlay->drawingScene()->items().size(), 1);

    overlay->slotWorkMode(2);  // the pen after the eraser draws black
    drag(overlay.get(), {{300, 300}, {310, 310}});
    EXPECT_EQ(overlay->drawnItems().back().colour, "#000000");
}

TEST_F(Sharer, ReplaysToTheRequesterAndReenablesDrawing)
{
    drag(overlay.get(), {{10, 10}, {20, 20}});
    overlay->slotWorkMode(1);
    QTest::mouseClick(overlay.get(), Qt::LeftButton, Qt::NoModifier, {40, 40});
    overlay->findChild<QWhiteboardLineEdit*>()->setText("note");
    QTest::keyClick(overlay.get(), Qt::Key_Return);
    overlay->slotWorkMode(2);
    overlay->slotDrawLine({0, 0}, {1, 1}, "source-over", "#000000", 8);  // a stray received stroke
    EXPECT_FALSE(overlay->drawingEnabled());
    sdk.clear();

    overlay->slotAnnotateGetInit("viewer@ms/pc");
    EXPECT_TRUE(overlay->drawingEnabled());
    EXPECT_EQ(types("SendAnnotate"), (std::vector<std::string>{"init", "init Text"}));
    for (const auto& call : sdk.calls())
        EXPECT_EQ(call.args.at(3), "viewer@ms/pc");
    // Another requester is answered at once; the same one again when its
    // interval ends.
    overlay->slotAnnotateGetInit("viewer@ms/pc");
    overlay->slotAnnotateGetInit("other@ms/pc");
    EXPECT_EQ(sdk.count("SendAnnotate"), 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sdk.count("SendAnnotate") == 6; }, 3000));
    EXPECT_EQ(sdk.last("SendAnnotate").args.at(3), "viewer@ms/pc");

    sdk.clear();
    overlay->slotWorkMode(0);
    EXPECT_EQ(sdk.last("SendAnnotate").args, (Args{"message", "Clear Annotate", "", ""}));
    EXPECT_TRUE(overlay->drawnItems().empty());
    EXPECT_TRUE(overlay->drawingScene()->items().isEmpty());
}

}  // namespace

namespace {

// --- annotation relay ---------------------------------------------------------------

TEST_F(Drawing, AnnotationRelayFollowsOnlyTheModerator)
{
    CGlobalInstance::user_list.clear();
    user_info moderator;
    moderator.jid = "boss@ms/ep1";
    moderator.isModerator = true;
    user_info guest;
    guest.jid = "guest@ms/ep2";
    CGlobalInstance::updateUserList(moderator);
    CGlobalInstance::updateUserList(guest);
    QWidget meeting;
    meeting.setGeometry(0, 0, 1200, 675);
    QPointer<QScreenshareWhiteboard> overlay;
    const std::string stroke =
        R"({"type":"Annotate","message":)" +
        drawing::StrokeMessage::drawn({100, 200}, {100, 300}, "#ff0000", 8).encode() + "}";

    struct Step {
        const char* name;
        std::string action, data, from;
        bool placed;
        bool overlayAfter;
        int itemsAfter;
    };
    const std::vector<Step> steps = {
        {"create from a participant", "create", "1440x900", guest.jid, false, false, 0},
        {"create from the moderator", "create", "1440x900", moderator.jid, true, true, 0},
        {"stroke from a participant", "message", stroke, guest.jid, false, true, 0},
        {"stroke from the moderator", "message", stroke, moderator.jid, false, true, 1},
        {"create again reuses the overlay", "create", "1440x900", moderator.jid, true, true, 1},
        {"clear from a participant", "message", R"({"type":"Clear Annotate"})", guest.jid, false, true, 1},
        {"destroy from a participant", "destroy", "", guest.jid, false, true, 1},
        {"unknown action", "update", "", moderator.jid, false, true, 1},
        {"destroy from the moderator", "destroy", "", moderator.jid, false, false, 0},
    };
    QScreenshareWhiteboard* first = nullptr;
    for (const Step& s : steps) {
        EXPECT_EQ(QScreenshareWhiteboard::relay(overlay, &meeting, s.action, s.data, s.from), s.placed) << s.name;
        ASSERT_EQ(!overlay.isNull(), s.overlayAfter) << s.name;
        if (!overlay)
            continue;
        if (!first)
            first = overlay;
        EXPECT_EQ(overlay.data(), first) << s.name;
        EXPECT_EQ(overlay->drawingScene()->items().size(), s.itemsAfter) << s.name;
        EXPECT_EQ(overlay->geometry(), meeting.frameGeometry()) << s.name;
    }
    EXPECT_EQ(sdk.count("SendAnnotate"), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CGlobalInstance::user_list.clear();
}

TEST_F(Sharer, ReplayRequestsFromAnyoneReachTheSharersOverlay)
{
    drag(overlay.get(), {{10, 10}, {20, 20}});
    sdk.clear();
    QPointer<QScreenshareWhiteboard> held(overlay.get());
    CGlobalInstance::isShareWhiteboard = true;
    QScreenshareWhiteboard::relay(held, nullptr, "message", R"({"type":"getInit"})", "late@ms/ep9");
    CGlobalInstance::isShareWhiteboard = false;
    QScreenshareWhiteboard::relay(held, nullptr, "message", R"({"type":"getInit"})", "other@ms/ep8");
    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"SendAnnotate"}));
    EXPECT_EQ(sdk.last("SendAnnotate").args.at(3), "late@ms/ep9");

    // Whatever else arrives leaves the sharer's overlay as it is.
    user_info moderator;
    moderator.jid = "boss@ms/ep1";
    moderator.isModerator = true;
    CGlobalInstance::updateUserList(moderator);
    CGlobalInstance::isShareWhiteboard = true;
    QWidget meeting;
    const QRect before = overlay->geometry();
    for (const char* action : {"create", "message", "destroy"})
        QScreenshareWhiteboard::relay(held, &meeting, action, R"({"type":"Clear Annotate"})", moderator.jid);
    EXPECT_EQ(held.data(), overlay.get());
    EXPECT_EQ(overlay->geometry(), before);
    EXPECT_EQ(overlay->drawingScene()->items().size(), 1);
    CGlobalInstance::user_list.clear();
}

}  // namespace
