#include "VeltoObserver.h"

#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"

namespace {

bool isWell(const std::string& status) { return status == "well"; }

thread_local const VeltoSdk* reportingFor = nullptr;

}  // namespace

bool VeltoObserver::isReportingOnThisThread(const VeltoSdk& sdk) { return reportingFor == &sdk; }

template <typename Report>
void VeltoObserver::reportVideo(const std::string& kind, Report&& report)
{
    if (kind != "video")
        return;
    reportingFor = sdk_;
    sdk_->notify(report);
    reportingFor = nullptr;
}

void VeltoObserver::onAddStream(const std::string& kind, std::string& label)
{
    reportVideo(kind, [&](VeltoCallback& callback) { callback.onAddStream(label); });
}

void VeltoObserver::onRemoveStream(const std::string& kind, const std::string& label)
{
    reportVideo(kind, [&](VeltoCallback& callback) { callback.onRemoveStream(label); });
}

void VeltoObserver::OnDataChannel(const std::string&) {}

void VeltoObserver::onOffer(const std::string&, std::string&) {}

void VeltoObserver::onAnswer(const std::string& status, std::string& sdp)
{
    if (isWell(status))
        engine_->SetLocalDescription(sdp, "answer");
}

void VeltoObserver::onSetLocalSDP(const std::string& status, std::string& sdp)
{
    if (!isWell(status))
        return;
    if (VeltoRtcSdkInterface* rtc = sdk_->getRtcSdk()) {
        if (sdk_->isDoubleStream())
            rtc->SendSecondStreamAnswer(sdk_->getSecondStream(), sdp);
        else
            rtc->SendAnswer(sdp);
    }
    engine_->GetStats();
}

void VeltoObserver::onSetRemoteSDP(const std::string& status, std::string&)
{
    if (isWell(status))
        engine_->CreateAnswer();
}

void VeltoObserver::OnIceCandidate(const std::string& a, const std::string& b, int c, const std::string& d,
                                   const std::string& e, const std::string& f)
{
    if (VeltoRtcSdkInterface* rtc = sdk_->getRtcSdk())
        rtc->SendIceCandidate(b, c, a, d, e, f);
}

void VeltoObserver::OnIceConnectionFailed()
{
    sdk_->exitThreadWhenNetworkError();
    sdk_->notify([](VeltoCallback& c) { c.onNetworkError(); });
}

void VeltoObserver::OnStats(velto_webrtc::rtc_stat_info& stats)
{
    VeltoRtcSdkInterface* rtc = sdk_->getRtcSdk();
    if (!rtc)
        return;
    const CVeltoHttpCallback* records = sdk_->getHttpCallback();
    const conference_login_info login = records->getLoginInfo();
    const conference_room_status status = records->getRoomStatus();

    presence_info info;
    info.mUserId = login.mUserId;
    info.mUserName = login.mUserName;
    info.role = status.isModerator ? "CRUO" : "NONE";
    info.audioMute = status.audioMute;
    info.videoMute = status.videoMute;
    info.audioSendBitrate = stats.audioSendBitrate;
    info.audioRecvBitrate = stats.audioRecvBitrate;
    info.videoSendBitrate = stats.videoSendBitrate;
    info.videoRecvBitrate = stats.videoRecvBitrate;
    info.packetLoss = stats.packetLoss;
    info.media.reserve(stats.media.size());
    for (const velto_webrtc::rtc_stat_item& item : stats.media)
        info.media.push_back({item.label, item.kind, item.bitrate});
    rtc->SendPresence(info, 0);
}
