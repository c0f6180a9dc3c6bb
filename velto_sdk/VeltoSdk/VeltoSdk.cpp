#include "VeltoSdk.h"

#include <glog/logging.h>

#include <iostream>
#include <mutex>

#include "VeltoHttpCallback.h"
#include "VeltoHttpSdkInterface.h"
#include "VeltoObserver.h"
#include "VeltoRtcCallback.h"

namespace {

const char* const kClientType = "pc-win";

// Many SDK objects may live in one process (and the program may have set glog
// up itself), so logging is set up once and never shut down by an object.
void initLoggingOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!google::IsGoogleLoggingInitialized())
            google::InitGoogleLogging("VeltoSdk");
        FLAGS_logtostderr = false;
        google::SetLogDestination(google::GLOG_INFO, "");  // INFO lines are not kept
    });
}

std::string jidOf(const conference_login_info& login)
{
    return login.mUserId + "@" + login.messageServer + "/" + login.endpoint;
}

}  // namespace

VeltoSdk::VeltoSdk()
{
    initLoggingOnce();
    http_.reset(VeltoHttpSdkInterface::CreateNew());
    rtc_.reset(VeltoRtcSdkInterface::CreateNew());

    httpCallback_ = std::make_unique<CVeltoHttpCallback>();
    httpCallback_->setVeltoSdk(this);
    if (http_)
        http_->SetCallback(httpCallback_.get());

    rtcCallback_ = std::make_unique<CVeltoRtcCallback>();
    rtcCallback_->setVeltoSdk(this);
    if (rtc_)
        rtc_->SetCallback(rtcCallback_.get());
}

VeltoSdk::~VeltoSdk()
{
    LeaveConference();
    Logout();
    statisticsWorker_.stop();
    // The clients go first: once they are deleted no event can reach the
    // callback objects deleted after them.
    rtc_.reset();
    http_.reset();
    rtcCallback_.reset();
    httpCallback_.reset();
}

void VeltoSdk::setCallback(VeltoCallback* callback) { callback_.store(callback); }

int VeltoSdk::Login(std::string server, std::string userName, std::string password, std::string domain)
{
    return Login(std::move(server), std::move(userName), std::move(password), kClientType, std::move(domain), false);
}

int VeltoSdk::Login(std::string server, std::string userName, std::string password, std::string clientType,
                    std::string domain, bool anonymous)
{
    // The REST client must not log in while a keep-alive of the old login is
    // in flight, and a new login brings its own workers.
    stopLoginWorkers();
    if (!getVeltoCallback() || !http_)
        return -1;

    server_ = server;
    const int result = http_->Login(std::move(server), std::move(userName), std::move(password),
                                    std::move(clientType), std::move(domain), anonymous);
    if (result != 0)
        return result;

    const conference_login_info login = httpCallback_->getLoginInfo();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        ownAddress_ = jidOf(login);
    }

    const int connected =
        rtc_ ? rtc_->ConnectToServer(login.messageServer, login.messageServerPort, login.mUserId,
                                     login.messageServer, login.endpoint, login)
             : -1;
    LOG(INFO) << "VeltoSdk RtcConnectToServer===" << connected;
    if (connected != 0)
        return connected;

    KeepAlive(login);
    sendPing();
    return 0;
}

int VeltoSdk::AnonymousJoinConference(std::string server, std::string roomNumber, std::string password,
                                      std::string nickname)
{
    if (Login(std::move(server), std::move(nickname), "", kClientType, "", true) != 0)
        return -1;
    return CreateOrJoinConference(std::move(roomNumber), std::move(password), "");
}

int VeltoSdk::Logout()
{
    stopLoginWorkers();
    LOG(INFO) << "====Logout====";
    return rtc_ ? rtc_->Disconnect() : -1;
}

void VeltoSdk::stopLoginWorkers()
{
    keepAliveWorker_.stop();
    pingWorker_.stop();
}

void VeltoSdk::exitThreadWhenNetworkError()
{
    keepAliveWorker_.requestStop();
    pingWorker_.requestStop();
}

void VeltoSdk::setWorkerIntervals(const WorkerIntervals& intervals) { intervals_ = intervals; }

void VeltoSdk::KeepAlive(const conference_login_info& login)
{
    LOG(INFO) << "==keepAlive thread==";
    // The values are taken now: a later login answer must not change what an
    // older login keeps alive, and the worker reads no shared record.
    keepAliveWorker_.start(
        intervals_.keepAlive,
        [this, userId = login.mUserId, endpoint = login.endpoint, millis = login.currentTimeMillis] {
            http_->KeepAlive(userId, endpoint, millis);
            return true;
        },
        [] { std::cout << "===========keepAlive over=============" << std::endl; });
}

void VeltoSdk::sendPing()
{
    LOG(INFO) << "==sendPing thread==";
    // A failed ping ends only this worker; the signalling client reports the
    // lost network itself.
    pingWorker_.start(
        intervals_.ping, [this] { return rtc_->SendPing() != -1; },
        [] { std::cout << "===========sendPing over=============" << std::endl; });
}

void VeltoSdk::getStatPresence()
{
    LOG(INFO) << "==getStatPresence thread==";
    // Under the SDK mutex, so a statistics request never meets an engine that
    // is being torn down.
    statisticsWorker_.start(intervals_.statistics, [this] {
        return withEngine(false, [](velto_webrtc_interface& engine) {
            engine.GetStats();
            return true;
        });
    });
}

std::string VeltoSdk::ownAddress() const
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    return ownAddress_;
}

// --- conference entry and exit ----------------------------------------------

int VeltoSdk::CreateConference()
{
    std::string meetPassword;
    std::string ownerPassword;
    if (QueryUsers(meetPassword, ownerPassword) != 0)
        return -1;
    return CreateOrJoinConference("", meetPassword, ownerPassword);
}

int VeltoSdk::JoinConference(std::string roomNumber, std::string password)
{
    return CreateOrJoinConference(std::move(roomNumber), std::move(password), "");
}

int VeltoSdk::CreateOrJoinConference(std::string roomNumber, std::string password, std::string ownerPassword)
{
    if (!getVeltoCallback() || !http_ || !httpCallback_->hasLoginInfo())
        return -1;
    const conference_login_info login = httpCallback_->getLoginInfo();
    if (login.mUserId.empty())
        return -1;

    updateConfig(login);
    // The answer reaches the program inside this call, before the room join.
    if (http_->CreateOrJoinConference(std::move(roomNumber), password, std::move(ownerPassword), ownAddress()) != 0)
        return -1;
    roomPassword_ = std::move(password);

    const int joined = SendIqConference();
    LOG(INFO) << "VeltoSdk SendIqConference===" << joined;
    if (joined < 0)
        return joined;

    getStatPresence();
    return 0;
}

int VeltoSdk::SendIqConference()
{
    if (!rtc_ || !httpCallback_->hasJoinInfo())
        return -1;
    const conference_login_info login = httpCallback_->getLoginInfo();
    const conference_join_info join = httpCallback_->getJoinInfo();
    return rtc_->JoinConferenceRoom(jidOf(login), join.r + "@conference." + login.messageServer, login.mUserName,
                                    join);
}

int VeltoSdk::LeaveConference()
{
    if (!getWebrtc())
        return -1;
    if (rtc_)
        rtc_->LeaveConferenceRoom();
    statisticsWorker_.stop();
    LOG(INFO) << "====LeaveConference====";

    // The program stops its renderers here, while the engine still exists.
    if (VeltoCallback* callback = getVeltoCallback())
        callback->onLeaveConference();
    LOG(INFO) << "====onLeaveConference====";

    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        secondStream_ = false;
        secondStreamCount_ = 0;
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        LOG(INFO) << "====DeInit====";
        velto_webrtc_interface* engine = webrtc_.load();
        engine->DeInit();
        LOG(INFO) << "====DeInit==over====";
        // Cleared only now: the observer reads it on engine threads until DeInit joined them.
        webrtc_.store(nullptr);
        delete engine;
        observer_.reset();
    }
    LOG(INFO) << "====LeaveConference==over====";
    return 0;
}

bool VeltoSdk::isModerator() { return httpCallback_->isModerator(); }

// --- media engine ------------------------------------------------------------

void VeltoSdk::InitWebrtc()
{
    // Only the caller's thread creates or destroys the engine, so the test
    // needs no lock.
    if (getWebrtc())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    velto_webrtc_interface* engine = velto_webrtc_interface::createNew();
    if (!engine)
        return;
    observer_ = std::make_unique<VeltoObserver>();
    observer_->setVeltoSdk(this);
    // Published before Init: the observer may be called as soon as Init runs.
    webrtc_.store(engine);
    if (const int result = engine->Init(observer_.get(), {}); result != 0)
        LOG(WARNING) << "VeltoSdk media engine Init== " << result;
}

void VeltoSdk::updateConfig(const conference_login_info& login)
{
    InitWebrtc();
    std::vector<velto_webrtc::ice_server_config> servers;
    servers.reserve(login.iceServers.size());
    for (const ice_server& server : login.iceServers)
        servers.push_back({server.url, server.username, server.credential});
    withEngine(0, [&](velto_webrtc_interface& engine) { return engine.SetIceServers(servers); });
}

bool VeltoSdk::isDoubleStream() const
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    return secondStream_;
}

std::string VeltoSdk::getSecondStream() const
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    return secondLabel_;
}

void VeltoSdk::setRecordJid(const std::string& jid)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    recordJid_ = jid;
}

// --- devices and rendering ---------------------------------------------------

int VeltoSdk::getVideoCaptureDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.getVideoCaptureDevices(devices); });
}

int VeltoSdk::getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.getAudioRecordingDevices(devices); });
}

int VeltoSdk::getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.getAudioPlayoutDevices(devices); });
}

bool VeltoSdk::StartRenderStream(void* window, unsigned int& renderId, const std::string& label, bool flag)
{
    return withEngine(false, [&](velto_webrtc_interface& e) { return e.StartRender(window, renderId, label, flag, 0); });
}

bool VeltoSdk::StopRenderStream(int renderId, const std::string& label)
{
    return withEngine(false, [&](velto_webrtc_interface& e) { return e.StopRender(renderId, label); });
}

bool VeltoSdk::GetStreamAspect(unsigned int renderId, int* width, int* height)
{
    return withEngine(false, [&](velto_webrtc_interface& e) { return e.GetStreamAspect(renderId, width, height); });
}

int VeltoSdk::RenderPictureShot(int, std::string&) { return 0; }

// --- audio device pass-throughs: -1 without an engine --------------------------

int VeltoSdk::SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetAudioCaptureDataDBObserver(observer); });
}

int VeltoSdk::SetAudioDeviceWorkMode(AudioDeviceMode mode)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetAudioDeviceWorkMode(mode); });
}

int VeltoSdk::SetTryAudioSpeekerFileFoldPath(std::string path)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetTryAudioSpeekerFileFoldPath(path); });
}

int VeltoSdk::SetAudioPlayoutDevice(int index)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetAudioPlayoutDevice(index); });
}

int VeltoSdk::SetAudioRecordDevice(int index)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetAudioRecordDevice(index); });
}

int VeltoSdk::StartAudioPlayout()
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.StartAudioPlayout(); });
}

int VeltoSdk::StopAudioPlayout()
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.StopAudioPlayout(); });
}

int VeltoSdk::StartAudioRecording()
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.StartAudioRecording(); });
}

int VeltoSdk::StopAudioRecording()
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.StopAudioRecording(); });
}

int VeltoSdk::AudioPlaying(bool* state)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.AudioPlaying(state); });
}

int VeltoSdk::AudioRecording(bool* state)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.AudioRecording(state); });
}

int VeltoSdk::MicrophoneVolumeIsAvailable(bool* available)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MicrophoneVolumeIsAvailable(available); });
}

int VeltoSdk::MinMicrophoneVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MinMicrophoneVolume(volume); });
}

int VeltoSdk::MaxMicrophoneVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MaxMicrophoneVolume(volume); });
}

int VeltoSdk::SetMicrophoneVolume(unsigned int volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetMicrophoneVolume(volume); });
}

int VeltoSdk::MicrophoneVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MicrophoneVolume(volume); });
}

int VeltoSdk::SpeakerVolumeIsAvailable(bool* available)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SpeakerVolumeIsAvailable(available); });
}

int VeltoSdk::MinSpeakerVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MinSpeakerVolume(volume); });
}

int VeltoSdk::MaxSpeakerVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.MaxSpeakerVolume(volume); });
}

int VeltoSdk::SetSpeakerVolume(unsigned int volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SetSpeakerVolume(volume); });
}

int VeltoSdk::SpeakerVolume(unsigned int* volume)
{
    return withEngine(-1, [&](velto_webrtc_interface& e) { return e.SpeakerVolume(volume); });
}

// --- REST wrappers -------------------------------------------------------------

int VeltoSdk::QueryUsers(std::string& meetPassword, std::string& ownerPassword)
{
    // The program asks for the passwords from inside onLogin, when the login
    // answer is already stored.
    if (!http_ || !httpCallback_->hasLoginInfo())
        return -1;
    return http_->QueryUsers(httpCallback_->getLoginInfo().mUserId, meetPassword, ownerPassword);
}

// --- not available yet: local streams, second streams and the meeting
// operations report failure until they are built --------------------------------

int VeltoSdk::LockConference(bool) { return -1; }
int VeltoSdk::GetMyConferences(int, std::string, int, std::string, std::string, std::string) { return -1; }
int VeltoSdk::ReserveConference(reservation_conference) { return -1; }
int VeltoSdk::GetConferenceDetail(std::string, conferences_info&) { return -1; }
int VeltoSdk::DeleteConference(std::string) { return -1; }
int VeltoSdk::GetContacts() { return -1; }
int VeltoSdk::GetSearchContacts(std::string) { return -1; }
int VeltoSdk::AddContact(std::string, std::string) { return -1; }
int VeltoSdk::ModifyConferences(std::string, std::string) { return -1; }
int VeltoSdk::StartRecord(std::string) { return -1; }
int VeltoSdk::StopRecord() { return -1; }
int VeltoSdk::SetStage(std::string, bool) { return -1; }
int VeltoSdk::SplitScreen(int) { return -1; }
int VeltoSdk::SelectParticipants(std::string) { return -1; }
int VeltoSdk::HandsUp(std::string, std::string, std::string) { return -1; }
int VeltoSdk::ExtendConferenceTime(std::string, int) { return -1; }
int VeltoSdk::GetModerator(std::string, std::string) { return -1; }
int VeltoSdk::CallSip(std::string) { return -1; }
int VeltoSdk::CallPhone(std::string, int&) { return -1; }
int VeltoSdk::HangUp(std::string) { return -1; }
int VeltoSdk::SendAudioMute(std::string, bool) { return -1; }
int VeltoSdk::SendVideoMute(std::string, bool) { return -1; }
int VeltoSdk::SendModerator(std::string) { return -1; }
int VeltoSdk::SendKickout(std::string) { return -1; }
int VeltoSdk::SendRingCall(std::string, std::string, std::string, std::string, int, int, std::string, std::string)
{
    return -1;
}
int VeltoSdk::SendWhiteboard(std::string, std::string, std::string) { return -1; }
int VeltoSdk::SendAnnotate(std::string, std::string, std::string, std::string) { return -1; }
int VeltoSdk::SendChatMessage(std::string) { return -1; }
int VeltoSdk::AddSecondStream() { return -1; }
int VeltoSdk::RemoveSecondStream(std::string) { return -1; }
// "Not known to be busy": the trial stream that would tell comes with the local streams.
bool VeltoSdk::IsVideoDeviceOccupied(const velto_webrtc::rtc_device_&) { return false; }
int VeltoSdk::ShowLocalPreview(rtc_render&, const velto_webrtc::rtc_device_&, const velto_webrtc::rtc_device_&,
                               const velto_webrtc::rtc_device_&, int, int, int, int)
{
    return -1;
}
int VeltoSdk::ShowLocalPreview(rtc_render&, const velto_webrtc::rtc_device_&, int, int, int, int) { return -1; }
int VeltoSdk::CloseLocalPreview(rtc_render) { return -1; }
int VeltoSdk::ChangeCameraResolution(const std::string&, int, int, int) { return -1; }
int VeltoSdk::CreateSingleAudioStream(rtc_render&, const velto_webrtc::rtc_device_&, const velto_webrtc::rtc_device_&)
{
    return -1;
}
int VeltoSdk::CloseSingleAudioStream(rtc_render) { return -1; }
int VeltoSdk::AddScreenShareStream(const std::string&, bool, int, int, int) { return -1; }
int VeltoSdk::RemoveScreenShareStream(const std::string&) { return -1; }
bool VeltoSdk::EnableStreamAudio(bool) { return false; }
bool VeltoSdk::EnableStreamVideo(bool) { return false; }
