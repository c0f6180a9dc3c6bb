#pragma once
// A signalling callback that ignores every event; derive and override what
// matters.
#include <string>
#include <vector>

#include "VeltoRtcSdkInterface.h"

namespace velto::test {

class NullRtcCallback : public VeltoRtcCallback {
public:
    void onOffer(std::string&, std::string&, std::string&) override {}
    void onICE(std::string&, std::string&, std::string&) override {}
    void onSourceAdd(std::string&, std::string&, std::vector<ssrc_t>&) override {}
    void onSourceRemove(std::string&, std::string&, std::vector<ssrc_t>&) override {}
    void onGetStat(std::string, int, int, int, int, int) override {}
    void onSip(int) override {}
    void onGrantAdmin() override {}
    void onKickout() override {}
    void onAudioMute(bool) override {}
    void onVideoMute(bool) override {}
    void onConferenceControl(std::string, std::string) override {}
    void onUpdateUserList(user_info) override {}
    void onRemoveUserList(std::string) override {}
    void onWhiteBoard(std::string, std::string) override {}
    void onAnnotate(std::string, std::string, std::string) override {}
    void onNotifyRecord(std::string, bool) override {}
    void onChangeNickname(std::string) override {}
    void onChatMessage(std::string, std::string) override {}
    void onRingCall(std::string, std::string, std::string, std::string, int, int, std::string) override {}
    void onPresence(std::string, bool) override {}
    void onConferencePartipants(std::string, bool, std::string, int, std::string) override {}
    void onHandsUp(std::string, std::string, std::string) override {}
    void onNetworkError() override {}
};

}  // namespace velto::test
