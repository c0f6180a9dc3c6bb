// The meeting window with its toolbar, tiles and panels against the recording
// SDK fake: start and device choice, stage updates, participant list, chat
// keys, toolbar guards, recording, notices and the leave sequence.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "cglobalinstance.h"
#include "Tools/commonhelper.h"

#include "messagebox.h"
#include "qhandsupwidget.h"
#include "qconferenceinfowidget.h"
#include "qnicknamewidget.h"
#include "qnoticewidget.h"
#include "qstaticswidget.h"
#include "quserinfowidget.h"
#include "subvideowidget.h"
#include "videocontrolwidget.h"
#include "videowidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <set>

using velto::test::Args;
using velto::test::FakeVeltoInterface;

using velto::test::participant;

namespace {

const std::string kMe = "me@127.0.0.1/pc-me";

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

// Open message boxes, by their text.
QStringList openBoxes()
{
    QStringList texts;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<MessageBox*>(widget); box && box->isVisible())
            texts << box->findChild<QLabel*>("lblMsgText")->text();
    return texts;
}

void closeBoxes()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<MessageBox*>(widget))
            widget->close();
    settle();
}

class MeetingRoom : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::video_devices = sdk.cameras;
        CGlobalInstance::audio_record_devices = sdk.microphones;
        CGlobalInstance::audio_playout_devices = sdk.speakers;
        ConferenceInfo& conference = CGlobalInstance::conferenceInfo;
        conference.room = "10000001";
        conference.width = 1280;
        conference.resolution = 720;
        conference.bandwidth = 1024;
        conference.maxViewNum = 4;
        conference.withAudio = conference.withVideo = true;
        CGlobalInstance::userInfo.myJid = kMe;
        CGlobalInstance::userInfo.mUserName = "Me";
        CGlobalInstance::isJoinConference = true;
        CGlobalInstance::updateUserList(participant("a@127.0.0.1/pc-a", "Alice", "2", "La"));
        CGlobalInstance::updateUserList(participant("b@127.0.0.1/web-b", "Bob", "3", "Lb"));
        CGlobalInstance::updateUserList(participant("gw@127.0.0.1/gateway-1", "tel:123", "4", "Lg"));
    }
    void TearDown() override
    {
        closeBoxes();
        delete video.data();
        settle();
        CGlobalInstance::veltoSdk = nullptr;
    }
    VideoWidget* open()
    {
        video = new VideoWidget();
        video->showWidget();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(video, 5000));
        settle();
        sdk.clear();
        return video;
    }
    std::set<std::string> shownTiles() const
    {
        std::set<std::string> jids;
        for (SubVideoWidget* tile : video->tiles())
            if (tile->isVisible())
                jids.insert(tile->getUserJid() + "#" + std::to_string(tile->getCurIndex()));
        return jids;
    }
    QToolButton* button(const char* name) const { return video->toolbar()->findChild<QToolButton*>(name); }

    FakeVeltoInterface sdk;
    QPointer<VideoWidget> video;
};

TEST_F(MeetingRoom, DeviceChoiceAtStart)
{
    struct Case {
        const char* ini;
        bool camera, microphone, speaker;
        const char* expected;  // first media call and its devices
    };
    const Case cases[] = {
        {"", true, true, true, "ShowLocalPreview Camera Mic1 Spk1"},
        {"[Micphone]\nindex=1\n[Speaker]\nindex=1\n", true, true, true, "ShowLocalPreview Camera Mic2 Spk2"},
        {"[Micphone]\nindex=7\n[Speaker]\nindex=-3\n", true, true, true, "ShowLocalPreview Camera Mic1 Spk1"},
        {"", false, true, true, "CreateSingleAudioStream"},
        {"", true, true, false, "none"},
        {"", true, false, true, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        velto::test::writeIni(c.ini);
        CGlobalInstance::video_devices.clear();
        if (c.camera)
            CGlobalInstance::video_devices = {{0, "Camera", "camera-0"}};
        CGlobalInstance::audio_record_devices.clear();
        if (c.microphone)
            CGlobalInstance::audio_record_devices = {{0, "Mic1", "m1"}, {1, "Mic2", "m2"}};
        CGlobalInstance::audio_playout_devices.clear();
        if (c.speaker)
            CGlobalInstance::audio_playout_devices = {{0, "Spk1", "s1"}, {1, "Spk2", "s2"}};
        sdk.clear();
        QPointer<VideoWidget> window = new VideoWidget();
        window->showWidget();
        std::string got = "none";
        for (const auto& call : sdk.calls()) {
            if (call.name == "ShowLocalPreview")
                got = call.name + " " + call.args[0] + " " + call.args[1] + " " + call.args[2];
            else if (call.name == "CreateSingleAudioStream")
                got = call.name;
        }
        EXPECT_EQ(got, c.expected);
        if (!c.microphone || !c.speaker) {
            // Left only once the SDK's join call has returned.
            EXPECT_EQ(sdk.count("LeaveConference"), 0);
            settle();
            EXPECT_EQ(sdk.count("LeaveConference"), 1);
            EXPECT_FALSE(window);
        }
        delete window.data();
        settle();
        CGlobalInstance::isJoinConference = true;
    }
}

TEST_F(MeetingRoom, StageUpdatesFillAndFreeTiles)
{
    struct Case {
        const char* what;
        int mode;
        const char* partipants;
        std::set<std::string> tiles;  // jid#index of the shown tiles
        std::vector<Args> resolutions;
    };
    const Case cases[] = {
                // Someone else on the main screen with two strip tiles: the own camera sends small.
        {"two in the strip", 0, "pc-me_1,pc-a_2,web-b_3", {"a@127.0.0.1/pc-a#0", "b@127.0.0.1/web-b#1"},
         {{"local-preview", "320", "180", "30"}}},
        {"one leaves", 0, "pc-me_1,web-b_3", {"b@127.0.0.1/web-b#0"}, {}},
        {"only the main screen", 0, "pc-me_1", {}, {}},
        // (the own camera already sends small: no new request)
        {"own entry in the strip beside someone", 0, "pc-a_2,pc-me_1,web-b_3",
         {kMe + "#0", "b@127.0.0.1/web-b#1"}, {}},
        {"grid of four with the own entry", 5, "pc-a_2,pc-me_1,web-b_3,gateway-1_4",
         {"a@127.0.0.1/pc-a#0", kMe + "#1", "b@127.0.0.1/web-b#2", "gw@127.0.0.1/gateway-1#3"},
         {{"local-preview", "640", "480", "30"}}},
        // A participant unknown to the list takes no known participant's tile;
        // empty entries take none; two unknown entries never share one.
        {"unknown and empty entries", 5, "pc-a_2,,x_9,y_8", {"a@127.0.0.1/pc-a#0", "#1", "#2"}, {}},
        // An endpoint that only contains another's is not that participant.
        {"endpoints compared exactly", 5, "pc-a_2,pc_2", {"a@127.0.0.1/pc-a#0", "#1"}, {}},
        {"more entries than tiles", 5, "pc-a_2,web-b_3,gateway-1_4,x_1,y_2,z_3",
         {"a@127.0.0.1/pc-a#0", "b@127.0.0.1/web-b#1", "gw@127.0.0.1/gateway-1#2", "#3"}, {}},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sdk.clear();
        video->slotShowSubWidget("a@127.0.0.1/pc-a", false, "2", c.mode, c.partipants);
        EXPECT_EQ(shownTiles(), c.tiles);
        std::vector<Args> resolutions;
        for (const auto& call : sdk.calls())
            if (call.name == "ChangeCameraResolution")
                resolutions.push_back(call.args);
        EXPECT_EQ(resolutions, c.resolutions);
        // Every render a tile holds belongs to a shown tile.
        for (SubVideoWidget* tile : video->tiles()) {
            if (!tile->isVisible()) {
                EXPECT_EQ(tile->getRtcIndex(), 0u);
            }
        }
    }
    EXPECT_EQ(CGlobalInstance::eSplitScreen, 5);
}

TEST_F(MeetingRoom, StageMovesTheMainViewAndItsName)
{
    open();
    video->slotShowSubWidget("a@127.0.0.1/pc-a", false, "2", 0, "pc-a_2,pc-me_1");
    EXPECT_EQ(video->masterRender().label, "La");
    EXPECT_NE(video->masterRender().id, 0u);
    EXPECT_EQ(video->nicknameWidget()->getNickname(), "Alice");
    EXPECT_EQ(CGlobalInstance::conferenceInfo.stageJid, "a@127.0.0.1/pc-a");
    // An unknown source leaves the main view as it is.
    video->slotShowSubWidget("x@127.0.0.1/pc-x", false, "99", 0, "pc-x_99");
    EXPECT_EQ(video->masterRender().label, "La");
    // A telephone participant on stage gets no render.
    sdk.clear();
    video->slotShowSubWidget("gw@127.0.0.1/gateway-1", false, "4", 0, "gateway-1_4");
    EXPECT_EQ(video->masterRender().label, "Lg");
    EXPECT_EQ(video->masterRender().id, 0u);
    EXPECT_EQ(sdk.count("StartRenderStream"), 0);
}

// Someone who sends no video has no camera source: the stage names it by its
// endpoint alone, and it is shown by name, without a picture.
TEST_F(MeetingRoom, AParticipantWithoutVideoIsPlacedByItsAddress)
{
    CGlobalInstance::updateUserList(participant("d@127.0.0.1/pc-d", "Dan", "", "Ld"));
    open();
    video->slotShowSubWidget(kMe, false, "1", 5, "pc-a_2,pc-d_");
    EXPECT_EQ(shownTiles(), (std::set<std::string>{"a@127.0.0.1/pc-a#0", "d@127.0.0.1/pc-d#1"}));
    for (SubVideoWidget* tile : video->tiles()) {
        if (tile->getUserJid() == "d@127.0.0.1/pc-d") {
            EXPECT_EQ(tile->getRtcIndex(), 0u) << "nothing to draw";
            EXPECT_TRUE(tile->findChild<QLabel*>("lblTilePicture")->isVisible());
        }
    }
    // On the main screen: its name over the no-video picture.
    video->slotShowSubWidget("d@127.0.0.1/pc-d", false, "", 0, "pc-d_,pc-me_1");
    EXPECT_EQ(video->masterRender().label, "Ld");
    EXPECT_EQ(video->nicknameWidget()->getNickname(), "Dan");
    EXPECT_TRUE(video->findChild<QLabel*>("lblMainPicture")->isVisible());
    // A participant with video is found by its source only.
    video->slotShowSubWidget("a@127.0.0.1/pc-a", false, "", 0, "pc-a_2,pc-me_1");
    EXPECT_EQ(video->masterRender().label, "Ld");
}

TEST_F(MeetingRoom, ParticipantList)
{
    open();
    auto names = [this] {
        std::vector<std::string> jids;
        for (QUserInfoWidget* row : video->participantRows())
            jids.push_back(row->getUserJid());
        return jids;
    };
    // The user first, then the list in its key order (the endpoints).
    EXPECT_EQ(names(), (std::vector<std::string>{kMe, "gw@127.0.0.1/gateway-1", "a@127.0.0.1/pc-a",
                                                  "b@127.0.0.1/web-b"}));
    // The own entry echoed by the server (with an older camera state): no
    // second row, and the own camera stays as the user set it.
    user_info echo = participant(kMe, "Me", "1", "local-preview");
    echo.videoMute = true;
    sdk.clear();
    emit video->sigAddUser(echo);
    EXPECT_EQ(sdk.count("EnableStreamVideo"), 0);
    EXPECT_FALSE(CGlobalInstance::isVideoMute);
    emit video->sigAddUser(participant("c@127.0.0.1/android-c", "Carol", "5", "Lc"));
    EXPECT_EQ(names().size(), 5u);
    EXPECT_EQ(names().back(), "c@127.0.0.1/android-c");
    // A known participant only changes its row.
    user_info renamed = participant("c@127.0.0.1/android-c", "Caroline", "5", "Lc");
    renamed.isModerator = true;
    emit video->sigAddUser(renamed);
    EXPECT_EQ(names().size(), 5u);
    EXPECT_EQ(video->participantRows().back()->getNickName(), "Caroline");
    EXPECT_TRUE(video->participantRows().back()->isModeratorShown());
    // Removed by endpoint, whatever stands before the last "/".
    video->slotRemoveUser("other@host/android-c");
    EXPECT_EQ(names().size(), 4u);

    // While the whiteboard is open a newcomer gets it once, not with every message.
    CGlobalInstance::isWhiteboard = true;
    sdk.clear();
    emit video->sigAddUser(participant("d@127.0.0.1/ios-d", "", "6", "Ld"));
    emit video->sigAddUser(participant("d@127.0.0.1/ios-d", "Dan", "6", "Ld"));
    emit video->sigAddUser(participant("d@127.0.0.1/ios-d", "Dan", "6", "Ld"));
    EXPECT_EQ(sdk.count("SendWhiteboard"), 1);
    CGlobalInstance::isWhiteboard = false;

    // The role moves away: only that participant's row carries the star.
    video->slotTranferModerator("b@127.0.0.1/web-b");
    for (QUserInfoWidget* row : video->participantRows())
        EXPECT_EQ(row->isModeratorShown(), row->getUserJid() == "b@127.0.0.1/web-b") << row->getUserJid();
}

// With the program's style sheet (its 16-pixel names): a name is elided only
// where it does not fit beside the row's buttons, and no row reaches past the
// list, so that every button stays in sight.
TEST_F(MeetingRoom, ParticipantNamesKeepTheRoomTheRowHas)
{
    CommonHelper::setStyle(":/qss/style_mac.qss");
    sdk.moderator = true;
    CGlobalInstance::userInfo.mUserName = "Demo User";
    CGlobalInstance::clearUserList();
    CGlobalInstance::updateUserList(participant("a@127.0.0.1/pc-a", "Alice Chen", "2", "La"));
    CGlobalInstance::updateUserList(participant("b@127.0.0.1/web-b", "Bob Martin", "3", "Lb"));
    CGlobalInstance::updateUserList(
        participant("c@127.0.0.1/pc-c", "Bartholomew Featherstonehaugh-Montgomery", "4", "Lc"));
    open();
    video->slotShowUserInfoWidget(true);
    settle();
    const QWidget* viewport = video->findChild<QListWidget*>("listWidget")->viewport();
    for (QUserInfoWidget* row : video->participantRows()) {
        const std::string name = row->getNickName();
        SCOPED_TRACE(name);
        const auto* label = row->findChild<QLabel*>("m_lblName");
        const QFontMetrics metrics(label->font());
        const int room = label->contentsRect().width();
        if (name.size() < 12)
            EXPECT_EQ(label->text().toStdString(), name) << "cut short in " << room << " pixels";
        else
            EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << label->text().toStdString();
        EXPECT_LE(metrics.horizontalAdvance(label->text()), room);
        EXPECT_LE(row->mapTo(viewport, QPoint(row->width(), 0)).x(), viewport->width()) << "the row is cut off";
    }
    qApp->setStyleSheet(QString());
}

TEST_F(MeetingRoom, ChatKeys)
{
    struct Case {
        const char* what;
        bool panelShown;
        const char* typed;
        int key;
        Qt::KeyboardModifiers modifiers;
        int sent;
        const char* inputAfter;
    };
    const Case cases[] = {
        {"Return sends", true, "hi <b>", Qt::Key_Return, Qt::NoModifier, 1, ""},
        {"Shift+Return sends", true, "hi", Qt::Key_Return, Qt::ShiftModifier, 1, ""},
        {"keypad Enter breaks the line", true, "hi", Qt::Key_Enter, Qt::KeypadModifier, 0, "hi\n"},
        {"empty input sends nothing", true, "", Qt::Key_Return, Qt::NoModifier, 0, ""},
        {"spaces are a message", true, "  ", Qt::Key_Return, Qt::NoModifier, 1, ""},
        {"hidden panel sends nothing", false, "hi", Qt::Key_Return, Qt::NoModifier, 0, "hi"},
    };
    open();
    auto* input = video->findChild<QTextEdit*>("textEdit");
    auto* history = video->findChild<QTextBrowser*>("textBrowser");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        video->slotShowChatWidget(c.panelShown);
        input->setPlainText(c.typed);
        input->moveCursor(QTextCursor::End);
        sdk.clear();
        QTest::keyClick(input, Qt::Key(c.key), c.modifiers);
        EXPECT_EQ(sdk.count("SendChatMessage"), c.sent);
        EXPECT_EQ(input->toPlainText(), QString(c.inputAfter));
    }
    // The own line is shown once, escaped, under the own name.
    EXPECT_TRUE(history->toPlainText().contains("hi <b>"));
    EXPECT_EQ(history->toHtml().count("&lt;b&gt;"), 1);
    EXPECT_TRUE(history->toPlainText().startsWith("Me "));
    // A received line goes to the end even while the user selects older text.
    history->selectAll();
    video->slotChatMessage("<i>Eve</i>", "<a href=\"x\">link</a>");
    EXPECT_TRUE(history->toPlainText().trimmed().endsWith("<a href=\"x\">link</a>"));
    EXPECT_TRUE(history->toPlainText().contains("<i>Eve</i>"));
    EXPECT_FALSE(history->toHtml().contains("href=\"x\""));
}

TEST_F(MeetingRoom, ToolbarShareGuards)
{
    struct Case {
        const char* what;
        bool moderator, sharing, whiteboard, videoMute;
        int split;
        int refusal;     // message code, 0 none
        int shareSignals;  // sigShareStream(true) emitted
    };
    const Case cases[] = {
        {"not moderator", false, false, false, false, 0, 0, 0},
        {"starts", true, false, false, false, 0, 0, 1},
        {"tiles layout", true, false, false, false, 5, 100009, 0},
        {"camera off", true, false, false, true, 0, 100012, 0},
        {"whiteboard", true, false, true, false, 0, 100013, 0},
        // A running share can be stopped in every layout.
        {"stop in tiles layout", true, true, false, false, 5, 100007, 0},
        {"stop with camera off", true, true, false, true, 0, 100007, 0},
    };
    open();
    VideoControlWidget* bar = video->toolbar();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sdk.moderator = c.moderator;
        bar->setShareBtnStatus(c.sharing);
        CGlobalInstance::isWhiteboard = c.whiteboard;
        CGlobalInstance::isVideoMute = c.videoMute;
        CGlobalInstance::eSplitScreen = c.split;
        QSignalSpy share(bar, &VideoControlWidget::sigShareStream);
        button("m_btnShare")->click();
        settle();
        EXPECT_EQ(share.count(), c.shareSignals);
        const QStringList boxes = openBoxes();
        if (c.refusal)
            EXPECT_EQ(boxes, QStringList{CGlobalInstance::getErrorByCode(c.refusal)});
        else
            EXPECT_TRUE(boxes.isEmpty());
        closeBoxes();
    }
    CGlobalInstance::isWhiteboard = false;
}

TEST_F(MeetingRoom, ToolbarRecordingStates)
{
    open();
    sdk.moderator = true;
    CGlobalInstance::conferenceInfo.recordFlag = true;
    VideoControlWidget* bar = video->toolbar();
    bar->setBtnVisible(true);
    QToolButton* record = button("m_btnRecord");
    ASSERT_TRUE(record->isVisible());

    // An accepted start that no notification confirms returns to idle.
    record->click();
    EXPECT_FALSE(record->isEnabled());
    bar->findChild<QTimer*>("recordRequestTimer")->setInterval(5);  // instead of a minute
    // Waited for, not slept: a loaded machine may run the timer late.
    for (int i = 0; i < 500 && !record->isEnabled(); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(record->isEnabled());
    EXPECT_FALSE(bar->isRecording());
    EXPECT_FALSE(bar->findChild<QTimer*>("recordRequestTimer")->isActive());

    // A refused start leaves the button idle and usable.
    sdk.setResult("StartRecord", -1);
    record->click();
    EXPECT_TRUE(record->isEnabled());
    EXPECT_FALSE(bar->isRecording());
    // An accepted start waits for the notification, disabled.
    sdk.setResult("StartRecord", 0);
    record->click();
    EXPECT_FALSE(record->isEnabled());
    bar->slotNotifyRecord(true);
    EXPECT_TRUE(record->isEnabled());
    EXPECT_TRUE(bar->isRecording());
    EXPECT_TRUE(bar->findChild<QTimer*>("recordBlinkTimer")->isActive());
    EXPECT_FALSE(bar->findChild<QTimer*>("recordRequestTimer")->isActive());
    // Stop after the confirmation: idle at once; the late notification changes nothing.
    record->click();
    ASSERT_EQ(openBoxes(), QStringList{CGlobalInstance::getErrorByCode(100008)});
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<MessageBox*>(widget); box && box->isVisible())
            emit box->sigOk();
    closeBoxes();
    EXPECT_EQ(sdk.count("StopRecord"), 1);
    EXPECT_FALSE(bar->isRecording());
    bar->slotNotifyRecord(false);
    EXPECT_FALSE(bar->isRecording());

    // A participant sees the button only while a recording runs.
    sdk.moderator = false;
    bar->setBtnVisible(false);
    EXPECT_FALSE(record->isVisible());
    bar->slotNotifyRecord(true);
    EXPECT_TRUE(record->isVisible());
    sdk.clear();
    record->click();
    EXPECT_EQ(sdk.count("StartRecord") + sdk.count("StopRecord"), 0);
    bar->slotNotifyRecord(false);
    EXPECT_FALSE(record->isVisible());
}

TEST_F(MeetingRoom, ToolbarHandsUpLockAndPanels)
{
    open();
    VideoControlWidget* bar = video->toolbar();
    QSignalSpy requests(bar, &VideoControlWidget::sigHandsUp);
    bar->slotHandsUp("apply", "a@127.0.0.1/pc-a", "Alice");
    bar->slotHandsUp("apply", "a@127.0.0.1/pc-a", "Alice");
    EXPECT_EQ(requests.count(), 1);
    EXPECT_EQ(CGlobalInstance::handsup_list.size(), 1u);
    EXPECT_TRUE(button("m_btnRing")->isVisible());
    CGlobalInstance::handsup_list.clear();

    // "agree" for someone else leaves the own hand raised.
    bar->setHandsUpVisible(true);
    bar->slotHandsUp("agree", "a@127.0.0.1/pc-a", "");
    EXPECT_TRUE(button("m_btnHandsUp")->isVisible());
    bar->slotHandsUp("agree", kMe, "");
    EXPECT_FALSE(button("m_btnHandsUp")->isVisible());

    // A refused lock changes nothing; the lock message sets state and icon.
    sdk.moderator = true;
    sdk.setResult("LockConference", -1);
    button("m_btnLock")->click();
    EXPECT_FALSE(bar->isLocked());
    bar->slotLockConference(true);
    EXPECT_TRUE(bar->isLocked());

    // Call panels: closing the middle one moves only the newer ones.
    std::vector<QWidget*> panels;
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        panel->resize(300, 100);
        bar->placeCallPanel(panel);
        panels.push_back(panel);
    }
    const QPoint oldest = panels[0]->pos(), newest = panels[2]->pos();
    EXPECT_EQ(panels[1]->y(), newest.y() - 105);
    EXPECT_EQ(oldest.y(), newest.y() - 210);
    bar->removeCallPanel(panels[1]);
    bar->removeCallPanel(panels[1]);  // a second report changes nothing
    EXPECT_EQ(bar->callPanels(), (std::vector<QWidget*>{panels[0], panels[2]}));
    EXPECT_EQ(panels[0]->pos(), QPoint(oldest.x(), newest.y() - 105));
    EXPECT_EQ(panels[2]->pos(), newest);
    settle();
}

// The moderator's list of raised hands follows the toolbar's pending requests:
// one row per hand however often it is raised, gone once anybody answered it.
TEST_F(MeetingRoom, HandsUpListHasOneRowPerPendingRequest)
{
    sdk.moderator = true;
    open();
    emit video->sigHandsUp("apply", "a@127.0.0.1/pc-a", "Alice");
    // The button that opens the list does not look like ending the meeting.
    const auto picture = [&](const char* name) { return button(name)->icon().pixmap(32, 32).toImage(); };
    EXPECT_NE(picture("m_btnRing"), picture("m_btnClose"));
    button("m_btnRing")->click();
    QPointer<QHandsUpWidget> dialog;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<QHandsUpWidget*>(widget); found && found->isVisible())
            dialog = found;
    ASSERT_TRUE(dialog);
    QListWidget* list = dialog->findChild<QListWidget*>("handsUpListWidget");
    const auto rows = [&] {
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->itemWidget(list->item(i))->findChild<QLabel*>("lblHandsUpName")->text();
        return names;
    };
    emit video->sigHandsUp("apply", "a@127.0.0.1/pc-a", "Alice");
    emit video->sigHandsUp("apply", "b@127.0.0.1/web-b", "Bob");
    EXPECT_EQ(rows(), (QStringList{"Alice", "Bob"}));

    // Answered elsewhere (the server tells every moderator): the row goes.
    emit video->sigHandsUp("agree", "a@127.0.0.1/pc-a", "Alice");
    EXPECT_EQ(rows(), (QStringList{"Bob"}));
    // Answered here: the server's echo of the answer adds nothing back.
    list->itemWidget(list->item(0))->findChild<QPushButton*>("btnHandsupAccept")->click();
    EXPECT_EQ(sdk.last("HandsUp").args, (Args{"agree", "b@127.0.0.1/web-b", ""}));
    emit video->sigHandsUp("agree", "b@127.0.0.1/web-b", "Bob");
    settle();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_FALSE(button("m_btnRing")->isVisible());
    // A hand raised and refused while the list is open leaves no row either.
    emit video->sigHandsUp("apply", "b@127.0.0.1/web-b", "Bob");
    emit video->sigHandsUp("refuse", "b@127.0.0.1/web-b", "Bob");
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(CGlobalInstance::handsup_list.empty());
    dialog->close();
    settle();
}

TEST_F(MeetingRoom, NoticesTakeTheLowestFreeSlot)
{
    open();
    video->slotNotice(5);
    video->slotNotice(6);
    auto notices = [] {
        std::vector<QNoticeWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* notice = qobject_cast<QNoticeWidget*>(widget); notice && notice->isVisible())
                found.push_back(notice);
        return found;
    };
    ASSERT_EQ(notices().size(), 2u);
    QNoticeWidget* first = nullptr;
    for (QNoticeWidget* notice : notices())
        if (notice->property("noticeIndex").toInt() == 0)
            first = notice;
    ASSERT_NE(first, nullptr);
    emit first->sigCloseWidget(first);
    settle();
    video->slotNotice(5);
    std::set<int> places;
    for (QNoticeWidget* notice : notices())
        places.insert(notice->property("noticeIndex").toInt());
    EXPECT_EQ(places, (std::set<int>{0, 1}));
    // Notices still open go with the window.
    delete video.data();
    settle();
    EXPECT_TRUE(notices().empty());
}

TEST_F(MeetingRoom, LeaveStopsEveryRenderFirstAndRunsOnce)
{
    open();
    video->slotShowSubWidget("a@127.0.0.1/pc-a", false, "2", 0, "pc-a_2,pc-a_2,web-b_3");
    button("m_btnLocal")->click();  // self view
    ASSERT_NE(video->selfViewRenderId(), 0u);
    CGlobalInstance::isWhiteboard = true;
    CGlobalInstance::isSecondStreamModel = true;
    CGlobalInstance::userInfo.shareLabel = "share-1";
    CGlobalInstance::isAudioMute = true;
    CGlobalInstance::eSplitScreen = 5;
    sdk.clear();

    video->slotLeaveConference();
    const std::vector<std::string> names = sdk.names();
    const auto close = std::find(names.begin(), names.end(), "CloseLocalPreview");
    ASSERT_NE(close, names.end());
    // Tiles (La, Lb), the self view and the main view (La) stop before the own stream closes.
    EXPECT_EQ(std::count(names.begin(), close, "StopRenderStream"), 4);
    EXPECT_EQ(std::count(close, names.end(), "StopRenderStream"), 0);
    EXPECT_EQ(sdk.last("SendWhiteboard").args, (Args{"destroy", "static/apps/drawing/index.html", ""}));
    EXPECT_EQ(sdk.last("RemoveScreenShareStream").args, (Args{"share-1"}));
    EXPECT_EQ(sdk.last("SendAnnotate").args, (Args{"destroy", "", "", ""}));
    // The meeting state is reset by the leave, not by the later deletion.
    EXPECT_FALSE(CGlobalInstance::isAudioMute);
    EXPECT_FALSE(CGlobalInstance::isWhiteboard);
    EXPECT_EQ(CGlobalInstance::eSplitScreen, 0);

    // Nested again from the SDK's leave: nothing runs twice.
    video->slotLeaveConference();
    EXPECT_EQ(sdk.count("CloseLocalPreview"), 1);
    EXPECT_EQ(sdk.count("SendWhiteboard"), 1);
    settle();
    EXPECT_FALSE(video);
}

TEST_F(MeetingRoom, WindowClosesEvenWhenTheSdkRefusesTheLeave)
{
    open();
    sdk.setResult("LeaveConference", -1);
    button("m_btnClose")->click();
    settle();
    EXPECT_FALSE(video);
    EXPECT_FALSE(CGlobalInstance::isJoinConference);
    EXPECT_EQ(sdk.count("CloseLocalPreview"), 1);
}

TEST_F(MeetingRoom, OwnVideoMuteAppliesWhileHidden)
{
    open();
    video->hide();
    sdk.clear();
    video->slotVideoMute(video->ownRender().label, true);
    EXPECT_EQ(sdk.last("EnableStreamVideo").args, (Args{"false"}));
}

TEST_F(MeetingRoom, StatisticsPanelOverATile)
{
    open();
    video->slotShowSubWidget("me", false, "1", 0, "pc-me_1,pc-a_2");
    SubVideoWidget* tile = nullptr;
    for (SubVideoWidget* candidate : video->tiles())
        if (candidate->isVisible())
            tile = candidate;
    ASSERT_NE(tile, nullptr);
    ASSERT_EQ(tile->getUserJid(), "a@127.0.0.1/pc-a");
    QStaticsWidget* panel = video->staticsWidget();
    for (const bool moderator : {false, true}) {
        SCOPED_TRACE(moderator);
        sdk.moderator = moderator;
        tile->enterWidget();
        ASSERT_TRUE(panel->isVisible());
        const QPoint corner = tile->mapToGlobal(QPoint(0, 0));
        // Just above the tile, as wide as it (or as its content needs); a
        // participant gets the figures only.
        EXPECT_EQ(panel->geometry().bottom(), corner.y() - 11);
        EXPECT_EQ(panel->geometry().left(), corner.x());
        EXPECT_EQ(panel->width(), std::max(tile->width(), panel->minimumSizeHint().width()));
        EXPECT_EQ(panel->findChild<QWidget*>("m_controlBarWidget")->isVisible(), moderator);
        EXPECT_EQ(panel->findChild<QLabel*>("m_lblResolution")->text(), "640 x 480");
        EXPECT_EQ(panel->getUserJid(), "a@127.0.0.1/pc-a");
        tile->leaveWidget();
        panel->hide();
    }
}

TEST_F(MeetingRoom, InformationPanel)
{
    CGlobalInstance::conferenceInfo.conferenceType = 3;
    QPointer<QConferenceInfoWidget> panel = new QConferenceInfoWidget();
    panel->resize(1000, 200);  // lower than the card's fixed parts
    panel->showInfoWidget();
    settle();
    EXPECT_TRUE(panel->findChild<QLabel*>("m_lblType")->text().isEmpty());
    EXPECT_EQ(panel->findChild<QWidget*>("m_listUser")->height(), 0);
    ASSERT_EQ(panel->rows().size(), 4u);
    // A known address only updates its row.
    panel->slotAddUser(participant("a@127.0.0.1/pc-a", "Renamed", "2", "La"));
    EXPECT_EQ(panel->rows().size(), 4u);
    EXPECT_EQ(panel->rows()[2]->getNickName(), "Alice");
    panel->hide();
    panel->slotRemoveUser("a@127.0.0.1/pc-a");
    EXPECT_EQ(panel->rows().size(), 4u);
    panel->show();
    panel->slotRemoveUser("x@y/pc-a");
    EXPECT_EQ(panel->rows().size(), 3u);
    panel->close();
    settle();
    EXPECT_FALSE(panel);
}

}  // namespace
