// Screen share and annotation in the meeting window, against the recording
// SDK: starting and stopping a share, the own annotation, and the overlay that
// received annotation events create, feed and end. On the X server (the
// meeting window holds OpenGL renderers).
#include "DesktopTestUtil.h"
#include "Whiteboard/drawingmessage.h"
#include "FakeVeltoInterface.h"
#include "cglobalinstance.h"
#include "qscreensharewhiteboard.h"
#include "screensharewidget.h"
#include "videocontrolwidget.h"
#include "videowidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsScene>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using velto::test::Args;
using velto::test::FakeVeltoInterface;

namespace {

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

template <typename T>
std::vector<T*> shown()
{
    std::vector<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* typed = qobject_cast<T*>(w); typed && typed->isVisible())
            found.push_back(typed);
    }
    return found;
}

class MeetingShare : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::userInfo.myJid = "me@x/ep-me";
        CGlobalInstance::isSecondStreamModel = CGlobalInstance::isShareWhiteboard = false;
        CGlobalInstance::selectAppId = 0;
        sdk.moderator = true;
        window = new VideoWidget();
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 5000));
    }
    void TearDown() override
    {
        for (auto* picker : shown<ScreenShareWidget>())
            delete picker;
        delete window.data();
        settle();
        CGlobalInstance::veltoSdk = nullptr;
    }
    void withTiles() { window->slotShowSubWidget("ep-a@x/ep-a", false, "1", 5, "ep-a_1,ep-b_2"); }
    QScreenshareWhiteboard* overlay()
    {
        auto all = shown<QScreenshareWhiteboard>();
        return all.empty() ? nullptr : all.front();
    }
    int overlays()
    {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<QScreenshareWhiteboard*>(w) != nullptr;
        return n;
    }

    FakeVeltoInterface sdk;
    QPointer<VideoWidget> window;
};

TEST_F(MeetingShare, AModeratorAloneGetsAMessageAndNoPicker)
{
    QSignalSpy messages(window.data(), &VideoWidget::sigMessageBox);
    window->slotShareStream(true);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.at(0).at(0).toInt(), 700105);
    EXPECT_TRUE(shown<ScreenShareWidget>().empty());

    withTiles();
    window->slotShareStream(true);
    EXPECT_EQ(shown<ScreenShareWidget>().size(), 1u);
    EXPECT_EQ(messages.count(), 1);
}

TEST_F(MeetingShare, AStartedShareIsMarkedAndStopsWithItsLabel)
{
    window->slotAddSecondStream("4321");
    EXPECT_TRUE(window->toolbar()->isSharing());
    EXPECT_TRUE(CGlobalInstance::isSecondStreamModel);

    window->slotShareStream(false);
    EXPECT_FALSE(window->toolbar()->isSharing());
    EXPECT_FALSE(CGlobalInstance::isSecondStreamModel);
    EXPECT_EQ(sdk.last("RemoveScreenShareStream").args, Args{"4321"});
}

TEST_F(MeetingShare, StoppingAShareEndsTheOwnAnnotationFirst)
{
    window->slotAddSecondStream("77");
    window->slotAnnotate(true);
    settle();
    EXPECT_TRUE(CGlobalInstance::isShareWhiteboard);
    ASSERT_EQ(overlays(), 1);
    sdk.clear();

    window->slotShareStream(false);
    settle();
    const auto names = sdk.names();
    const auto destroy = std::find(names.begin(), names.end(), "SendAnnotate");
    const auto remove = std::find(names.begin(), names.end(), "RemoveScreenShareStream");
    ASSERT_NE(destroy, names.end());
    ASSERT_NE(remove, names.end());
    EXPECT_LT(destroy, remove);
    EXPECT_EQ(sdk.last("SendAnnotate").args, (Args{"destroy", "", "", ""}));
    EXPECT_FALSE(CGlobalInstance::isShareWhiteboard);
    EXPECT_EQ(overlays(), 0);
}

TEST_F(MeetingShare, ARefusedDestroyKeepsTheOverlay)
{
    window->slotAnnotate(true);
    sdk.setResult("SendAnnotate", -1);
    window->slotAnnotate(false);
    settle();
    EXPECT_FALSE(CGlobalInstance::isShareWhiteboard);
    EXPECT_EQ(overlays(), 1);

    // The overlay's own exit stops exactly as the button does.
    sdk.setResult("SendAnnotate", 0);
    emit overlay()->sigAnnotateExit();
    settle();
    EXPECT_EQ(overlays(), 0);
}

TEST_F(MeetingShare, ReceivedEventsCreateFeedAndEndTheViewerOverlay)
{
    user_info moderator;
    moderator.jid = "room@conf/peer";
    moderator.nickname = "Moderator";
    moderator.isModerator = true;
    CGlobalInstance::updateUserList(moderator);
    const std::string from = moderator.jid;

    window->slotAnnotate("destroy", "", from);  // nothing to end
    settle();
    EXPECT_EQ(overlays(), 0);

    window->slotAnnotate("xcreatex", "1440x900", from);  // substring counts
    settle();
    ASSERT_EQ(overlays(), 1);
    EXPECT_EQ(overlay()->geometry(), window->frameGeometry());

    const std::string stroke = drawing::StrokeMessage::drawn(QPoint(1, 2), QPoint(300, 400), "#ff0000", 3).encode();
    const struct {
        std::string data;
        int items;  // drawn on the overlay afterwards
    } messages[] = {
        {"not json", 0},
        {"[1,2]", 0},
        {R"({"type":"Annotate","message":)" + stroke + "}", 1},
        {R"({"type":"Whiteboard","message":)" + stroke + "}", 1},  // the other channel's word
        {R"({"type":"Clear Annotate"})", 0},
    };
    for (const auto& m : messages) {
        window->slotAnnotate("message", m.data, from);
        ASSERT_EQ(overlays(), 1);
        EXPECT_EQ(overlay()->drawingScene()->items().size(), m.items) << m.data;
    }

    window->slotAnnotate("create", "1280", from);  // no height: reused, unusable size, no crash
    settle();
    EXPECT_EQ(overlays(), 1);

    window->slotAnnotate("destroy", "", from);
    settle();
    EXPECT_EQ(overlays(), 0);
}

}  // namespace
