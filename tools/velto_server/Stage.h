#pragma once
// What a room shows: the moderator's choices (the stage, its screen flag, the
// layout and the chosen participants) resolved against the members present
// into the "participants" message. Every entry names a member by endpoint and
// by the camera source of its answer (empty for a member without video), so
// that a client finds the stream it is to show. Pure rules, no connections.
#include <json/value.h>

#include <string>
#include <vector>

namespace velto::server {

struct StageChoice {
    std::string stageJid;      // empty: nobody chosen
    bool screen = false;       // the stage shows its screen share
    int splitScreen = 0;       // 0 surround, else tiles
    std::string participants;  // the chosen list ("endpoint" or "polling", comma separated); empty: none
};

struct StageMember {
    std::string jid;
    std::string cameraSsrc;  // empty without video
    std::string screenSsrc;  // empty without a screen share
};

// The "participants" message for `members` (the moderator first, then in order
// of arrival): surround mode puts the stage (the chosen one when present,
// else the first member) in entry 0 and the chosen list's other entries, or
// else everybody else, after it; tiles mode lists the chosen entries or
// everybody. "polling" takes the next member not shown otherwise; members who
// left and repeated entries are dropped. Null when `members` is empty.
Json::Value stageMessage(const StageChoice& choice, const std::vector<StageMember>& members);

// The chosen list with `endpoint` in entry 0: the entry there before takes
// the place `endpoint` had, or is replaced when it had none.
std::string withOnStage(const std::string& participants, const std::string& endpoint);

std::string endpointOf(const std::string& jid);

}  // namespace velto::server
