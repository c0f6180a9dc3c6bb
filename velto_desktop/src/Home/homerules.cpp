#include "homerules.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace home {

qint64 startSeconds(const std::string& startTimeMs)
{
    bool ok = false;
    const qint64 ms = QString::fromStdString(startTimeMs).trimmed().toLongLong(&ok);
    return ok ? ms / 1000 : 0;
}

bool startable(qint64 startSecs, qint64 nowSecs) { return startSecs - nowSecs <= kStartWindowSeconds; }

QString meetingTimeText(const conferences_info& meeting, const QString& runningText)
{
    if (meeting.type == "CTF1")
        return meeting.status == "MSD0" ? runningText : QString();
    return QDateTime::fromSecsSinceEpoch(startSeconds(meeting.startTime)).toString("MM-dd hh:mm");
}

QString shareLink(const QString& server, const QString& number, const QString& password)
{
    const QString sent = password.isEmpty() ? QStringLiteral(" ") : password;
    return "https://" + server + "/index.html#/meeting/" + number + "/" +
           QString::fromLatin1(sent.toUtf8().toBase64());
}

QString durationText(int seconds)
{
    seconds = std::max(seconds, 0);
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

namespace {

// The characters the subject check refuses (space and ideographic space are
// allowed between words).
const QString& specialCharacters()
{
    static const QString set = QString::fromUtf8(
        "`~!@#$^&*()=|{}':;,<>/?"
        "\xEF\xBC\x81\xEF\xBF\xA5\xE2\x80\xA6\xEF\xBC\x88\xEF\xBC\x89\xE2\x80\x94\xE3\x80\x90\xE3\x80\x91"
        "\xE2\x80\x98\xEF\xBC\x9B\xEF\xBC\x9A\xE2\x80\x9D\xE2\x80\x9C\xE3\x80\x82\xEF\xBC\x8C\xE3\x80\x81"
        "\xEF\xBC\x9F%+\"\\");
    return set;
}

qint64 localMs(const QDate& day, const QString& hhmm)
{
    const QDateTime when = QDateTime::fromString(day.toString("yyyy-MM-dd") + " " + hhmm, "yyyy-MM-dd hh:mm");
    return when.isValid() ? when.toMSecsSinceEpoch() : -1;
}

}  // namespace

QChar subjectSpecialCharacter(const QString& subject)
{
    for (QChar c : subject)
        if (specialCharacters().contains(c))
            return c;
    return QChar();
}

QString defaultSubject(const QString& displayName, const QString& suffix, int maxLength)
{
    QString name;
    for (QChar c : displayName)
        if (!specialCharacters().contains(c))
            name += c;
    return (name.trimmed() + suffix).left(maxLength);
}

ReservationError buildReservation(const ReservationFields& fields, qint64 nowMs, reservation_conference& out,
                                  QChar& bad)
{
    const QString subject = fields.subject.trimmed();
    bad = subjectSpecialCharacter(subject);
    if (!bad.isNull())
        return ReservationError::SpecialCharacter;
    const qint64 start = localMs(fields.startDay, fields.startTime);
    if (fields.startTime.isEmpty() || start < 0)
        return ReservationError::NoStartTime;
    const int length = fields.hours * 3600 + fields.minutes * 60;
    if (length <= 0)
        return ReservationError::NoLength;
    if (start < nowMs)
        return ReservationError::StartPassed;

    reservation_conference record;
    if (fields.periodic) {
        const QStringList parts = fields.startTime.split(':');
        record.cycle = 1;
        record.cycleDmy = unsigned(std::clamp(fields.cycleDmy, 0, 2));
        record.cycleStart = unsigned(parts.value(0).toInt() * 3600 + parts.value(1).toInt() * 60);
        record.cycleEndDay = localMs(fields.endDay, fields.startTime);
        if (record.cycleEndDay < start)
            return ReservationError::EndBeforeStart;
    }
    record.title = subject.toStdString();
    record.startTime = start;
    record.lengthTime = unsigned(length);
    record.autoRecord = fields.autoRecord ? "CRAO" : "CRAC";
    const QString moderator = fields.moderatorPassword.trimmed();
    record.ownerPassword = (moderator.isEmpty() ? fields.randomPassword : moderator).toStdString();
    record.meetPassword = fields.meetPassword.trimmed().toStdString();
    record.mConferenceId = fields.conferenceId;
    record.videoNum = fields.videoNum.isEmpty() ? 0 : fields.videoNum.toInt();
    out = record;
    return ReservationError::None;
}

RingWord ringWord(const std::string& type)
{
    static const std::pair<const char*, RingWord> words[] = {
        {"invite", RingWord::Invite}, {"accept", RingWord::Accept}, {"reject", RingWord::Reject},
        {"busy", RingWord::Busy},     {"join", RingWord::Join},     {"processed", RingWord::Processed},
    };
    for (const auto& [word, value] : words)
        if (type.find(word) != std::string::npos)
            return value;
    return RingWord::None;
}

std::string bareJid(const std::string& jid) { return jid.substr(0, jid.find('/')); }

std::string lowerId(std::string id)
{
    for (char& c : id)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return id;
}

}  // namespace home

bool vectorSort(const conference_contact& a, const conference_contact& b)
{
    if (a.onLine != b.onLine)
        return a.onLine;
    const size_t shorter = std::min(a.userName.size(), b.userName.size());
    const int byBytes = std::memcmp(a.userName.data(), b.userName.data(), shorter);
    if (byBytes != 0)
        return byBytes < 0;
    return a.userName.size() < b.userName.size();
}
