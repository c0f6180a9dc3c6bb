#include "VeltoSdk.h"

#include <glog/logging.h>
#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <mutex>
#include <random>

#include "VeltoHttpCallback.h"
#include "VeltoHttpSdkInterface.h"
#include "VeltoObserver.h"
#include "VeltoRtcCallback.h"
#include "velto_media_sources.h"

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
        // The lines are not kept: no severity writes a log file.
        for (const google::LogSeverity severity : {google::GLOG_INFO, google::GLOG_WARNING, google::GLOG_ERROR,
                                                   google::GLOG_FATAL})
            google::SetLogDestination(severity, "");
    });
}

// One generator for the whole process, seeded once: a generator seeded anew
// with the clock would repeat its label within the same second.
int drawLabelNumber()
{
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return std::uniform_int_distribution<int>(0, 9999)(generator);
}

// Byte by byte through unsigned char: UTF-8 bytes above 0x7f stay as they are.
std::string upperCased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Request bodies go out as styled JSON text.
std::string styled(const Json::Value& body) { return Json::StyledWriter().write(body); }

Json::Value reservationBody(const reservation_conference& c, const std::string& userId, const std::string& domain)
{
    Json::Value body(Json::objectValue);
    body["title"] = c.title;
    body["startTime"] = Json::Int64(c.startTime);
    body["lengthTime"] = Json::UInt(c.lengthTime);
    body["number"] = 1;
    body["meetPassword"] = c.meetPassword;
    body["ownerPassword"] = c.ownerPassword;
    body["cycle"] = Json::UInt(c.cycle);
    body["cycleDmy"] = Json::UInt(c.cycleDmy);
    body["cycleStart"] = Json::UInt(c.cycleStart);
    body["cycleEndDay"] = Json::Int64(c.cycleEndDay);
    body["domain"] = domain;
    body["autoRecord"] = c.autoRecord;
    body["mConferenceId"] = c.mConferenceId;
    if (c.videoNum != 0)
        body["videoNum"] = c.videoNum;
    Json::Value user(Json::objectValue);
    user["mUserId"] = userId;
    body["mConferenceUsers"].append(user);
    return body;
}

constexpr int kDefaultBandwidth = 256;

}  // namespace

template <typename Send>
int VeltoSdk::withRtc(Send&& send)
{
    return rtc_ ? send(*rtc_) : -1;
}

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
    if (!getVeltoCallback() || !http_)
        return -1;
    // A live session keeps its workers until the new login stands: a login
    // that fails must not silently end the one the user still has. The REST
    // client guards its server address, so a keep-alive may run meanwhile.
    server_ = server;
    const int result = http_->Login(std::move(server), std::move(userName), std::move(password),
                                    std::move(clientType), std::move(domain), anonymous);
    if (result != 0)
        return result;

    const conference_login_info login = httpCallback_->getLoginInfo();
    // The synthetic camera shows who sends it.
    velto_media::setLocalUserName(login.mUserName);
    const int connected =
        rtc_ ? rtc_->ConnectToServer(login.messageServer, login.messageServerPort, login.mUserId,
                                     login.messageServer, login.endpoint, login)
             : -1;
    LOG(INFO) << "VeltoSdk RtcConnectToServer===" << connected;
    if (connected != 0)
        return connected;

    stopLoginWorkers();
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
    return withRtc([](VeltoRtcSdkInterface& rtc) { return rtc.Disconnect(); });
}

void VeltoSdk::stopLoginWorkers()
{
    keepAliveWorker_.stop();
    pingWorker_.stop();
}

void VeltoSdk::exitThreadWhenNetworkError()
{
    // A keep-alive in flight is left to end on its own (or to the join's
    // cancel): a cancel from here would also end a request of the program's
    // that runs meanwhile on the main thread.
    keepAliveWorker_.requestStop();
    pingWorker_.requestStop();
}

void VeltoSdk::setWorkerIntervals(const WorkerIntervals& intervals) { intervals_ = intervals; }

void VeltoSdk::setTransferLimits(const TransferLimits& limits)
{
    if (http_)
        http_->SetTransferLimits(limits);
}

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
        [] { std::cout << "===========keepAlive over=============" << std::endl; },
        // Stopping must not wait for a stalled server. Logout, a new login and
        // destruction stop it on the caller's thread, whose own requests
        // cannot be in flight then; one on another thread ends with the login.
        [this] { http_->CancelTransfers(); });
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
    if (http_->CreateOrJoinConference(std::move(roomNumber), password, std::move(ownerPassword), jidOf(login)) != 0)
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
    const std::string roomJid = roomJidOf(join.r, login.messageServer);
    // The room's offer may arrive before the join returns; the server names
    // the room's own focus when the join names none.
    rtcCallback_->awaitMeeting(join.focusJid.empty() ? roomJid + "/focus" : join.focusJid);
    const int joined = rtc_->JoinConferenceRoom(jidOf(login), roomJid, login.mUserName, join);
    if (joined < 0)
        rtcCallback_->endMeeting();
    return joined;
}

int VeltoSdk::LeaveConference()
{
    // The engine joins its threads on the way down: from inside one of its
    // events it would wait for itself.
    if (VeltoObserver::isReportingOnThisThread(*this))
        return -1;
    // One leave at a time: the program may leave again from inside
    // onLeaveConference, or from another thread meanwhile.
    if (leaving_.exchange(true))
        return -1;
    struct Done {
        std::atomic<bool>& leaving;
        ~Done() { leaving = false; }
    } done{leaving_};
    if (!getWebrtc())
        return -1;

    if (rtc_)
        rtc_->LeaveConferenceRoom();
    rtcCallback_->endMeeting();
    statisticsWorker_.stop();
    LOG(INFO) << "====LeaveConference====";

    // The program stops its renderers here, while the engine still exists.
    notify([](VeltoCallback& callback) { callback.onLeaveConference(); });
    LOG(INFO) << "====onLeaveConference====";

    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        secondStreamCount_ = 0;
        liveLabels_.clear();  // the engine takes its streams with it
    }

    // Detached under the SDK mutex: no offer, candidate, statistics request
    // or program call reaches the engine from now on.
    std::unique_ptr<velto_webrtc_interface> engine;
    std::unique_ptr<VeltoObserver> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        engine.reset(webrtc_.exchange(nullptr));
        observer = std::move(observer_);
    }
    // Without the SDK mutex: an event still running on an engine thread may
    // call the program, and the program the SDK.
    LOG(INFO) << "====DeInit====";
    engine->DeInit();
    LOG(INFO) << "====DeInit==over====";
    engine.reset();  // before its observer, which it no longer calls
    LOG(INFO) << "====LeaveConference==over====";
    return 0;
}

bool VeltoSdk::isModerator() { return httpCallback_->isModerator(); }

// --- media engine ------------------------------------------------------------

void VeltoSdk::InitWebrtc()
{
    if (getWebrtc())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (webrtc_.load())  // made meanwhile by a call on another thread
        return;
    velto_webrtc_interface* engine = velto_webrtc_interface::createNew();
    if (!engine)
        return;
    observer_ = std::make_unique<VeltoObserver>();
    observer_->setVeltoSdk(this);
    observer_->setEngine(engine);
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
    onEngine(0, &velto_webrtc_interface::SetIceServers, servers);
}

bool VeltoSdk::isDoubleStream() const { return getSecondStreamCount() > 0; }

int VeltoSdk::getSecondStreamCount() const
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    return secondStreamCount_;
}

void VeltoSdk::changeSecondStreamCount(int delta)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    secondStreamCount_ = std::max(0, secondStreamCount_ + delta);
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
    return onEngine(-1, &velto_webrtc_interface::getVideoCaptureDevices, devices);
}

int VeltoSdk::getAudioRecordingDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    InitWebrtc();
    return onEngine(-1, &velto_webrtc_interface::getAudioRecordingDevices, devices);
}

int VeltoSdk::getAudioPlayoutDevices(std::vector<velto_webrtc::rtc_device_>& devices)
{
    InitWebrtc();
    return onEngine(-1, &velto_webrtc_interface::getAudioPlayoutDevices, devices);
}

bool VeltoSdk::StartRenderStream(void* window, unsigned int& renderId, const std::string& label, bool flag)
{
    return onEngine(false, &velto_webrtc_interface::StartRender, window, renderId, label, flag, 0);
}

bool VeltoSdk::StopRenderStream(int renderId, const std::string& label)
{
    return onEngine(false, &velto_webrtc_interface::StopRender, renderId, label);
}

bool VeltoSdk::GetStreamAspect(unsigned int renderId, int* width, int* height)
{
    return onEngine(false, &velto_webrtc_interface::GetStreamAspect, renderId, width, height);
}

int VeltoSdk::RenderPictureShot(int, std::string&) { return 0; }

// --- audio device pass-throughs: -1 without an engine --------------------------

int VeltoSdk::SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer)
{
    return onEngine(-1, &velto_webrtc_interface::SetAudioCaptureDataDBObserver, observer);
}

int VeltoSdk::SetAudioDeviceWorkMode(AudioDeviceMode mode)
{
    return onEngine(-1, &velto_webrtc_interface::SetAudioDeviceWorkMode, mode);
}

int VeltoSdk::SetTryAudioSpeekerFileFoldPath(std::string path)
{
    return onEngine(-1, &velto_webrtc_interface::SetTryAudioSpeekerFileFoldPath, path);
}

int VeltoSdk::SetAudioPlayoutDevice(int index)
{
    return onEngine(-1, &velto_webrtc_interface::SetAudioPlayoutDevice, index);
}

int VeltoSdk::SetAudioRecordDevice(int index)
{
    return onEngine(-1, &velto_webrtc_interface::SetAudioRecordDevice, index);
}

int VeltoSdk::StartAudioPlayout()
{
    return onEngine(-1, &velto_webrtc_interface::StartAudioPlayout);
}

int VeltoSdk::StopAudioPlayout()
{
    return onEngine(-1, &velto_webrtc_interface::StopAudioPlayout);
}

int VeltoSdk::StartAudioRecording()
{
    return onEngine(-1, &velto_webrtc_interface::StartAudioRecording);
}

int VeltoSdk::StopAudioRecording()
{
    return onEngine(-1, &velto_webrtc_interface::StopAudioRecording);
}

int VeltoSdk::AudioPlaying(bool* state)
{
    return onEngine(-1, &velto_webrtc_interface::AudioPlaying, state);
}

int VeltoSdk::AudioRecording(bool* state)
{
    return onEngine(-1, &velto_webrtc_interface::AudioRecording, state);
}

int VeltoSdk::MicrophoneVolumeIsAvailable(bool* available)
{
    return onEngine(-1, &velto_webrtc_interface::MicrophoneVolumeIsAvailable, available);
}

int VeltoSdk::MinMicrophoneVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::MinMicrophoneVolume, volume);
}

int VeltoSdk::MaxMicrophoneVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::MaxMicrophoneVolume, volume);
}

int VeltoSdk::SetMicrophoneVolume(unsigned int volume)
{
    return onEngine(-1, &velto_webrtc_interface::SetMicrophoneVolume, volume);
}

int VeltoSdk::MicrophoneVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::MicrophoneVolume, volume);
}

int VeltoSdk::SpeakerVolumeIsAvailable(bool* available)
{
    return onEngine(-1, &velto_webrtc_interface::SpeakerVolumeIsAvailable, available);
}

int VeltoSdk::MinSpeakerVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::MinSpeakerVolume, volume);
}

int VeltoSdk::MaxSpeakerVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::MaxSpeakerVolume, volume);
}

int VeltoSdk::SetSpeakerVolume(unsigned int volume)
{
    return onEngine(-1, &velto_webrtc_interface::SetSpeakerVolume, volume);
}

int VeltoSdk::SpeakerVolume(unsigned int* volume)
{
    return onEngine(-1, &velto_webrtc_interface::SpeakerVolume, volume);
}

// --- stream labels -------------------------------------------------------------

void VeltoSdk::setStreamLabel(std::string& label)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    // Drawn again while the number names a live stream: a repeated label would
    // make the new stream's removal remove the old one.
    std::string drawn;
    do
        drawn = std::to_string(drawLabelNumber());
    while (liveLabels_.count(drawn) != 0);
    label = std::move(drawn);
}

int VeltoSdk::createLocalStream(velto_webrtc_interface& engine, const std::string& label)
{
    const int result = engine.CreateLocalStream(label);
    if (result == 0) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        liveLabels_.insert(label);
    }
    return result;
}

int VeltoSdk::removeLocalStream(velto_webrtc_interface& engine, const std::string& label)
{
    const int result = engine.RemoveLocalStream(label);
    if (result == 0) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        liveLabels_.erase(label);
    }
    return result;
}

std::string VeltoSdk::localLabel() const
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    return localLabel_;
}

void VeltoSdk::setLocalLabel(const std::string& label)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    localLabel_ = label;
}

void VeltoSdk::setSecondLabel(const std::string& label)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    secondLabel_ = label;
}

// --- local streams -------------------------------------------------------------

bool VeltoSdk::IsVideoDeviceOccupied(const velto_webrtc::rtc_device_& camera)
{
    InitWebrtc();
    return withEngine(false, [&](velto_webrtc_interface& engine) {
        std::string label;
        setStreamLabel(label);
        createLocalStream(engine, label);
        const int result = engine.AddVideoToLocalStream(label, label + "_video", camera, 640, 480, 30, 2048);
        removeLocalStream(engine, label);
        // Only "held by another application" means busy; any other failure
        // says nothing about the camera.
        return result == -3;
    });
}

int VeltoSdk::ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera,
                               const velto_webrtc::rtc_device_& microphone, const velto_webrtc::rtc_device_& speaker,
                               int width, int height, int fps, int bitrate)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& engine) {
        setStreamLabel(render.label);
        const std::string label = render.label;
        setLocalLabel(label);
        if (const int created = createLocalStream(engine, label); created != 0)
            return created;
        const int video = engine.AddVideoToLocalStream(label, label + "_video", camera, width, height, fps, bitrate);
        LOG(INFO) << "AddVideoToLocalStream == " << video;
        engine.AddAudioToLocalStream(label, label + "_audio");
        engine.SetAudioRecordDevice(microphone.index);
        engine.SetAudioPlayoutDevice(speaker.index);
        const int channel = engine.CreateDataChannel("local_channel_label");
        return engine.StartRender(render.window, render.id, label, false, 0) ? channel : -1;
    });
}

int VeltoSdk::ShowLocalPreview(rtc_render& render, const velto_webrtc::rtc_device_& camera, int width, int height,
                               int fps, int bitrate)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& engine) {
        setStreamLabel(render.label);
        const std::string label = render.label;
        setSecondLabel(label);
        if (const int created = createLocalStream(engine, label); created != 0)
            return created;
        engine.AddVideoToLocalStream(label, label + "_video", camera, width, height, fps, bitrate);
        engine.StartRender(render.window, render.id, label, false, 0);
        return 0;
    });
}

int VeltoSdk::CloseLocalPreview(rtc_render render)
{
    return withEngine(-1, [&](velto_webrtc_interface& engine) {
        return engine.StopRender(render.id, render.label) ? removeLocalStream(engine, render.label) : -1;
    });
}

int VeltoSdk::CreateSingleAudioStream(rtc_render& render, const velto_webrtc::rtc_device_& microphone,
                                      const velto_webrtc::rtc_device_& speaker)
{
    InitWebrtc();
    return withEngine(-1, [&](velto_webrtc_interface& engine) {
        setStreamLabel(render.label);
        const std::string label = render.label;
        setLocalLabel(label);
        int result = createLocalStream(engine, label);
        if (result == 0) {
            result = engine.AddAudioToLocalStream(label, label + "_audio");
            result += engine.SetAudioRecordDevice(microphone.index);
            result += engine.SetAudioPlayoutDevice(speaker.index);
        }
        return std::max(result, -1);
    });
}

int VeltoSdk::CloseSingleAudioStream(rtc_render render)
{
    return withEngine(-1, [&](velto_webrtc_interface& engine) { return removeLocalStream(engine, render.label); });
}

int VeltoSdk::ChangeCameraResolution(const std::string& label, int width, int height, int fps)
{
    if (label.empty())
        return -1;
    if (!onEngine(false, &velto_webrtc_interface::ChangeResolution, label, width, height, fps))
        return -1;
    const int bandwidth = getBandWidth(width, height);
    LOG(INFO) << "VeltoSdk ChangeCameraResolution == " << width << "," << height << "," << bandwidth;
    if (!ResetMediaBitrates(bandwidth))
        return -1;
    LOG(INFO) << "VeltoSdk ChangeCameraResolution success ";
    return 0;
}

int VeltoSdk::getBandWidth(int width, int height) const
{
    const std::vector<resolution_bandwidth> steps = httpCallback_->getJoinInfo().rbwc;
    // Each rule searches the whole list before the next, weaker one is tried.
    const std::function<bool(const resolution_bandwidth&)> rules[] = {
        [&](const resolution_bandwidth& s) { return s.width == width && s.height == height; },
        [&](const resolution_bandwidth& s) { return s.height == height; },
        [&](const resolution_bandwidth& s) { return s.width == width; },
    };
    for (const auto& rule : rules) {
        const auto step = std::find_if(steps.begin(), steps.end(), rule);
        if (step != steps.end())
            return step->bandwidth;
    }
    return kDefaultBandwidth;
}

bool VeltoSdk::ResetMediaBitrates(int bandwidth)
{
    return onEngine(false, &velto_webrtc_interface::SetMediaBitrate, "video", bandwidth);
}

bool VeltoSdk::enableLocalTrack(bool (velto_webrtc_interface::*enableTrack)(const std::string&, bool),
                                void (CVeltoHttpCallback::*setMute)(bool), bool enable)
{
    const std::string label = localLabel();
    return withEngine(false, [&](velto_webrtc_interface& engine) {
        if (!(engine.*enableTrack)(label, enable))
            return false;
        (httpCallback_.get()->*setMute)(!enable);
        engine.GetStats();  // the presence report carries the new state
        return true;
    });
}

bool VeltoSdk::EnableStreamAudio(bool enable)
{
    return enableLocalTrack(&velto_webrtc_interface::EnableAudio, &CVeltoHttpCallback::setAudioMute, enable);
}

bool VeltoSdk::EnableStreamVideo(bool enable)
{
    return enableLocalTrack(&velto_webrtc_interface::EnableVideo, &CVeltoHttpCallback::setVideoMute, enable);
}

// --- second stream and screen share --------------------------------------------------

int VeltoSdk::AddScreenShareStream(const std::string& label, bool flag, int value1, int value2, int value3)
{
    InitWebrtc();
    bool created = false;
    const int added = withEngine(-1, [&](velto_webrtc_interface& engine) {
        setSecondLabel(label);
        created = createLocalStream(engine, label) == 0;
        return engine.AddScreenToLocalStream(label, label + "_video", flag, value1, value2, value3);
    });
    const int announced = added != 0 ? added : AddSecondStream();
    if (announced != 0) {
        // A share that is not sent captures nothing: its screen track and the
        // stream made for it go again (a stream that was there before stays).
        withEngine(-1, [&](velto_webrtc_interface& engine) {
            if (added == 0)
                engine.RemoveScreenFromLocalStream(label, label + "_video");
            return created ? removeLocalStream(engine, label) : 0;
        });
    }
    return announced;
}

int VeltoSdk::RemoveScreenShareStream(const std::string& label)
{
    const int removed = withEngine(-1, [&](velto_webrtc_interface& engine) {
        engine.RemoveScreenFromLocalStream(label, label + "_video");
        return removeLocalStream(engine, label);
    });
    return removed != 0 ? removed : RemoveSecondStream(label);
}

int VeltoSdk::AddSecondStream()
{
    if (!isModerator())
        return -1;
    return withEngine(-1, [&](velto_webrtc_interface& engine) {
        const std::string offer = engine.GetRemoteOffer();
        if (offer.empty())
            return -1;
        // Counted before the offer is applied again: the answer it brings must
        // already go out as the second stream's. Taken back when it fails.
        changeSecondStreamCount(+1);
        if (engine.SetRemoteDescription(offer, "offer"))
            return 0;
        changeSecondStreamCount(-1);
        return -1;
    });
}

int VeltoSdk::RemoveSecondStream(std::string label)
{
    // Counted down whatever the signalling client answers: a share stopped
    // before its answer went out has no source there to withdraw, and a count
    // left raised would send every later answer as a second stream's.
    changeSecondStreamCount(-1);
    return withRtc([&](VeltoRtcSdkInterface& rtc) {
        if (const int withdrawn = rtc.RemoveSecondStreamSource(label); withdrawn != 0)
            return withdrawn;
        return rtc.RemoveSecondStreamSession(label);
    });
}

// --- REST wrappers -------------------------------------------------------------

std::optional<VeltoSdk::SessionValues> VeltoSdk::loginValues() const
{
    if (!http_ || !httpCallback_->hasLoginInfo())
        return std::nullopt;
    const conference_login_info login = httpCallback_->getLoginInfo();
    const conference_join_info join = httpCallback_->getJoinInfo();
    return SessionValues{login.mUserId, login.mUserName, jidOf(login), join.r, join.record, roomPassword_};
}

std::optional<VeltoSdk::SessionValues> VeltoSdk::meetingValues() const
{
    return httpCallback_->hasJoinInfo() ? loginValues() : std::nullopt;
}

int VeltoSdk::QueryUsers(std::string& meetPassword, std::string& ownerPassword)
{
    // The program asks for the passwords from inside onLogin, when the login
    // answer is already stored.
    const auto session = loginValues();
    return session ? http_->QueryUsers(session->userId, meetPassword, ownerPassword) : -1;
}

int VeltoSdk::LockConference(bool lock)
{
    const auto session = meetingValues();
    return session ? http_->LockConference(session->userId, session->room, lock) : -1;
}

int VeltoSdk::GetMyConferences(int count, std::string date, int page, std::string type, std::string status,
                               std::string search)
{
    const auto session = loginValues();
    return session ? http_->GetMyConferences(count, session->userId, std::move(date), page, std::move(type),
                                             std::move(status), std::move(search))
                   : -1;
}

int VeltoSdk::ReserveConference(reservation_conference conference)
{
    const auto session = loginValues();
    if (!session)
        return -1;
    const std::string userId = upperCased(session->userId);
    return http_->BookConferences(userId, styled(reservationBody(conference, userId, server_)));
}

int VeltoSdk::GetConferenceDetail(std::string conferenceId, conferences_info& detail)
{
    const auto session = loginValues();
    return session ? http_->GetConferenceDetail(session->userId, std::move(conferenceId), detail) : -1;
}

int VeltoSdk::DeleteConference(std::string conferenceId)
{
    const auto session = loginValues();
    return session ? http_->DeleteConference(session->userId, std::move(conferenceId)) : -1;
}

int VeltoSdk::GetContacts()
{
    const auto session = loginValues();
    return session ? http_->GetContacts(session->userId) : -1;
}

int VeltoSdk::GetSearchContacts(std::string search)
{
    const auto session = loginValues();
    return session ? http_->SelectFriends(session->userId, std::move(search)) : -1;
}

int VeltoSdk::AddContact(std::string userId, std::string nickname)
{
    const auto session = loginValues();
    if (!session)
        return -1;
    Json::Value body(Json::objectValue);
    body["nickname"] = nickname;
    return http_->AddFriends(session->userId, std::move(userId), styled(body));
}

int VeltoSdk::ModifyConferences(std::string meetPassword, std::string ownerPassword)
{
    const auto session = loginValues();
    if (!session)
        return -1;
    Json::Value body(Json::objectValue);
    body["mUserId"] = upperCased(session->userId);
    body["meetPassword"] = meetPassword;
    body["ownerPassword"] = ownerPassword;
    Json::Value logged = body;
    logged["meetPassword"] = logged["ownerPassword"] = "***";
    LOG(INFO) << "VeltoSdk ModifyConferences body== " << styled(logged);
    return http_->ModifyUsers(styled(body));
}

int VeltoSdk::StartRecord(std::string rule)
{
    const auto session = meetingValues();
    if (!session)
        return -1;
    // Asked first although its answer is not used: the server prepares the recorder.
    std::string gateway;
    conferenceGateway(*session, gateway);
    return http_->StartRecord(session->userId, session->room, session->record, session->ownAddress,
                              session->roomPassword, std::move(rule));
}

int VeltoSdk::StopRecord()
{
    const auto session = meetingValues();
    if (!session)
        return -1;
    std::string recordJid;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        recordJid = recordJid_;
    }
    return http_->StopRecord(session->userId, session->ownAddress, session->room, recordJid);
}

int VeltoSdk::SetStage(std::string stageJid, bool screen)
{
    const auto session = meetingValues();
    return session ? http_->SetStage(session->room, session->ownAddress, std::move(stageJid), screen) : -1;
}

int VeltoSdk::SplitScreen(int splitScreen)
{
    const auto session = meetingValues();
    return session ? http_->SplitScreen(session->room, session->ownAddress, std::to_string(splitScreen)) : -1;
}

int VeltoSdk::SelectParticipants(std::string participants)
{
    const auto session = meetingValues();
    return session ? http_->SelectParticipants(session->room, session->ownAddress, std::move(participants)) : -1;
}

int VeltoSdk::HandsUp(std::string action, std::string userJid, std::string nickname)
{
    const auto session = meetingValues();
    return session ? http_->HandsUp(std::move(action), session->room, std::move(userJid), std::move(nickname)) : -1;
}

int VeltoSdk::ExtendConferenceTime(std::string roomNumber, int lengthTime)
{
    const auto session = loginValues();
    return session ? http_->ExtendConferenceTime(std::move(roomNumber), session->userId, lengthTime) : -1;
}

int VeltoSdk::GetModerator(std::string roomNumber, std::string password)
{
    const auto session = loginValues();
    return session ? http_->GetModerator(std::move(roomNumber), session->ownAddress, std::move(password)) : -1;
}

int VeltoSdk::SendModerator(std::string jid)
{
    const auto session = meetingValues();
    return session ? http_->GrantAdmin(session->room, std::move(jid), session->userId) : -1;
}

// --- call-out ------------------------------------------------------------------

int VeltoSdk::conferenceGateway(const SessionValues& session, std::string& gateway)
{
    std::string recorder;
    return http_->GetConferenceResource(session.room, session.ownAddress, gateway, recorder);
}

int VeltoSdk::CallSip(std::string number)
{
    const auto session = meetingValues();
    if (!session || !rtc_)
        return -1;
    std::string gateway;
    if (const int found = conferenceGateway(*session, gateway); found != 0)
        return found;
    return rtc_->SipCall(gateway, number, session->roomPassword);
}

int VeltoSdk::CallPhone(std::string number, int& code)
{
    const auto session = meetingValues();
    if (!session) {
        code = 0;  // no request, no answer
        return -1;
    }
    std::string target;
    if (http_->CallPhone(session->room, session->ownAddress, std::move(number), target, code) == -1)
        return -1;
    callOutTarget_ = target;
    return CallSip(std::move(target));
}

int VeltoSdk::HangUp(std::string number)
{
    const auto session = meetingValues();
    if (!session || !rtc_)
        return -1;
    std::string gateway;
    if (const int found = conferenceGateway(*session, gateway); found != 0)
        return found;
    // A phone call-out is known by its SIP target; the program names it by
    // the number it dialled, or not at all.
    const bool phoneCall = number.empty() || callOutTarget_.find(number) != std::string::npos;
    return rtc_->SipHangUp(gateway, phoneCall ? callOutTarget_ : number);
}

// --- signalling wrappers ---------------------------------------------------------

int VeltoSdk::SendAudioMute(std::string jid, bool mute)
{
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendAudioMuteTo(jid, mute); });
}

int VeltoSdk::SendVideoMute(std::string jid, bool mute)
{
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendVideoMuteTo(jid, mute); });
}

int VeltoSdk::SendKickout(std::string jid)
{
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendKick(jid); });
}

int VeltoSdk::SendRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                           int callType, int isCaller, std::string time, std::string meetPassword)
{
    return withRtc([&](VeltoRtcSdkInterface& rtc) {
        return rtc.SendRing(userJid, type, roomId, nickname, callType, isCaller, time, meetPassword);
    });
}

int VeltoSdk::SendWhiteboard(std::string action, std::string second, std::string third)
{
    if (!isModerator())
        return -1;
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendWhiteboardData(action, second, third); });
}

int VeltoSdk::SendAnnotate(std::string action, std::string second, std::string third, std::string target)
{
    if (!isModerator())
        return -1;
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendAnnotateData(action, second, third, target); });
}

int VeltoSdk::SendChatMessage(std::string message)
{
    const auto session = loginValues();
    if (!session)
        return -1;
    return withRtc([&](VeltoRtcSdkInterface& rtc) { return rtc.SendGroupMessage(session->userName, message); });
}
