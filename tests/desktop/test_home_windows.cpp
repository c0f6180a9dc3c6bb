// The home pages' windows with the recording SDK: the ring-call dispatch and
// its call book, the call windows and the ring tone, the reservation form's
// retry, the add-contact dialog and the details popups.
#include "AppTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include "Base/qbasecontactswidget.h"
#include "Dialogs/addcontactswidget.h"
#include "Dialogs/calendarwidget.h"
#include "Dialogs/detailreservationwidget.h"
#include "Dialogs/reservationmeetwidget.h"
#include "Dialogs/ringcallwidget.h"
#include "Dialogs/ringingwidget.h"
#include "Tools/musicplayer.h"

using namespace velto::test;

namespace {

constexpr char kOwnJid[] = "u1@msg.example/pc1";
constexpr char kBob[] = "Bob@msg.example/pc7";

class HomeCalls : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        makeWindow();
        CGlobalInstance::userInfo.myJid = kOwnJid;
        CGlobalInstance::userInfo.mUserName = "Alice Demo";
        emit window->sigSetConferenceInfo("123456789");
        Sqlite3::instance()->deleteRecents();
    }

    void ring(const std::string& from, const std::string& type, int callType = 0, int isCaller = 0,
              const std::string& room = "")
    {
        emit window->sigRingCall(from, type, room, "Bob Martin", callType, isCaller, "");
        QCoreApplication::processEvents();
    }

    std::vector<RECENTITEM> recents()
    {
        std::vector<RECENTITEM> rows;
        Sqlite3::instance()->getRecentsTable(rows, "123456789");
        return rows;
    }

    std::vector<SdkCall> sends(const std::string& type)
    {
        std::vector<SdkCall> found;
        for (const SdkCall& call : sdk.calls())
            if (call.name == "SendRingCall" && call.args.at(1) == type)
                found.push_back(call);
        return found;
    }
};

}  // namespace

TEST_F(HomeCalls, InviteDuringAMeetingIsAnsweredBusyAndEndsAsOneUnansweredRow)
{
    CGlobalInstance::isJoinConference = true;
    ring(kBob, "invite", 0, 0, "777");
    ASSERT_EQ(sends("busy").size(), 1u);
    EXPECT_EQ(sends("busy")[0].args, (Args{kBob, "busy", "777", "Bob Martin", "0", "0", "", ""}));
    EXPECT_TRUE(shownWindows<RingCallWidget>().isEmpty());
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].userid, "bob");
    EXPECT_EQ(recents()[0].duration, 0);
    EXPECT_EQ(recents()[0].calltype, 0);
}

TEST_F(HomeCalls, OneIncomingWindowPerCallerAndWithdrawalClosesOnlyThatCallersWindow)
{
    ring(kBob, "invite");
    ring(kBob, "invite");
    ring("carol@msg.example/pc2", "invite", 1);
    ASSERT_EQ(shownWindows<RingCallWidget>().size(), 2);
    EXPECT_TRUE(MusicPlayer::Instance()->isActive());

    ring(kBob, "reject", 0, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QList<RingCallWidget*> left = shownWindows<RingCallWidget>();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0]->callerJid(), "carol@msg.example/pc2");
    EXPECT_TRUE(MusicPlayer::Instance()->isActive());
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].userid, "bob");

    left[0]->findChild<QToolButton*>("btnClose")->click();
    EXPECT_FALSE(MusicPlayer::Instance()->isActive());
    EXPECT_EQ(MusicPlayer::Instance()->count(), 0);
}

TEST_F(HomeCalls, ForgedMessagesChangeNothing)
{
    ring(kBob, "invite");
    // "join" from a caller whose call this device never accepted.
    ring("mallory@msg.example/x", "join", 0, 0, "666");
    // "processed" from somebody else's account.
    ring("mallory@msg.example/x", "processed");
    // "accept" for a call this device never placed.
    ring("mallory@msg.example/x", "accept");
    // "busy" and refusals of a call this device never placed, a withdrawal of a
    // call that never rang here; the ringing caller's own "busy" or refusal.
    ring("mallory@msg.example/x", "busy");
    ring("mallory@msg.example/x", "reject");
    ring("mallory@msg.example/x", "reject", 0, 1);
    ring(kBob, "busy");
    ring(kBob, "reject");
    EXPECT_TRUE(sends("processed").empty());
    EXPECT_TRUE(recents().empty());
    EXPECT_EQ(sdk.count("JoinConference"), 0);
    EXPECT_EQ(sdk.count("CreateConference"), 0);
    EXPECT_EQ(shownWindows<RingCallWidget>().size(), 1);
    EXPECT_EQ(shownMessageCount(600109), 0);
    EXPECT_TRUE(CGlobalInstance::answerUserId.empty());
}

TEST_F(HomeCalls, ProcessedFromTheOwnAccountClosesEveryIncomingWindow)
{
    ring(kBob, "invite");
    ring("carol@msg.example/pc2", "invite");
    ring("U1@msg.example/phone", "processed");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shownWindows<RingCallWidget>().isEmpty());
    EXPECT_EQ(shownMessageCount(600109), 1);
    EXPECT_FALSE(MusicPlayer::Instance()->isActive());
}

TEST_F(HomeCalls, AcceptedCallJoinsTheCallersRoomAndEndsAnsweredWhenTheMeetingEnds)
{
    acceptMeetings();
    ring(kBob, "invite");
    shownWindows<RingCallWidget>().first()->findChild<QPushButton*>("btnAccept")->click();
    ASSERT_EQ(sends("accept").size(), 1u);
    EXPECT_EQ(sends("accept")[0].args, (Args{kBob, "accept", "", "Alice Demo", "0", "0", "", ""}));

    ring(kBob, "join", 0, 0, "555");
    ASSERT_EQ(sdk.count("JoinConference"), 1);
    EXPECT_EQ(sdk.last("JoinConference").args, (Args{"555", ""}));
    ASSERT_EQ(sends("processed").size(), 1u);
    EXPECT_EQ(sends("processed")[0].args[0], "u1@msg.example");
    EXPECT_EQ(CGlobalInstance::answerUserId, "bob");

    // A second "join" from the same caller is no longer expected.
    ring(kBob, "join", 0, 0, "556");
    EXPECT_EQ(sdk.count("JoinConference"), 1);

    emit window->sigLeaveConference();
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].userid, "bob");
    EXPECT_EQ(recents()[0].calltype, 0);
    EXPECT_TRUE(CGlobalInstance::answerUserId.empty());
}

TEST_F(HomeCalls, OutgoingCallAcceptedStartsAMeetingAndSendsItsRoomAndPassword)
{
    acceptMeetings();
    CGlobalInstance::conferenceInfo.meetPassword = "4711";
    emit window->sigRingCall("x", "none", "", "", 0, 0, "");  // ignored
    window->slotRinging("bob", 0, "Bob Martin", 0);
    ASSERT_EQ(shownWindows<RingingWidget>().size(), 1);
    ring(kBob, "accept");
    EXPECT_EQ(sdk.count("CreateConference"), 1);
    ASSERT_EQ(sends("join").size(), 1u);
    EXPECT_EQ(sends("join")[0].args, (Args{kBob, "join", "123456789", "Alice Demo", "0", "0", "", "4711"}));
    EXPECT_TRUE(shownWindows<RingingWidget>().isEmpty());
    EXPECT_TRUE(sends("reject").empty());

    // The callee leaves: the caller's entry ends answered.
    emit window->sigRemoveUser("BOB@msg.example/pc7");
    ASSERT_EQ(recents().size(), 1u);
    EXPECT_EQ(recents()[0].calltype, 1);
}

TEST_F(HomeCalls, OutgoingWindowEndsTheCallOnceWhicheverWayItEnds)
{
    // The ring time runs out while a refusal is on show.
    RingingWidget::setRingTimeout(300);
    struct Case {
        const char* name;
        std::function<void(RingingWidget*)> end;
        size_t withdrawals;
        int noAnswerNotices;
    };
    const Case cases[] = {
        {"hang up", [](RingingWidget* w) { w->findChild<QPushButton*>("btnHangup")->click(); }, 1, 0},
        {"title bar", [](RingingWidget* w) { w->close(); }, 1, 0},
        {"busy", [this](RingingWidget*) { ring(kBob, "busy"); }, 0, 0},
        {"refused", [this](RingingWidget*) { ring(kBob, "reject"); }, 0, 0},
        {"unanswered", [](RingingWidget*) {}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sdk.clear();
        Sqlite3::instance()->deleteRecents();
        window->slotRinging("bob", 1, "Bob Martin", 0);
        QPointer<RingingWidget> call = shownWindows<RingingWidget>().first();
        c.end(call);
        // A refusal shows for two seconds, then the window closes by itself.
        ASSERT_TRUE(waitUntil([&] { return !call || !call->isVisible(); }, 4000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(sends("reject").size(), c.withdrawals);
        for (const SdkCall& withdrawal : sends("reject"))
            EXPECT_EQ(withdrawal.args, (Args{"bob", "reject", "", "Bob Martin", "1", "1", "", ""}));
        ASSERT_EQ(recents().size(), 1u);
        EXPECT_EQ(recents()[0].duration, 0);
        EXPECT_EQ(recents()[0].calltype, 1);
        EXPECT_EQ(shownMessageCount(600111), c.noAnswerNotices);
        for (MessageBox* box : shownWindows<MessageBox>())
            box->close();
    }
    RingingWidget::setRingTimeout(RingingWidget::kRingTimeoutMs);
}

TEST(RingTone, CountsPlaysAndNeverDropsBelowZero)
{
    MusicPlayer* player = MusicPlayer::Instance();
    player->play();
    player->play();
    player->stop();
    EXPECT_TRUE(player->isActive());
    player->stop();
    EXPECT_FALSE(player->isActive());
    player->stop();
    EXPECT_EQ(player->count(), 0);
    player->play();
    EXPECT_TRUE(player->isActive());
    player->stop();
}

class HomeForms : public AppTest {};

TEST_F(HomeForms, FailedReservationKeepsItsMeetingIdForTheRetry)
{
    ReservationMeetWidget form("Demo");
    conferences_info meeting;
    meeting.mConferenceId = "C-42";
    meeting.title = "Review";
    meeting.startTime = std::to_string((QDateTime::currentSecsSinceEpoch() + 2 * 86400) * 1000);
    meeting.lengthTime = 5 * 3600 + 15 * 60;
    form.setReservationInfo(&meeting);
    QSignalSpy reserved(&form, &ReservationMeetWidget::sigReserveConferenceSuccess);

    sdk.setResult("ReserveConference", -1);
    form.findChild<QPushButton*>("btnReservationCommit")->click();
    sdk.setResult("ReserveConference", 0);
    form.findChild<QPushButton*>("btnReservationCommit")->click();
    ASSERT_EQ(sdk.count("ReserveConference"), 2);
    for (const SdkCall& call : sdk.calls()) {
        if (call.name == "ReserveConference") {
            EXPECT_NE(std::find(call.args.begin(), call.args.end(), "C-42"), call.args.end());
        }
    }
    EXPECT_EQ(reserved.count(), 1);
}

TEST_F(HomeForms, DefaultSubjectCommitsUnchanged)
{
    ReservationMeetWidget form("Demo User");
    form.findChild<QPushButton*>("btnReservationCommit")->click();
    EXPECT_EQ(sdk.count("ReserveConference"), QTime::currentTime() < QTime(23, 44) ? 1 : 0);
    EXPECT_EQ(shownMessages().size(), QTime::currentTime() < QTime(23, 44) ? 0 : 1);
}

TEST_F(HomeForms, AddContactSearchesAfterAPauseAndAddsOnlyAChosenUser)
{
    AddContactsWidget dialog;
    auto* name = dialog.findChild<QLineEdit*>("edtContactName");
    name->setText("b");
    name->setText("bo");
    name->setText("");
    name->setText("bob");
    EXPECT_EQ(sdk.count("GetSearchContacts"), 0);
    ASSERT_TRUE(waitUntil([&] { return sdk.count("GetSearchContacts") == 1; }));
    EXPECT_EQ(sdk.last("GetSearchContacts").args, (Args{"bob"}));

    conference_contacts answer;
    answer.list.resize(1);
    answer.list[0].mUserId = "U3";
    answer.list[0].userName = "bob";
    dialog.slotGetSearchContacts(answer);
    dialog.findChild<QListWidget*>()->setCurrentRow(0);
    name->setText("bobby");  // typing after the choice drops it
    dialog.findChild<QPushButton*>("btnAddContact")->click();
    EXPECT_EQ(sdk.count("AddContact"), 0);

    dialog.slotGetSearchContacts(answer);
    dialog.findChild<QListWidget*>()->setCurrentRow(0);
    dialog.findChild<QPushButton*>("btnAddContact")->click();
    ASSERT_EQ(sdk.count("AddContact"), 1);
    EXPECT_EQ(sdk.last("AddContact").args, (Args{"U3", "bob"}));
}

TEST_F(HomeForms, ReservationPopupEditsTheMeetingItShows)
{
    makeWindow();
    window->show();
    CGlobalInstance::isLogin = true;
    conferences detailAnswer;
    sdk.onCall = [this](const SdkCall& call) {
        if (call.name == "GetMyConferences" && call.args[3] == "CTA0") {
            conferences list;
            for (const char* id : {"C-1", "C-2"}) {
                conferences_info meeting;
                meeting.mConferenceId = id;
                meeting.title = id;
                meeting.type = "CTA0";
                meeting.startTime = std::to_string((QDateTime::currentSecsSinceEpoch() + 86400) * 1000);
                list.list.push_back(meeting);
            }
            sdk.callback()->onGetMyConferences(200, list);
        }
    };
    window->findChild<QWidget*>("lblReservation")->setFocus();
    QMetaObject::invokeMethod(window->findChild<QObject*>("lblReservation"), "clicked");
    QCoreApplication::processEvents();
    auto* list = window->findChild<QListWidget*>("reservationListWidget");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(sdk.count("GetMyConferences"), 1);

    // Details of C-2 on the reservation popup, then of C-1 on the Meet popup.
    sdk.conferenceDetail.mConferenceId = "C-2";
    sdk.conferenceDetail.title = "Second";
    sdk.conferenceDetail.startTime = std::to_string((QDateTime::currentSecsSinceEpoch() + 86400) * 1000);
    QTest::mouseClick(list->itemWidget(list->item(1)), Qt::LeftButton);
    auto* popup = shownWindows<DetailReservationWidget>().value(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->findChild<QPushButton*>("btnEditMeet")->isVisible());
    popup->findChild<QPushButton*>("btnEditMeet")->click();
    auto* form = shownWindows<ReservationMeetWidget>().value(0);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->findChild<QLineEdit*>("edtMeetSubject")->text(), "Second");
}

TEST_F(HomeForms, StartDayPickerOpensAndAPickMovesTheStartDay)
{
    ReservationMeetWidget form("Demo");
    form.show();
    form.findChild<QToolButton*>("btnCalendar")->click();
    auto* picker = form.findChild<CalendarWidget*>();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
    const QDate day = QDate::currentDate().addDays(3);
    emit picker->sigSelectedDate(day);
    EXPECT_EQ(form.findChild<QLabel*>("lblDateTime")->text(),
              CGlobalInstance::getDataTimeByLanguage(day.startOfDay(), "yyyy-MM-dd dddd"));
    EXPECT_EQ(form.findChild<QComboBox*>("intervalComboBox")->itemText(0), "00:00");
}

TEST_F(HomeForms, MeetPageCalendarOpensUnderTheDateBarAndAPickReloadsThatDay)
{
    makeWindow();
    window->show();
    QMetaObject::invokeMethod(window->findChild<QObject*>("lblMeet"), "clicked");
    window->findChild<QToolButton*>("btnCalendar")->click();
    auto* picker = window->findChild<CalendarWidget*>();
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->isVisible());
    EXPECT_FALSE(picker->isWindow()) << "the picker is drawn inside the main window";
    auto* bar = window->findChild<QWidget*>("timeBar");
    EXPECT_EQ(picker->y(), bar->mapTo(window.get(), QPoint(0, bar->height() - 1)).y());
    EXPECT_GE(picker->height(), 200);

    sdk.clear();
    emit picker->sigSelectedDate(QDate(2025, 2, 3));
    ASSERT_EQ(sdk.count("GetMyConferences"), 3);
    EXPECT_EQ(sdk.last("GetMyConferences").args.at(1), "2025-02-03");
}
