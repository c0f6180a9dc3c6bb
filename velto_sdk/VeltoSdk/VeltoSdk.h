#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "PeriodicWorker.h"
#include "VeltoInterface.h"

class CVeltoHttpCallback;
class CVeltoRtcCallback;
class VeltoHttpSdkInterface;
class VeltoObserver;

// The conference SDK: owns the REST client, the signalling client, the media
// engine and the objects through which they report back.
//
// Threads: every VeltoInterface operation runs on the caller's thread (the
// program's main thread). The keep-alive, ping and statistics workers are
// owned and joined here; signalling and engine events come in through the
// callback classes on those libraries' threads.
//
// The SDK mutex guards the media engine: its creation, its teardown and every
// use of it. The engine's own observer callbacks never take it (the teardown
// holds it while the engine joins its threads). No lock is held while the
// program's callback runs.
class VeltoSdk : public VeltoInterface {
public:
    // Worker periods; tests shorten them.
    struct WorkerIntervals {
        std::chrono::milliseconds keepAlive{std::chrono::seconds(600)};
        std::chrono::milliseconds ping{std::chrono::seconds(10)};
        std::chrono::milliseconds statistics{std::chrono::seconds(10)};
    };

    VeltoSdk();
    ~VeltoSdk() override;
    VeltoSdk(const VeltoSdk&) = delete;
    VeltoSdk& operator=(const VeltoSdk&) = delete;

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

    // --- for the callback classes and tests ---------------------------------

    // Login with every parameter of the REST client.
    int Login(std::string server, std::string userName, std::string password, std::string clientType,
              std::string domain, bool anonymous);
    // Asks the server to create or join the room, reports the answer, then
    // joins the signalling room and starts the statistics worker.
    int CreateOrJoinConference(std::string roomNumber, std::string password, std::string ownerPassword);
    // Joins the signalling room of the stored join record.
    int SendIqConference();

    // Creates the media engine and its observer unless they exist.
    void InitWebrtc();
    // InitWebrtc, then hands the engine the login record's ICE servers.
    void updateConfig(const conference_login_info& login);

    // The engine may only be touched through withEngine from any thread but
    // its own; the engine's observer, running on an engine thread, may use
    // getWebrtc() directly because the teardown joins those threads first.
    velto_webrtc_interface* getWebrtc() const { return webrtc_.load(); }
    VeltoRtcSdkInterface* getRtcSdk() const { return rtc_.get(); }
    CVeltoHttpCallback* getHttpCallback() const { return httpCallback_.get(); }
    VeltoCallback* getVeltoCallback() const { return callback_.load(); }

    // Runs use(engine) under the SDK mutex; `absent` when there is no engine.
    template <typename R, typename Use>
    R withEngine(R absent, Use&& use)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        velto_webrtc_interface* engine = webrtc_.load();
        return engine ? use(*engine) : absent;
    }

    bool isDoubleStream() const;
    std::string getSecondStream() const;
    void setRecordJid(const std::string& jid);

    // Stop request to the keep-alive and ping workers; they are joined later
    // by the owner's thread (the caller may be the signalling client's thread,
    // which a worker may be waiting on).
    void exitThreadWhenNetworkError();

    // Applies to workers started afterwards.
    void setWorkerIntervals(const WorkerIntervals& intervals);

private:
    void KeepAlive(const conference_login_info& login);
    void sendPing();
    void getStatPresence();
    void stopLoginWorkers();
    std::string ownAddress() const;

    std::atomic<VeltoCallback*> callback_{nullptr};
    std::atomic<velto_webrtc_interface*> webrtc_{nullptr};  // owned; written under mutex_
    std::unique_ptr<VeltoHttpSdkInterface> http_;
    std::unique_ptr<VeltoRtcSdkInterface> rtc_;
    std::unique_ptr<CVeltoHttpCallback> httpCallback_;
    std::unique_ptr<CVeltoRtcCallback> rtcCallback_;
    std::unique_ptr<VeltoObserver> observer_;  // exists exactly while the engine does; under mutex_

    std::mutex mutex_;  // the SDK mutex

    // Read on signalling and engine threads too.
    mutable std::mutex stateMutex_;
    bool secondStream_ = false;
    int secondStreamCount_ = 0;
    std::string ownAddress_;
    std::string secondLabel_;
    std::string recordJid_;

    // The caller's thread only.
    std::string server_;
    std::string roomPassword_;
    WorkerIntervals intervals_;

    PeriodicWorker keepAliveWorker_;
    PeriodicWorker pingWorker_;
    PeriodicWorker statisticsWorker_;
};
