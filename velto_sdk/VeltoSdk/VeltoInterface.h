#pragma once

// The conference SDK as the program sees it: one factory, one interface, one
// callback interface, and the plain records that cross between them.
//
// Every operation runs on the caller's thread; REST-backed ones block for
// their request and report through the callback before they return.
// Signalling and media events arrive on the outside libraries' threads (see
// VeltoCallback). The SDK holds none of its locks while it calls the program.

#include <cstdint>
#include <string>
#include <vector>

#include "common.h"
#include "VeltoRtcSdkInterface.h"
#include "velto_webrtc_interface.h"

#if defined(VELTO_SDK_BUILD)
#define VELTO_SDK_EXPORT __attribute__((visibility("default")))
#else
#define VELTO_SDK_EXPORT
#endif

// Outcome of a login, handed to VeltoCallback::onLogin.
struct login_callback_data {
    std::string myJid;      // user id "@" message server "/" endpoint
    std::string cNumber;    // the user's personal meeting room number
    std::string mUserName;
    std::string phone;
    std::string email;
    std::string photo;
    int videoNum = 0;
};

// Outcome of a create-or-join, handed to VeltoCallback::onCreateOrJoinConference.
struct conference_callback_data {
    std::string r;            // room number
    std::string bandwidth;    // chosen video bandwidth, decimal
    std::string resolution;   // frame height as the server sent it
    std::string width;        // chosen frame width, decimal
    std::string stageJid;
    std::string conferenceType;
    std::string maxViewNum;
    bool recordFlag = false;  // the meeting is being recorded
    bool withAudio = false;
    bool withVideo = false;
};

// A reservation form, turned into the reservation request's JSON body.
struct reservation_conference {
    std::string title;
    int64_t startTime = 0;        // ms since the epoch
    unsigned int lengthTime = 0;  // seconds
    std::string autoRecord;       // "CRAC" or "CRAO"
    std::string ownerPassword;
    std::string meetPassword;
    unsigned int cycle = 0;       // 1 for a periodic meeting
    unsigned int cycleDmy = 0;    // 0 day, 1 week, 2 month
    unsigned int cycleStart = 0;  // seconds after midnight
    int64_t cycleEndDay = 0;      // ms since the epoch
    std::string mConferenceId;    // empty for a new reservation
    int videoNum = 0;             // 0: not given
};

// A render target. The engine writes `id` when rendering starts; the preview
// and audio-stream operations write a fresh `label`; `window` is passed to
// the engine untouched and must outlive the render.
struct rtc_render {
    unsigned int id = 0;
    std::string label;
    void* window = nullptr;
};

// Implemented by the program. Operations named "inside X" run on the thread
// that called X, before X returns; the others run on a signalling or media
// engine thread and must hand their work over themselves.
class VeltoCallback {
public:
    virtual void onLogin(int code, login_callback_data data) = 0;                         // inside Login / AnonymousJoinConference
    virtual void onCreateOrJoinConference(int code, conference_callback_data data) = 0;   // inside the create-or-join operations
    virtual void onLeaveConference() = 0;                                                 // inside LeaveConference, engine still alive
    virtual void onNetworkError() = 0;
    virtual void onGetModerator(int code) = 0;
    virtual void onReserveConference(int code) = 0;
    virtual void onGetMyConferences(int code, const conferences& list) = 0;
    virtual void onStartRecord(int code) = 0;
    virtual void onStopRecord(int code) = 0;
    virtual void onNotifyRecord(bool on) = 0;
    virtual void onGetStat(std::string jid, int, int, int, int, int) = 0;
    virtual void onAddStream(const std::string& label) = 0;
    virtual void onRemoveStream(const std::string& label) = 0;
    virtual void onWhiteBoard(std::string action, std::string data) = 0;
    virtual void onAnnotate(std::string action, std::string data, std::string userjid) = 0;
    virtual void onChatMessage(std::string nickname, std::string message) = 0;
    virtual void onUpdateUserList(user_info user) = 0;
    virtual void onRemoveUserList(std::string jid) = 0;
    virtual void onControlMsg(std::string type, bool flag, std::string value) = 0;
    virtual void onSip(int value) = 0;
    virtual void onGrantAdmin() = 0;
    virtual void onKickout() = 0;
    virtual void onMuteAudio(bool mute) = 0;
    virtual void onMuteVideo(bool mute) = 0;
    virtual void onChangeNickname(std::string nickname) = 0;
    virtual void onGetContacts(int code, conference_contacts& contacts) = 0;
    virtual void onGetSearchContacts(int code, conference_contacts& contacts) = 0;
    virtual void onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                            int callType, int isCaller, std::string meetPassword) = 0;
    virtual void onPresence(std::string userId, bool onLine) = 0;
    virtual void onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                        std::string partipants) = 0;
    virtual void onHandsUp(std::string action, std::string userjid, std::string nickname) = 0;

protected:
    // The SDK never owns or deletes the program's callback.
    ~VeltoCallback() = default;
};

// Results are 0 for success and negative for failure unless noted; codes of
// the REST client, the signalling client and the media engine pass through.
class VeltoInterface {
public:
    virtual void setCallback(VeltoCallback* callback) = 0;
    virtual int Login(std::string server, std::string userName, std::string password, std::string domain) = 0;
    virtual int Logout() = 0;
    virtual int CreateConference() = 0;
    virtual int JoinConference(std::string roomNumber, std::string password) = 0;
    virtual int AnonymousJoinConference(std::string server, std::string roomNumber, std::string password,
                                        std::string nickname) = 0;
    // -1 without a media engine, while another leave runs, and from inside
    // onAddStream or onRemoveStream, whose thread the engine's teardown joins.
    virtual int LeaveConference() = 0;
    virtual int LockConference(bool lock) = 0;
    virtual int GetMyConferences(int count, std::string date, int page, std::string type, std::string status,
                                 std::string search) = 0;
    virtual int ReserveConference(reservation_conference conference) = 0;
    virtual int GetConferenceDetail(std::string conferenceId, conferences_info& detail) = 0;
    virtual int DeleteConference(std::string conferenceId) = 0;
    virtual int GetContacts() = 0;
    virtual int GetSearchContacts(std::string search) = 0;
    virtual int AddContact(std::string userId, std::string nickname) = 0;
    virtual int ModifyConferences(std::string meetPassword, std::string ownerPassword) = 0;
    virtual int QueryUsers(std::string& meetPassword, std::string& ownerPassword) = 0;
    virtual int StartRecord(std::string rule) = 0;
    virtual int StopRecord() = 0;
    virtual int SetStage(std::string stageJid, bool screen) = 0;
    virtual int SplitScreen(int splitScreen) = 0;
    virtual int SelectParticipants(std::string participants) = 0;
    virtual int HandsUp(std::string action, std::string userJid, std::string nickname) = 0;
    virtual int ExtendConferenceTime(std::string roomNumber, int lengthTime) = 0;
    virtual int GetModerator(std::string roomNumber, std::string password) = 0;
    virtual int CallSip(std::string number) = 0;
    virtual int CallPhone(std::string number, int& code) = 0;
    virtual int HangUp(std::string number) = 0;
    virtual int SendAudioMute(std::string jid, bool mute) = 0;
    virtual int SendVideoMute(std::string jid, bool mute) = 0;
    virtual int SendModerator(std::string jid) = 0;
    virtual int SendKickout(std::string jid) = 0;
    virtual int SendRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                             int callType, int isCaller, std::string time, std::string meetPassword) = 0;
    virtual int SendWhiteboard(std::string action, std::string second, std::string third) = 0;
    virtual int SendAnnotate(std::string action, std::string second, std::string third, std::string target) = 0;
    virtual int SendChatMessage(std::string message) = 0;
    // Camera-list result below 1 means no camera.
    virtual int getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;
    virtual int getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;
    virtual int getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices) = 0;
    virtual bool GetStreamAspect(unsigned int renderId, int* width, int* height) = 0;
    virtual int AddSecondStream() = 0;
    virtual int RemoveSecondStream(std::string label) = 0;
    virtual bool IsVideoDeviceOccupied(const velto_webrtc::rtc_device_& camera) = 0;
    virtual int ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera,
                                 const velto_webrtc::rtc_device_& microphone, const velto_webrtc::rtc_device_& speaker,
                                 int width, int height, int fps, int bitrate) = 0;
    virtual int ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera, int width, int height,
                                 int fps, int bitrate) = 0;
    virtual int CloseLocalPreview(rtc_render render) = 0;
    virtual int ChangeCameraResolution(const std::string& label, int width, int height, int fps) = 0;
    virtual int CreateSingleAudioStream(rtc_render& render, const velto_webrtc::rtc_device_& microphone,
                                        const velto_webrtc::rtc_device_& speaker) = 0;
    virtual int CloseSingleAudioStream(rtc_render render) = 0;
    virtual int AddScreenShareStream(const std::string& label, bool flag, int value1, int value2, int value3) = 0;
    virtual int RemoveScreenShareStream(const std::string& label) = 0;
    virtual bool StartRenderStream(void* window, unsigned int& renderId, const std::string& label, bool flag) = 0;
    virtual bool StopRenderStream(int renderId, const std::string& label) = 0;
    virtual int RenderPictureShot(int renderId, std::string& path) = 0;  // does nothing, returns 0
    virtual bool EnableStreamAudio(bool enable) = 0;
    virtual bool EnableStreamVideo(bool enable) = 0;
    // The observer is called on an engine thread and must not call into the
    // SDK: replacing it, stopping the recording and leaving wait for it.
    virtual int SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer) = 0;
    virtual int SetAudioDeviceWorkMode(AudioDeviceMode mode) = 0;
    virtual int SetTryAudioSpeekerFileFoldPath(std::string path) = 0;
    virtual int SetAudioPlayoutDevice(int index) = 0;
    virtual int SetAudioRecordDevice(int index) = 0;
    virtual int StartAudioPlayout() = 0;
    virtual int StopAudioPlayout() = 0;
    virtual int StartAudioRecording() = 0;
    virtual int StopAudioRecording() = 0;
    virtual int AudioPlaying(bool* state) = 0;
    virtual int AudioRecording(bool* state) = 0;
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
    // May also be called from signalling threads.
    virtual bool isModerator() = 0;
    virtual ~VeltoInterface() = default;
};

// Creates a new, independent SDK object; the caller owns it.
VELTO_SDK_EXPORT VeltoInterface* getVeltoInterface();
