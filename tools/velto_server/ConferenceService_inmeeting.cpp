// In-meeting operations of ConferenceService: the chair, extension, lock,
// recording, stage and layout, resources, hands and telephone call-out.
#include "ConferenceService.h"

#include "ServiceSupport.h"

#include <algorithm>

namespace velto::server {

Reply ConferenceService::grantAdmin(const Call& call, const Args&)
{
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& target = call.param("j");
    if (target.empty())
        refuse(code::GrantJidNull, "address of the new moderator is empty");
    if (jidUser(target).empty())
        refuse(code::GrantJidIllegal, "address of the new moderator is illegal");
    requireActor(call, call.param("i"));
    requireModerator(meeting, call.param("i"));
    // The granting client hands the chair over by signalling next, which
    // tells the room.
    meeting.moderatorJid = target;
    meeting.grantFrom = upper(call.param("i"));
    return ok();
}

Reply ConferenceService::getModerator(const Call& call, const Args&)
{
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& jid = call.param("j");
    requireJidActor(call, jid);
    const std::string& password = call.param("p");
    if (password.empty())
        refuse(code::ModeratorPasswordNull, "moderator password is empty");
    if (password != meeting.ownerPassword)
        refuse(code::ModeratorPasswordError, "moderator password error");
    meeting.moderatorJid = jid;
    notify({Notice::Kind::ModeratorChanged, meeting.cNumber, {}, {}, jid});
    return ok();
}

Reply ConferenceService::extendConference(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const std::string& userId = call.param("userId");
    requireActor(call, userId);
    unsigned long long minutes = 0;
    if (!readUnsigned(call.param("lengthTime"), kMaxExtendMinutes, minutes) || minutes == 0)
        refuse(code::ExtendTimeIllegal, "extension must be 1 to 60 minutes");
    requireModerator(meeting, userId);
    meeting.liveEndMs += static_cast<std::int64_t>(minutes) * kMinuteMs;
    meeting.lengthSec += static_cast<unsigned>(minutes * 60);
    meeting.warnedMinutes = 0;
    return ok();
}

// --- in-meeting control ------------------------------------------------------------

Reply ConferenceService::lockConference(const Call& call, const Args&)
{
    const std::string& userId = call.param("i");
    requireActor(call, userId);
    Meeting& meeting = requireLiveRoom(call.param("r"));
    const std::string& lock = call.param("l");
    if (lock.empty())
        refuse(code::LockTypeNull, "lock type is empty");
    if (lock != "true" && lock != "false")
        refuse(code::LockTypeIllegal, "lock type must be true or false");
    requireModerator(meeting, userId);
    meeting.locked = lock == "true";
    Json::Value message;
    message["type"] = "control";
    message["control"] = "lock";
    message["value"] = lock;
    notifyRoom(meeting, message);
    return ok();
}

Reply ConferenceService::startRecord(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    Meeting& meeting = requireLiveRoom(args[1], code::RecordNotInProgress);
    requireJidActor(call, call.param("userJid"));
    requireModerator(meeting, user.id);
    const std::string& rule = call.param("rule");
    if (rule.empty())
        refuse(code::RecorderRuleNull, "recording rule is empty");
    if (rule != "recording" && rule != "live")
        refuse(code::RecorderRuleError, "unknown recording rule");
    if (call.param("record").empty())
        refuse(code::RecorderServerNull, "recorder is empty");
    const std::string& roomPassword = call.param("roomPassword");
    if (!meeting.meetPassword.empty() && roomPassword != meeting.meetPassword &&
        roomPassword != meeting.ownerPassword)
        refuse(code::RecordPasswordError, "conference password error");
    if (!meeting.recordingId.empty())
        refuse(code::RecorderExists, "the conference is being recorded");

    Recording recording;
    recording.id = newId();
    recording.userKey = upper(user.id);
    recording.meetingId = meeting.id;
    recording.conferenceNum = meeting.cNumber;
    recording.conferenceTitle = meeting.title;
    recording.rule = rule;
    recording.startSec = clockMs() / 1000;
    meeting.recordingId = recording.id;
    state_.recordings.push_back(recording);
    Json::Value message;
    message["type"] = "record";
    message["jid"] = recorderJid() + "/" + recording.id;
    message["on"] = true;
    notifyRoom(meeting, message);
    return ok(recordingObj(recording));
}

Reply ConferenceService::stopRecord(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    Meeting& meeting = requireLiveRoom(args[1], code::RecordNotInProgress);
    if (call.param("recordJid").empty())
        refuse(code::RecorderJidNull, "recorder address is empty");
    requireJidActor(call, call.param("userJid"));
    requireModerator(meeting, user.id);
    const auto recording = std::find_if(state_.recordings.begin(), state_.recordings.end(),
                                        [&](const Recording& r) { return r.id == meeting.recordingId; });
    if (meeting.recordingId.empty() || recording == state_.recordings.end())
        refuse(code::RecorderNotExist, "the conference is not being recorded");
    recording->endSec = clockMs() / 1000;
    meeting.recordingId.clear();
    Json::Value message;
    message["type"] = "record";
    message["jid"] = recorderJid() + "/" + recording->id;
    message["on"] = false;
    notifyRoom(meeting, message);
    return ok();
}

Reply ConferenceService::myRecords(const Call& call, const Args& args)
{
    const std::string key = upper(requireActor(call, args[0]).id);
    const auto latest = std::find_if(state_.recordings.rbegin(), state_.recordings.rend(),
                                     [&](const Recording& r) { return r.userKey == key; });
    if (latest == state_.recordings.rend())
        refuse(code::RecorderNotExist, "no recordings");
    return ok(recordingObj(*latest));
}

Reply ConferenceService::recordDetails(const Call& call, const Args& args)
{
    const std::string key = upper(requireActor(call, args[0]).id);
    const auto recording = std::find_if(state_.recordings.begin(), state_.recordings.end(), [&](const Recording& r) {
        return r.userKey == key && r.id == args[1];
    });
    if (recording == state_.recordings.end())
        refuse(code::RecorderNotExist, "no such recording");
    return ok(recordingObj(*recording));
}

Reply ConferenceService::setStage(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidActor(call, call.param("userJid"));
    const std::string& screen = call.param("screen");
    if (screen != "true" && screen != "false")
        refuse(code::RequestFailed, "screen must be true or false");
    requireModerator(meeting, user.id);
    meeting.stageJid = call.param("stageJid");
    meeting.stageScreen = screen == "true";
    // The main screen is entry 0 of a chosen list too.
    meeting.participants = withOnStage(meeting.participants, endpointOf(meeting.stageJid));
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::splitScreen(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidActor(call, call.param("userJid"));
    unsigned long long layout = 0;
    if (!readUnsigned(call.param("splitScreen"), 99, layout))
        refuse(code::RequestFailed, "splitScreen must be a layout number");
    requireModerator(meeting, user.id);
    meeting.splitScreen = std::to_string(layout);
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::selectParticipants(const Call& call, const Args& args)
{
    Meeting& meeting = requireLiveRoom(args[0]);
    const User& user = requireJidActor(call, call.param("userJid"));
    const std::string& participants = call.param("participants");
    if (participants.empty())
        refuse(code::ParticipantsRequired, "participants are required");
    requireModerator(meeting, user.id);
    meeting.participants = participants;
    // In surround mode the first entry is the main screen: its member goes on stage.
    const std::string first = participants.substr(0, participants.find(','));
    const auto onStage = std::find_if(meeting.jids.begin(), meeting.jids.end(),
                                      [&](const std::string& jid) { return endpointOf(jid) == first; });
    if (meeting.splitScreen == "0" && onStage != meeting.jids.end() && *onStage != meeting.stageJid) {
        meeting.stageJid = *onStage;
        meeting.stageScreen = false;
    }
    notify({Notice::Kind::Stage, meeting.cNumber, {}, {}, {}});
    return ok();
}

Reply ConferenceService::conferenceResources(const Call& call, const Args&)
{
    requireRoom(call.param("roomNumber"));
    requireJidActor(call, call.param("userJid"));
    Json::Value obj;
    obj["gw"] = gatewayJid();
    obj["record"] = recorderJid();
    return ok(obj);
}

Reply ConferenceService::handsUp(const Call& call, const Args& args)
{
    const std::string& action = args[0];
    if (action != "apply" && action != "agree" && action != "refuse")
        refuse(code::RequestFailed, "action must be apply, agree or refuse");
    Meeting& meeting = requireLiveRoom(args[1]);
    const std::string& jid = call.param("userJid");
    // A hand is raised by its owner; only the moderator agrees or refuses.
    if (action == "apply") {
        requireJidActor(call, jid);
    } else {
        requireJidUser(jid);
        requireModerator(meeting, requireTokenUser(call).id);
    }
    const auto hand = std::find_if(meeting.hands.begin(), meeting.hands.end(),
                                   [&](const Hand& h) { return h.jid == jid; });
    std::string nickname = call.param("nickname");
    if (action == "apply") {
        if (hand == meeting.hands.end())
            meeting.hands.push_back({jid, nickname});
        else
            hand->nickname = nickname;
    } else if (hand != meeting.hands.end()) {
        if (nickname.empty())
            nickname = hand->nickname;
        meeting.hands.erase(hand);
    }
    // The moderator learns of a raised hand; the named user of the answer.
    Json::Value message;
    message["type"] = "handsUp";
    message["action"] = action;
    message["jid"] = jid;
    message["nickname"] = nickname;
    notifyRoom(meeting, message, {meeting.moderatorJid, jid});
    return ok();
}

Reply ConferenceService::callPhone(const Call& call, const Args& args)
{
    const std::string& phone = args[0];
    if (!isPhoneNumber(phone))
        refuse(code::SipNumberError, "not a telephone number");
    requireLiveRoom(call.param("roomNumber"));
    requireJidActor(call, call.param("userJid"));
    if (state_.noCredit)
        refuse(code::NoCredit, "no credit left for calls");
    return ok(Json::Value(phone + "@gateway." + config_.messageServer));
}

}  // namespace velto::server
