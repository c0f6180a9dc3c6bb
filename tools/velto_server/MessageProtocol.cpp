#include "MessageProtocol.h"

#include "JsonText.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace velto::server {

const std::vector<Shape>& shapes()
{
    static const std::vector<Shape> table = {
        {"connect", "ConnectToServer", {{"user", 's'}, {"domain", 's'}, {"endpoint", 's'}}},
        {"join", "JoinConferenceRoom", {{"jid", 's'}, {"room", 's'}, {"nick", 's'}}},
        {"leave", "LeaveConferenceRoom", {}},
        {"bye", "Disconnect", {}},
        {"ping", "SendPing", {}},
        {"secondAnswer", "SendSecondStreamAnswer", {{"label", 's'}, {"sdp", 's'}}},
        {"removeSecondSession", "RemoveSecondStreamSession", {{"label", 's'}}},
        {"removeSecondSource", "RemoveSecondStreamSource", {{"label", 's'}}},
        {"answer", "SendAnswer", {{"sdp", 's'}}},
        {"presence", "SendPresence",
         {{"presenceType", 'i'}, {"userId", 's'}, {"userName", 's'}, {"role", 's'}, {"audioMute", 'b'},
          {"videoMute", 'b'}, {"audioSendBitrate", 's'}, {"audioRecvBitrate", 's'}, {"videoSendBitrate", 's'},
          {"videoRecvBitrate", 's'}, {"packetLoss", 's'}}},
        {"ice", "SendIceCandidate",
         {{"candidate", 's'}, {"sdpMLineIndex", 'i'}, {"sdpMid", 's'}, {"ufrag", 's'}, {"component", 's'},
          {"protocol", 's'}}},
        {"grantAdmin", "SendGrantAdmin", {{"jid", 's'}}},
        {"sipCall", "SipCall", {{"gateway", 's'}, {"number", 's'}, {"password", 's'}}},
        {"sipHangUp", "SipHangUp", {{"gateway", 's'}, {"target", 's'}}},
        {"audioMute", "SendAudioMuteTo", {{"jid", 's'}, {"mute", 'b'}}},
        {"videoMute", "SendVideoMuteTo", {{"jid", 's'}, {"mute", 'b'}}},
        {"kick", "SendKick", {{"jid", 's'}}},
        {"ring", "SendRing",
         {{"to", 's'}, {"ringType", 's'}, {"room", 's'}, {"nickname", 's'}, {"callType", 'i'}, {"isCaller", 'i'},
          {"time", 's'}, {"meetPassword", 's'}}},
        {"whiteboard", "SendWhiteboardData", {{"action", 's'}, {"kind", 's'}, {"body", 's'}}},
        {"annotate", "SendAnnotateData", {{"action", 's'}, {"kind", 's'}, {"body", 's'}, {"target", 's'}}},
        {"chat", "SendGroupMessage", {{"nickname", 's'}, {"message", 's'}}},
    };
    return table;
}

bool readFields(const Shape& shape, const Json::Value& message, std::vector<std::string>& args)
{
    for (const auto& [name, kind] : shape.fields) {
        const Json::Value& value = message[name];
        if (kind == 's' && value.isString())
            args.push_back(value.asString());
        else if (kind == 'i' && value.isInt())
            args.push_back(std::to_string(value.asInt()));
        else if (kind == 'b' && value.isBool())
            args.push_back(value.asBool() ? "true" : "false");
        else
            return false;
    }
    if (std::string(shape.type) != "presence")
        return true;
    const Json::Value& media = message["media"];
    if (!media.isArray())
        return false;
    for (const Json::Value& entry : media) {
        if (!entry.isObject())
            return false;
        for (const char* name : {"label", "kind", "bitrate"}) {
            if (!entry[name].isString())
                return false;
            args.push_back(entry[name].asString());
        }
    }
    return true;
}

std::vector<Source> missingFrom(const std::vector<Source>& list, const std::vector<Source>& other)
{
    std::vector<Source> missing;
    for (const Source& s : list)
        if (std::find(other.begin(), other.end(), s) == other.end())
            missing.push_back(s);
    return missing;
}

Json::Value sourcesJson(const std::vector<Source>& sources)
{
    Json::Value out(Json::arrayValue);
    for (const Source& s : sources) {
        Json::Value entry;
        entry["ssrc"] = s.ssrc;
        entry["cname"] = s.cname;
        entry["streamLabel"] = s.streamLabel;
        entry["trackLabel"] = s.trackLabel;
        entry["kind"] = s.kind;
        entry["owner"] = s.owner;
        out.append(entry);
    }
    return out;
}

long long kbits(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return value > 0 ? std::min(value, 1LL << 40) : 0;
}

int clamped(long long value)
{
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

bool sameUserId(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool drawingData(const std::string& action, const std::string& kind, const std::string& body, std::string& data)
{
    if (action != "message") {
        data = kind;
        return true;
    }
    Json::Value message(Json::objectValue);
    if (!body.empty() && (!parseJson(body, message) || !message.isObject()))
        return false;
    Json::Value root;
    root["type"] = kind;
    root["message"] = message;
    data = toJsonText(root);
    return true;
}

Json::Value typed(const char* type)
{
    Json::Value message;
    message["type"] = type;
    return message;
}

}  // namespace velto::server
