// The meeting tools' dialogs against the recording SDK: share picker, layout
// manager and its switch, call-out and call panel, hands-up list, closing
// warning, moderator claim and second camera.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "callwidget.h"
#include "cglobalinstance.h"
#include "qcallsipwidget.h"
#include "qconferencedelaywidget.h"
#include "qgetmoderatorwidget.h"
#include "qhandsupwidget.h"
#include "qlayoutmanagerwidget.h"
#include "qpickcandiatewidget.h"
#include "qsecondstreamwidget.h"
#include "screenitem.h"
#include "screensharewidget.h"
#include "switchcontrol.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using velto::test::Args;
using velto::test::FakeVeltoInterface;

namespace {

void settle()
{
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

template <typename T = QPushButton>
T* child(QWidget* w, const char* name)
{
    auto* found = w->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Message boxes currently shown, by text.
QStringList shownMessages()
{
    QStringList texts;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->inherits("MessageBox") && w->isVisible())
            texts << w->findChild<QLabel*>("lblMsgText")->text();
    }
    return texts;
}

void closeMessages()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->inherits("MessageBox"))
            w->close();
    }
    settle();
}

class MeetingTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::conferenceInfo.room = "room-7";
        CGlobalInstance::userInfo.mUserName = "Me";
        CGlobalInstance::userInfo.myJid = "me@server/ep-me";
        CGlobalInstance::handsup_list.clear();
        CGlobalInstance::user_subwidgets.clear();
        CGlobalInstance::polling.clear();
        CGlobalInstance::eSplitScreen = 0;
        CGlobalInstance::selectAppId = 0;
    }
    void TearDown() override
    {
        closeMessages();
        CGlobalInstance::veltoSdk = nullptr;
    }

    static void addUser(const std::string& endpoint, const std::string& nickname)
    {
        user_info user;
        user.jid = "room@conf/" + endpoint;
        user.nickname = nickname;
        CGlobalInstance::updateUserList(user);
    }

    FakeVeltoInterface sdk;
};

// --- share picker ----------------------------------------------------------------

struct Picker {
    QPointer<ScreenShareWidget> dialog;
    std::vector<std::string> started;  // labels handed to the meeting window
    explicit Picker(int excluded) : dialog(new ScreenShareWidget(excluded))
    {
        QObject::connect(dialog.data(), &ScreenShareWidget::sigAddSecondStream, dialog.data(),
                         [this](std::string label) { started.push_back(label); });
        dialog->show();
    }
    QListWidget* list(const char* name) { return dialog->findChild<QListWidget*>(name); }
    void choose(const char* listName, int row) { list(listName)->setCurrentRow(row); }
    void toTab(int index) { dialog->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(index); }
    QPushButton* share() { return dialog->findChild<QPushButton*>("btnScreenShare"); }
};

TEST_F(MeetingTools, PickerPassesTheChosenSourceOfTheCurrentTab)
{
    QWidget other;
    other.setWindowTitle("Spreadsheet");
    other.show();
    QWidget ownMeeting;
    ownMeeting.setWindowTitle("Meeting room");
    ownMeeting.show();
    const int otherId = static_cast<int>(other.winId());

    struct Case {
        const char* name;
        std::function<void(Picker&)> act;
        Args call;  // AddScreenShareStream without the label; empty: no share
        int selectAppId;
    };
    const Case cases[] = {
        {"screen chosen", [](Picker& p) { p.choose("screenListWidget", 0); }, {"true", "20", "0", "99"}, 0},
        {"window chosen on its tab",
         [](Picker& p) {
             p.toTab(1);
             p.choose("windowListWidget", 0);
         },
         {"false", "15", std::to_string(otherId), "0"},
         otherId},
        {"window chosen, back on the screen tab", [](Picker& p) {
             p.toTab(1);
             p.choose("windowListWidget", 0);
             p.toTab(0);
         }, {}, 0},
        {"nothing chosen", [](Picker&) {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sdk.clear();
        CGlobalInstance::userInfo.shareLabel.clear();
        CGlobalInstance::selectAppId = -1;
        Picker picker(99);
        c.act(picker);
        picker.share()->click();
        settle();
        if (c.call.empty()) {
            EXPECT_FALSE(picker.share()->isEnabled());
            EXPECT_EQ(sdk.count("AddScreenShareStream"), 0);
            EXPECT_TRUE(picker.started.empty());
            delete picker.dialog.data();
            continue;
        }
        const auto call = sdk.last("AddScreenShareStream");
        ASSERT_EQ(call.args.size(), 5u);
        EXPECT_EQ(Args(call.args.begin() + 1, call.args.end()), c.call);
        EXPECT_EQ(picker.started, std::vector<std::string>{call.args[0]});
        EXPECT_EQ(CGlobalInstance::userInfo.shareLabel, call.args[0]);
        EXPECT_EQ(CGlobalInstance::selectAppId, c.selectAppId);
        EXPECT_TRUE(picker.dialog.isNull());  // closed and deleted
    }
}

TEST_F(MeetingTools, PickerOffersNeitherItselfNorTheMeetingWindow)
{
    QWidget meeting;
    meeting.setWindowTitle("Room");
    meeting.show();
    QWidget named;
    named.setWindowTitle("Meeting room");
    named.show();
    QWidget other;
    other.setWindowTitle("Editor");
    other.show();
    Picker picker(static_cast<int>(meeting.winId()));
    picker.toTab(1);
    QListWidget* list = picker.list("windowListWidget");
    std::vector<int> ids;
    for (int i = 0; i < list->count(); ++i)
        ids.push_back(static_cast<ScreenItem*>(list->itemWidget(list->item(i)))->getId());
    EXPECT_EQ(ids, std::vector<int>{static_cast<int>(other.winId())});
    delete picker.dialog.data();
}

TEST_F(MeetingTools, AShareTheSdkRefusesIsNotStarted)
{
    sdk.setResult("AddScreenShareStream", -1);
    Picker picker(0);
    picker.choose("screenListWidget", 0);
    picker.share()->click();
    settle();
    EXPECT_EQ(sdk.count("AddScreenShareStream"), 1);
    EXPECT_TRUE(picker.started.empty());
    EXPECT_TRUE(CGlobalInstance::userInfo.shareLabel.empty());
    ASSERT_FALSE(picker.dialog.isNull());
    EXPECT_TRUE(picker.dialog->isVisible());
    EXPECT_TRUE(child<QLabel>(picker.dialog, "lblShareError")->isVisible());
    delete picker.dialog.data();
}

// --- layout manager --------------------------------------------------------------

struct LayoutCase {
    int entries;
    bool tiles;
    std::vector<QString> titles;
    std::vector<int> widths;  // surround only
};

TEST_F(MeetingTools, LayoutSlotsFollowTheEntriesAndTheMode)
{
    const LayoutCase cases[] = {
        {0, false, {}, {}},
        {3, false, {"masterScreen", "1", "2"}, {250, 200, 200}},
        {6, false, {"masterScreen", "1", "2", "3", "4", "5"}, {250, 115, 115, 115, 115, 115}},
        {10, false, {"masterScreen", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
         {250, 115, 115, 115, 115, 115, 115, 115, 115, 115}},
        {0, true, {}, {}},
        {3, true, {"1", "2", "3"}, {}},
        {6, true, {"1", "2", "3", "4", "5", "6"}, {}},
        {10, true, {}, {}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.entries) + (c.tiles ? " tiles" : " surround"));
        CGlobalInstance::user_subwidgets.clear();
        for (int i = 0; i < c.entries; ++i)
            CGlobalInstance::user_subwidgets.push_back("ep" + std::to_string(i) + "_" + std::to_string(100 + i));
        CGlobalInstance::eSplitScreen = c.tiles ? 5 : 0;
        auto* dialog = new QLayoutManagerWidget();
        dialog->showWidget();
        const auto slots_ = dialog->findChildren<QPickCandiateWidget*>();
        std::vector<QString> titles;
        std::vector<int> widths;
        for (QPickCandiateWidget* slot : slots_) {
            titles.push_back(slot->findChild<QLabel*>("lblPickTitle")->text());
            widths.push_back(slot->width());
            if (c.tiles) {
                EXPECT_EQ(slot->size(), QSize(200, 130));
            }
        }
        EXPECT_EQ(titles, c.titles);
        if (!c.tiles) {
            EXPECT_EQ(widths, c.widths);
        }
        delete dialog;
    }
}

class LayoutOk : public MeetingTools {
protected:
    void SetUp() override
    {
        MeetingTools::SetUp();
        addUser("ep-me", "Me");  // the own entry is listed by the server too
        addUser("ep-a", "Alice");
        addUser("ep-b", "Bob");
        CGlobalInstance::user_subwidgets = {"ep-a_1", "ep-b_2"};
        dialog = new QLayoutManagerWidget();
        dialog->showWidget();
        settle();
        slots_ = dialog->findChildren<QPickCandiateWidget*>();
    }
    void TearDown() override
    {
        delete dialog.data();
        MeetingTools::TearDown();
    }
    QComboBox* combo(int i) { return slots_[i]->findChild<QComboBox*>("comboBox"); }
    SwitchControl* toggle(int i) { return slots_[i]->findChild<SwitchControl*>("switchControl"); }
    void ok() { dialog->findChild<QPushButton*>("btnOk")->click(); settle(); }

    QPointer<QLayoutManagerWidget> dialog;
    QList<QPickCandiateWidget*> slots_;
};

TEST_F(LayoutOk, SlotsStartFromTheStageAndListTheOwnNameOnce)
{
    ASSERT_EQ(slots_.size(), 2);
    EXPECT_EQ(slots_[0]->getUserEndpoint(), "ep-a");
    EXPECT_EQ(slots_[1]->getUserEndpoint(), "ep-b");
    QStringList names;
    for (int i = 0; i < combo(0)->count(); ++i)
        names << combo(0)->itemText(i);
    EXPECT_EQ(names, (QStringList{"Me", "Alice", "Bob"}));
}

TEST_F(LayoutOk, ASlotLeftEmptyStopsOkBeforeAnythingIsSent)
{
    CGlobalInstance::eSplitScreen = 5;  // the server shows tiles; the dialog is on surround
    CGlobalInstance::polling = {true, true};
    combo(1)->setCurrentIndex(combo(1)->findData("ep-a"));  // Alice moves: slot 0 is cleared
    EXPECT_EQ(slots_[0]->getUserEndpoint(), "");
    EXPECT_TRUE(slots_[0]->findChild<QLabel*>("lblPickWarning")->isVisible());
    ok();
    EXPECT_EQ(sdk.count("SplitScreen"), 0);
    EXPECT_EQ(sdk.count("SelectParticipants"), 0);
    EXPECT_EQ(CGlobalInstance::polling, (std::vector<bool>{true, true}));
    EXPECT_FALSE(dialog.isNull());
}

TEST_F(LayoutOk, SwitchesAreStoredOnlyWhenTheServerTookTheList)
{
    CGlobalInstance::eSplitScreen = 5;
    QTest::mouseClick(toggle(1), Qt::LeftButton);
    EXPECT_TRUE(slots_[1]->isPolling());

    sdk.setResult("SelectParticipants", -1);
    ok();
    EXPECT_EQ(sdk.last("SplitScreen").args, Args{"0"});
    EXPECT_EQ(sdk.last("SelectParticipants").args, Args{"ep-a,polling"});
    EXPECT_TRUE(CGlobalInstance::polling.empty());
    ASSERT_FALSE(dialog.isNull());

    sdk.setResult("SelectParticipants", 0);
    ok();
    EXPECT_EQ(CGlobalInstance::polling, (std::vector<bool>{false, true}));
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(MeetingTools, LayoutOkWithoutSlotsSendsNoEmptyList)
{
    auto* dialog = new QLayoutManagerWidget();
    QPointer<QLayoutManagerWidget> alive = dialog;
    dialog->showWidget();
    dialog->findChild<QPushButton*>("btnOk")->click();
    settle();
    EXPECT_EQ(sdk.count("SelectParticipants"), 0);
    EXPECT_TRUE(alive.isNull());
}

TEST(SwitchControl, ClicksResizesAndSilentToggles)
{
    SwitchControl control;
    control.resize(52, 24);
    control.show();
    QSignalSpy toggled(&control, &SwitchControl::toggled);

    QTest::mouseClick(&control, Qt::RightButton);
    EXPECT_EQ(toggled.count(), 0);
    EXPECT_FALSE(control.isToggled());

    QTest::mouseClick(&control, Qt::LeftButton);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    QTRY_COMPARE(control.knobX(), 39.0);

    control.resize(60, 24);  // stays on the right, at the new end
    EXPECT_EQ(control.knobX(), 47.0);

    control.setToggle(false);
    EXPECT_EQ(toggled.count(), 1);
    QTRY_COMPARE(control.knobX(), 12.0);

    control.setEnabled(false);
    QTest::mouseClick(&control, Qt::LeftButton);
    EXPECT_EQ(toggled.count(), 1);
}

// --- call-out --------------------------------------------------------------------------

TEST_F(MeetingTools, CallOutPlacesTheCallAndReports)
{
    struct Case {
        const char* name;
        int mode;
        const char* scheme;
        const char* typed;
        int result;
        int phoneCode;
        const char* operation;  // nullptr: no SDK call
        Args args;
        const char* emitted;  // nullptr: nothing emitted
        bool staysOpen;
        int message;  // 0: none
    };
    const Case cases[] = {
        {"blank", 0, "SIP", "   ", 0, 200, nullptr, {}, nullptr, true, 0},
        {"h323", 0, "H323", " 1234 ", 0, 200, "CallSip", {"h323:1234"}, "h323:1234", false, 0},
        {"sip fails", 0, "SIP", "1234", -1, 200, "CallSip", {"sip:1234"}, nullptr, true, 100025},
        {"phone", 1, "SIP", " 01012345678", 0, 200, "CallPhone", {"01012345678"}, "01012345678", false, 0},
        {"phone fails", 1, "SIP", "0101", -1, 200, "CallPhone", {"0101"}, nullptr, true, 100026},
        {"no credit", 1, "SIP", "0101", -1, 301, "CallPhone", {"0101"}, nullptr, false, 100028},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sdk.clear();
        sdk.setResult("CallSip", c.result);
        sdk.setResult("CallPhone", c.result);
        sdk.callPhoneCode = c.phoneCode;
        QPointer<QCallSipWidget> dialog = new QCallSipWidget(c.mode);
        std::vector<std::string> success;
        QObject::connect(dialog.data(), &QCallSipWidget::sigCallSuccess, dialog.data(),
                         [&success](std::string sip) { success.push_back(sip); });
        dialog->show();
        if (c.mode == 0)
            child<QComboBox>(dialog, "comboBox")->setCurrentText(c.scheme);
        child<QLineEdit>(dialog, "edtSip")->setText(c.typed);
        child(dialog, "btnSipOk")->click();
        settle();
        EXPECT_EQ(sdk.names().size(), c.operation ? 1u : 0u);
        if (c.operation) {
            EXPECT_EQ(sdk.last(c.operation).args, c.args);
        }
        EXPECT_EQ(success, c.emitted ? std::vector<std::string>{c.emitted} : std::vector<std::string>{});
        EXPECT_EQ(!dialog.isNull(), c.staysOpen);
        const QStringList messages = shownMessages();
        EXPECT_EQ(messages, c.message ? QStringList{CGlobalInstance::getErrorByCode(c.message)} : QStringList{});
        if (dialog && QString(c.name) == "blank") {
            EXPECT_EQ(child<QLineEdit>(dialog, "edtSip")->styleSheet(), "border:1px solid red;");
        }
        closeMessages();
        delete dialog.data();
    }
}

TEST_F(MeetingTools, CallPanelClosesForItsPartyOrOnHangUp)
{
    CallWidget panel("sip:1234");
    std::vector<CallWidget*> closed;
    QObject::connect(&panel, &CallWidget::sigCallWidgetClose, &panel, [&closed](CallWidget* w) { closed.push_back(w); });
    panel.show();
    panel.slotCallSuccess("sip:9999");
    EXPECT_TRUE(closed.empty());
    panel.slotCallSuccess("Room sip:1234@gw");
    EXPECT_EQ(closed.size(), 1u);
    EXPECT_EQ(sdk.count("HangUp"), 0);

    panel.show();
    child<QToolButton>(&panel, "m_btnHangUp")->click();
    EXPECT_EQ(sdk.last("HangUp").args, Args{"sip:1234"});
    EXPECT_EQ(closed, (std::vector<CallWidget*>{&panel, &panel}));
}

TEST_F(MeetingTools, CallPanelUnansweredClosesWhenTheRingTimeRunsOutWithoutHangingUp)
{
    CallWidget::setRingTimeout(200);
    CallWidget unanswered("sip:1234");
    CallWidget answered("sip:5678");
    std::vector<CallWidget*> closed;
    for (CallWidget* panel : {&unanswered, &answered}) {
        QObject::connect(panel, &CallWidget::sigCallWidgetClose, panel,
                         [&closed](CallWidget* w) { closed.push_back(w); });
        panel->show();
    }
    answered.slotCallSuccess("Room sip:5678@gw");

    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.size() == 2; }, 2000));
    QTest::qWait(300);  // the answered panel's time runs out too
    EXPECT_EQ(closed, (std::vector<CallWidget*>{&answered, &unanswered}));
    EXPECT_EQ(sdk.count("HangUp"), 0);
    CallWidget::setRingTimeout(CallWidget::kRingTimeoutMs);
}

// --- hands-up ---------------------------------------------------------------------------

TEST_F(MeetingTools, HandsUpAnswersAndDrops)
{
    CGlobalInstance::handsup_list = {{"u2@x/b", "Bob"}, {"u1@x/a", "Alice"}};
    QPointer<QHandsUpWidget> dialog = new QHandsUpWidget();
    QSignalSpy hide(dialog.data(), &QHandsUpWidget::sigHideHandsUpRingBtn);
    dialog->show();
    auto rows = [&] {
        QStringList names;
        QListWidget* list = child<QListWidget>(dialog, "handsUpListWidget");
        for (int i = 0; i < list->count(); ++i)
            names << list->itemWidget(list->item(i))->findChild<QLabel*>("lblHandsUpName")->text();
        return names;
    };
    auto press = [&](int row, const char* button) {
        QListWidget* list = child<QListWidget>(dialog, "handsUpListWidget");
        list->itemWidget(list->item(row))->findChild<QPushButton*>(button)->click();
        settle();
    };
    EXPECT_EQ(rows(), (QStringList{"Alice", "Bob"}));
    dialog->slotHandsUp("apply", "u0@x/c", "Carol");
    EXPECT_EQ(rows(), (QStringList{"Alice", "Bob", "Carol"}));

    sdk.setResult("HandsUp", -1);
    press(1, "btnRefuse");
    EXPECT_EQ(sdk.last("HandsUp").args, (Args{"refuse", "u2@x/b", ""}));
    EXPECT_EQ(rows(), (QStringList{"Alice", "Bob", "Carol"}));
    EXPECT_EQ(CGlobalInstance::handsup_list.count("u2@x/b"), 1u);

    sdk.setResult("HandsUp", 0);
    press(0, "btnHandsupAccept");
    EXPECT_EQ(sdk.last("HandsUp").args, (Args{"agree", "u1@x/a", ""}));
    EXPECT_EQ(rows(), (QStringList{"Bob", "Carol"}));

    dialog->removeItem("nobody@x/z");  // no row: the map entry goes anyway
    CGlobalInstance::handsup_list.erase("u0@x/c");  // Carol was never in the map
    const int calls = sdk.count("HandsUp");
    press(0, "btnIgnore");
    EXPECT_EQ(sdk.count("HandsUp"), calls);
    EXPECT_TRUE(CGlobalInstance::handsup_list.empty());
    EXPECT_EQ(hide.count(), 1);  // once the map is empty
    ASSERT_FALSE(dialog.isNull());
    delete dialog.data();
}

// --- closing warning, moderator claim ---------------------------------------------------

TEST_F(MeetingTools, DelayWarningNamesTheMinutesAndExtends)
{
    const std::pair<const char*, const char*> labels[] = {
        {"15", "The conference room will be closed in 15 minutes, "},
        {"5", "The conference room will be closed in 5 minutes, "},
        {"25", ", "},
        {"", ", "},
    };
    for (auto [data, start] : labels) {
        QConferenceDelayWidget dialog;
        dialog.setLabelText(data);
        EXPECT_TRUE(child<QLabel>(&dialog, "lblDelay")->text().startsWith(start)) << data;
    }

    QPointer<QConferenceDelayWidget> dialog = new QConferenceDelayWidget();
    dialog->show();
    child<QSpinBox>(dialog, "spinBox")->setValue(30);
    sdk.setResult("ExtendConferenceTime", -1);
    child(dialog, "btnDelay")->click();
    settle();
    EXPECT_EQ(sdk.last("ExtendConferenceTime").args, (Args{"room-7", "30"}));
    ASSERT_FALSE(dialog.isNull());
    sdk.setResult("ExtendConferenceTime", 0);
    QTest::keyClick(dialog, Qt::Key_Return);
    settle();
    EXPECT_EQ(sdk.count("ExtendConferenceTime"), 2);
    EXPECT_TRUE(dialog.isNull());  // closed and deleted
}

TEST_F(MeetingTools, ModeratorClaimHidesThePasswordAndSendsEveryPress)
{
    QPointer<QGetModeratorWidget> dialog = new QGetModeratorWidget();
    dialog->show();
    auto* edit = child<QLineEdit>(dialog, "lineEdit");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    child(dialog, "btnOK")->click();
    edit->setText("  secret ");
    child(dialog, "btnOK")->click();
    EXPECT_EQ(sdk.count("GetModerator"), 2);
    EXPECT_EQ(sdk.calls()[0].args, (Args{"room-7", ""}));
    EXPECT_EQ(sdk.calls()[1].args, (Args{"room-7", "secret"}));
    EXPECT_FALSE(dialog.isNull());
    QApplication::setActiveWindow(dialog);
    child(dialog, "btnCancel")->setFocus();
    QTest::keyClick(dialog, Qt::Key_Enter);
    settle();
    EXPECT_EQ(sdk.count("GetModerator"), 2);
    EXPECT_TRUE(dialog.isNull());
}

// --- second camera -----------------------------------------------------------------------

TEST_F(MeetingTools, SecondCameraOffersTheOtherCamerasAndKeepsTheSharedStream)
{
    // The engine's order, not index order: the combo must follow the offer list.
    sdk.cameras = {{2, "Room", "cam-2"}, {0, "Front", "cam-0"}, {1, "Desk", "cam-1"}};
    velto::test::writeIni("[Video]\nindex=1\nid=cam-1\nname=Desk\n");
    QPointer<QSecondStreamWidget> panel = new QSecondStreamWidget();
    std::vector<std::string> added;
    QObject::connect(panel.data(), &QSecondStreamWidget::sigAddSecondStream, panel.data(),
                     [&added](std::string label) { added.push_back(label); });
    panel->showSecondStreamWidget(QRect(100, 100, 520, 460));
    auto* combo = child<QComboBox>(panel, "m_comboxVideo");
    ASSERT_EQ(combo->count(), 2);
    const int front = combo->findText("Front");
    ASSERT_NE(front, -1);
    EXPECT_NE(combo->findText("Room"), -1);

    combo->setCurrentIndex(front);
    emit combo->activated(front);
    EXPECT_EQ(sdk.last("ShowLocalPreview").args[0], "Front");

    sdk.clear();
    child(panel, "m_btnShare")->click();
    settle();
    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"AddSecondStream", "StopRenderStream"}));
    EXPECT_EQ(added, std::vector<std::string>{"local-preview"});
    EXPECT_TRUE(panel.isNull());
}
}  // namespace
