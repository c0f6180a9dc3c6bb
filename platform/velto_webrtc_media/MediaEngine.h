// The media engine of the stand-in: no real capture or transport, but the
// devices, streams, negotiation steps, statistics, microphone levels and
// rendered pictures that its users see from a real one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventLoop.h"
#include "TestPatternRender.h"
#include "velto_webrtc_interface.h"

namespace velto_media {

class MediaEngine final : public velto_webrtc_interface {
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
    bool emit(Event event);
    // Posts `marker` behind every event queued so far; false when the engine
    // has no thread, so that nothing is pending.
    bool post(std::function<void()> marker);
    // The label of the stream drawn into `target`, empty when none is (tests).
    std::string renderedLabel(const void* target) const;

private:
    struct Track {
        std::string label;
        std::string kind;  // "audio" or "video"
        std::string ssrc;
        bool screen = false;
        bool enabled = true;
        int bitrate = 0;   // kbit/s
    };
    struct LocalStream {
        std::vector<Track> tracks;
        int width = 0;     // capture size of the camera track
        int height = 0;
    };

    // Stops every thread of the engine: the work of DeInit.
    void shutdown();
    // The track of `kind` in the local stream `label`, or null; needs mutex_.
    Track* trackLocked(const std::string& label, const std::string& kind);
    bool enableTrack(const char* operation, const std::string& label, const std::string& kind, bool enable);
    std::string answerLocked() const;
    velto_webrtc::rtc_stat_info statsLocked() const;
    // The frame size of the pattern drawn for `label`; needs mutex_.
    void frameSizeLocked(const std::string& label, int* width, int* height) const;
    // A local stream or a remote one with a source is called `label`; needs mutex_.
    bool liveLocked(const std::string& label) const;
    // The stream `label` sends a picture: an enabled video track of a local
    // stream, or a video source of a remote one; needs mutex_.
    bool showingLocked(const std::string& label) const;
    // The user id of the remote stream's sender, empty for a local stream; needs mutex_.
    std::string senderLocked(const std::string& label) const;
    // Each render draws its pattern or black, as its stream now sends; needs mutex_.
    void refreshRendersLocked();
    void stopLevelThread();
    void runLevels();
    int selectDevice(const char* operation, int index, const std::vector<velto_webrtc::rtc_device_>& devices);
    // Writes `value` to `out` (-1 when null) and journals the call.
    template <typename T>
    int report(const char* operation, T* out, T value);
    // A copy of `field`, read under `mutex`.
    template <typename T>
    static T locked(std::mutex& mutex, const T& field);
    int setVolume(const char* operation, unsigned int volume, unsigned int& store);

    const std::string cname_;

    mutable std::mutex mutex_;
    velto_webrtc::velto_media_observer* observer_ = nullptr;
    std::unique_ptr<velto_platform::EventLoop> loop_;  // exists from Init to DeInit
    std::map<std::string, LocalStream> localStreams_;
    std::vector<velto_webrtc::rtc_ssrc> remoteSources_;
    std::string remoteOffer_;
    std::map<unsigned int, std::unique_ptr<TestPatternRender>> renders_;
    bool playing_ = false;
    unsigned int microphoneVolume_ = 200;
    unsigned int speakerVolume_ = 200;

    // Microphone levels. A level reads the observer when it starts and is
    // reported under levelCallMutex_, so that replacing the observer can wait.
    std::mutex levelCallMutex_;
    std::atomic<velto_audio_capture_data_db_observer*> levelObserver_{nullptr};
    std::mutex levelMutex_;
    std::condition_variable levelWake_;
    bool recording_ = false;
    std::thread levelThread_;
};

}  // namespace velto_media
