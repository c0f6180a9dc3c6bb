#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "PeriodicWorker.h"
#include "VeltoHttpSdkInterface.h"
#include "VeltoInterface.h"

class CVeltoHttpCallback;
class CVeltoRtcCallback;
class VeltoObserver;

// The conference SDK: owns the REST client, the signalling client, the media
// engine and the objects through which they report back.
//
// Threads: every VeltoInterface operation runs on the caller's thread (the
// program's main thread). The keep-alive, ping and statistics workers are
// owned and joined here; signalling and engine events come in through the
// callback classes on those libraries' threads.
//
// The SDK mutex guards the media engine: its creation, its detachment at
// teardown and every use of it from outside the engine's own threads. The
// engine's observer never takes it and uses the engine directly: the engine
// joins those threads before it is deleted. No lock is held while the
// program's callback runs, nor while the engine joins its threads (an event
// still running there may call the program, and the program the SDK).
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

    // The engine may only be used through withEngine or onEngine; this is
    // for tests and for telling whether one exists.
    velto_webrtc_interface* getWebrtc() const { return webrtc_.load(); }
    VeltoRtcSdkInterface* getRtcSdk() const { return rtc_.get(); }
    CVeltoHttpCallback* getHttpCallback() const { return httpCallback_.get(); }
    CVeltoRtcCallback* getRtcCallback() const { return rtcCallback_.get(); }
    VeltoCallback* getVeltoCallback() const { return callback_.load(); }
    // Hands `call` the program's callback when one is registered.
    template <typename Call>
    void notify(Call&& call) const
    {
        if (VeltoCallback* callback = getVeltoCallback())
            call(*callback);
    }

    // Runs use(engine) under the SDK mutex; `absent` when there is no engine.
    template <typename R, typename Use>
    R withEngine(R absent, Use&& use)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        velto_webrtc_interface* engine = webrtc_.load();
        return engine ? use(*engine) : absent;
    }
    // Calls the engine operation `operation` under the SDK mutex; `absent`
    // when there is no engine.
    template <typename R, typename... Params, typename... Args>
    R onEngine(R absent, R (velto_webrtc_interface::*operation)(Params...), Args&&... args)
    {
        return withEngine(absent, [&](velto_webrtc_interface& engine) {
            return (engine.*operation)(std::forward<Args>(args)...);
        });
    }

    // A second (screen-share) stream is announced: the answers of the media
    // connection then go out as the second stream's answers.
    bool isDoubleStream() const;
    int getSecondStreamCount() const;
    std::string getSecondStream() const;
    void setRecordJid(const std::string& jid);

    // Writes a fresh stream label into `label`: a decimal number from 0 to
    // 9999 that no local stream of this object uses.
    void setStreamLabel(std::string& label);

    // The video bandwidth of a capture size: the join answer's resolution step
    // of this width and height, else of this height, else of this width; 256
    // without a match.
    int getBandWidth(int width, int height) const;
    // Sets the video bitrate of the local streams; false without an engine.
    bool ResetMediaBitrates(int bandwidth);

    // Stop request to the keep-alive and ping workers; they are joined later
    // by the owner's thread (the caller may be the signalling client's thread,
    // which a worker may be waiting on).
    void exitThreadWhenNetworkError();

    // Applies to workers started afterwards.
    void setWorkerIntervals(const WorkerIntervals& intervals);
    const WorkerIntervals& workerIntervals() const { return intervals_; }
    // Time limits of the REST requests that start afterwards.
    void setTransferLimits(const TransferLimits& limits);

private:
    // What the meeting operations add to the caller's arguments.
    struct SessionValues {
        std::string userId;
        std::string userName;
        std::string ownAddress;
        std::string room;          // of the last create-or-join; empty before one
        std::string record;        // the join answer's recorder
        std::string roomPassword;  // of the last create-or-join
    };
    // Empty without a REST client or a login record.
    std::optional<SessionValues> loginValues() const;
    // Empty also without a join record.
    std::optional<SessionValues> meetingValues() const;

    void KeepAlive(const conference_login_info& login);
    void sendPing();
    void getStatPresence();
    void stopLoginWorkers();

    // Local streams made and removed through these keep the labels in use.
    int createLocalStream(velto_webrtc_interface& engine, const std::string& label);
    int removeLocalStream(velto_webrtc_interface& engine, const std::string& label);
    std::string localLabel() const;
    void setLocalLabel(const std::string& label);
    void setSecondLabel(const std::string& label);
    // Adds `delta` to the second-stream count, which never goes below 0.
    void changeSecondStreamCount(int delta);
    // Switches a track of the local stream; on success the own mute flag
    // follows and a presence report is requested.
    bool enableLocalTrack(bool (velto_webrtc_interface::*enableTrack)(const std::string&, bool),
                          void (CVeltoHttpCallback::*setMute)(bool), bool enable);
    // The conference resource lookup of recording and call-out: fills the gateway.
    int conferenceGateway(const SessionValues& session, std::string& gateway);
    // Runs a signalling operation; -1 without a signalling client.
    template <typename Send>
    int withRtc(Send&& send);

    std::atomic<VeltoCallback*> callback_{nullptr};
    std::atomic<velto_webrtc_interface*> webrtc_{nullptr};  // owned; written under mutex_
    std::unique_ptr<VeltoHttpSdkInterface> http_;
    std::unique_ptr<VeltoRtcSdkInterface> rtc_;
    std::unique_ptr<CVeltoHttpCallback> httpCallback_;
    std::unique_ptr<CVeltoRtcCallback> rtcCallback_;
    std::unique_ptr<VeltoObserver> observer_;  // exists exactly while the engine does; under mutex_

    std::mutex mutex_;  // the SDK mutex
    std::atomic<bool> leaving_{false};  // a LeaveConference is running

    // Read on signalling and engine threads too. Taken after the SDK mutex
    // where both are held.
    mutable std::mutex stateMutex_;
    int secondStreamCount_ = 0;  // the second-stream flag is "more than 0"
    std::string localLabel_;     // the stream whose tracks the mute switches act on
    std::string secondLabel_;
    std::set<std::string> liveLabels_;  // labels of this object's local streams
    std::string recordJid_;

    // The caller's thread only.
    std::string server_;
    std::string roomPassword_;
    std::string callOutTarget_;  // SIP target of the last successful phone call-out
    WorkerIntervals intervals_;

    PeriodicWorker keepAliveWorker_;
    PeriodicWorker pingWorker_;
    PeriodicWorker statisticsWorker_;
};
