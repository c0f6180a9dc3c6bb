#include "MediaEngine.h"

#include <algorithm>
#include <atomic>
#include <iostream>

#include "MediaHooks.h"
#include "QGLRenderInterface.h"
#include "StandInSdp.h"

namespace velto_media {
namespace {

using velto_webrtc::rtc_device_;
using velto_webrtc::rtc_ssrc;

constexpr int kPatternWidth = 320;           // a few hundred pixels: cheap to draw, easy to see
constexpr int kRemotePatternHeight = 180;
constexpr auto kLevelInterval = std::chrono::milliseconds(100);
constexpr unsigned int kMaxVolume = 255;
constexpr int kAudioBitrate = 32;            // kbit/s
constexpr int kDefaultVideoBitrate = 512;

std::atomic<unsigned int> lastRenderId{0};
std::atomic<unsigned int> lastSsrc{1000};
std::atomic<unsigned int> lastEngine{0};
// Set on a level thread while it reports to the observer, which may replace
// itself from there.
thread_local bool reportingLevel = false;

bool isMediaKind(const std::string& kind)
{
    return kind == "audio" || kind == "video";
}

bool hasDevice(const std::vector<rtc_device_>& devices, const rtc_device_& device)
{
    return std::any_of(devices.begin(), devices.end(), [&](const rtc_device_& d) { return d.id == device.id; });
}

int fillDevices(std::vector<rtc_device_>& out, const std::vector<rtc_device_>& devices)
{
    out = devices;
    return static_cast<int>(devices.size());
}

bool sameRemoteStream(const rtc_ssrc& a, const rtc_ssrc& b)
{
    return a.streamLabel == b.streamLabel && a.kind == b.kind;
}

}  // namespace

MediaEngine::MediaEngine() : cname_("engine-" + std::to_string(++lastEngine))
{
    registerEngine(this);
}

MediaEngine::~MediaEngine()
{
    unregisterEngine(this);
    shutdown();
}

bool MediaEngine::emit(Event event)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loop_ || !observer_)
        return false;
    loop_->post([observer = observer_, event = std::move(event)] { event(*observer); });
    return true;
}

bool MediaEngine::post(std::function<void()> marker)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (loop_)
        loop_->post(std::move(marker));
    return loop_ != nullptr;
}

int MediaEngine::Init(velto_webrtc::velto_media_observer* observer,
                      const std::vector<velto_webrtc::ice_server_config>& iceServers)
{
    return journaled("Init", {arg(static_cast<unsigned int>(iceServers.size()))}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!observer || loop_)
            return -1;
        observer_ = observer;
        loop_ = std::make_unique<velto_platform::EventLoop>();
        return 0;
    });
}

int MediaEngine::DeInit()
{
    return journaled("DeInit", {}, [&] {
        shutdown();
        return 0;
    });
}

void MediaEngine::shutdown()
{
    stopLevelThread();
    std::unique_ptr<velto_platform::EventLoop> loop;
    std::map<unsigned int, std::unique_ptr<TestPatternRender>> renders;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        loop = std::move(loop_);
        renders.swap(renders_);
    }
    // Joined outside the lock: their work may call back into the engine.
    renders.clear();
    loop.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = nullptr;
}

int MediaEngine::SetIceServers(const std::vector<velto_webrtc::ice_server_config>& iceServers)
{
    // Only the count is journaled: the entries carry credentials.
    return journaled("SetIceServers", {arg(static_cast<unsigned int>(iceServers.size()))}, [&] {
        const bool complete = std::all_of(iceServers.begin(), iceServers.end(),
                                          [](const velto_webrtc::ice_server_config& s) { return !s.url.empty(); });
        return complete ? 0 : -1;
    });
}

int MediaEngine::getVideoCaptureDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getVideoCaptureDevices", {}, [&] { return fillDevices(devices, currentDevices().cameras); });
}

int MediaEngine::getAudioRecordingDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getAudioRecordingDevices", {},
                     [&] { return fillDevices(devices, currentDevices().microphones); });
}

int MediaEngine::getAudioPlayoutDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getAudioPlayoutDevices", {}, [&] { return fillDevices(devices, currentDevices().speakers); });
}

int MediaEngine::CreateDataChannel(const std::string& name)
{
    return journaled("CreateDataChannel", {name}, [&] {
        if (name.empty())
            return -1;
        emit([name](velto_webrtc::velto_media_observer& observer) { observer.OnDataChannel(name); });
        return 0;
    });
}

int MediaEngine::CreateLocalStream(const std::string& label)
{
    return journaled("CreateLocalStream", {label}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return !label.empty() && localStreams_.emplace(label, LocalStream{}).second ? 0 : -1;
    });
}

int MediaEngine::RemoveLocalStream(const std::string& label)
{
    return journaled("RemoveLocalStream", {label}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (localStreams_.erase(label) != 1)
            return -1;
        refreshRendersLocked();
        return 0;
    });
}

MediaEngine::Track* MediaEngine::trackLocked(const std::string& label, const std::string& kind)
{
    const auto stream = localStreams_.find(label);
    if (stream == localStreams_.end())
        return nullptr;
    for (Track& track : stream->second.tracks)
        if (track.kind == kind)
            return &track;
    return nullptr;
}

int MediaEngine::AddVideoToLocalStream(const std::string& label, const std::string& trackLabel,
                                       const rtc_device_& camera, int width, int height, int fps, int bitrate)
{
    const std::vector<std::string> args{label,      trackLabel,  camera.id,    arg(width),
                                        arg(height), arg(fps),   arg(bitrate)};
    return journaled("AddVideoToLocalStream", args, [&] {
        const bool knownCamera = hasDevice(currentDevices().cameras, camera);
        const bool busy = cameraBusy();
        std::lock_guard<std::mutex> lock(mutex_);
        const auto stream = localStreams_.find(label);
        if (stream == localStreams_.end() || trackLabel.empty() || !knownCamera || width <= 0 || height <= 0 ||
            fps <= 0 || trackLocked(label, "video"))
            return -1;
        if (busy)
            return -3;
        stream->second.width = width;
        stream->second.height = height;
        stream->second.tracks.push_back({trackLabel, "video", std::to_string(++lastSsrc), false, true,
                                         bitrate > 0 ? bitrate : kDefaultVideoBitrate});
        refreshRendersLocked();
        return 0;
    });
}

int MediaEngine::AddAudioToLocalStream(const std::string& label, const std::string& trackLabel)
{
    return journaled("AddAudioToLocalStream", {label, trackLabel}, [&] {
        const bool haveMicrophone = !currentDevices().microphones.empty();
        std::lock_guard<std::mutex> lock(mutex_);
        const auto stream = localStreams_.find(label);
        if (stream == localStreams_.end() || trackLabel.empty() || !haveMicrophone || trackLocked(label, "audio"))
            return -1;
        stream->second.tracks.push_back(
            {trackLabel, "audio", std::to_string(++lastSsrc), false, true, kAudioBitrate});
        return 0;
    });
}

int MediaEngine::AddScreenToLocalStream(const std::string& label, const std::string& trackLabel, bool wholeScreen,
                                        int fps, int sourceId, int excludedWindowId)
{
    const std::vector<std::string> args{label, trackLabel, arg(wholeScreen), arg(fps), arg(sourceId),
                                        arg(excludedWindowId)};
    return journaled("AddScreenToLocalStream", args, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto stream = localStreams_.find(label);
        if (stream == localStreams_.end() || trackLabel.empty() || fps <= 0 || trackLocked(label, "video"))
            return -1;
        stream->second.tracks.push_back(
            {trackLabel, "video", std::to_string(++lastSsrc), true, true, kDefaultVideoBitrate});
        refreshRendersLocked();
        return 0;
    });
}

int MediaEngine::RemoveScreenFromLocalStream(const std::string& label, const std::string& trackLabel)
{
    return journaled("RemoveScreenFromLocalStream", {label, trackLabel}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto stream = localStreams_.find(label);
        if (stream == localStreams_.end())
            return -1;
        std::vector<Track>& tracks = stream->second.tracks;
        const auto screen = std::find_if(tracks.begin(), tracks.end(), [&](const Track& track) {
            return track.screen && track.label == trackLabel;
        });
        if (screen == tracks.end())
            return -1;
        tracks.erase(screen);
        refreshRendersLocked();
        return 0;
    });
}

void MediaEngine::frameSizeLocked(const std::string& label, int* width, int* height) const
{
    *width = kPatternWidth;
    *height = kRemotePatternHeight;
    const auto stream = localStreams_.find(label);
    if (stream != localStreams_.end() && stream->second.width > 0 && stream->second.height > 0)
        *height = std::max(2, kPatternWidth * stream->second.height / stream->second.width / 2 * 2);
}

bool MediaEngine::liveLocked(const std::string& label) const
{
    return localStreams_.count(label) != 0 ||
           std::any_of(remoteSources_.begin(), remoteSources_.end(),
                       [&](const rtc_ssrc& source) { return source.streamLabel == label; });
}

bool MediaEngine::showingLocked(const std::string& label) const
{
    const auto stream = localStreams_.find(label);
    if (stream != localStreams_.end())
        return std::any_of(stream->second.tracks.begin(), stream->second.tracks.end(),
                           [](const Track& track) { return track.kind == "video" && track.enabled; });
    return std::any_of(remoteSources_.begin(), remoteSources_.end(), [&](const rtc_ssrc& source) {
        return source.streamLabel == label && source.kind == "video";
    });
}

std::string MediaEngine::senderLocked(const std::string& label) const
{
    if (localStreams_.count(label) != 0)
        return {};
    const auto source = std::find_if(remoteSources_.begin(), remoteSources_.end(),
                                     [&](const rtc_ssrc& s) { return s.streamLabel == label; });
    // The owner is the sender's address: its user id is what people know.
    return source == remoteSources_.end() ? std::string() : source->owner.substr(0, source->owner.find('@'));
}

void MediaEngine::refreshRendersLocked()
{
    for (auto& [id, render] : renders_)
        render->setShowing(showingLocked(render->label()));
}

bool MediaEngine::StartRender(void* window, unsigned int& renderId, const std::string& label, bool screen,
                              int reserved)
{
    return journaled("StartRender", {label, arg(screen), arg(reserved)}, [&] {
        if (!window || label.empty())
            return false;
        auto* target = static_cast<QGLRenderInterface*>(window);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!liveLocked(label)) {
            std::cerr << "velto_webrtc_media: StartRender refused: no stream " << label << std::endl;
            return false;
        }
        // Two producers would fight over one window: its user stops the first.
        for (const auto& [id, render] : renders_) {
            if (render->target() == target) {
                std::cerr << "velto_webrtc_media: StartRender refused: the window already shows stream "
                          << render->label() << " (render " << id << "), not " << label << std::endl;
                return false;
            }
        }
        int width = 0;
        int height = 0;
        frameSizeLocked(label, &width, &height);
        renderId = ++lastRenderId;
        renders_.emplace(renderId, std::make_unique<TestPatternRender>(target, label, senderLocked(label), width,
                                                                       height, showingLocked(label)));
        return true;
    }) != 0;
}

std::string MediaEngine::renderedLabel(const void* target) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, render] : renders_)
        if (render->target() == target)
            return render->label();
    return {};
}

bool MediaEngine::StopRender(unsigned int renderId, const std::string& label)
{
    return journaled("StopRender", {arg(renderId), label}, [&] {
        std::unique_ptr<TestPatternRender> render;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto it = renders_.find(renderId);
            if (it == renders_.end() || it->second->label() != label)
                return false;
            render = std::move(it->second);
            renders_.erase(it);
        }
        render.reset();  // returns once the producer no longer touches the target
        return true;
    }) != 0;
}

std::string MediaEngine::answerLocked() const
{
    std::vector<velto_platform::SdpSource> sources;
    for (const auto& [label, stream] : localStreams_)
        for (const Track& track : stream.tracks)
            sources.push_back({track.kind, track.ssrc, cname_, label, track.label});
    return velto_platform::WriteSdp(cname_, sources);
}

int MediaEngine::CreateAnswer()
{
    return journaled("CreateAnswer", {}, [&] {
        std::string answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (remoteOffer_.empty())
                return -1;
            answer = answerLocked();
        }
        emit([answer](velto_webrtc::velto_media_observer& observer) {
            std::string sdp = answer;
            observer.onAnswer("well", sdp);
        });
        return 0;
    });
}

int MediaEngine::SetLocalDescription(const std::string& sdp, const std::string& type)
{
    return journaled("SetLocalDescription", {sdp, type}, [&] {
        if (type != "answer" || sdp.empty())
            return -1;
        emit([sdp](velto_webrtc::velto_media_observer& observer) {
            std::string description = sdp;
            observer.onSetLocalSDP("well", description);
        });
        // With the local description in place the engine gathers its candidate.
        emit([ufrag = cname_](velto_webrtc::velto_media_observer& observer) {
            observer.OnIceCandidate("audio", "candidate:1 1 udp 2122260223 127.0.0.1 9 typ host", 0, ufrag, "1",
                                    "udp");
        });
        return 0;
    });
}

bool MediaEngine::SetRemoteDescription(const std::string& sdp, const std::string& type)
{
    return journaled("SetRemoteDescription", {sdp, type}, [&] {
        if (type != "offer" || sdp.empty())
            return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            remoteOffer_ = sdp;
        }
        emit([sdp](velto_webrtc::velto_media_observer& observer) {
            std::string description = sdp;
            observer.onSetRemoteSDP("well", description);
        });
        return true;
    }) != 0;
}

std::string MediaEngine::GetRemoteOffer()
{
    std::string offer;
    journaled("GetRemoteOffer", {}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        offer = remoteOffer_;
        return offer.empty() ? -1 : 0;
    });
    return offer;
}

int MediaEngine::AddRemoteSources(const std::vector<rtc_ssrc>& sources)
{
    return journaled("AddRemoteSources", {arg(static_cast<unsigned int>(sources.size()))}, [&] {
        std::vector<rtc_ssrc> arrived;  // the first source of each new stream
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const rtc_ssrc& source : sources) {
                if (!isMediaKind(source.kind) || source.streamLabel.empty() ||
                    std::any_of(remoteSources_.begin(), remoteSources_.end(),
                                [&](const rtc_ssrc& known) { return known.ssrc == source.ssrc; }))
                    continue;
                if (std::none_of(remoteSources_.begin(), remoteSources_.end(),
                                 [&](const rtc_ssrc& known) { return sameRemoteStream(known, source); }))
                    arrived.push_back(source);
                remoteSources_.push_back(source);
            }
            refreshRendersLocked();
        }
        for (const rtc_ssrc& source : arrived) {
            emit([kind = source.kind, label = source.streamLabel](velto_webrtc::velto_media_observer& observer) {
                std::string streamLabel = label;
                observer.onAddStream(kind, streamLabel);
            });
        }
        return 0;
    });
}

int MediaEngine::RemoveRemoteSources(const std::vector<rtc_ssrc>& sources)
{
    return journaled("RemoveRemoteSources", {arg(static_cast<unsigned int>(sources.size()))}, [&] {
        std::vector<rtc_ssrc> ended;  // streams whose last source went
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const rtc_ssrc& source : sources) {
                const auto known = std::find_if(remoteSources_.begin(), remoteSources_.end(),
                                                [&](const rtc_ssrc& s) { return s.ssrc == source.ssrc; });
                if (known == remoteSources_.end())
                    continue;
                const rtc_ssrc gone = *known;
                remoteSources_.erase(known);
                if (std::none_of(remoteSources_.begin(), remoteSources_.end(),
                                 [&](const rtc_ssrc& s) { return sameRemoteStream(s, gone); }))
                    ended.push_back(gone);
            }
            refreshRendersLocked();
        }
        for (const rtc_ssrc& source : ended) {
            emit([kind = source.kind, label = source.streamLabel](velto_webrtc::velto_media_observer& observer) {
                observer.onRemoveStream(kind, label);
            });
        }
        return 0;
    });
}

bool MediaEngine::SetMediaBitrate(const std::string& kind, int bitrate)
{
    return journaled("SetMediaBitrate", {kind, arg(bitrate)}, [&] {
        if (!isMediaKind(kind) || bitrate <= 0)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [label, stream] : localStreams_)
            for (Track& track : stream.tracks)
                if (track.kind == kind && !track.screen)
                    track.bitrate = bitrate;
        return true;
    }) != 0;
}

int MediaEngine::AddIceCandidate(const std::string& candidate)
{
    return journaled("AddIceCandidate", {candidate}, [&] { return candidate.empty() ? -1 : 0; });
}

bool MediaEngine::enableTrack(const char* operation, const std::string& label, const std::string& kind, bool enable)
{
    return journaled(operation, {label, arg(enable)}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        Track* track = trackLocked(label, kind);
        if (!track)
            return false;
        track->enabled = enable;
        refreshRendersLocked();
        return true;
    }) != 0;
}

bool MediaEngine::EnableAudio(const std::string& label, bool enable)
{
    return enableTrack("EnableAudio", label, "audio", enable);
}

bool MediaEngine::EnableVideo(const std::string& label, bool enable)
{
    return enableTrack("EnableVideo", label, "video", enable);
}

bool MediaEngine::ChangeResolution(const std::string& label, int width, int height, int fps)
{
    return journaled("ChangeResolution", {label, arg(width), arg(height), arg(fps)}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        const Track* camera = trackLocked(label, "video");
        if (!camera || camera->screen || width <= 0 || height <= 0 || fps <= 0)
            return false;
        LocalStream& stream = localStreams_[label];
        stream.width = width;
        stream.height = height;
        int frameWidth = 0;
        int frameHeight = 0;
        frameSizeLocked(label, &frameWidth, &frameHeight);
        for (auto& [id, render] : renders_)
            if (render->label() == label)
                render->resize(frameWidth, frameHeight);
        return true;
    }) != 0;
}

velto_webrtc::rtc_stat_info MediaEngine::statsLocked() const
{
    int audioSend = 0;
    int videoSend = 0;
    velto_webrtc::rtc_stat_info stats;
    for (const auto& [label, stream] : localStreams_) {
        for (const Track& track : stream.tracks) {
            const int bitrate = track.enabled ? track.bitrate : 0;
            (track.kind == "audio" ? audioSend : videoSend) += bitrate;
            stats.media.push_back({track.label, track.kind, std::to_string(bitrate)});
        }
    }
    int audioRecv = 0;
    int videoRecv = 0;
    for (const rtc_ssrc& source : remoteSources_) {
        if (source.kind == "audio")
            audioRecv += kAudioBitrate;
        else
            videoRecv += kDefaultVideoBitrate;
    }
    stats.audioSendBitrate = std::to_string(audioSend);
    stats.audioRecvBitrate = std::to_string(audioRecv);
    stats.videoSendBitrate = std::to_string(videoSend);
    stats.videoRecvBitrate = std::to_string(videoRecv);
    stats.packetLoss = "0";
    return stats;
}

int MediaEngine::GetStats()
{
    return journaled("GetStats", {}, [&] {
        velto_webrtc::rtc_stat_info stats;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stats = statsLocked();
        }
        emit([stats](velto_webrtc::velto_media_observer& observer) {
            velto_webrtc::rtc_stat_info copy = stats;
            observer.OnStats(copy);
        });
        return 0;
    });
}

bool MediaEngine::GetStreamAspect(unsigned int renderId, int* width, int* height)
{
    return journaled("GetStreamAspect", {arg(renderId)}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = renders_.find(renderId);
        if (!width || !height || it == renders_.end())
            return false;
        it->second->size(width, height);
        return true;
    }) != 0;
}

int MediaEngine::SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer)
{
    return journaled("SetAudioCaptureDataDBObserver", {arg(observer != nullptr)}, [&] {
        levelObserver_ = observer;  // levels reported from now on go to the new one
        if (!reportingLevel) {
            std::lock_guard<std::mutex> waitForRunningReport(levelCallMutex_);
        }
        return 0;
    });
}

int MediaEngine::SetAudioDeviceWorkMode(AudioDeviceMode mode)
{
    return journaled("SetAudioDeviceWorkMode", {arg(static_cast<int>(mode))}, [&] {
        const bool known = mode == kAudioDeviceNormal || mode == kAudioDeviceLoopback || mode == kAudioDeviceConference;
        return known ? 0 : -1;
    });
}

int MediaEngine::SetTryAudioSpeekerFileFoldPath(std::string path)
{
    return journaled("SetTryAudioSpeekerFileFoldPath", {path}, [&] { return path.empty() ? -1 : 0; });
}

int MediaEngine::selectDevice(const char* operation, int index, const std::vector<rtc_device_>& devices)
{
    return journaled(operation, {arg(index)}, [&] {
        return std::any_of(devices.begin(), devices.end(), [&](const rtc_device_& d) { return d.index == index; })
                   ? 0
                   : -1;
    });
}

int MediaEngine::SetAudioPlayoutDevice(int index)
{
    return selectDevice("SetAudioPlayoutDevice", index, currentDevices().speakers);
}

int MediaEngine::SetAudioRecordDevice(int index)
{
    return selectDevice("SetAudioRecordDevice", index, currentDevices().microphones);
}

int MediaEngine::StartAudioPlayout()
{
    return journaled("StartAudioPlayout", {}, [&] {
        if (currentDevices().speakers.empty())
            return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = true;
        return 0;
    });
}

int MediaEngine::StopAudioPlayout()
{
    return journaled("StopAudioPlayout", {}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = false;
        return 0;
    });
}

int MediaEngine::StartAudioRecording()
{
    return journaled("StartAudioRecording", {}, [&] {
        if (currentDevices().microphones.empty())
            return -1;
        std::lock_guard<std::mutex> lock(levelMutex_);
        if (recording_)
            return 0;
        // Stopped and started again from inside the level observer: the
        // level thread that runs it simply goes on.
        if (levelThread_.get_id() == std::this_thread::get_id()) {
            recording_ = true;
            return 0;
        }
        // A level thread that stopped itself from inside its observer is
        // joined here, before the next one starts.
        if (levelThread_.joinable())
            levelThread_.join();
        recording_ = true;
        levelThread_ = std::thread([this] { runLevels(); });
        return 0;
    });
}

int MediaEngine::StopAudioRecording()
{
    return journaled("StopAudioRecording", {}, [&] {
        stopLevelThread();
        return 0;
    });
}

void MediaEngine::stopLevelThread()
{
    std::thread levelThread;
    {
        std::lock_guard<std::mutex> lock(levelMutex_);
        recording_ = false;
        if (levelThread_.get_id() != std::this_thread::get_id())
            levelThread = std::move(levelThread_);
    }
    levelWake_.notify_all();
    if (levelThread.joinable())
        levelThread.join();
}

void MediaEngine::runLevels()
{
    // A level that rises and falls, as a voice would.
    for (int step = 0;; ++step) {
        {
            std::unique_lock<std::mutex> lock(levelMutex_);
            if (levelWake_.wait_for(lock, kLevelInterval, [this] { return !recording_; }))
                return;
        }
        const int level = 20 + (step % 14 < 7 ? step % 14 : 14 - step % 14) * 10;
        std::lock_guard<std::mutex> reporting(levelCallMutex_);
        if (velto_audio_capture_data_db_observer* observer = levelObserver_.load()) {
            reportingLevel = true;
            observer->OnCaptureDataDB(level);
            reportingLevel = false;
        }
    }
}

template <typename T>
int MediaEngine::report(const char* operation, T* out, T value)
{
    return journaled(operation, {}, [&] {
        if (!out)
            return -1;
        *out = value;
        return 0;
    });
}

template <typename T>
T MediaEngine::locked(std::mutex& mutex, const T& field)
{
    std::lock_guard<std::mutex> lock(mutex);
    return field;
}

int MediaEngine::setVolume(const char* operation, unsigned int volume, unsigned int& store)
{
    return journaled(operation, {arg(volume)}, [&] {
        if (volume > kMaxVolume)
            return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        store = volume;
        return 0;
    });
}

int MediaEngine::AudioPlaying(bool* playing)
{
    return report("AudioPlaying", playing, locked(mutex_, playing_));
}

int MediaEngine::AudioRecording(bool* recording)
{
    return report("AudioRecording", recording, locked(levelMutex_, recording_));
}

int MediaEngine::MicrophoneVolumeIsAvailable(bool* available)
{
    return report("MicrophoneVolumeIsAvailable", available, true);
}

int MediaEngine::MinMicrophoneVolume(unsigned int* volume)
{
    return report("MinMicrophoneVolume", volume, 0u);
}

int MediaEngine::MaxMicrophoneVolume(unsigned int* volume)
{
    return report("MaxMicrophoneVolume", volume, kMaxVolume);
}

int MediaEngine::SetMicrophoneVolume(unsigned int volume)
{
    return setVolume("SetMicrophoneVolume", volume, microphoneVolume_);
}

int MediaEngine::MicrophoneVolume(unsigned int* volume)
{
    return report("MicrophoneVolume", volume, locked(mutex_, microphoneVolume_));
}

int MediaEngine::SpeakerVolumeIsAvailable(bool* available)
{
    return report("SpeakerVolumeIsAvailable", available, true);
}

int MediaEngine::MinSpeakerVolume(unsigned int* volume)
{
    return report("MinSpeakerVolume", volume, 0u);
}

int MediaEngine::MaxSpeakerVolume(unsigned int* volume)
{
    return report("MaxSpeakerVolume", volume, kMaxVolume);
}

int MediaEngine::SetSpeakerVolume(unsigned int volume)
{
    return setVolume("SetSpeakerVolume", volume, speakerVolume_);
}

int MediaEngine::SpeakerVolume(unsigned int* volume)
{
    return report("SpeakerVolume", volume, locked(mutex_, speakerVolume_));
}

}  // namespace velto_media

velto_webrtc_interface* velto_webrtc_interface::createNew()
{
    return new velto_media::MediaEngine();
}
