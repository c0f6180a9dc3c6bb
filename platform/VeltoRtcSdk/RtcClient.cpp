#include "RtcClient.h"

#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "StandInSdp.h"

namespace velto_rtc {
namespace {

std::string flag(bool value)
{
    return value ? "true" : "false";
}

bool sameUserId(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool sameInfo(const user_info& a, const user_info& b)
{
    return std::tie(a.jid, a.nickname, a.ssrc, a.label, a.secondSsrc, a.secondLabel, a.isModerator, a.audioMute,
                    a.videoMute) == std::tie(b.jid, b.nickname, b.ssrc, b.label, b.secondSsrc, b.secondLabel,
                                             b.isModerator, b.audioMute, b.videoMute);
}

bool sameSource(const ssrc_t& a, const ssrc_t& b)
{
    return a.ssrc == b.ssrc && a.streamLabel == b.streamLabel && a.trackLabel == b.trackLabel;
}

// Entries of `list` that `other` lacks.
std::vector<ssrc_t> missingFrom(const std::vector<ssrc_t>& list, const std::vector<ssrc_t>& other)
{
    std::vector<ssrc_t> missing;
    for (const ssrc_t& source : list)
        if (std::none_of(other.begin(), other.end(), [&](const ssrc_t& o) { return sameSource(source, o); }))
            missing.push_back(source);
    return missing;
}

// The data text that the receivers of a drawing message get: the type for
// most actions; for "message" an object of the type and the body, which must
// be a JSON object or empty.
bool drawingData(const std::string& action, const std::string& type, const std::string& body, std::string& data)
{
    if (action != "message") {
        data = type;
        return true;
    }
    Json::Value message(Json::objectValue);
    if (!body.empty()) {
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        try {
            if (!reader->parse(body.data(), body.data() + body.size(), &message, &errors) || !message.isObject())
                return false;
        } catch (const Json::Exception&) {
            return false;
        }
    }
    Json::Value root(Json::objectValue);
    root["type"] = type;
    root["message"] = message;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    data = Json::writeString(writer, root);
    return true;
}

// A bitrate text of a presence report; anything unreadable counts as 0.
long long kbits(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return value > 0 ? value : 0;
}

int clamped(long long value)
{
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

std::vector<std::string> presenceArgs(const presence_info& presence, int type)
{
    std::vector<std::string> args{std::to_string(type),     presence.mUserId,          presence.mUserName,
                                  presence.role,            flag(presence.audioMute),  flag(presence.videoMute),
                                  presence.audioSendBitrate, presence.audioRecvBitrate, presence.videoSendBitrate,
                                  presence.videoRecvBitrate, presence.packetLoss};
    for (const presence_info_media& media : presence.media)
        args.insert(args.end(), {media.label, media.kind, media.bitrate});
    return args;
}

const char* const kRoomCandidate = "candidate:1 1 udp 2130706431 127.0.0.1 10000 typ host";

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

int RtcClient::ConnectToServer(const std::string& messageServer, const std::string& port, const std::string& userId,
                               const std::string& domain, const std::string& endpoint,
                               const conference_login_info&)
{
    RtcNetwork& network = RtcNetwork::instance();
    std::lock_guard<std::mutex> lock(network.mutex);
    detachLocked();  // a new connection replaces the old one
    link_ = Link::Down;
    if (messageServer.empty() || userId.empty() || domain.empty() || endpoint.empty())
        return -1;
    MessageServer& server = network.server(RtcNetwork::address(messageServer, port));
    const std::string jid = userId + "@" + domain + "/" + endpoint;
    network.record(server, jid, "ConnectToServer", {messageServer, port, userId, domain, endpoint});
    if (server.faults.connectResult != 0)
        return server.faults.connectResult;
    if (std::any_of(server.clients.begin(), server.clients.end(), [&](RtcClient* c) { return c->jid_ == jid; }))
        return -1;  // the address is taken by another client
    link_ = Link::Up;
    server_ = &server;
    jid_ = jid;
    userId_ = userId;
    server.clients.push_back(this);
    return 0;
}

int RtcClient::JoinConferenceRoom(const std::string& myJid, const std::string& roomJid, const std::string& userName,
                                  const conference_join_info& join)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendLocked("JoinConferenceRoom", {myJid, roomJid, userName}) || roomJid.empty() || myJid != jid_)
        return -1;
    leaveRoomLocked();
    room_ = roomJid;
    focus_ = join.focusJid.empty() ? roomJid + "/focus" : join.focusJid;
    session_ = jid_ + "#" + std::to_string(++sessionCounter_);
    info_ = user_info{};
    info_.jid = jid_;
    info_.nickname = userName;
    info_.isModerator = join.moderatorJid == jid_;

    const std::vector<RtcClient*> peers = peersLocked();
    announceLocked();

    std::vector<ssrc_t> theirSources;
    for (const RtcClient* peer : peers)
        theirSources.insert(theirSources.end(), peer->sources_.begin(), peer->sources_.end());
    deliver([from = focus_, session = session_, offer = velto_platform::WriteSdp(session_, {})](VeltoRtcCallback& cb) {
        std::string f = from, s = session, sdp = offer;
        cb.onOffer(f, s, sdp);
    });
    deliver([from = focus_, session = session_](VeltoRtcCallback& cb) {
        std::string f = from, s = session, candidate = kRoomCandidate;
        cb.onICE(f, s, candidate);
    });
    if (!theirSources.empty())
        deliver(sourceEvent(std::move(theirSources), true));
    for (const RtcClient* peer : peers)
        deliver([info = peer->info_](VeltoRtcCallback& cb) { cb.onUpdateUserList(info); });
    return 0;
}

int RtcClient::LeaveConferenceRoom()
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("LeaveConferenceRoom", {}))
        return -1;
    leaveRoomLocked();
    return 0;
}

int RtcClient::Disconnect()
{
    int result = -1;
    {
        std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
        if (link_ != Link::Down) {
            sendLocked("Disconnect", {});
            detachLocked();
            link_ = Link::Down;
            result = 0;
        }
    }
    // Nothing of the old connection is delivered after this returns.
    loop_.clear();
    waitForRunningEvent();
    return result;
}

int RtcClient::SendPing()
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    const MessageServer* server = sendLocked("SendPing", {});
    return server ? server->faults.pingResult : -1;
}

int RtcClient::SendSecondStreamAnswer(const std::string& label, const std::string& sdp)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("SendSecondStreamAnswer", {label, sdp}) || label.empty() || sdp.empty())
        return -1;
    secondStream_ = label;
    secondSessions_.insert(label);
    setSourcesLocked(sourcesOf(sdp));
    return 0;
}

int RtcClient::RemoveSecondStreamSession(const std::string& label)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("RemoveSecondStreamSession", {label}))
        return -1;
    return secondSessions_.erase(label) == 1 ? 0 : -1;
}

int RtcClient::RemoveSecondStreamSource(const std::string& label)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("RemoveSecondStreamSource", {label}) || label.empty() || label != secondStream_)
        return -1;
    std::vector<ssrc_t> remaining;
    std::copy_if(sources_.begin(), sources_.end(), std::back_inserter(remaining),
                 [&](const ssrc_t& source) { return source.streamLabel != label; });
    secondStream_.clear();
    setSourcesLocked(std::move(remaining));
    return 0;
}

int RtcClient::SendAnswer(const std::string& sdp)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("SendAnswer", {sdp}) || sdp.empty())
        return -1;
    setSourcesLocked(sourcesOf(sdp));
    return 0;
}

int RtcClient::SendPresence(const presence_info& presence, int type)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendLocked("SendPresence", presenceArgs(presence, type)))
        return -1;
    if (room_.empty())
        return 0;
    const user_info before = info_;
    info_.audioMute = presence.audioMute;
    info_.videoMute = presence.videoMute;
    info_.isModerator = presence.role == "CRUO";
    if (!presence.mUserName.empty())
        info_.nickname = presence.mUserName;
    if (!sameInfo(before, info_))
        announceLocked();

    // The others see this participant's average bandwidth in each direction.
    statSamples_ = std::min(statSamples_ + 1, INT_MAX - 1);
    downloadSum_ += kbits(presence.audioRecvBitrate) + kbits(presence.videoRecvBitrate);
    uploadSum_ += kbits(presence.audioSendBitrate) + kbits(presence.videoSendBitrate);
    deliverToPeersLocked([jid = jid_, lost = clamped(kbits(presence.packetLoss)), samples = statSamples_,
                          download = clamped(downloadSum_), upload = clamped(uploadSum_)](VeltoRtcCallback& cb) {
        cb.onGetStat(jid, lost, 0, samples, download, upload);
    });
    return 0;
}

int RtcClient::SendIceCandidate(const std::string& candidate, int sdpMLineIndex, const std::string& sdpMid,
                                const std::string& ufrag, const std::string& component, const std::string& protocol)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    const bool sent = sendInRoomLocked(
        "SendIceCandidate", {candidate, std::to_string(sdpMLineIndex), sdpMid, ufrag, component, protocol});
    return sent && !candidate.empty() ? 0 : -1;
}

int RtcClient::SendGrantAdmin(const std::string& jid)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    RtcClient* target = sendInRoomLocked("SendGrantAdmin", {jid}) ? peerLocked(jid) : nullptr;
    if (!target)
        return -1;
    info_.isModerator = false;
    target->info_.isModerator = true;
    target->deliver([](VeltoRtcCallback& cb) { cb.onGrantAdmin(); });
    deliverToPeersLocked([jid](VeltoRtcCallback& cb) { cb.onConferenceControl("moderator", jid); });
    announceLocked();
    target->announceLocked();
    return 0;
}

int RtcClient::SipCall(const std::string& gateway, const std::string& number, const std::string& password)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("SipCall", {gateway, number, password}) || gateway.empty() || number.empty())
        return -1;
    sipCalls_.insert(gateway + " " + number);
    return 0;
}

int RtcClient::SipHangUp(const std::string& gateway, const std::string& target)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("SipHangUp", {gateway, target}))
        return -1;
    return sipCalls_.erase(gateway + " " + target) == 1 ? 0 : -1;
}

int RtcClient::SendAudioMuteTo(const std::string& jid, bool mute)
{
    return sendMute("SendAudioMuteTo", jid, mute, &VeltoRtcCallback::onAudioMute);
}

int RtcClient::SendVideoMuteTo(const std::string& jid, bool mute)
{
    return sendMute("SendVideoMuteTo", jid, mute, &VeltoRtcCallback::onVideoMute);
}

int RtcClient::sendMute(const char* operation, const std::string& jid, bool mute,
                          void (VeltoRtcCallback::*event)(bool))
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    RtcClient* target = sendInRoomLocked(operation, {jid, flag(mute)}) ? peerLocked(jid) : nullptr;
    if (!target)
        return -1;
    target->deliver([event, mute](VeltoRtcCallback& cb) { (cb.*event)(mute); });
    return 0;
}

int RtcClient::SendKick(const std::string& jid)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    RtcClient* target = sendInRoomLocked("SendKick", {jid}) ? peerLocked(jid) : nullptr;
    if (!target)
        return -1;
    target->deliver([](VeltoRtcCallback& cb) { cb.onKickout(); });
    target->leaveRoomLocked();
    return 0;
}

int RtcClient::SendRing(const std::string& userJid, const std::string& type, const std::string& roomId,
                        const std::string& nickname, int callType, int isCaller, const std::string& time,
                        const std::string& meetPassword)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    const MessageServer* server = sendLocked("SendRing", {userJid, type, roomId, nickname, std::to_string(callType),
                                                          std::to_string(isCaller), time, meetPassword});
    if (!server || userJid.empty() || type.empty())
        return -1;
    // A full address reaches that client; otherwise every client of the user.
    // Nobody on line is no error: the call simply goes unanswered.
    const bool fullAddress = userJid.find('/') != std::string::npos;
    const std::string userId = userJid.substr(0, userJid.find('@'));
    for (RtcClient* client : server->clients) {
        if (client == this || !(fullAddress ? client->jid_ == userJid : sameUserId(client->userId_, userId)))
            continue;
        client->deliver([=, from = jid_](VeltoRtcCallback& cb) {
            cb.onRingCall(from, type, roomId, nickname, callType, isCaller, meetPassword);
        });
    }
    return 0;
}

int RtcClient::SendWhiteboardData(const std::string& action, const std::string& type, const std::string& body)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    std::string data;
    if (!sendInRoomLocked("SendWhiteboardData", {action, type, body}) || action.empty() ||
        !drawingData(action, type, body, data))
        return -1;
    deliverToPeersLocked([action, data](VeltoRtcCallback& cb) { cb.onWhiteBoard(action, data); });
    return 0;
}

int RtcClient::SendAnnotateData(const std::string& action, const std::string& type, const std::string& body,
                                const std::string& target)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    std::string data;
    if (!sendInRoomLocked("SendAnnotateData", {action, type, body, target}) || action.empty() ||
        !drawingData(action, type, body, data))
        return -1;
    const Event event = [action, data, from = jid_](VeltoRtcCallback& cb) { cb.onAnnotate(action, data, from); };
    if (target.empty()) {
        deliverToPeersLocked(event);
        return 0;
    }
    RtcClient* peer = peerLocked(target);
    if (!peer)
        return -1;
    peer->deliver(event);
    return 0;
}

int RtcClient::SendGroupMessage(const std::string& nickname, const std::string& message)
{
    std::lock_guard<std::mutex> lock(RtcNetwork::instance().mutex);
    if (!sendInRoomLocked("SendGroupMessage", {nickname, message}) || message.empty())
        return -1;
    deliverToPeersLocked([nickname, message](VeltoRtcCallback& cb) { cb.onChatMessage(nickname, message); });
    return 0;
}

void RtcClient::loseConnectionLocked()
{
    if (link_ != Link::Up)
        return;
    detachLocked();
    link_ = Link::Lost;
    deliver([](VeltoRtcCallback& cb) { cb.onNetworkError(); });
}

MessageServer* RtcClient::sendLocked(const std::string& operation, std::vector<std::string> args)
{
    if (link_ != Link::Up)
        return nullptr;
    RtcNetwork::instance().record(*server_, jid_, operation, std::move(args));
    return server_;
}

MessageServer* RtcClient::sendInRoomLocked(const std::string& operation, std::vector<std::string> args)
{
    MessageServer* server = sendLocked(operation, std::move(args));
    return room_.empty() ? nullptr : server;
}

std::vector<RtcClient*> RtcClient::peersLocked() const
{
    std::vector<RtcClient*> peers;
    if (!server_ || room_.empty())
        return peers;
    for (RtcClient* client : server_->clients)
        if (client != this && client->room_ == room_)
            peers.push_back(client);
    return peers;
}

RtcClient* RtcClient::peerLocked(const std::string& jid) const
{
    for (RtcClient* peer : peersLocked())
        if (peer->jid_ == jid)
            return peer;
    return nullptr;
}

void RtcClient::deliverToPeersLocked(const Event& event) const
{
    for (RtcClient* peer : peersLocked())
        peer->deliver(event);
}

void RtcClient::announceLocked() const
{
    deliverToPeersLocked([info = info_](VeltoRtcCallback& cb) { cb.onUpdateUserList(info); });
}

std::vector<ssrc_t> RtcClient::sourcesOf(const std::string& sdp) const
{
    std::vector<ssrc_t> sources;
    for (velto_platform::SdpSource& s : velto_platform::ReadSdpSources(sdp))
        sources.push_back({s.ssrc, s.cname, s.streamLabel, s.trackLabel, s.kind, jid_});
    return sources;
}

RtcClient::Event RtcClient::sourceEvent(std::vector<ssrc_t> sources, bool added) const
{
    return [from = focus_, session = session_, sources = std::move(sources), added](VeltoRtcCallback& cb) {
        std::string f = from, s = session;
        std::vector<ssrc_t> copy = sources;
        added ? cb.onSourceAdd(f, s, copy) : cb.onSourceRemove(f, s, copy);
    };
}

void RtcClient::setSourcesLocked(std::vector<ssrc_t> sources)
{
    std::vector<ssrc_t> removed = missingFrom(sources_, sources);
    std::vector<ssrc_t> added = missingFrom(sources, sources_);
    sources_ = std::move(sources);

    // The main stream is the first video (else audio) stream that is not the
    // second stream.
    const user_info before = info_;
    const ssrc_t* main = nullptr;
    const ssrc_t* second = nullptr;
    for (const ssrc_t& source : sources_) {
        const bool isSecond = !secondStream_.empty() && source.streamLabel == secondStream_;
        if (isSecond && !second && source.kind == "video")
            second = &source;
        if (!isSecond && (!main || (main->kind != "video" && source.kind == "video")))
            main = &source;
    }
    info_.ssrc = main ? main->ssrc : "";
    info_.label = main ? main->streamLabel : "";
    info_.secondSsrc = second ? second->ssrc : "";
    info_.secondLabel = second ? second->streamLabel : "";

    if (!removed.empty())
        deliverToPeersLocked(sourceEvent(std::move(removed), false));
    if (!added.empty())
        deliverToPeersLocked(sourceEvent(std::move(added), true));
    if (!sameInfo(before, info_))
        announceLocked();
}

void RtcClient::leaveRoomLocked()
{
    if (room_.empty())
        return;
    if (!sources_.empty())
        deliverToPeersLocked(sourceEvent(std::move(sources_), false));
    sources_.clear();
    deliverToPeersLocked([jid = jid_](VeltoRtcCallback& cb) { cb.onRemoveUserList(jid); });
    room_.clear();
    info_ = user_info{};
    secondStream_.clear();
    secondSessions_.clear();
    sipCalls_.clear();
    statSamples_ = 0;
    downloadSum_ = 0;
    uploadSum_ = 0;
}

void RtcClient::detachLocked()
{
    if (!server_)
        return;
    leaveRoomLocked();
    server_->clients.erase(std::find(server_->clients.begin(), server_->clients.end(), this));
    server_ = nullptr;
}

}  // namespace velto_rtc

VeltoRtcSdkInterface* VeltoRtcSdkInterface::CreateNew()
{
    return new velto_rtc::RtcClient();
}
