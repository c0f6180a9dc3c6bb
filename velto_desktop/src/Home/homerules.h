#pragma once
// Text and record rules of the home pages, the reservation form and the ring
// calls. QtCore only, so they are tested as tables without a display.

#include <QChar>
#include <QDate>
#include <QString>

#include <cstdint>
#include <string>

#include "VeltoInterface.h"

namespace home {

// Seconds before its start from which a meeting may be started.
inline constexpr qint64 kStartWindowSeconds = 900;

// Start time of a meeting record (milliseconds as decimal text) in seconds;
// 0 for text that is no number.
qint64 startSeconds(const std::string& startTimeMs);
// Whether a meeting that starts at startSecs may be started at nowSecs.
bool startable(qint64 startSecs, qint64 nowSecs);

// Time text of a meeting row: "MM-dd hh:mm" of the start, or for the
// personal room `runningText` while it runs and nothing otherwise.
QString meetingTimeText(const conferences_info& meeting, const QString& runningText);

// "https://<server>/index.html#/meeting/<number>/<Base64 of the password>";
// an empty password is sent as a single space.
QString shareLink(const QString& server, const QString& number, const QString& password);

// "hh:mm:ss" of a call's length.
QString durationText(int seconds);

// The first character of a meeting subject that the server's pages cannot
// carry, or a null QChar. Spaces between words are allowed.
QChar subjectSpecialCharacter(const QString& subject);
// The default subject made of a display name: the name without those
// characters, followed by `suffix`, cut to `maxLength`.
QString defaultSubject(const QString& displayName, const QString& suffix, int maxLength);

// The reservation form's fields as the user left them.
struct ReservationFields {
    QString subject;
    QDate startDay;
    QString startTime;  // "hh:mm" from the start-time list; empty when the list is
    int hours = 0;
    int minutes = 0;
    bool periodic = false;
    int cycleDmy = 0;  // 0 daily, 1 weekly, 2 monthly
    QDate endDay;
    QString meetPassword;
    QString moderatorPassword;  // empty: `randomPassword` is used
    QString randomPassword;
    bool autoRecord = false;
    QString videoNum;
    std::string conferenceId;
};

enum class ReservationError { None, SpecialCharacter, NoStartTime, NoLength, StartPassed, EndBeforeStart };

// Builds the record that the form sends. `nowMs` is the current time; a start
// before it, and a repetition that ends before its first meeting, are refused.
// `bad` receives the offending character of a subject.
ReservationError buildReservation(const ReservationFields& fields, qint64 nowMs, reservation_conference& out,
                                  QChar& bad);

// Ring-call message words, in the order in which a received type is tested.
enum class RingWord { None, Invite, Accept, Reject, Busy, Join, Processed };
RingWord ringWord(const std::string& type);
// The address up to its first "/" (the whole text when there is none).
std::string bareJid(const std::string& jid);
// ASCII lower case, byte by byte: user ids are stored and compared that way.
std::string lowerId(std::string id);

}  // namespace home

// Order of the contact list: online first, then names by unsigned bytes, a
// prefix before the longer name.
bool vectorSort(const conference_contact& a, const conference_contact& b);
