#pragma once

#include "velto_webrtc_interface.h"

class VeltoSdk;

// Receives the media engine's reports on the engine's threads: completes the
// answer side of a negotiation, forwards local candidates and presence to the
// signalling client and reports remote video streams to the program.
//
// It never takes the SDK mutex, and it uses its engine directly: the engine
// joins the threads this observer runs on before it is deleted, so it is
// alive whenever the observer is called.
class VeltoObserver : public velto_webrtc::velto_media_observer {
public:
    void setVeltoSdk(VeltoSdk* sdk) { sdk_ = sdk; }
    void setEngine(velto_webrtc_interface* engine) { engine_ = engine; }

    // True while this thread reports a stream of `sdk`'s engine to the
    // program: that engine cannot be torn down from there, since its teardown
    // joins this thread.
    static bool isReportingOnThisThread(const VeltoSdk& sdk);

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
    // A lost media connection is a lost network, as the signalling client reports one.
    void OnIceConnectionFailed() override;

private:
    // Hands a video stream's arrival or end to the program; other kinds are
    // not reported.
    template <typename Report>
    void reportVideo(const std::string& kind, Report&& report);

    VeltoSdk* sdk_ = nullptr;
    velto_webrtc_interface* engine_ = nullptr;
};
