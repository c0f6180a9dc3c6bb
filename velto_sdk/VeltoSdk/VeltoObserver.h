#pragma once

#include "velto_webrtc_interface.h"

class VeltoSdk;

// Receives the media engine's reports on the engine's threads: completes the
// answer side of a negotiation, forwards local candidates and presence to the
// signalling client and reports remote video streams to the program.
//
// It never takes the SDK mutex: the engine's teardown holds it while it joins
// the threads this observer runs on. For the same reason the engine it uses
// is alive whenever it is called.
class VeltoObserver : public velto_webrtc::velto_media_observer {
public:
    void setVeltoSdk(VeltoSdk* sdk) { sdk_ = sdk; }

    void onAddStream(const std::string& kind, std::string& label) override;
    void onRemoveStream(const std::string& kind, const std::string& label) override;
    void OnDataChannel(const std::string& name) override;
    void onOffer(const std::string& status, std::string& sdp) override;
    void onAnswer(const std::string& status, std::string& sdp) override;
    void onSetLocalSDP(const std::string& status, std::string& sdp) override;
    void onSetRemoteSDP(const std::string& status, std::string& sdp) override;
    void OnIceCandidate(const std::string& a, const std::string& b, int c, const std::string& d, const std::string& e,
                        const std::string& f) override;
    void OnStats(velto_webrtc::rtc_stat_info& stats) override;

private:
    VeltoSdk* sdk_ = nullptr;
};
