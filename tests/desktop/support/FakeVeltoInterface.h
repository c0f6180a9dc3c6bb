#pragma once
// A recording stand-in for the SDK object: every call is recorded with its
// arguments as text, answers come from configurable members, and a hook lets a
// test react to calls (for example call the registered callback from Login).
//
//   FakeVeltoInterface sdk;
//   sdk.cameras = {{0, "Cam", "cam-0"}};
//   sdk.setResult("JoinConference", -1);
//   CGlobalInstance::veltoSdk = &sdk;
//   ...
//   EXPECT_EQ(sdk.count("ChangeCameraResolution"), 1);
//   EXPECT_EQ(sdk.last("ChangeCameraResolution").args, (Args{"label", "640", "480", "30"}));
//
// Thread-safe: calls may arrive from any thread.

#include "VeltoInterface.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace velto::test {

using Args = std::vector<std::string>;

struct SdkCall {
    std::string name;
    Args args;  // input arguments as text; out-parameters are not listed
};

class FakeVeltoInterface : public VeltoInterface {
public:
    // --- answers -------------------------------------------------------------
    std::vector<velto_webrtc::rtc_device_> cameras{{0, "Camera", "camera-0"}};
    std::vector<velto_webrtc::rtc_device_> microphones{{0, "Microphone", "microphone-0"}};
    std::vector<velto_webrtc::rtc_device_> speakers{{0, "Speaker", "speaker-0"}};
    std::set<int> occupiedCameras;  // device indexes that IsVideoDeviceOccupied reports busy
    bool moderator = false;         // isModerator()
    // AudioRecording / AudioPlaying: set by the Start and Stop operations.
    std::atomic<bool> audioRecording{false};
    std::atomic<bool> audioPlaying{false};
    // The level observer last registered (SetAudioCaptureDataDBObserver).
    std::atomic<velto_audio_capture_data_db_observer*> levelObserver{nullptr};
    std::string meetPassword;       // QueryUsers
    std::string ownerPassword;
    conferences_info conferenceDetail;  // GetConferenceDetail
    int callPhoneCode = 200;            // CallPhone's out-parameter
    // Result of an int operation by name; 0 unless set. Bool operations answer
    // true unless set to 0.
    void setResult(const std::string& operation, int result);
    // Runs after each call is recorded, on the calling thread, without the lock.
    std::function<void(const SdkCall&)> onCall;

    // --- what happened ---------------------------------------------------------
    std::vector<SdkCall> calls() const;
    std::vector<std::string> names() const;  // operation names in call order
    int count(const std::string& operation) const;
    SdkCall last(const std::string& operation) const;  // empty call when none
    void clear();
    VeltoCallback* callback() const;

    // --- VeltoInterface ----------------------------------------------------------
    void setCallback(VeltoCallback* callback) override;
    int Login(std::string server, std::string userName, std::string password, std::string domain) override;
    int Logout() override;
    int CreateConference() override;
    int JoinConference(std::string roomNumber, std::string password) override;
    int AnonymousJoinConference(std::string server, std::string roomNumber, std::string password,
                                std::string nickname) override;
    int LeaveConference() override;
    int LockConference(bool lock) override;
    int GetMyConferences(int count, std::string date, int page, std::string type, std::string status,
                         std::string search) override;
    int ReserveConference(reservation_conference conference) override;
    int GetConferenceDetail(std::string conferenceId, conferences_info& detail) override;
    int DeleteConference(std::string conferenceId) override;
    int GetContacts() override;
    int GetSearchContacts(std::string search) override;
    int AddContact(std::string userId, std::string nickname) override;
    int ModifyConferences(std::string meetPassword, std::string ownerPassword) override;
    int QueryUsers(std::string& meetPassword, std::string& ownerPassword) override;
    int StartRecord(std::string rule) override;
    int StopRecord() override;
    int SetStage(std::string stageJid, bool screen) override;
    int SplitScreen(int splitScreen) override;
    int SelectParticipants(std::string participants) override;
    int HandsUp(std::string action, std::string userJid, std::string nickname) override;
    int ExtendConferenceTime(std::string roomNumber, int lengthTime) override;
    int GetModerator(std::string roomNumber, std::string password) override;
    int CallSip(std::string number) override;
    int CallPhone(std::string number, int& code) override;
    int HangUp(std::string number) override;
    int SendAudioMute(std::string jid, bool mute) override;
    int SendVideoMute(std::string jid, bool mute) override;
    int SendModerator(std::string jid) override;
    int SendKickout(std::string jid) override;
    int SendRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname, int callType,
                     int isCaller, std::string time, std::string meetPassword) override;
    int SendWhiteboard(std::string action, std::string second, std::string third) override;
    int SendAnnotate(std::string action, std::string second, std::string third, std::string target) override;
    int SendChatMessage(std::string message) override;
    int getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    int getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    int getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices) override;
    bool GetStreamAspect(unsigned int renderId, int* width, int* height) override;
    int AddSecondStream() override;
    int RemoveSecondStream(std::string label) override;
    bool IsVideoDeviceOccupied(const velto_webrtc::rtc_device_& camera) override;
    int ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera,
                         const velto_webrtc::rtc_device_& microphone, const velto_webrtc::rtc_device_& speaker,
                         int width, int height, int fps, int bitrate) override;
    int ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera, int width, int height, int fps,
                         int bitrate) override;
    int CloseLocalPreview(rtc_render render) override;
    int ChangeCameraResolution(const std::string& label, int width, int height, int fps) override;
    int CreateSingleAudioStream(rtc_render& render, const velto_webrtc::rtc_device_& microphone,
                                const velto_webrtc::rtc_device_& speaker) override;
    int CloseSingleAudioStream(rtc_render render) override;
    int AddScreenShareStream(const std::string& label, bool flag, int value1, int value2, int value3) override;
    int RemoveScreenShareStream(const std::string& label) override;
    bool StartRenderStream(void* window, unsigned int& renderId, const std::string& label, bool flag) override;
    bool StopRenderStream(int renderId, const std::string& label) override;
    int RenderPictureShot(int renderId, std::string& path) override;
    bool EnableStreamAudio(bool enable) override;
    bool EnableStreamVideo(bool enable) override;
    int SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer) override;
    int SetAudioDeviceWorkMode(AudioDeviceMode mode) override;
    int SetTryAudioSpeekerFileFoldPath(std::string path) override;
    int SetAudioPlayoutDevice(int index) override;
    int SetAudioRecordDevice(int index) override;
    int StartAudioPlayout() override;
    int StopAudioPlayout() override;
    int StartAudioRecording() override;
    int StopAudioRecording() override;
    int AudioPlaying(bool* state) override;
    int AudioRecording(bool* state) override;
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
    bool isModerator() override;

private:
    // Records the call and returns the configured result of `name`, else `fallback`.
    int record(const std::string& name, Args args = {}, int fallback = 0);
    bool recordBool(const std::string& name, Args args = {});

    mutable std::mutex mutex_;
    std::vector<SdkCall> calls_;
    std::map<std::string, int> results_;
    VeltoCallback* callback_ = nullptr;
};

}  // namespace velto::test
