#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "VeltoRtcSdkInterface.h"

class VeltoSdk;

// The flag handed to the program with a control message. The first word that
// `type` contains decides: a mute word reads "true" in the value; a lost
// moderator is always flagged; a moderator change is flagged when it names
// `myJid`; a lock reads "true" in the value; anything else is not flagged.
bool controlMessageFlag(const std::string& type, const std::string& value, const std::string& myJid);

// Receives the signalling client's events on its threads: media negotiation
// goes into the media engine under the SDK mutex, a few events update the
// SDK's state, and everything reaches the program's callback on the same
// thread, with no SDK lock held.
//
// Offers, candidates and source changes steer the media engine, so they are
// taken only from the meeting's own server session: sent by the focus that
// the join named, for the session that its first offer after the join
// opened. Anything else is logged and dropped.
class CVeltoRtcCallback : public VeltoRtcCallback {
public:
    void setVeltoSdk(VeltoSdk* sdk) { sdk_ = sdk; }

    // A room join is on its way: from now on media negotiation is taken from
    // `focus` alone, for the session its first offer names.
    void awaitMeeting(const std::string& focus);
    // No meeting: no media negotiation is taken.
    void endMeeting();
    // The focus and the session taken now (the session empty until the first offer).
    std::pair<std::string, std::string> meetingSession() const;

    void onOffer(std::string& from, std::string& sessionId, std::string& sdp) override;
    void onICE(std::string& from, std::string& sessionId, std::string& candidate) override;
    void onSourceAdd(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) override;
    void onSourceRemove(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) override;
    void onGetStat(std::string jid, int packetsLost, int jitter, int samples, int download, int upload) override;
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
    // Whether a media negotiation message of `what` from `from` for
    // `session` belongs to the meeting; an offer opens the session.
    bool ofTheMeeting(const char* what, const std::string& from, const std::string& session, bool offer);

    VeltoSdk* sdk_ = nullptr;
    mutable std::mutex meetingMutex_;  // the join's thread and the event thread
    std::string focus_;                // empty: no meeting
    std::string session_;              // empty: no offer yet
};
