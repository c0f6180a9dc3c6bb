#pragma once
// The meeting room's questions and refusals, and the actions on a participant
// that the participant rows and the statistics panel share: a MessageBox built
// from a result code; a question shows OK and Cancel and runs its action on OK
// (with the caller as context object), a refusal shows OK only.

#include <QObject>

#include <functional>
#include <optional>
#include <string>

class MessageBox;

MessageBox* showMeetingQuestion(int code);
MessageBox* showMeetingRefusal(int code);

// The microphone (audio true) or camera switch for participant `jid`. On the
// own entry it toggles the own mute state and returns the new one (or refuses
// with 100004 while the moderator holds that medium); for another participant
// it asks, then requests the opposite of `participantMuted` from the server.
std::optional<bool> switchParticipantMedia(QObject* context, bool audio, const std::string& jid, bool own,
                                           bool participantMuted);
// Hands the moderator role to `jid` after the checks and the question; `done`
// runs when the server accepted.
void transferModerator(QObject* context, const std::string& jid, std::function<void()> done);
// Removes `jid` from the meeting after the question.
void kickOutParticipant(QObject* context, const std::string& jid);
