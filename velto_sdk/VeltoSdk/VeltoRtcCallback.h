#pragma once

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
class CVeltoRtcCallback : public VeltoRtcCallback {
public:
    void setVeltoSdk(VeltoSdk* sdk) { sdk_ = sdk; }

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
    VeltoSdk* sdk_ = nullptr;
};
