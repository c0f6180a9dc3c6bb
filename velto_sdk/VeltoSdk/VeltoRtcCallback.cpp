#include "VeltoRtcCallback.h"

#include <glog/logging.h>

#include "LogText.h"
#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"

namespace {

// Text from the server, fit for one log line: bytes outside printable ASCII
// and the backslash as \xNN, and no more than a line's worth.
std::string printable(const std::string& text) { return velto_platform::escapedForLog(text); }

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

void CVeltoRtcCallback::awaitMeeting(const std::string& focus)
{
    std::lock_guard<std::mutex> lock(meetingMutex_);
    focus_ = focus;
    session_.clear();
}

void CVeltoRtcCallback::endMeeting()
{
    std::lock_guard<std::mutex> lock(meetingMutex_);
    focus_.clear();
    session_.clear();
}

std::pair<std::string, std::string> CVeltoRtcCallback::meetingSession() const
{
    std::lock_guard<std::mutex> lock(meetingMutex_);
    return {focus_, session_};
}

bool CVeltoRtcCallback::ofTheMeeting(const char* what, const std::string& from, const std::string& session, bool offer)
{
    {
        std::lock_guard<std::mutex> lock(meetingMutex_);
        if (!focus_.empty() && from == focus_ && !session.empty()) {
            if (session_.empty() && offer)
                session_ = session;
            if (session == session_)
                return true;
        }
    }
    LOG(WARNING) << "VeltoSdk: dropped " << what << " from " << printable(from) << " for session "
                 << printable(session) << ": not the meeting's";
    return false;
}

void CVeltoRtcCallback::onOffer(std::string& from, std::string& sessionId, std::string& sdp)
{
    if (ofTheMeeting("an offer", from, sessionId, true))
        sdk_->onEngine(false, &velto_webrtc_interface::SetRemoteDescription, sdp, "offer");
}

void CVeltoRtcCallback::onICE(std::string& from, std::string& sessionId, std::string& candidate)
{
    if (ofTheMeeting("a candidate", from, sessionId, false))
        sdk_->onEngine(0, &velto_webrtc_interface::AddIceCandidate, candidate);
}

void CVeltoRtcCallback::onSourceAdd(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources)
{
    if (ofTheMeeting("added sources", from, sessionId, false))
        sdk_->onEngine(0, &velto_webrtc_interface::AddRemoteSources, toEngineSources(sources));
}

void CVeltoRtcCallback::onSourceRemove(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources)
{
    if (ofTheMeeting("removed sources", from, sessionId, false))
        sdk_->onEngine(0, &velto_webrtc_interface::RemoveRemoteSources, toEngineSources(sources));
}

void CVeltoRtcCallback::onGetStat(std::string jid, int packetsLost, int jitter, int samples, int download, int upload)
{
    sdk_->notify([&](VeltoCallback& c) { c.onGetStat(jid, packetsLost, jitter, samples, download, upload); });
}

void CVeltoRtcCallback::onSip(int value)
{
    sdk_->notify([&](VeltoCallback& c) { c.onSip(value); });
}

void CVeltoRtcCallback::onGrantAdmin()
{
    sdk_->getHttpCallback()->setModerator(true);
    sdk_->notify([](VeltoCallback& c) { c.onGrantAdmin(); });
}

void CVeltoRtcCallback::onKickout()
{
    sdk_->notify([](VeltoCallback& c) { c.onKickout(); });
}

void CVeltoRtcCallback::onAudioMute(bool mute)
{
    sdk_->getHttpCallback()->setAudioMute(mute);
    sdk_->EnableStreamAudio(!mute);
    sdk_->notify([&](VeltoCallback& c) { c.onMuteAudio(mute); });
}

void CVeltoRtcCallback::onVideoMute(bool mute)
{
    sdk_->getHttpCallback()->setVideoMute(mute);
    sdk_->EnableStreamVideo(!mute);
    sdk_->notify([&](VeltoCallback& c) { c.onMuteVideo(mute); });
}

void CVeltoRtcCallback::onConferenceControl(std::string type, std::string value)
{
    CVeltoHttpCallback* records = sdk_->getHttpCallback();
    const bool flag = controlMessageFlag(type, value, records->getRoomStatus().myJid);
    // A moderator change that does not name the user takes the role away.
    if (controlKind(type) == ControlKind::Moderator)
        records->setModerator(flag);
    sdk_->notify([&](VeltoCallback& c) { c.onControlMsg(type, flag, value); });
}

void CVeltoRtcCallback::onUpdateUserList(user_info user)
{
    sdk_->notify([&](VeltoCallback& c) { c.onUpdateUserList(user); });
}

void CVeltoRtcCallback::onRemoveUserList(std::string jid)
{
    sdk_->notify([&](VeltoCallback& c) { c.onRemoveUserList(jid); });
}

void CVeltoRtcCallback::onWhiteBoard(std::string action, std::string data)
{
    sdk_->notify([&](VeltoCallback& c) { c.onWhiteBoard(action, data); });
}

void CVeltoRtcCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    sdk_->notify([&](VeltoCallback& c) { c.onAnnotate(action, data, userjid); });
}

void CVeltoRtcCallback::onNotifyRecord(std::string jid, bool on)
{
    sdk_->setRecordJid(jid);
    sdk_->notify([&](VeltoCallback& c) { c.onNotifyRecord(on); });
}

void CVeltoRtcCallback::onChangeNickname(std::string nickname)
{
    sdk_->getHttpCallback()->setUserName(nickname);
    sdk_->notify([&](VeltoCallback& c) { c.onChangeNickname(nickname); });
}

void CVeltoRtcCallback::onChatMessage(std::string nickname, std::string message)
{
    sdk_->notify([&](VeltoCallback& c) { c.onChatMessage(nickname, message); });
}

void CVeltoRtcCallback::onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                                   int callType, int isCaller, std::string meetPassword)
{
    sdk_->notify([&](VeltoCallback& c) { c.onRingCall(userJid, type, roomId, nickname, callType, isCaller, meetPassword); });
}

void CVeltoRtcCallback::onPresence(std::string userId, bool onLine)
{
    sdk_->notify([&](VeltoCallback& c) { c.onPresence(userId, onLine); });
}

void CVeltoRtcCallback::onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                               std::string partipants)
{
    sdk_->notify([&](VeltoCallback& c) { c.onConferencePartipants(stageJid, screen, ssrc, splitScreen, partipants); });
}

void CVeltoRtcCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    sdk_->notify([&](VeltoCallback& c) { c.onHandsUp(action, userjid, nickname); });
}

void CVeltoRtcCallback::onNetworkError()
{
    sdk_->exitThreadWhenNetworkError();
    sdk_->notify([](VeltoCallback& c) { c.onNetworkError(); });
}
