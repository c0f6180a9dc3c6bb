#include "RtcClient.h"

#include "LogText.h"

#include <json/json.h>

#include <iostream>

namespace velto_rtc {
namespace {

std::string toText(const Json::Value& value)
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, value);
}

// Text from the server or from other users, fit for one log line: bytes
// outside printable ASCII and the backslash as \xNN.
std::string printable(const std::string& text) { return velto_platform::escapedForLog(text, text.size()); }

// Requests sent without waiting whose answer has not come: beyond this many
// (a server that stopped answering) the oldest are no longer watched.
constexpr std::size_t kUnansweredKept = 4096;

Json::Value messageOf(const char* type, std::initializer_list<std::pair<const char*, Json::Value>> members)
{
    Json::Value message;
    message["type"] = type;
    for (const auto& [name, value] : members)
        message[name] = value;
    return message;
}

// The login's key to the message server: the credential of its TURN server.
std::string secretOf(const conference_login_info& login)
{
    for (const ice_server& server : login.iceServers)
        if (!server.credential.empty())
            return server.credential;
    return std::string();
}

}  // namespace

RtcClient::~RtcClient()
{
    Disconnect();
    SetCallback(nullptr);
}

void RtcClient::SetCallback(VeltoRtcCallback* callback)
{
    callback_ = callback;  // events that start from now on see the new one
    waitForRunningEvent();
}

void RtcClient::waitForRunningEvent()
{
    if (!loop_.isLoopThread()) {
        std::lock_guard<std::mutex> wait(eventMutex_);
    }
}

void RtcClient::deliver(Event event)
{
    loop_.post([this, event = std::move(event)] {
        std::lock_guard<std::mutex> running(eventMutex_);
        if (VeltoRtcCallback* callback = callback_.load())
            event(*callback);
    });
}

void RtcClient::received(std::uint64_t generation, const std::string& text)
{
    Incoming in = DecodeServerMessage(text);
    std::string refused;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (generation != generation_)
            return;
        switch (in.kind) {
        case Incoming::Kind::Answer: {
            if (in.id == ping_)
                ping_ = 0;
            const auto it = answers_.find(in.id);
            if (it != answers_.end()) {
                it->second = {true, in.ok, in.jid};
                answered_.notify_all();
            } else if (const auto sent = unanswered_.find(in.id); sent != unanswered_.end()) {
                if (!in.ok)
                    refused = sent->second + (in.error.empty() ? "" : ": " + printable(in.error));
                unanswered_.erase(sent);
            }
            break;
        }
        case Incoming::Kind::Event:
            deliver(std::move(in.event));
            break;
        case Incoming::Kind::None:
            break;
        }
    }
    if (in.kind == Incoming::Kind::None)
        std::cerr << "VeltoRtcSdk: dropped a message the client does not understand" << std::endl;
    else if (!refused.empty())
        std::cerr << "VeltoRtcSdk: the message server refused " << refused << std::endl;
}

void RtcClient::lost(std::uint64_t generation)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_ || !up_)
        return;
    // Nobody waits for an answer on a connection that is gone (a refused
    // connect is closed by the server, and its goodbye would wait in vain).
    up_ = false;
    answered_.notify_all();
    if (accepted_ && !leaving_)
        deliver([](VeltoRtcCallback& cb) { cb.onNetworkError(); });
}

std::uint64_t RtcClient::sendLocked(Json::Value message)
{
    const std::uint64_t id = ++nextId_;
    message["id"] = Json::UInt64(id);
    link_->send(toText(message));
    return id;
}

int RtcClient::request(Json::Value message, std::chrono::milliseconds timeout, std::string* jid)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!up_)
        return -1;
    const std::uint64_t generation = generation_;
    const std::uint64_t id = sendLocked(std::move(message));
    answers_[id];
    answered_.wait_for(lock, timeout, [&] { return answers_[id].done || !up_ || generation != generation_; });
    const Answer answer = answers_[id];
    answers_.erase(id);
    if (jid)
        *jid = answer.jid;
    return answer.done && answer.ok ? 0 : -1;
}

int RtcClient::request(const char* type, std::initializer_list<std::pair<const char*, Json::Value>> members)
{
    return request(messageOf(type, members));
}

int RtcClient::send(const char* type, std::initializer_list<std::pair<const char*, Json::Value>> members,
                    const std::string& target)
{
    Json::Value message = messageOf(type, members);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!up_)
        return -1;
    const std::uint64_t id = sendLocked(std::move(message));
    unanswered_.emplace(id, target.empty() ? std::string(type) : std::string(type) + " for " + printable(target));
    if (unanswered_.size() > kUnansweredKept)
        unanswered_.erase(unanswered_.begin());
    return 0;
}

int RtcClient::ConnectToServer(const std::string& messageServer, const std::string& port, const std::string& userId,
                               const std::string& domain, const std::string& endpoint,
                               const conference_login_info& login)
{
    dropLink();  // a new connection replaces the old one
    if (messageServer.empty() || port.empty() || userId.empty() || domain.empty() || endpoint.empty())
        return -1;

    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = ++generation_;
    }
    auto link = std::make_unique<WsLink>([this, generation](std::string text) { received(generation, text); },
                                         [this, generation] { lost(generation); });
    const std::string failure = link->open(messageServer, port, kConnectTimeout);
    if (!failure.empty()) {
        std::cerr << "VeltoRtcSdk: cannot reach the message server " << printable(messageServer) << ":"
                  << printable(port) << ": " << failure << std::endl;
        return -1;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        link_ = std::move(link);
        up_ = true;
        leaving_ = false;
    }
    Json::Value hello;
    hello["type"] = "connect";
    hello["user"] = userId;
    hello["domain"] = domain;
    hello["endpoint"] = endpoint;
    hello["secret"] = secretOf(login);
    std::string jid;
    if (request(std::move(hello), kConnectTimeout, &jid) != 0) {
        std::cerr << "VeltoRtcSdk: the message server refused " << printable(userId) << "/" << printable(endpoint)
                  << std::endl;
        dropLink();
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    jid_ = jid;
    accepted_ = true;
    return 0;
}

bool RtcClient::dropLink()
{
    bool wasUp = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasUp = up_;
        leaving_ = true;  // the server ends the connection after its answer: no network error
    }
    // The server forgets us before we go, so nobody sees a ghost.
    if (wasUp)
        request("bye", {});
    std::unique_ptr<WsLink> link;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        link = std::move(link_);
        up_ = false;
        accepted_ = false;
        ++generation_;
        jid_.clear();
        unanswered_.clear();
        ping_ = 0;
        answered_.notify_all();
    }
    if (link)
        link->close();
    return link != nullptr;
}

int RtcClient::JoinConferenceRoom(const std::string& myJid, const std::string& roomJid, const std::string& userName,
                                  const conference_join_info& join)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (myJid != jid_ || roomJid.empty())
            return -1;
    }
    return request("join", {{"jid", myJid}, {"room", roomJid}, {"nick", userName}, {"focus", join.focusJid}});
}

int RtcClient::LeaveConferenceRoom()
{
    return send("leave", {});
}

int RtcClient::Disconnect()
{
    const int result = dropLink() ? 0 : -1;
    // Nothing of the old connection is delivered after this returns.
    loop_.clear();
    waitForRunningEvent();
    return result;
}

int RtcClient::SendPing()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!up_)
        return -1;
    // One ping on its way at a time. One left unanswered for as long as a
    // request may take means the server has stopped answering; the next ping
    // starts afresh.
    if (ping_ != 0) {
        if (std::chrono::steady_clock::now() - pingSent_ < kAnswerTimeout)
            return 0;
        ping_ = 0;
        return -1;
    }
    ping_ = sendLocked(messageOf("ping", {}));
    pingSent_ = std::chrono::steady_clock::now();
    return 0;
}

int RtcClient::SendSecondStreamAnswer(const std::string& label, const std::string& sdp)
{
    return send("secondAnswer", {{"label", label}, {"sdp", sdp}}, label);
}

int RtcClient::RemoveSecondStreamSession(const std::string& label)
{
    return send("removeSecondSession", {{"label", label}}, label);
}

int RtcClient::RemoveSecondStreamSource(const std::string& label)
{
    return request("removeSecondSource", {{"label", label}});
}

int RtcClient::SendAnswer(const std::string& sdp)
{
    return send("answer", {{"sdp", sdp}});
}

int RtcClient::SendPresence(const presence_info& presence, int type)
{
    Json::Value media(Json::arrayValue);
    for (const presence_info_media& m : presence.media) {
        Json::Value entry;
        entry["label"] = m.label;
        entry["kind"] = m.kind;
        entry["bitrate"] = m.bitrate;
        media.append(entry);
    }
    return send("presence", {{"presenceType", type},
                             {"userId", presence.mUserId},
                             {"userName", presence.mUserName},
                             {"role", presence.role},
                             {"audioMute", presence.audioMute},
                             {"videoMute", presence.videoMute},
                             {"audioSendBitrate", presence.audioSendBitrate},
                             {"audioRecvBitrate", presence.audioRecvBitrate},
                             {"videoSendBitrate", presence.videoSendBitrate},
                             {"videoRecvBitrate", presence.videoRecvBitrate},
                             {"packetLoss", presence.packetLoss},
                             {"media", media}});
}

int RtcClient::SendIceCandidate(const std::string& candidate, int sdpMLineIndex, const std::string& sdpMid,
                                const std::string& ufrag, const std::string& component, const std::string& protocol)
{
    return send("ice", {{"candidate", candidate},
                        {"sdpMLineIndex", sdpMLineIndex},
                        {"sdpMid", sdpMid},
                        {"ufrag", ufrag},
                        {"component", component},
                        {"protocol", protocol}});
}

int RtcClient::SendGrantAdmin(const std::string& jid)
{
    return request("grantAdmin", {{"jid", jid}});
}

int RtcClient::SipCall(const std::string& gateway, const std::string& number, const std::string& password)
{
    return send("sipCall", {{"gateway", gateway}, {"number", number}, {"password", password}}, number);
}

int RtcClient::SipHangUp(const std::string& gateway, const std::string& target)
{
    return send("sipHangUp", {{"gateway", gateway}, {"target", target}}, target);
}

int RtcClient::SendAudioMuteTo(const std::string& jid, bool mute)
{
    return send("audioMute", {{"jid", jid}, {"mute", mute}}, jid);
}

int RtcClient::SendVideoMuteTo(const std::string& jid, bool mute)
{
    return send("videoMute", {{"jid", jid}, {"mute", mute}}, jid);
}

int RtcClient::SendKick(const std::string& jid)
{
    return send("kick", {{"jid", jid}}, jid);
}

int RtcClient::SendRing(const std::string& userJid, const std::string& type, const std::string& roomId,
                        const std::string& nickname, int callType, int isCaller, const std::string& time,
                        const std::string& meetPassword)
{
    return send("ring", {{"to", userJid},
                         {"ringType", type},
                         {"room", roomId},
                         {"nickname", nickname},
                         {"callType", callType},
                         {"isCaller", isCaller},
                         {"time", time},
                         {"meetPassword", meetPassword}},
                userJid);
}

int RtcClient::SendWhiteboardData(const std::string& action, const std::string& type, const std::string& body)
{
    return send("whiteboard", {{"action", action}, {"kind", type}, {"body", body}});
}

int RtcClient::SendAnnotateData(const std::string& action, const std::string& type, const std::string& body,
                                const std::string& target)
{
    return send("annotate", {{"action", action}, {"kind", type}, {"body", body}, {"target", target}}, target);
}

int RtcClient::SendGroupMessage(const std::string& nickname, const std::string& message)
{
    return send("chat", {{"nickname", nickname}, {"message", message}});
}

}  // namespace velto_rtc

VeltoRtcSdkInterface* VeltoRtcSdkInterface::CreateNew()
{
    return new velto_rtc::RtcClient();
}
