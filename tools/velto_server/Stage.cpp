#include "Stage.h"

#include "MessageProtocol.h"

#include <algorithm>

namespace velto::server {
namespace {

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

std::string joinList(const std::vector<std::string>& parts)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : ",") + parts[i];
    return text;
}

}  // namespace

std::string endpointOf(const std::string& jid)
{
    const std::size_t slash = jid.rfind('/');
    return slash == std::string::npos ? std::string() : jid.substr(slash + 1);
}

Json::Value stageMessage(const StageChoice& choice, const std::vector<StageMember>& members)
{
    if (members.empty())
        return Json::Value();
    const auto byEndpoint = [&](const std::string& endpoint) -> const StageMember* {
        const auto it = std::find_if(members.begin(), members.end(),
                                     [&](const StageMember& m) { return endpointOf(m.jid) == endpoint; });
        return it == members.end() ? nullptr : &*it;
    };
    const auto chosenStage = std::find_if(members.begin(), members.end(),
                                          [&](const StageMember& m) { return m.jid == choice.stageJid; });
    const StageMember& stage = chosenStage != members.end() ? *chosenStage : members.front();
    const bool surround = choice.splitScreen == 0;

    // Who is shown, in order; polling slots are filled once the named ones are known.
    // (A member named twice is shown at the first place only.)
    std::vector<std::string> wanted = splitList(choice.participants);
    if (wanted.empty()) {
        if (surround)
            wanted.push_back(endpointOf(stage.jid));
        for (const StageMember& m : members)
            wanted.push_back(endpointOf(m.jid));
    } else if (surround) {
        wanted.front() = endpointOf(stage.jid);
    }
    std::vector<const StageMember*> shown;
    const auto isShown = [&](const StageMember* m) { return std::find(shown.begin(), shown.end(), m) != shown.end(); };
    std::vector<std::size_t> polling;  // positions in `shown` still to fill
    for (const std::string& endpoint : wanted) {
        if (endpoint == "polling") {
            polling.push_back(shown.size());
            shown.push_back(nullptr);
            continue;
        }
        const StageMember* m = byEndpoint(endpoint);
        if (m && !isShown(m))
            shown.push_back(m);
    }
    for (const std::size_t slot : polling) {
        const auto next = std::find_if(members.begin(), members.end(), [&](const StageMember& m) { return !isShown(&m); });
        if (next != members.end())
            shown[slot] = &*next;
    }

    std::vector<std::string> entries;
    for (const StageMember* m : shown)
        if (m)
            entries.push_back(endpointOf(m->jid) + "_" + m->cameraSsrc);
    Json::Value message = typed("participants");
    message["stage"] = stage.jid;
    message["screen"] = choice.screen;
    message["ssrc"] = choice.screen ? stage.screenSsrc : stage.cameraSsrc;
    message["splitScreen"] = choice.splitScreen;
    message["participants"] = joinList(entries);
    return message;
}

std::string withOnStage(const std::string& participants, const std::string& endpoint)
{
    std::vector<std::string> parts = splitList(participants);
    if (parts.empty())
        return participants;
    const auto had = std::find(parts.begin() + 1, parts.end(), endpoint);
    if (had != parts.end())
        *had = parts.front();
    parts.front() = endpoint;
    return joinList(parts);
}

}  // namespace velto::server
