// Recorders for the callbacks of the signalling client and the media engine:
// every event becomes one line of text, with the thread it arrived on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "VeltoRtcSdkInterface.h"
#include "velto_webrtc_interface.h"

namespace platform_test {

constexpr auto kPatience = std::chrono::seconds(10);

// Event lines and the threads they came on; waits for lines to appear.
class EventLog {
public:
    void add(std::string line);
    std::vector<std::string> lines() const;
    std::set<std::thread::id> threads() const;
    bool contains(const std::string& line) const;
    // Waits until `line` was added; false after kPatience.
    bool waitFor(const std::string& line) const;
    // Waits until `count` lines starting with `prefix` were added.
    bool waitForCount(const std::string& prefix, size_t count) const;
    size_t count(const std::string& prefix) const;

private:
    size_t countLocked(const std::string& prefix) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::vector<std::string> lines_;
    std::set<std::thread::id> threads_;
};

class RecordingRtcCallback : public VeltoRtcCallback, public EventLog {
public:
    // Runs after each event is recorded, on the client's thread.
    std::function<void(const std::string& line)> react;

    void onOffer(std::string& from, std::string& sessionId, std::string& sdp) override;
    void onICE(std::string& from, std::string& sessionId, std::string& candidate) override;
    void onSourceAdd(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) override;
    void onSourceRemove(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) override;
    void onGetStat(std::string jid, int lost, int jitter, int samples, int download, int upload) override;
    void onSip(int value) override;
    void onGrantAdmin() override;
    void onKickout() override;
    void onAudioMute(bool mute) override;
    void onVideoMute(bool mute) override;
    void onConferenceControl(std::string type, std::string value) override;
    void onUpdateUserList(user_info user) override;
    void onRemoveUserList(std::string jid) override;
    void onWhiteBoard(std::string action, std::string data) override;
    void onAnnotate(std::string action, std::string data, std::string userjid) override;
    void onNotifyRecord(std::string jid, bool on) override;
    void onChangeNickname(std::string nickname) override;
    void onChatMessage(std::string nickname, std::string message) override;
    void onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname, int callType,
                    int isCaller, std::string meetPassword) override;
    void onPresence(std::string userId, bool onLine) override;
    void onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                std::string partipants) override;
    void onHandsUp(std::string action, std::string userjid, std::string nickname) override;
    void onNetworkError() override;

private:
    void record(std::string line);
};

class RecordingMediaObserver : public velto_webrtc::velto_media_observer, public EventLog {
public:
    // Runs after each event is recorded, on the engine's thread, with the
    // event's description text (if any).
    std::function<void(const std::string& line, const std::string& sdp)> react;

    void onAddStream(const std::string& kind, std::string& label) override;
    void onRemoveStream(const std::string& kind, const std::string& label) override;
    void OnDataChannel(const std::string& name) override;
    void onOffer(const std::string& status, std::string& sdp) override;
    void onAnswer(const std::string& status, std::string& sdp) override;
    void onSetLocalSDP(const std::string& status, std::string& sdp) override;
    void onSetRemoteSDP(const std::string& status, std::string& sdp) override;
    void OnIceCandidate(const std::string& sdpMid, const std::string& candidate, int sdpMLineIndex,
                        const std::string& ufrag, const std::string& component, const std::string& protocol) override;
    void OnStats(velto_webrtc::rtc_stat_info& stats) override;

    // The description that came with the last event recorded as `line`.
    std::string lastSdp(const std::string& line) const;

private:
    void record(std::string line, const std::string& sdp = "");

    mutable std::mutex sdpMutex_;
    std::map<std::string, std::string> sdps_;
};

}  // namespace platform_test
