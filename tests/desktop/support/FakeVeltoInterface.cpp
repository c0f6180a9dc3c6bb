#include "FakeVeltoInterface.h"

namespace velto::test {

namespace {

std::string text(bool value) { return value ? "true" : "false"; }
std::string text(int value) { return std::to_string(value); }
std::string text(unsigned int value) { return std::to_string(value); }
std::string text(const velto_webrtc::rtc_device_& device) { return device.name; }
std::string text(const rtc_render& render) { return render.label; }

}  // namespace

void FakeVeltoInterface::setResult(const std::string& operation, int result)
{
    std::lock_guard<std::mutex> lock(mutex_);
    results_[operation] = result;
}

std::vector<SdkCall> FakeVeltoInterface::calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> FakeVeltoInterface::names() const
{
    std::vector<std::string> names;
    for (const SdkCall& call : calls())
        names.push_back(call.name);
    return names;
}

int FakeVeltoInterface::count(const std::string& operation) const
{
    int n = 0;
    for (const SdkCall& call : calls())
        n += call.name == operation;
    return n;
}

SdkCall FakeVeltoInterface::last(const std::string& operation) const
{
    const std::vector<SdkCall> all = calls();
    for (auto call = all.rbegin(); call != all.rend(); ++call)
        if (call->name == operation)
            return *call;
    return {};
}

void FakeVeltoInterface::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

VeltoCallback* FakeVeltoInterface::callback() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return callback_;
}

int FakeVeltoInterface::record(const std::string& name, Args args, int fallback)
{
    SdkCall call{name, std::move(args)};
    int result = fallback;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        const auto configured = results_.find(name);
        if (configured != results_.end())
            result = configured->second;
    }
    if (onCall)
        onCall(call);
    return result;
}

bool FakeVeltoInterface::recordBool(const std::string& name, Args args)
{
    return record(name, std::move(args), 1) != 0;
}

void FakeVeltoInterface::setCallback(VeltoCallback* callback)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        callback_ = callback;
    }
    record("setCallback");
}

int FakeVeltoInterface::Login(std::string server, std::string userName, std::string password, std::string domain)
{
    return record("Login", {server, userName, password, domain});
}

int FakeVeltoInterface::Logout() { return record("Logout"); }
int FakeVeltoInterface::CreateConference() { return record("CreateConference"); }

int FakeVeltoInterface::JoinConference(std::string roomNumber, std::string password)
{
    return record("JoinConference", {roomNumber, password});
}

int FakeVeltoInterface::AnonymousJoinConference(std::string server, std::string roomNumber, std::string password,
                                                std::string nickname)
{
    return record("AnonymousJoinConference", {server, roomNumber, password, nickname});
}

int FakeVeltoInterface::LeaveConference() { return record("LeaveConference"); }
int FakeVeltoInterface::LockConference(bool lock) { return record("LockConference", {text(lock)}); }

int FakeVeltoInterface::GetMyConferences(int count, std::string date, int page, std::string type,
                                         std::string status, std::string search)
{
    return record("GetMyConferences", {text(count), date, text(page), type, status, search});
}

int FakeVeltoInterface::ReserveConference(reservation_conference conference)
{
    return record("ReserveConference", {conference.title, std::to_string(conference.startTime),
                                        text(conference.lengthTime), conference.mConferenceId});
}

int FakeVeltoInterface::GetConferenceDetail(std::string conferenceId, conferences_info& detail)
{
    const int result = record("GetConferenceDetail", {conferenceId});
    if (result == 0)
        detail = conferenceDetail;
    return result;
}

int FakeVeltoInterface::DeleteConference(std::string conferenceId) { return record("DeleteConference", {conferenceId}); }
int FakeVeltoInterface::GetContacts() { return record("GetContacts"); }
int FakeVeltoInterface::GetSearchContacts(std::string search) { return record("GetSearchContacts", {search}); }

int FakeVeltoInterface::AddContact(std::string userId, std::string nickname)
{
    return record("AddContact", {userId, nickname});
}

int FakeVeltoInterface::ModifyConferences(std::string meet, std::string owner)
{
    return record("ModifyConferences", {meet, owner});
}

int FakeVeltoInterface::QueryUsers(std::string& meet, std::string& owner)
{
    const int result = record("QueryUsers");
    if (result == 0) {
        meet = meetPassword;
        owner = ownerPassword;
    }
    return result;
}

int FakeVeltoInterface::StartRecord(std::string rule) { return record("StartRecord", {rule}); }
int FakeVeltoInterface::StopRecord() { return record("StopRecord"); }

int FakeVeltoInterface::SetStage(std::string stageJid, bool screen)
{
    return record("SetStage", {stageJid, text(screen)});
}

int FakeVeltoInterface::SplitScreen(int splitScreen) { return record("SplitScreen", {text(splitScreen)}); }

int FakeVeltoInterface::SelectParticipants(std::string participants)
{
    return record("SelectParticipants", {participants});
}

int FakeVeltoInterface::HandsUp(std::string action, std::string userJid, std::string nickname)
{
    return record("HandsUp", {action, userJid, nickname});
}

int FakeVeltoInterface::ExtendConferenceTime(std::string roomNumber, int lengthTime)
{
    return record("ExtendConferenceTime", {roomNumber, text(lengthTime)});
}

int FakeVeltoInterface::GetModerator(std::string roomNumber, std::string password)
{
    return record("GetModerator", {roomNumber, password});
}

int FakeVeltoInterface::CallSip(std::string number) { return record("CallSip", {number}); }

int FakeVeltoInterface::CallPhone(std::string number, int& code)
{
    code = callPhoneCode;
    return record("CallPhone", {number});
}

int FakeVeltoInterface::HangUp(std::string number) { return record("HangUp", {number}); }

int FakeVeltoInterface::SendAudioMute(std::string jid, bool mute)
{
    return record("SendAudioMute", {jid, text(mute)});
}

int FakeVeltoInterface::SendVideoMute(std::string jid, bool mute)
{
    return record("SendVideoMute", {jid, text(mute)});
}

int FakeVeltoInterface::SendModerator(std::string jid) { return record("SendModerator", {jid}); }
int FakeVeltoInterface::SendKickout(std::string jid) { return record("SendKickout", {jid}); }

int FakeVeltoInterface::SendRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                                     int callType, int isCaller, std::string time, std::string meetPassword)
{
    return record("SendRingCall",
                  {userJid, type, roomId, nickname, text(callType), text(isCaller), time, meetPassword});
}

int FakeVeltoInterface::SendWhiteboard(std::string action, std::string second, std::string third)
{
    return record("SendWhiteboard", {action, second, third});
}

int FakeVeltoInterface::SendAnnotate(std::string action, std::string second, std::string third, std::string target)
{
    return record("SendAnnotate", {action, second, third, target});
}

int FakeVeltoInterface::SendChatMessage(std::string message) { return record("SendChatMessage", {message}); }

int FakeVeltoInterface::getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    record("getVideoCaptureDevices");
    devices = cameras;
    return int(devices.size());
}

int FakeVeltoInterface::getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    record("getAudioRecordingDevices");
    devices = microphones;
    return int(devices.size());
}

int FakeVeltoInterface::getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    record("getAudioPlayoutDevices");
    devices = speakers;
    return int(devices.size());
}

bool FakeVeltoInterface::GetStreamAspect(unsigned int renderId, int* width, int* height)
{
    *width = 640;
    *height = 480;
    return recordBool("GetStreamAspect", {text(renderId)});
}

int FakeVeltoInterface::AddSecondStream() { return record("AddSecondStream"); }
int FakeVeltoInterface::RemoveSecondStream(std::string label) { return record("RemoveSecondStream", {label}); }

bool FakeVeltoInterface::IsVideoDeviceOccupied(const velto_webrtc::rtc_device_& camera)
{
    record("IsVideoDeviceOccupied", {text(camera)});
    std::lock_guard<std::mutex> lock(mutex_);
    return occupiedCameras.count(camera.index) != 0;
}

int FakeVeltoInterface::ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera,
                                         const velto_webrtc::rtc_device_& microphone,
                                         const velto_webrtc::rtc_device_& speaker, int width, int height, int fps,
                                         int bitrate)
{
    render.label = "local-preview";
    return record("ShowLocalPreview", {text(camera), text(microphone), text(speaker), text(width), text(height),
                                       text(fps), text(bitrate)});
}

int FakeVeltoInterface::ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera, int width,
                                         int height, int fps, int bitrate)
{
    render.label = "local-preview";
    return record("ShowLocalPreview", {text(camera), text(width), text(height), text(fps), text(bitrate)});
}

int FakeVeltoInterface::CloseLocalPreview(rtc_render render) { return record("CloseLocalPreview", {text(render)}); }

int FakeVeltoInterface::ChangeCameraResolution(const std::string& label, int width, int height, int fps)
{
    return record("ChangeCameraResolution", {label, text(width), text(height), text(fps)});
}

int FakeVeltoInterface::CreateSingleAudioStream(rtc_render& render, const velto_webrtc::rtc_device_& microphone,
                                                const velto_webrtc::rtc_device_& speaker)
{
    render.label = "local-audio";
    return record("CreateSingleAudioStream", {text(microphone), text(speaker)});
}

int FakeVeltoInterface::CloseSingleAudioStream(rtc_render render)
{
    return record("CloseSingleAudioStream", {text(render)});
}

int FakeVeltoInterface::AddScreenShareStream(const std::string& label, bool flag, int value1, int value2, int value3)
{
    return record("AddScreenShareStream", {label, text(flag), text(value1), text(value2), text(value3)});
}

int FakeVeltoInterface::RemoveScreenShareStream(const std::string& label)
{
    return record("RemoveScreenShareStream", {label});
}

bool FakeVeltoInterface::StartRenderStream(void* window, unsigned int& renderId, const std::string& label, bool flag)
{
    const bool started = recordBool("StartRenderStream", {label, text(flag)});
    if (started)
        renderId = unsigned(count("StartRenderStream"));
    return started;
}

bool FakeVeltoInterface::StopRenderStream(int renderId, const std::string& label)
{
    return recordBool("StopRenderStream", {text(renderId), label});
}

int FakeVeltoInterface::RenderPictureShot(int renderId, std::string& path)
{
    return record("RenderPictureShot", {text(renderId)});
}

bool FakeVeltoInterface::EnableStreamAudio(bool enable) { return recordBool("EnableStreamAudio", {text(enable)}); }
bool FakeVeltoInterface::EnableStreamVideo(bool enable) { return recordBool("EnableStreamVideo", {text(enable)}); }

int FakeVeltoInterface::SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer)
{
    levelObserver = observer;
    return record("SetAudioCaptureDataDBObserver", {text(observer != nullptr)});
}

int FakeVeltoInterface::SetAudioDeviceWorkMode(AudioDeviceMode mode)
{
    return record("SetAudioDeviceWorkMode", {text(int(mode))});
}

int FakeVeltoInterface::SetTryAudioSpeekerFileFoldPath(std::string path)
{
    return record("SetTryAudioSpeekerFileFoldPath", {path});
}

int FakeVeltoInterface::SetAudioPlayoutDevice(int index) { return record("SetAudioPlayoutDevice", {text(index)}); }
int FakeVeltoInterface::SetAudioRecordDevice(int index) { return record("SetAudioRecordDevice", {text(index)}); }
int FakeVeltoInterface::StartAudioPlayout()
{
    audioPlaying = true;
    return record("StartAudioPlayout");
}
int FakeVeltoInterface::StopAudioPlayout()
{
    audioPlaying = false;
    return record("StopAudioPlayout");
}

int FakeVeltoInterface::StartAudioRecording()
{
    audioRecording = true;
    return record("StartAudioRecording");
}

int FakeVeltoInterface::StopAudioRecording()
{
    audioRecording = false;
    return record("StopAudioRecording");
}

int FakeVeltoInterface::AudioPlaying(bool* state)
{
    *state = audioPlaying;
    return record("AudioPlaying");
}

int FakeVeltoInterface::AudioRecording(bool* state)
{
    *state = audioRecording;
    return record("AudioRecording");
}

int FakeVeltoInterface::MicrophoneVolumeIsAvailable(bool* available)
{
    *available = true;
    return record("MicrophoneVolumeIsAvailable");
}

int FakeVeltoInterface::MinMicrophoneVolume(unsigned int* volume)
{
    *volume = 0;
    return record("MinMicrophoneVolume");
}

int FakeVeltoInterface::MaxMicrophoneVolume(unsigned int* volume)
{
    *volume = 255;
    return record("MaxMicrophoneVolume");
}

int FakeVeltoInterface::SetMicrophoneVolume(unsigned int volume)
{
    return record("SetMicrophoneVolume", {text(volume)});
}

int FakeVeltoInterface::MicrophoneVolume(unsigned int* volume)
{
    *volume = 128;
    return record("MicrophoneVolume");
}

int FakeVeltoInterface::SpeakerVolumeIsAvailable(bool* available)
{
    *available = true;
    return record("SpeakerVolumeIsAvailable");
}

int FakeVeltoInterface::MinSpeakerVolume(unsigned int* volume)
{
    *volume = 0;
    return record("MinSpeakerVolume");
}

int FakeVeltoInterface::MaxSpeakerVolume(unsigned int* volume)
{
    *volume = 255;
    return record("MaxSpeakerVolume");
}

int FakeVeltoInterface::SetSpeakerVolume(unsigned int volume) { return record("SetSpeakerVolume", {text(volume)}); }

int FakeVeltoInterface::SpeakerVolume(unsigned int* volume)
{
    *volume = 128;
    return record("SpeakerVolume");
}

bool FakeVeltoInterface::isModerator()
{
    record("isModerator");
    std::lock_guard<std::mutex> lock(mutex_);
    return moderator;
}

}  // namespace velto::test
