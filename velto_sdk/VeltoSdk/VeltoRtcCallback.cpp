#include "VeltoRtcCallback.h"

#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"

namespace {

bool contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

std::vector<velto_webrtc::rtc_ssrc> toEngineSources(const std::vector<ssrc_t>& sources)
{
    std::vector<velto_webrtc::rtc_ssrc> converted;
    converted.reserve(sources.size());
    for (const ssrc_t& s : sources)
        converted.push_back({s.ssrc, s.cname, s.streamLabel, s.trackLabel, s.kind, s.owner});
    return converted;
}

// The first word that a control message's type contains decides its kind.
enum class ControlKind { Mute, LostModerator, Moderator, Lock, Other };

ControlKind controlKind(const std::string& type)
{
    if (contains(type, "allAudio") || contains(type, "allVideo") || contains(type, "audio") || contains(type, "video"))
        return ControlKind::Mute;
    if (contains(type, "lostModerator"))
        return ControlKind::LostModerator;
    if (contains(type, "moderator"))
        return ControlKind::Moderator;
    if (contains(type, "lock"))
        return ControlKind::Lock;
    return ControlKind::Other;
}

}  // namespace

bool controlMessageFlag(const std::string& type, const std::string& value, const std::string& myJid)
{
    switch (controlKind(type)) {
    case ControlKind::Mute:
    case ControlKind::Lock:
        return contains(value, "true");
    case ControlKind::LostModerator:
        return true;
    case ControlKind::Moderator:
        return value == myJid;
    case ControlKind::Other:
        break;
    }
    return false;
}

template <typename Call>
void CVeltoRtcCallback::notify(Call&& call)
{
    if (VeltoCallback* callback = sdk_->getVeltoCallback())
        call(*callback);
}

void CVeltoRtcCallback::onOffer(std::string&, std::string&, std::string& sdp)
{
    sdk_->withEngine(false, [&](velto_webrtc_interface& e) { return e.SetRemoteDescription(sdp, "offer"); });
}

void CVeltoRtcCallback::onICE(std::string&, std::string&, std::string& candidate)
{
    sdk_->withEngine(0, [&](velto_webrtc_interface& e) { return e.AddIceCandidate(candidate); });
}

void CVeltoRtcCallback::onSourceAdd(std::string&, std::string&, std::vector<ssrc_t>& sources)
{
    const std::vector<velto_webrtc::rtc_ssrc> converted = toEngineSources(sources);
    sdk_->withEngine(0, [&](velto_webrtc_interface& e) { return e.AddRemoteSources(converted); });
}

void CVeltoRtcCallback::onSourceRemove(std::string&, std::string&, std::vector<ssrc_t>& sources)
{
    const std::vector<velto_webrtc::rtc_ssrc> converted = toEngineSources(sources);
    sdk_->withEngine(0, [&](velto_webrtc_interface& e) { return e.RemoveRemoteSources(converted); });
}

void CVeltoRtcCallback::onGetStat(std::string jid, int packetsLost, int jitter, int samples, int download, int upload)
{
    notify([&](VeltoCallback& c) { c.onGetStat(jid, packetsLost, jitter, samples, download, upload); });
}

void CVeltoRtcCallback::onSip(int value)
{
    notify([&](VeltoCallback& c) { c.onSip(value); });
}

void CVeltoRtcCallback::onGrantAdmin()
{
    sdk_->getHttpCallback()->setModerator(true);
    notify([](VeltoCallback& c) { c.onGrantAdmin(); });
}

void CVeltoRtcCallback::onKickout()
{
    notify([](VeltoCallback& c) { c.onKickout(); });
}

void CVeltoRtcCallback::onAudioMute(bool mute)
{
    sdk_->getHttpCallback()->setAudioMute(mute);
    sdk_->EnableStreamAudio(!mute);
    notify([&](VeltoCallback& c) { c.onMuteAudio(mute); });
}

void CVeltoRtcCallback::onVideoMute(bool mute)
{
    sdk_->getHttpCallback()->setVideoMute(mute);
    sdk_->EnableStreamVideo(!mute);
    notify([&](VeltoCallback& c) { c.onMuteVideo(mute); });
}

void CVeltoRtcCallback::onConferenceControl(std::string type, std::string value)
{
    CVeltoHttpCallback* records = sdk_->getHttpCallback();
    const bool flag = controlMessageFlag(type, value, records->getRoomStatus().myJid);
    // A moderator change that does not name the user takes the role away.
    if (controlKind(type) == ControlKind::Moderator)
        records->setModerator(flag);
    notify([&](VeltoCallback& c) { c.onControlMsg(type, flag, value); });
}

void CVeltoRtcCallback::onUpdateUserList(user_info user)
{
    notify([&](VeltoCallback& c) { c.onUpdateUserList(user); });
}

void CVeltoRtcCallback::onRemoveUserList(std::string jid)
{
    notify([&](VeltoCallback& c) { c.onRemoveUserList(jid); });
}

void CVeltoRtcCallback::onWhiteBoard(std::string action, std::string data)
{
    notify([&](VeltoCallback& c) { c.onWhiteBoard(action, data); });
}

void CVeltoRtcCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    notify([&](VeltoCallback& c) { c.onAnnotate(action, data, userjid); });
}

void CVeltoRtcCallback::onNotifyRecord(std::string jid, bool on)
{
    sdk_->setRecordJid(jid);
    notify([&](VeltoCallback& c) { c.onNotifyRecord(on); });
}

void CVeltoRtcCallback::onChangeNickname(std::string nickname)
{
    sdk_->getHttpCallback()->setUserName(nickname);
    notify([&](VeltoCallback& c) { c.onChangeNickname(nickname); });
}

void CVeltoRtcCallback::onChatMessage(std::string nickname, std::string message)
{
    notify([&](VeltoCallback& c) { c.onChatMessage(nickname, message); });
}

void CVeltoRtcCallback::onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                                   int callType, int isCaller, std::string meetPassword)
{
    notify([&](VeltoCallback& c) { c.onRingCall(userJid, type, roomId, nickname, callType, isCaller, meetPassword); });
}

void CVeltoRtcCallback::onPresence(std::string userId, bool onLine)
{
    notify([&](VeltoCallback& c) { c.onPresence(userId, onLine); });
}

void CVeltoRtcCallback::onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                               std::string partipants)
{
    notify([&](VeltoCallback& c) { c.onConferencePartipants(stageJid, screen, ssrc, splitScreen, partipants); });
}

void CVeltoRtcCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    notify([&](VeltoCallback& c) { c.onHandsUp(action, userjid, nickname); });
}

void CVeltoRtcCallback::onNetworkError()
{
    sdk_->exitThreadWhenNetworkError();
    notify([](VeltoCallback& c) { c.onNetworkError(); });
}
