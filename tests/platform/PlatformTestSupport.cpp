#include "PlatformTestSupport.h"

#include <algorithm>

namespace platform_test {
namespace {

std::string flag(bool value)
{
    return value ? "true" : "false";
}

std::string labels(const std::vector<ssrc_t>& sources)
{
    std::string text;
    for (const ssrc_t& source : sources)
        text += " " + source.kind + ":" + source.streamLabel;
    return text;
}

}  // namespace

void EventLog::add(std::string line)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(std::move(line));
        threads_.insert(std::this_thread::get_id());
    }
    added_.notify_all();
}

std::vector<std::string> EventLog::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::set<std::thread::id> EventLog::threads() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
}

bool EventLog::contains(const std::string& line) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

bool EventLog::waitFor(const std::string& line) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return added_.wait_for(lock, kPatience,
                           [&] { return std::find(lines_.begin(), lines_.end(), line) != lines_.end(); });
}

bool EventLog::waitForCount(const std::string& prefix, size_t count) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return added_.wait_for(lock, kPatience, [&] { return countLocked(prefix) >= count; });
}

size_t EventLog::count(const std::string& prefix) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return countLocked(prefix);
}

size_t EventLog::countLocked(const std::string& prefix) const
{
    return static_cast<size_t>(std::count_if(lines_.begin(), lines_.end(),
                                             [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

void RecordingRtcCallback::record(std::string line)
{
    add(line);
    if (react)
        react(line);
}

void RecordingRtcCallback::onOffer(std::string&, std::string&, std::string&)
{
    record("offer");
}

void RecordingRtcCallback::onICE(std::string&, std::string&, std::string&)
{
    record("ice");
}

void RecordingRtcCallback::onSourceAdd(std::string&, std::string&, std::vector<ssrc_t>& sources)
{
    record("sourceAdd" + labels(sources));
}

void RecordingRtcCallback::onSourceRemove(std::string&, std::string&, std::vector<ssrc_t>& sources)
{
    record("sourceRemove" + labels(sources));
}

void RecordingRtcCallback::onGetStat(std::string jid, int lost, int jitter, int samples, int download, int upload)
{
    record("stat " + jid + " " + std::to_string(lost) + " " + std::to_string(jitter) + " " + std::to_string(samples) +
           " " + std::to_string(download) + " " + std::to_string(upload));
}

void RecordingRtcCallback::onSip(int value)
{
    record("sip " + std::to_string(value));
}

void RecordingRtcCallback::onGrantAdmin()
{
    record("grantAdmin");
}

void RecordingRtcCallback::onKickout()
{
    record("kickout");
}

void RecordingRtcCallback::onAudioMute(bool mute)
{
    record("audioMute " + flag(mute));
}

void RecordingRtcCallback::onVideoMute(bool mute)
{
    record("videoMute " + flag(mute));
}

void RecordingRtcCallback::onConferenceControl(std::string type, std::string value)
{
    record("control " + type + " " + value);
}

void RecordingRtcCallback::onUpdateUserList(user_info user)
{
    record("user " + user.jid + " " + user.nickname + " label=" + user.label + " second=" + user.secondLabel +
           " moderator=" + flag(user.isModerator) + " audioMute=" + flag(user.audioMute));
}

void RecordingRtcCallback::onRemoveUserList(std::string jid)
{
    record("remove " + jid);
}

void RecordingRtcCallback::onWhiteBoard(std::string action, std::string data)
{
    record("whiteboard " + action + " " + data);
}

void RecordingRtcCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    record("annotate " + action + " " + data + " " + userjid);
}

void RecordingRtcCallback::onNotifyRecord(std::string jid, bool on)
{
    record("record " + jid + " " + flag(on));
}

void RecordingRtcCallback::onChangeNickname(std::string nickname)
{
    record("nickname " + nickname);
}

void RecordingRtcCallback::onChatMessage(std::string nickname, std::string message)
{
    record("chat " + nickname + " " + message);
}

void RecordingRtcCallback::onRingCall(std::string userJid, std::string type, std::string roomId,
                                      std::string nickname, int callType, int isCaller, std::string meetPassword)
{
    record("ring " + userJid + " " + type + " " + roomId + " " + nickname + " " + std::to_string(callType) + " " +
           std::to_string(isCaller) + " " + meetPassword);
}

void RecordingRtcCallback::onPresence(std::string userId, bool onLine)
{
    record("presence " + userId + " " + flag(onLine));
}

void RecordingRtcCallback::onConferencePartipants(std::string stageJid, bool screen, std::string ssrc,
                                                  int splitScreen, std::string partipants)
{
    record("participants " + stageJid + " " + flag(screen) + " " + ssrc + " " + std::to_string(splitScreen) + " " +
           partipants);
}

void RecordingRtcCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    record("handsUp " + action + " " + userjid + " " + nickname);
}

void RecordingRtcCallback::onNetworkError()
{
    record("networkError");
}

void RecordingMediaObserver::record(std::string line, const std::string& sdp)
{
    {
        std::lock_guard<std::mutex> lock(sdpMutex_);
        sdps_[line] = sdp;
    }
    add(line);
    if (react)
        react(line, sdp);
}

std::string RecordingMediaObserver::lastSdp(const std::string& line) const
{
    std::lock_guard<std::mutex> lock(sdpMutex_);
    const auto it = sdps_.find(line);
    return it == sdps_.end() ? "" : it->second;
}

void RecordingMediaObserver::onAddStream(const std::string& kind, std::string& label)
{
    record("addStream " + kind + " " + label);
}

void RecordingMediaObserver::onRemoveStream(const std::string& kind, const std::string& label)
{
    record("removeStream " + kind + " " + label);
}

void RecordingMediaObserver::OnDataChannel(const std::string& name)
{
    record("dataChannel " + name);
}

void RecordingMediaObserver::onOffer(const std::string& status, std::string& sdp)
{
    record("offer " + status, sdp);
}

void RecordingMediaObserver::onAnswer(const std::string& status, std::string& sdp)
{
    record("answer " + status, sdp);
}

void RecordingMediaObserver::onSetLocalSDP(const std::string& status, std::string& sdp)
{
    record("setLocal " + status, sdp);
}

void RecordingMediaObserver::onSetRemoteSDP(const std::string& status, std::string& sdp)
{
    record("setRemote " + status, sdp);
}

void RecordingMediaObserver::OnIceCandidate(const std::string& sdpMid, const std::string& candidate, int,
                                            const std::string&, const std::string&, const std::string&)
{
    record("candidate " + sdpMid);
}

void RecordingMediaObserver::OnStats(velto_webrtc::rtc_stat_info& stats)
{
    std::string line = "stats";
    for (const velto_webrtc::rtc_stat_item& item : stats.media)
        line += " " + item.kind + ":" + item.label;
    record(line);
}

}  // namespace platform_test
