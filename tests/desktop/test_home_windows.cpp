// The home pages' windows with the recording SDK: the ring-call dispatch and
// its call book, the call windows and the ring tone, the recent calls and the
// contacts' presence, the reservation form's edit and retry, the add-contact
// dialog and the details popups.
#include "AppTestSupport.h"

#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>

#include <map>
#include <string>
#include <utility>

#include "Base/contactitem.h"
#include "Base/qbasecontactswidget.h"
#include "Base/recentsitem.h"
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

TEST_F(HomeCalls, IncomingWindowIsTitledWithTheCallerAndTheKindOfCallAsPlainText)
{
    const struct {
        int callType;
        const char* nickname;
        const char* title;
    } cases[] = {
        {1, "Bob Martin", "Bob Martin Audio call"},
        {0, "Bob Martin", "Bob Martin Video call"},
        {2, "Bob Martin", "Bob Martin Video call"},
        // Short enough for the window: longer names are cut short (see the outside-text table).
        {0, "<i>Bo</i> [*]", "<i>Bo</i> [*] Video call"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        RingCallWidget call(kBob, "", c.callType, c.nickname, "");
        call.show();
        auto* label = call.findChild<QLabel*>("lblRingTitle");
        EXPECT_EQ(label->text(), c.title);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        ASSERT_NE(call.windowHandle(), nullptr);
        EXPECT_EQ(call.windowHandle()->title(), c.title) << "as the task bar shows it";
    }
}

TEST_F(HomeCalls, RecentRowsStayWholeBesideTheScrollBar)
{
    window->show();
    QMetaObject::invokeMethod(window->findChild<QObject*>("lblRecents"), "clicked");
    // Calls that end while the window is hidden (in a meeting) add rows too.
    for (int i = 0; i < 20; ++i) {
        RECENTITEM call;
        call.room = "123456789";
        call.userid = QString("user%1").arg(i);
        call.username = QString("User %1").arg(i);
        call.calltype = i % 2;
        window->slotUpdateRecentItem(call);
        if (i == 5)
            window->hide();
        if (i == 15)
            window->show();
    }
    auto* list = window->findChild<QListWidget*>("recentsListWidget");
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->verticalScrollBar()->isVisible());
    const auto rightEdge = [&](QWidget* row, const char* name) {
        auto* part = row->findChild<QWidget*>(name);
        return part->mapTo(list->viewport(), QPoint(part->width() - 1, 0)).x();
    };
    const int viewRight = list->viewport()->rect().right();
    for (int i = 0; i < list->count(); ++i) {
        SCOPED_TRACE(i);
        auto* row = qobject_cast<RecentsItem*>(list->itemWidget(list->item(i)));
        EXPECT_LE(row->mapTo(list->viewport(), QPoint(row->width() - 1, 0)).x(), viewRight);
        EXPECT_LE(rightEdge(row, "lblRecentsInOut"), viewRight);
        // Under the pointer of an online row the call buttons take their place.
        row->isBtnVisible(true);
        row->layout()->activate();
        EXPECT_LE(rightEdge(row, "btnVideo"), viewRight);
    }
}

TEST_F(HomeCalls, RecentRowsShowPresenceWithoutTheContactsPage)
{
    window->show();
    QMetaObject::invokeMethod(window->findChild<QObject*>("lblRecents"), "clicked");
    RECENTITEM call;
    call.room = "123456789";
    call.userid = "Bob";
    call.username = "Bob Martin";
    window->slotUpdateRecentItem(call);
    auto* list = window->findChild<QListWidget*>("recentsListWidget");
    ASSERT_EQ(list->count(), 1);
    auto* row = qobject_cast<RecentsItem*>(list->itemWidget(list->item(0)));
    ASSERT_FALSE(row->isOnline());
    // The contact list the page asked for arrives: Bob is on line.
    conference_contacts contacts;
    conference_contact bob;
    bob.mUserId = "bob";
    bob.userName = "Bob Martin";
    bob.onLine = true;
    contacts.list.push_back(bob);
    emit window->sigGetContacts(contacts);
    EXPECT_TRUE(row->isOnline()) << "the row stays grey until the Contacts page opens";
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

class HomeContacts : public AppTest {
protected:
    // The server's contact list as the fake delivers it on every request.
    std::map<std::string, bool> serverPresence;

    void SetUp() override
    {
        AppTest::SetUp();
        CGlobalInstance::preferences.showOffline = true;
        sdk.onCall = [this](const SdkCall& call) {
            if (call.name != "GetContacts")
                return;
            conference_contacts list;
            for (const auto& [id, online] : serverPresence) {
                conference_contact contact;
                contact.mUserId = id;
                contact.userName = id;
                contact.onLine = online;
                list.list.push_back(contact);
            }
            sdk.callback()->onGetContacts(200, list);
        };
        makeWindow();
        window->show();
    }

    // "drawn online/all" of the rows, and the count the header shows.
    std::pair<std::string, std::string> drawnAndCounted() const
    {
        auto* group = window->findChild<QBaseContactsWidget*>();
        QListWidget* list = group->listWidget();
        int online = 0;
        for (int i = 0; i < list->count(); ++i)
            online += qobject_cast<ContactItem*>(list->itemWidget(list->item(i)))->isOnLine();
        return {QString("%1/%2").arg(online).arg(serverPresence.size()).toStdString(),
                group->findChild<QLabel*>("lblContactsCount")->text().toStdString()};
    }
};

TEST_F(HomeContacts, OnlineCountEqualsTheRowsDrawnOnlineAsPresenceChanges)
{
    serverPresence = {{"alice", true}, {"bob", false}, {"wang", true}};
    QMetaObject::invokeMethod(window->findChild<QObject*>("lblContacts"), "clicked");
    ASSERT_EQ(sdk.count("GetContacts"), 1);
    EXPECT_EQ(drawnAndCounted(), std::make_pair(std::string("2/3"), std::string("2/3")));

    // Bob comes on line: the page reloads.
    serverPresence["bob"] = true;
    emit window->sigPresence("bob", true);
    ASSERT_TRUE(waitUntil([&] { return sdk.count("GetContacts") == 2; }));
    EXPECT_EQ(drawnAndCounted(), std::make_pair(std::string("3/3"), std::string("3/3")));

    // Alice, with a recent call, leaves a meeting with us, on line all the
    // same; Wang goes.
    RECENTITEM call;
    call.userid = "alice";
    call.username = "Alice";
    window->slotUpdateRecentItem(call);
    emit window->sigUpdateRecentItemStatus("alice", false);
    ASSERT_FALSE(CGlobalInstance::getUserOnline("alice"));
    serverPresence["wang"] = false;
    emit window->sigPresence("wang", false);
    ASSERT_TRUE(waitUntil([&] { return sdk.count("GetContacts") == 3; }));
    EXPECT_EQ(drawnAndCounted(), std::make_pair(std::string("2/3"), std::string("2/3")));
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

TEST_F(HomeForms, EditedMeetingCommittedUnchangedKeepsItsStartAndLength)
{
    const QDate day = QDate::currentDate().addDays(2);
    struct Case {
        QTime start;
        unsigned length;
    };
    // Off the quarter hours, on one, and a length with seconds the boxes cannot show.
    const Case cases[] = {{QTime(21, 6), 95 * 60}, {QTime(9, 45), 3600}, {QTime(21, 6, 30), 5 * 3600 + 90}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start.toString().toStdString());
        sdk.clear();
        const qint64 startMs = QDateTime(day, c.start).toMSecsSinceEpoch();
        ReservationMeetWidget form("Demo");
        conferences_info meeting;
        meeting.mConferenceId = "C-7";
        meeting.title = "Review";
        meeting.startTime = std::to_string(startMs);
        meeting.lengthTime = c.length;
        form.setReservationInfo(&meeting);
        form.findChild<QPushButton*>("btnReservationCommit")->click();
        ASSERT_EQ(sdk.count("ReserveConference"), 1);
        EXPECT_EQ(sdk.last("ReserveConference").args,
                  (Args{"Review", std::to_string(startMs), std::to_string(c.length), "C-7"}));
    }
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
