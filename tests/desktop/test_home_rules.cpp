// Rules of the home pages as tables: the start window, row texts, the share
// link, call lengths, the reservation record, the contact order and the
// ring-call words.
#include "DesktopTestUtil.h"
#include "Home/homerules.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <algorithm>
#include <vector>

using namespace home;

TEST(HomeRules, StartWindowOpensNineHundredSecondsBeforeTheStart)
{
    const qint64 now = 1'800'000'000;
    const struct {
        qint64 start;
        bool startable;
    } cases[] = {
        {now + 901, false}, {now + 900, true}, {now, true}, {now - 7200, true}, {now + 86400, false},
        // Starts beyond 2038 stay 64-bit.
        {qint64(4'102'444'800), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(startable(c.start, now), c.startable) << c.start - now;
    EXPECT_EQ(startSeconds("4102444800999"), 4'102'444'800);
    EXPECT_EQ(startSeconds("not a number"), 0);
}

TEST(HomeRules, MeetingRowTimeTextPerTypeAndStatus)
{
    const qint64 startMs = QDateTime(QDate(2026, 3, 4), QTime(9, 5)).toMSecsSinceEpoch();
    const struct {
        const char* type;
        const char* status;
        QString text;
    } cases[] = {
        {"CTF1", "MSD0", "RUN"}, {"CTF1", "MSA0", ""}, {"CTF1", "", ""},
        {"CTA0", "MSD0", "03-04 09:05"}, {"CTOT", "MSA0", "03-04 09:05"}, {"ctf1", "MSD0", "03-04 09:05"},
    };
    for (const auto& c : cases) {
        conferences_info meeting;
        meeting.type = c.type;
        meeting.status = c.status;
        meeting.startTime = std::to_string(startMs);
        EXPECT_EQ(meetingTimeText(meeting, "RUN"), c.text) << c.type << " " << c.status;
    }
}

TEST(HomeRules, ShareLinkCarriesTheBase64OfThePassword)
{
    const struct {
        QString password;
        QString tail;
    } cases[] = {
        {"123456", "MTIzNDU2"},
        {"", "IA=="},             // a single space
        {"密码", "5a+G56CB"},     // UTF-8 bytes
        {"1", "MQ=="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shareLink("conf.example:8443", "10000001", c.password),
                  "https://conf.example:8443/index.html#/meeting/10000001/" + c.tail);
}

TEST(HomeRules, CallLengthAsHoursMinutesSeconds)
{
    const struct {
        int seconds;
        QString text;
    } cases[] = {{3725, "01:02:05"}, {0, "00:00:00"}, {59, "00:00:59"}, {360000, "100:00:00"}, {-5, "00:00:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(durationText(c.seconds), c.text);
}

TEST(HomeRules, SubjectCheckNamesTheFirstRefusedCharacter)
{
    const struct {
        QString subject;
        QChar bad;
    } cases[] = {
        {"Team sync", QChar()},  {"", QChar()},         {"a/b", '/'},           {"50%", '%'},
        {"x\"y", '"'},           {"a\\b", '\\'},        {"问题？", QChar(0xff1f)}, {"ok：", QChar(0xff1a)},
        {"a+b!", '+'},           {"周会　例会", QChar()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(subjectSpecialCharacter(c.subject), c.bad) << c.subject.toStdString();
}

TEST(HomeRules, DefaultSubjectPassesItsOwnCheck)
{
    for (const QString& name : {QString("Demo User"), QString("O'Brien (QA)"), QString("王小明"), QString()}) {
        const QString subject = defaultSubject(name, " Reservation Meeting", 20);
        EXPECT_TRUE(subjectSpecialCharacter(subject).isNull()) << subject.toStdString();
        EXPECT_LE(subject.size(), 20);
    }
}

namespace {

ReservationFields tomorrowAt(const QString& time)
{
    ReservationFields fields;
    fields.subject = "Planning";
    fields.startDay = QDate::currentDate().addDays(1);
    fields.startTime = time;
    fields.hours = 1;
    fields.endDay = fields.startDay.addDays(7);
    fields.randomPassword = "87654321";
    fields.videoNum = "";
    return fields;
}

}  // namespace

TEST(HomeRules, ReservationRecordFromTheFormFields)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 tenThirty = QDateTime(QDate::currentDate().addDays(1), QTime(10, 30)).toMSecsSinceEpoch();
    struct Case {
        const char* name;
        std::function<void(ReservationFields&)> change;
        ReservationError error;
        std::function<void(const reservation_conference&)> check;
    };
    const Case cases[] = {
        {"plain", [](ReservationFields&) {}, ReservationError::None,
         [&](const reservation_conference& r) {
             EXPECT_EQ(r.startTime, tenThirty);
             EXPECT_EQ(r.lengthTime, 3600u);
             EXPECT_EQ(r.cycle, 0u);
             EXPECT_EQ(r.cycleEndDay, 0);
             EXPECT_EQ(r.ownerPassword, "87654321");
             EXPECT_EQ(r.autoRecord, "CRAC");
             EXPECT_EQ(r.videoNum, 0);
         }},
        {"4 h 59 min", [](ReservationFields& f) { f.hours = 4, f.minutes = 59; }, ReservationError::None,
         [](const reservation_conference& r) { EXPECT_EQ(r.lengthTime, 17940u); }},
        {"6 h", [](ReservationFields& f) { f.hours = 6; }, ReservationError::None,
         [](const reservation_conference& r) { EXPECT_EQ(r.lengthTime, 21600u); }},
        {"weekly", [](ReservationFields& f) { f.periodic = true, f.cycleDmy = 1; }, ReservationError::None,
         [&](const reservation_conference& r) {
             EXPECT_EQ(r.cycle, 1u);
             EXPECT_EQ(r.cycleDmy, 1u);
             EXPECT_EQ(r.cycleStart, 10u * 3600 + 30 * 60);
             EXPECT_EQ(r.cycleEndDay, tenThirty + 7LL * 86400 * 1000);
         }},
        {"typed moderator password, trimmed passwords, id kept",
         [](ReservationFields& f) {
             f.moderatorPassword = " 4321 ", f.meetPassword = " 12 ", f.conferenceId = "C-1", f.videoNum = "4";
         },
         ReservationError::None,
         [](const reservation_conference& r) {
             EXPECT_EQ(r.ownerPassword, "4321");
             EXPECT_EQ(r.meetPassword, "12");
             EXPECT_EQ(r.mConferenceId, "C-1");
             EXPECT_EQ(r.videoNum, 4);
         }},
        {"subject", [](ReservationFields& f) { f.subject = "Q&A"; }, ReservationError::SpecialCharacter, {}},
        {"no length", [](ReservationFields& f) { f.hours = 0; }, ReservationError::NoLength, {}},
        {"empty time list", [](ReservationFields& f) { f.startTime.clear(); }, ReservationError::NoStartTime, {}},
        {"past day", [](ReservationFields& f) { f.startDay = QDate::currentDate().addDays(-1); },
         ReservationError::StartPassed, {}},
        {"repetition ends before it starts",
         [](ReservationFields& f) { f.periodic = true, f.endDay = f.startDay.addDays(-1); },
         ReservationError::EndBeforeStart, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReservationFields fields = tomorrowAt("10:30");
        c.change(fields);
        reservation_conference record;
        record.title = "untouched";
        QChar bad;
        ASSERT_EQ(buildReservation(fields, now, record, bad), c.error);
        if (c.check)
            c.check(record);
        else
            EXPECT_EQ(record.title, "untouched");
    }
}

TEST(HomeRules, ContactsSortOnlineFirstThenByBytes)
{
    const auto contact = [](const char* name, bool online) {
        conference_contact c;
        c.userName = name;
        c.onLine = online;
        return c;
    };
    std::vector<conference_contact> list = {
        contact("bob", true), contact("Zed", false), contact("Bob", true), contact("bo", true),
        contact("王", true), contact("amy", false), contact("", true),
    };
    std::sort(list.begin(), list.end(), vectorSort);
    std::vector<std::string> names;
    for (const auto& c : list)
        names.push_back(c.userName);
    EXPECT_EQ(names, (std::vector<std::string>{"", "Bob", "bo", "bob", "王", "Zed", "amy"}));
    EXPECT_FALSE(vectorSort(contact("same", true), contact("same", true)));
}

TEST(HomeRules, RingWordIsTheFirstOfTheListThatTheTypeContains)
{
    const struct {
        const char* type;
        RingWord word;
    } cases[] = {
        {"invite", RingWord::Invite},       {"accept", RingWord::Accept},    {"reject", RingWord::Reject},
        {"busy", RingWord::Busy},           {"join", RingWord::Join},        {"processed", RingWord::Processed},
        {"accept-invite", RingWord::Invite}, {"xxrejectxx", RingWord::Reject}, {"join busy", RingWord::Busy},
        {"", RingWord::None},               {"INVITE", RingWord::None},      {"hangup", RingWord::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ringWord(c.type), c.word) << c.type;
    EXPECT_EQ(bareJid("bob@127.0.0.1/pc-1/x"), "bob@127.0.0.1");
    EXPECT_EQ(bareJid("bob@127.0.0.1"), "bob@127.0.0.1");
    EXPECT_EQ(lowerId("AbC-9"), "abc-9");
}
