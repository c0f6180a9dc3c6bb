// Meetings and reservations of ConferenceService: create or join, the
// meeting list, reservations booked, changed, shown and deleted.
#include "ConferenceService.h"

#include "ServiceSupport.h"

#include <algorithm>

namespace velto::server {

Reply ConferenceService::createOrJoin(const Call& call, const Args&)
{
    const std::string& jid = call.param("j");
    const std::string& room = call.param("r");
    const std::string& password = call.param("p");
    const std::string& ownerPassword = call.param("op");
    // Only as oneself: an address of the token's user.
    User& user = requireJidActor(call, jid);

    // No room number: the user's own room, as an instant meeting.
    if (room.empty() && user.personalMeetingId.empty())
        refuse(code::ConferenceNumberNull, "anonymous users have no room of their own");
    Meeting& meeting = room.empty() ? state_.meetings.at(user.personalMeetingId) : requireRoom(room);

    const std::string key = upper(user.id);
    const bool owner = key == meeting.ownerKey;
    if (!ownerPassword.empty() && ownerPassword != meeting.ownerPassword)
        refuse(code::ModeratorPasswordError, "moderator password error");
    const bool claimsModerator = owner || !ownerPassword.empty();
    if (!claimsModerator) {
        if (isLive(meeting) && meeting.locked)
            refuse(code::ConferenceLocked, "conference is locked");
        if (!meeting.meetPassword.empty() && password != meeting.meetPassword &&
            password != meeting.ownerPassword)
            refuse(code::ConferencePasswordError, "conference password error");
    }

    if (!isLive(meeting)) {
        const std::int64_t now = clockMs();
        if (meeting.type == "CTF1") {
            startLive(meeting, now + kPersonalRoomRunMs);
        } else {
            const std::int64_t lengthMs = meeting.lengthSec * 1000LL;
            const auto starts = occurrences(meeting);
            const auto next = std::find_if(starts.begin(), starts.end(),
                                           [&](std::int64_t start) { return start + lengthMs > now; });
            if (next == starts.end())
                refuse(code::ConferenceEnded, "conference has ended");
            if (now < *next - kEarlyEntryMs)
                refuse(code::TooEarly, "conference opens 15 minutes before its start");
            startLive(meeting, *next + lengthMs);
        }
    }

    // The owner always takes the chair; a correct moderator password takes a free one.
    if (owner || (claimsModerator && (meeting.moderatorJid.empty() ||
                                      upper(jidUser(meeting.moderatorJid)) == key)))
        meeting.moderatorJid = jid;
    if (std::find(meeting.jids.begin(), meeting.jids.end(), jid) == meeting.jids.end())
        meeting.jids.push_back(jid);
    return ok(joinObj(meeting, jid));
}

Reply ConferenceService::listConferences(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    const std::string& countText = call.param("count");
    unsigned long long count = 0;
    unsigned long long page = 0;
    if (countText.empty())
        refuse(code::CountNull, "count is empty");
    if (!readUnsigned(countText, 1000000, count))
        refuse(code::CountNotNumber, "count must be a number");
    if (!readUnsigned(call.param("page"), 1000000, page) || page == 0)
        refuse(code::PageNotNumber, "page must be a number from 1");
    const std::string& date = call.param("date");
    if (!date.empty() && !isValidDay(date))
        refuse(code::DateIllegal, "date must be yyyy-MM-dd");
    const std::string& type = call.param("type");
    const std::string& statusFilter = call.param("status");
    const std::string& search = call.param("search");

    // With a status filter the date means "from this day on" (the reservation
    // list), without one "on this day" (the day's meetings).
    const auto onDate = [&](const Meeting& meeting) {
        if (date.empty() || meeting.type == "CTF1")
            return true;
        for (const std::int64_t start : occurrences(meeting)) {
            const std::string day = localDay(start);
            if (statusFilter.empty() ? day == date : day >= date)
                return true;
        }
        return false;
    };

    const std::string key = upper(user.id);
    std::vector<const Meeting*> found;
    for (const auto& [id, meeting] : state_.meetings) {
        if (std::find(meeting.memberKeys.begin(), meeting.memberKeys.end(), key) == meeting.memberKeys.end())
            continue;
        if ((!type.empty() && meeting.type != type) || (!statusFilter.empty() && status(meeting) != statusFilter))
            continue;
        if (!onDate(meeting))
            continue;
        if (!search.empty() && !containsNoCase(meeting.title, search) &&
            meeting.cNumber.find(search) == std::string::npos)
            continue;
        found.push_back(&meeting);
    }
    std::sort(found.begin(), found.end(), [](const Meeting* a, const Meeting* b) {
        return a->startMs != b->startMs ? a->startMs < b->startMs : a->cNumber < b->cNumber;
    });

    // count 0 asks for every meeting; otherwise one page of `count`.
    std::size_t from = 0;
    std::size_t to = found.size();
    if (count > 0) {
        from = std::min<std::size_t>(found.size(), (page - 1) * count);
        to = std::min<std::size_t>(found.size(), from + count);
    }
    Reply reply = ok(Json::Value(Json::arrayValue));
    reply.msg = std::to_string(found.size());
    for (std::size_t i = from; i < to; ++i)
        reply.obj.append(meetingObj(*found[i], key));
    return reply;
}

Reply ConferenceService::bookConference(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    const std::string key = upper(user.id);
    const Json::Value body = bodyObject(call);

    const Json::Value& users = body["mConferenceUsers"];
    if (!users.isArray() || users.empty())
        refuse(code::ParticipantsRequired, "participants are required");
    std::vector<std::string> members{key};
    for (const Json::Value& entry : users) {
        if (!entry.isObject())
            refuse(code::ParticipantsRequired, "participants must be objects");
        const std::string member = upper(requireUser(bodyText(entry, "mUserId")).id);
        if (std::find(members.begin(), members.end(), member) == members.end())
            members.push_back(member);
    }

    Meeting draft;
    draft.title = bodyText(body, "title");
    if (draft.title.empty())
        refuse(code::RequestFailed, "title is empty");
    draft.startMs = bodyTimeMs(body, "startTime");
    draft.lengthSec = bodyUInt(body, "lengthTime", 7 * 24 * 3600);
    if (draft.lengthSec == 0)
        refuse(code::RequestFailed, "lengthTime must be positive");
    draft.number = bodyUInt(body, "number", 1000);
    draft.meetPassword = bodyText(body, "meetPassword");
    draft.ownerPassword = bodyText(body, "ownerPassword");
    draft.cycle = bodyUInt(body, "cycle", 1);
    draft.cycleDmy = bodyUInt(body, "cycleDmy", 2);
    draft.cycleStart = bodyUInt(body, "cycleStart", 24 * 3600 - 1);
    if (draft.cycle)
        draft.cycleEndDayMs = bodyTimeMs(body, "cycleEndDay");
    const std::string autoRecord = bodyText(body, "autoRecord");
    if (!autoRecord.empty() && autoRecord != "CRAO" && autoRecord != "CRAC")
        refuse(code::RequestFailed, "autoRecord must be CRAO or CRAC");
    draft.autoRecord = autoRecord.empty() ? "CRAC" : autoRecord;
    const Json::Value& videoNum = body["videoNum"];
    if (!videoNum.isNull() && (!videoNum.isInt() || videoNum.asInt() < 0 || videoNum.asInt() > kMaxVideoNum))
        refuse(code::VideoNumberTooLarge, "videoNum is at most 9");
    draft.videoNum = videoNum.isNull() ? 0 : videoNum.asInt();

    const std::int64_t now = clockMs();
    const std::int64_t lastStart = draft.cycle ? draft.cycleEndDayMs : draft.startMs;
    if (lastStart < draft.startMs || lastStart + draft.lengthSec * 1000LL <= now)
        refuse(code::EndsInThePast, "the conference would end in the past");

    const std::string id = bodyText(body, "mConferenceId");
    if (id.empty()) {
        draft.type = "CTA0";
        draft.ownerKey = key;
        draft.memberKeys = std::move(members);
        draft.createMs = draft.updateMs = now;
        draft.cNumber = newRoomNumber();
        return ok(meetingObj(addMeeting(std::move(draft)), key));
    }

    Meeting& meeting = requireMeeting(id);
    if (meeting.type == "CTF1")
        refuse(code::NotReserved, "a personal room is not a reservation");
    if (meeting.ownerKey != key)
        refuse(code::NoAuthority, "only the owner changes a reservation");
    if (isLive(meeting) || (!meeting.cycle && now >= meeting.startMs))
        refuse(code::AlreadyBegun, "the conference has begun");
    draft.id = meeting.id;
    draft.cNumber = meeting.cNumber;
    draft.type = meeting.type;
    draft.ownerKey = meeting.ownerKey;
    draft.memberKeys = std::move(members);
    draft.createMs = meeting.createMs;
    draft.updateMs = now;
    meeting = std::move(draft);
    return ok(meetingObj(meeting, key));
}

Reply ConferenceService::conferenceDetail(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[1]);
    return ok(meetingObj(requireMeeting(args[0]), upper(user.id)));
}

Reply ConferenceService::deleteConference(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[1]);
    Meeting& meeting = requireMeeting(args[0]);
    if (meeting.type == "CTF1")
        refuse(code::NotReserved, "a personal room cannot be deleted");
    if (meeting.ownerKey != upper(user.id))
        refuse(code::NoAuthority, "only the owner deletes a reservation");
    if (isLive(meeting))
        refuse(code::AlreadyBegun, "the conference is running");
    state_.rooms.erase(meeting.cNumber);
    state_.meetings.erase(meeting.id);
    return ok();
}

}  // namespace velto::server
