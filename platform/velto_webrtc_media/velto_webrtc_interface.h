// The media engine: devices, local streams, the media connection and the
// rendering of streams into render targets.
//
// Negotiation steps, candidates, remote streams and statistics reach the
// observer given to Init on the engine's own thread, never inside one of the
// engine's operations. After DeInit has returned no thread of the engine runs
// and the observer is not called again. Render targets are
// QGLRenderInterface* passed untyped; StopRender returns only once the engine
// no longer touches the target.
//
// int results are 0 for success and negative for failure unless said
// otherwise; bool results are true for success.
#pragma once

#include <string>
#include <vector>

// Work mode of the engine's audio device.
enum AudioDeviceMode {
    kAudioDeviceNormal = 0,      // capture and playout for the user's own use
    kAudioDeviceLoopback = 1,    // the captured microphone is played back at once
    kAudioDeviceConference = 3,  // capture and playout belong to the meeting
};

// Receives the microphone level while the engine records and the receiver is
// registered; called on an engine thread.
class velto_audio_capture_data_db_observer {
public:
    virtual ~velto_audio_capture_data_db_observer() = default;
    virtual void OnCaptureDataDB(int db) = 0;
};

namespace velto_webrtc {

// A capture or playout device.
struct rtc_device_ {
    int index = 0;       // what the device selections take
    std::string name;    // display name
    std::string id;      // the engine's device id
};

// One remote synchronisation source: the same six texts, in the same order,
// as the signalling client's ssrc_t.
struct rtc_ssrc {
    std::string ssrc;
    std::string cname;
    std::string streamLabel;
    std::string trackLabel;
    std::string kind;    // "audio" or "video"
    std::string owner;
};

struct ice_server_config {
    std::string url;
    std::string username;
    std::string credential;
};

// One track of the statistics.
struct rtc_stat_item {
    std::string label;   // track label
    std::string kind;    // "audio" or "video"
    std::string bitrate; // kbit/s, decimal
};

struct rtc_stat_info {
    std::string audioSendBitrate;
    std::string audioRecvBitrate;
    std::string videoSendBitrate;
    std::string videoRecvBitrate;
    std::string packetLoss;
    std::vector<rtc_stat_item> media;
};

// Implemented by the user of the engine. A status is "well" when a step
// succeeded.
class velto_media_observer {
public:
    virtual ~velto_media_observer() = default;
    // A remote stream (kind "audio" or "video") arrived or ended.
    virtual void onAddStream(const std::string& kind, std::string& label) = 0;
    virtual void onRemoveStream(const std::string& kind, const std::string& label) = 0;
    virtual void OnDataChannel(const std::string& name) = 0;
    virtual void onOffer(const std::string& status, std::string& sdp) = 0;
    virtual void onAnswer(const std::string& status, std::string& sdp) = 0;
    virtual void onSetLocalSDP(const std::string& status, std::string& sdp) = 0;
    virtual void onSetRemoteSDP(const std::string& status, std::string& sdp) = 0;
    virtual void OnIceCandidate(const std::string& sdpMid, const std::string& candidate, int sdpMLineIndex,
                                const std::string& ufrag, const std::string& component,
                                const std::string& protocol) = 0;
    virtual void OnStats(rtc_stat_info& stats) = 0;
    // The media connection is lost: no path to the peer works (its checks
    // failed, or the selected one stopped answering). Nothing flows until a
    // new offer.
    virtual void OnIceConnectionFailed() {}
};

}  // namespace velto_webrtc

class velto_webrtc_interface {
public:
    // A new engine; the caller owns it. Call Init before negotiating.
    static velto_webrtc_interface* createNew();

    // Runs DeInit when the owner did not.
    virtual ~velto_webrtc_interface() = default;

    virtual int Init(velto_webrtc::velto_media_observer* observer,
                     const std::vector<velto_webrtc::ice_server_config>& iceServers) = 0;
    // Stops every render, the audio test and the engine's threads; afterwards
    // nothing of the engine runs and the observer is forgotten. Not to be
    // called from an engine thread (an observer), which it would wait for.
    virtual int DeInit() = 0;
    virtual int SetIceServers(const std::vector<velto_webrtc::ice_server_config>& iceServers) = 0;

    // Fill `devices` and return how many there are.
    virtual int getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;
    virtual int getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;
    virtual int getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;

    virtual int CreateDataChannel(const std::string& name) = 0;
    virtual int CreateLocalStream(const std::string& label) = 0;
    virtual int RemoveLocalStream(const std::string& label) = 0;
    // -3 when another application holds the camera.
    virtual int AddVideoToLocalStream(const std::string& label, const std::string& trackLabel,
                                      const velto_webrtc::rtc_device_& camera, int width, int height, int fps,
                                      int bitrate) = 0;
    virtual int AddAudioToLocalStream(const std::string& label, const std::string& trackLabel) = 0;
    // wholeScreen, frame rate, screen or window id, window left out of a screen.
    virtual int AddScreenToLocalStream(const std::string& label, const std::string& trackLabel, bool wholeScreen,
                                       int fps, int sourceId, int excludedWindowId) = 0;
    virtual int RemoveScreenFromLocalStream(const std::string& label, const std::string& trackLabel) = 0;

    // Draws the stream `label` (local or remote) into `window`, a
    // QGLRenderInterface*, and writes a non-zero render id. False when no
    // such stream exists or the window already shows a stream of this engine
    // (stop that one first). A stream that sends no picture, muted or gone,
    // draws black.
    virtual bool StartRender(void* window, unsigned int& renderId, const std::string& label, bool screen,
                             int reserved) = 0;
    virtual bool StopRender(unsigned int renderId, const std::string& label) = 0;

    virtual int CreateAnswer() = 0;
    virtual int SetLocalDescription(const std::string& sdp, const std::string& type) = 0;
    virtual bool SetRemoteDescription(const std::string& sdp, const std::string& type) = 0;
    // The last remote offer, empty when none was set.
    virtual std::string GetRemoteOffer() = 0;
    virtual int AddRemoteSources(const std::vector<velto_webrtc::rtc_ssrc>& sources) = 0;
    virtual int RemoveRemoteSources(const std::vector<velto_webrtc::rtc_ssrc>& sources) = 0;
    // kind "audio" or "video", bitrate in kbit/s.
    virtual bool SetMediaBitrate(const std::string& kind, int bitrate) = 0;
    virtual int AddIceCandidate(const std::string& candidate) = 0;
    virtual bool EnableAudio(const std::string& label, bool enable) = 0;
    virtual bool EnableVideo(const std::string& label, bool enable) = 0;
    virtual bool ChangeResolution(const std::string& label, int width, int height, int fps) = 0;
    // OnStats follows.
    virtual int GetStats() = 0;
    // Size of the frames drawn under renderId.
    virtual bool GetStreamAspect(unsigned int renderId, int* width, int* height) = 0;

    // Audio devices. A registered level observer is called while the engine
    // records; after it was replaced (null unregisters) it is not called again.
    virtual int SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer) = 0;
    virtual int SetAudioDeviceWorkMode(AudioDeviceMode mode) = 0;
    virtual int SetTryAudioSpeekerFileFoldPath(std::string path) = 0;
    virtual int SetAudioPlayoutDevice(int index) = 0;
    virtual int SetAudioRecordDevice(int index) = 0;
    virtual int StartAudioPlayout() = 0;
    virtual int StopAudioPlayout() = 0;
    virtual int StartAudioRecording() = 0;
    virtual int StopAudioRecording() = 0;
    virtual int AudioPlaying(bool* playing) = 0;
    virtual int AudioRecording(bool* recording) = 0;
    virtual int MicrophoneVolumeIsAvailable(bool* available) = 0;
    virtual int MinMicrophoneVolume(unsigned int* volume) = 0;
    virtual int MaxMicrophoneVolume(unsigned int* volume) = 0;
    virtual int SetMicrophoneVolume(unsigned int volume) = 0;
    virtual int MicrophoneVolume(unsigned int* volume) = 0;
    virtual int SpeakerVolumeIsAvailable(bool* available) = 0;
    virtual int MinSpeakerVolume(unsigned int* volume) = 0;
    virtual int MaxSpeakerVolume(unsigned int* volume) = 0;
    virtual int SetSpeakerVolume(unsigned int volume) = 0;
    virtual int SpeakerVolume(unsigned int* volume) = 0;
};
