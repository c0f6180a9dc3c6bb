// The media engine behind velto_webrtc_interface, in a module of its own that
// the loader library opens on first use: local tracks from the
// device layer, encoded and sent over one SRTP connection to the forwarding
// unit named by the server's candidate; remote streams received, decoded,
// drawn into their renders and played out.
//
// Threads, each owned here and joined by DeInit: the observer's event
// thread; the network thread (transport); one encoder thread per local video
// track; a few decoder threads shared by the remote video streams (however
// many a room announces); the capture thread and the playout mixer. mutex_ guards the engine's bookkeeping and is never
// held while an observer or render target is called; streamsMutex_ guards
// what the network thread looks up by SSRC.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AudioCapturePath.h"
#include "AudioPlayoutPath.h"
#include "AudioProcessor.h"
#include "DecoderPool.h"
#include "EventLoop.h"
#include "FrameFanout.h"
#include "IcePort.h"
#include "LocalVideoTrack.h"
#include "MediaHooks.h"
#include "MediaTransport.h"
#include "RemoteAudioStream.h"
#include "RemoteVideoStream.h"
#include "RtxReceiver.h"
#include "velto_webrtc_interface.h"

namespace velto_media {

class MediaEngine final : public velto_webrtc_interface,
                          public HookedEngine,
                          private TransportListener,
                          private FeedbackSender,
                          private IceListener {
public:
    MediaEngine();
    ~MediaEngine() override;

    int Init(velto_webrtc::velto_media_observer* observer,
             const std::vector<velto_webrtc::ice_server_config>& iceServers) override;
    int DeInit() override;
    int SetIceServers(const std::vector<velto_webrtc::ice_server_config>& iceServers) override;
    int getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    int getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    int getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    int CreateDataChannel(const std::string& name) override;
    int CreateLocalStream(const std::string& label) override;
    int RemoveLocalStream(const std::string& label) override;
    int AddVideoToLocalStream(const std::string& label, const std::string& trackLabel,
                              const velto_webrtc::rtc_device_& camera, int width, int height, int fps,
                              int bitrate) override;
    int AddAudioToLocalStream(const std::string& label, const std::string& trackLabel) override;
    int AddScreenToLocalStream(const std::string& label, const std::string& trackLabel, bool wholeScreen, int fps,
                               int sourceId, int excludedWindowId) override;
    int RemoveScreenFromLocalStream(const std::string& label, const std::string& trackLabel) override;
    bool StartRender(void* window, unsigned int& renderId, const std::string& label, bool screen,
                     int reserved) override;
    bool StopRender(unsigned int renderId, const std::string& label) override;
    int CreateAnswer() override;
    int SetLocalDescription(const std::string& sdp, const std::string& type) override;
    bool SetRemoteDescription(const std::string& sdp, const std::string& type) override;
    std::string GetRemoteOffer() override;
    int AddRemoteSources(const std::vector<velto_webrtc::rtc_ssrc>& sources) override;
    int RemoveRemoteSources(const std::vector<velto_webrtc::rtc_ssrc>& sources) override;
    bool SetMediaBitrate(const std::string& kind, int bitrate) override;
    int AddIceCandidate(const std::string& candidate) override;
    bool EnableAudio(const std::string& label, bool enable) override;
    bool EnableVideo(const std::string& label, bool enable) override;
    bool ChangeResolution(const std::string& label, int width, int height, int fps) override;
    int GetStats() override;
    bool GetStreamAspect(unsigned int renderId, int* width, int* height) override;
    int SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer) override;
    int SetAudioDeviceWorkMode(AudioDeviceMode mode) override;
    int SetTryAudioSpeekerFileFoldPath(std::string path) override;
    int SetAudioPlayoutDevice(int index) override;
    int SetAudioRecordDevice(int index) override;
    int StartAudioPlayout() override;
    int StopAudioPlayout() override;
    int StartAudioRecording() override;
    int StopAudioRecording() override;
    int AudioPlaying(bool* playing) override;
    int AudioRecording(bool* recording) override;
    int MicrophoneVolumeIsAvailable(bool* available) override;
    int MinMicrophoneVolume(unsigned int* volume) override;
    int MaxMicrophoneVolume(unsigned int* volume) override;
    int SetMicrophoneVolume(unsigned int volume) override;
    int MicrophoneVolume(unsigned int* volume) override;
    int SpeakerVolumeIsAvailable(bool* available) override;
    int MinSpeakerVolume(unsigned int* volume) override;
    int MaxSpeakerVolume(unsigned int* volume) override;
    int SetSpeakerVolume(unsigned int volume) override;
    int SpeakerVolume(unsigned int* volume) override;

    using Event = std::function<void(velto_webrtc::velto_media_observer&)>;

    // Queues `event` for the observer on the engine's thread; false (and
    // dropped) while the engine is not initialised.
    bool emit(Event event) override;
    // Posts `marker` behind every event queued so far; false when the engine
    // has no thread, so that nothing is pending.
    bool post(std::function<void()> marker) override;
    // The label of the stream drawn into `target`, empty when none is (tests).
    std::string renderedLabel(const void* target) const override;
    std::vector<velto_webrtc_test::StreamCounters> streamCounters() override;

private:
    struct Track {
        std::string label;
        std::string kind;  // "audio" or "video"
        uint32_t ssrc = 0;
        bool screen = false;
        bool enabled = true;
        std::shared_ptr<LocalVideoTrack> video;  // video tracks
    };
    struct LocalStream {
        std::vector<Track> tracks;
    };
    struct Render {
        std::string label;
        QGLRenderInterface* target = nullptr;
        std::shared_ptr<FrameFanout> fanout;
    };
    struct RemoteSource {
        velto_webrtc::rtc_ssrc source;
        uint32_t ssrc = 0;  // 0 when the text is no SSRC
    };

    // TransportListener, on the network thread.
    void onRtp(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs) override;
    void onKeyframeRequest(uint32_t ssrc) override;
    void onReceptionReport(uint32_t reporter, const rtp::ReportBlock& block, int64_t nowMs) override;
    int64_t onTimer(int64_t nowMs) override;
    // FeedbackSender, on the network and decoder threads.
    void sendNack(uint32_t mediaSsrc, const std::vector<uint16_t>& sequences) override;
    bool sendPli(uint32_t mediaSsrc) override;

    // IceListener, on the agent's thread.
    void onLocalCandidate(const std::string& candidate, const std::string& protocol) override;
    void onPathSelected(const IcePath& path) override;
    void onPathFailed() override;
    // Hands a local candidate to the observer; needs mutex_.
    void announceCandidateLocked(const std::string& candidate, const std::string& protocol);
    // The ICE agent of a new connection to the peer of `offer`, with the
    // port it sends through; false when none could be made.
    bool startIceLocked(const std::string& offer, std::unique_ptr<PacketPort>* port);
    // The agent starts over with the peer of a new offer; called without mutex_.
    void restartIce(const std::shared_ptr<IceAgent>& agent, const std::string& offer);

    // Stops every thread of the engine: the work of DeInit.
    void shutdown();
    // The track of `kind` in the local stream `label`, or null; needs mutex_.
    Track* trackLocked(const std::string& label, const std::string& kind);
    bool enableTrack(const char* operation, const std::string& label, const std::string& kind, bool enable);
    std::string answerLocked() const;
    std::shared_ptr<FrameFanout> fanoutLocked(const std::string& label);
    bool liveLocked(const std::string& label) const;
    // A fresh SSRC: random, never 0, none of this engine's.
    uint32_t newSsrcLocked() const;
    // Starts what a new video track needs and files it under `label`.
    int addVideoTrack(const std::string& label, const std::string& trackLabel, bool screen,
                      std::unique_ptr<VideoSource> source, const LocalVideoTrack::Settings& settings);
    // Ends a local track's media (joins its encoder thread); called without mutex_.
    void endTrack(const Track& track);
    // The connection, once the answer is set; null before.
    std::shared_ptr<MediaTransport> sendingTransport() const;
    // The microphone runs while recording or while an audio track exists;
    // the capture thread sends on the enabled audio tracks.
    void updateAudio();
    std::unique_ptr<AudioCapture> openMicrophone();
    // Whether the microphone is a sound device (in a room, with an echo), not a file.
    static bool microphoneIsAcoustic();
    void reportLevel(int level);
    int selectDevice(const char* operation, int index, const std::vector<velto_webrtc::rtc_device_>& devices,
                     std::string* chosen);
    // Writes `value` to `out` (-1 when null) and journals the call.
    template <typename T>
    int report(const char* operation, T* out, T value);
    // A copy of `field`, read under `mutex`.
    template <typename T>
    static T locked(std::mutex& mutex, const T& field);
    int setVolume(const char* operation, unsigned int volume, unsigned int& store);

    // Loss recovery (MediaEngine_recovery.cpp). Our video tracks' retransmission
    // streams: a fresh SSRC for `mediaSsrc`'s, announced with it; needs mutex_.
    uint32_t addRetransmissionLocked(uint32_t mediaSsrc);
    void forgetRetransmission(uint32_t mediaSsrc);
    // (media, retransmission) of our tracks; needs mutex_.
    std::vector<std::pair<uint32_t, uint32_t>> retransmissionPairsLocked() const;
    // Tells the transport which of our streams resend and how.
    void announceRetransmissions(MediaTransport& transport);
    // The received streams' retransmission streams, paired anew from the
    // remote sources; true when `ssrc` is one. Called without the locks.
    void pairRemoteRetransmissions();
    bool isRemoteRetransmission(uint32_t ssrc);
    // A resend of a received video stream's packet, on the network thread.
    void onRetransmission(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs);
    // The port of a new connection, with the test's packet filter if it set one.
    static std::unique_ptr<PacketPort> openMediaPort();

    const std::string cname_;

    mutable std::mutex mutex_;
    velto_webrtc::velto_media_observer* observer_ = nullptr;
    std::unique_ptr<velto_platform::EventLoop> loop_;  // exists from Init to DeInit
    std::map<std::string, LocalStream> localStreams_;
    std::vector<RemoteSource> remoteSources_;
    std::map<std::string, std::shared_ptr<FrameFanout>> fanouts_;  // by label
    std::map<unsigned int, Render> renders_;
    std::string remoteOffer_;
    std::vector<uint8_t> receiveKey_;  // from the offer
    std::vector<uint8_t> sendKey_;     // ours, in the answer
    std::string unitHost_;             // from the candidate
    int unitPort_ = 0;
    // The login's STUN and TURN servers, and the ICE agent of the connection
    // when the offer's peer takes part in ICE (a=ice-ufrag); without, media
    // goes to the address its candidate names.
    std::vector<IceServer> iceServers_;
    std::shared_ptr<IceAgent> ice_;
    std::vector<std::string> remoteCandidates_;  // the peer's, as they came before the agent
    // Our candidates wait for the answer: the peer learns of our agent there.
    bool candidatesMayGo_ = false;
    std::vector<std::pair<std::string, std::string>> heldCandidates_;  // candidate, protocol
    std::vector<std::pair<std::string, std::string>> localCandidates_;  // all found so far
    bool answered_ = false;            // the answer is set: media may go
    bool shutDown_ = false;
    std::shared_ptr<MediaTransport> transport_;
    bool recording_ = false;
    AudioDeviceMode mode_ = kAudioDeviceNormal;
    std::string speakerTestPath_;
    std::map<uint32_t, uint32_t> retransmissionOf_;  // our video SSRC -> its retransmission SSRC
    std::string microphoneId_;         // "" = the sound server's default
    unsigned int microphoneVolume_ = 255;
    unsigned int speakerVolume_ = 255;

    // What the network thread looks up by SSRC.
    std::mutex streamsMutex_;
    std::map<uint32_t, std::shared_ptr<RemoteVideoStream>> remoteVideo_;
    std::map<uint32_t, std::shared_ptr<RemoteAudioStream>> remoteAudio_;
    std::map<uint32_t, std::shared_ptr<LocalVideoTrack>> sendingVideo_;
    RtxReceiver remoteRetransmissions_;
    std::shared_ptr<MediaTransport> feedbackTransport_;  // transport_, for the network and decoder threads
    // Decodes every remote video stream; stopped after them.
    const std::shared_ptr<DecoderPool> decoders_ = std::make_shared<DecoderPool>();

    std::mutex audioMutex_;  // serialises updateAudio
    // Cleans the microphone, with what the speaker plays as echo reference.
    const std::shared_ptr<AudioProcessor> audioProcessor_;
    AudioPlayoutPath playout_;
    std::unique_ptr<AudioCapturePath> capture_;

    // Microphone levels. A level reads the observer when it starts and is
    // reported under levelCallMutex_, so that replacing the observer can wait.
    std::mutex levelCallMutex_;
    std::atomic<velto_audio_capture_data_db_observer*> levelObserver_{nullptr};
};

}  // namespace velto_media
