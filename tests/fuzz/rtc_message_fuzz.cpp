// Feeds arbitrary bytes to the signalling client's reading of server
// messages and runs whatever event comes out on a callback that ignores it:
// nothing may crash, throw or read out of bounds.
#include "RtcWire.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class IgnoringCallback final : public VeltoRtcCallback {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    velto_rtc::Incoming in = velto_rtc::DecodeServerMessage(text);
    if (in.kind == velto_rtc::Incoming::Kind::Event) {
        IgnoringCallback callback;
        in.event(callback);
    }
    return 0;
}
