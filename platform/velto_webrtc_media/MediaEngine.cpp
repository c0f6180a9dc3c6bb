// The engine's life, its devices and local streams, and rendering.
#include "MediaEngine.h"

#include <algorithm>
#include <iostream>
#include <random>

#include "MediaHooks.h"
#include "QGLRenderInterface.h"
#include "UserSources.h"
#include "VideoSource.h"

namespace velto_media {
namespace {

using velto_webrtc::rtc_device_;

constexpr int kDefaultVideoBitrate = 512;  // kbit/s
constexpr int kScreenBitrate = 1500;

std::atomic<unsigned int> lastRenderId{0};
std::atomic<unsigned int> lastEngine{0};

bool hasDevice(const std::vector<rtc_device_>& devices, const rtc_device_& device)
{
    return std::any_of(devices.begin(), devices.end(), [&](const rtc_device_& d) { return d.id == device.id; });
}

int fillDevices(std::vector<rtc_device_>& out, const std::vector<rtc_device_>& devices)
{
    out = devices;
    return static_cast<int>(devices.size());
}

}  // namespace

MediaEngine::MediaEngine()
    : cname_("engine-" + std::to_string(++lastEngine)),
      audioProcessor_(std::make_shared<AudioProcessor>()),
      playout_(audioProcessor_),
      capture_(std::make_unique<AudioCapturePath>([this](int level) { reportLevel(level); }, &playout_,
                                                  audioProcessor_))
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
        if (!observer || loop_ || shutDown_)
            return -1;
        observer_ = observer;
        loop_ = std::make_unique<velto_platform::EventLoop>();
        iceServers_ = usableIceServers(iceServers);
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
    std::unique_ptr<velto_platform::EventLoop> loop;
    std::shared_ptr<MediaTransport> transport;
    std::shared_ptr<IceAgent> ice;
    std::vector<Track> tracks;
    std::map<std::string, std::shared_ptr<FrameFanout>> fanouts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutDown_ = true;
        loop = std::move(loop_);
        transport = std::move(transport_);
        ice = std::move(ice_);
        for (auto& [label, stream] : localStreams_)
            for (Track& track : stream.tracks)
                tracks.push_back(std::move(track));
        localStreams_.clear();
        remoteSources_.clear();
        for (auto& [id, render] : renders_)
            render.fanout->remove(id);
        renders_.clear();
        fanouts.swap(fanouts_);
    }
    // Joined outside the lock, the network thread first: nothing reaches
    // the streams after it.
    if (transport)
        transport->stop();
    // The agent's thread next: no candidate or failure is reported after it.
    if (ice)
        ice->stop();
    std::map<uint32_t, std::shared_ptr<RemoteVideoStream>> videos;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        videos.swap(remoteVideo_);
        remoteAudio_.clear();
        sendingVideo_.clear();
        feedbackTransport_.reset();
    }
    for (auto& [ssrc, video] : videos)
        video->stop();
    decoders_->stop();
    for (const Track& track : tracks)
        endTrack(track);
    std::unique_ptr<AudioCapturePath> capture;
    {
        std::lock_guard<std::mutex> audio(audioMutex_);
        capture = std::move(capture_);
    }
    // Joins the capture thread (which may be in the level observer, calling
    // in): no level is reported after this.
    capture.reset();
    playout_.stop();
    loop.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = nullptr;
}

int MediaEngine::SetIceServers(const std::vector<velto_webrtc::ice_server_config>& iceServers)
{
    // Only the count is journaled: the entries carry credentials. They hold
    // for the connections made from now on; those that do not parse are
    // logged and left out.
    return journaled("SetIceServers", {arg(static_cast<unsigned int>(iceServers.size()))}, [&] {
        std::vector<IceServer> servers = usableIceServers(iceServers);
        const bool complete = servers.size() == iceServers.size();
        std::lock_guard<std::mutex> lock(mutex_);
        iceServers_ = std::move(servers);
        return complete ? 0 : -1;
    });
}

int MediaEngine::getVideoCaptureDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getVideoCaptureDevices", {}, [&] { return fillDevices(devices, currentCameras()); });
}

int MediaEngine::getAudioRecordingDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getAudioRecordingDevices", {},
                     [&] { return fillDevices(devices, currentMicrophones()); });
}

int MediaEngine::getAudioPlayoutDevices(std::vector<rtc_device_>& devices)
{
    return journaled("getAudioPlayoutDevices", {}, [&] { return fillDevices(devices, currentSpeakers()); });
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

void MediaEngine::endTrack(const Track& track)
{
    if (track.video) {
        {
            std::lock_guard<std::mutex> lock(streamsMutex_);
            sendingVideo_.erase(track.ssrc);
        }
        track.video->stop();
        forgetRetransmission(track.ssrc);
    }
    if (const std::shared_ptr<MediaTransport> transport = sendingTransport())
        transport->forgetSent(track.ssrc);
}

int MediaEngine::RemoveLocalStream(const std::string& label)
{
    return journaled("RemoveLocalStream", {label}, [&] {
        LocalStream removed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto stream = localStreams_.find(label);
            if (stream == localStreams_.end())
                return -1;
            removed = std::move(stream->second);
            localStreams_.erase(stream);
        }
        for (const Track& track : removed.tracks)
            endTrack(track);
        updateAudio();
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

uint32_t MediaEngine::newSsrcLocked() const
{
    static std::mutex randomMutex;
    static std::mt19937 random{std::random_device{}()};
    for (;;) {
        uint32_t ssrc = 0;
        {
            std::lock_guard<std::mutex> lock(randomMutex);
            ssrc = static_cast<uint32_t>(random());
        }
        bool taken = ssrc == 0;
        for (const auto& [label, stream] : localStreams_)
            for (const Track& track : stream.tracks)
                taken = taken || track.ssrc == ssrc;
        for (const RemoteSource& remote : remoteSources_)
            taken = taken || remote.ssrc == ssrc;
        for (const auto& [media, retransmission] : retransmissionOf_)
            taken = taken || retransmission == ssrc;
        if (!taken)
            return ssrc;
    }
}

std::shared_ptr<FrameFanout> MediaEngine::fanoutLocked(const std::string& label)
{
    std::shared_ptr<FrameFanout>& fanout = fanouts_[label];
    if (!fanout)
        fanout = std::make_shared<FrameFanout>();
    return fanout;
}

int MediaEngine::addVideoTrack(const std::string& label, const std::string& trackLabel, bool screen,
                               std::unique_ptr<VideoSource> source, const LocalVideoTrack::Settings& asked)
{
    if (!source)
        return -1;
    LocalVideoTrack::Settings settings = asked;
    std::shared_ptr<LocalVideoTrack> track;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutDown_ || localStreams_.count(label) == 0 || trackLocked(label, "video"))
            return -1;
        settings.ssrc = newSsrcLocked();
        track = std::make_shared<LocalVideoTrack>(settings, std::move(source), fanoutLocked(label));
    }
    // Opening a camera takes a while: outside the lock.
    const int started = track->start();
    if (started != 0)
        return started;
    std::shared_ptr<MediaTransport> transport;
    uint32_t retransmission = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto stream = localStreams_.find(label);
        if (shutDown_ || stream == localStreams_.end() || trackLocked(label, "video")) {
            track->stop();
            return -1;
        }
        stream->second.tracks.push_back({trackLabel, "video", settings.ssrc, screen, true, track});
        retransmission = addRetransmissionLocked(settings.ssrc);
        if (answered_)
            transport = transport_;
    }
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        sendingVideo_[settings.ssrc] = track;
    }
    if (transport) {
        transport->setRetransmission(settings.ssrc, retransmission);
        track->setTransport(transport);
    }
    return 0;
}

int MediaEngine::AddVideoToLocalStream(const std::string& label, const std::string& trackLabel,
                                       const rtc_device_& camera, int width, int height, int fps, int bitrate)
{
    const std::vector<std::string> args{label,      trackLabel,  camera.id,    arg(width),
                                        arg(height), arg(fps),   arg(bitrate)};
    return journaled("AddVideoToLocalStream", args, [&] {
        const bool knownCamera = hasDevice(currentCameras(), camera);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (localStreams_.count(label) == 0 || trackLabel.empty() || !knownCamera || width <= 0 ||
                height <= 0 || fps <= 0 || trackLocked(label, "video"))
                return -1;
        }
        if (cameraBusy())
            return -3;
        const UserSources user = userSources();
        std::unique_ptr<VideoSource> source = !user.cameraImage.empty()
                                                  ? makeImageSource(user.cameraImage, fps)
                                                  : openCamera(camera.id, localUserName(), width, height, fps);
        LocalVideoTrack::Settings settings;
        settings.width = width;
        settings.height = height;
        settings.fps = fps;
        settings.bitrateKbps = bitrate > 0 ? bitrate : kDefaultVideoBitrate;
        return addVideoTrack(label, trackLabel, false, std::move(source), settings);
    });
}

int MediaEngine::AddAudioToLocalStream(const std::string& label, const std::string& trackLabel)
{
    return journaled("AddAudioToLocalStream", {label, trackLabel}, [&] {
        const bool haveMicrophone = !currentMicrophones().empty();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto stream = localStreams_.find(label);
            if (shutDown_ || stream == localStreams_.end() || trackLabel.empty() || !haveMicrophone ||
                trackLocked(label, "audio"))
                return -1;
            stream->second.tracks.push_back({trackLabel, "audio", newSsrcLocked(), false, true, nullptr});
        }
        updateAudio();
        return 0;
    });
}

int MediaEngine::AddScreenToLocalStream(const std::string& label, const std::string& trackLabel, bool wholeScreen,
                                        int fps, int sourceId, int excludedWindowId)
{
    const std::vector<std::string> args{label, trackLabel, arg(wholeScreen), arg(fps), arg(sourceId),
                                        arg(excludedWindowId)};
    return journaled("AddScreenToLocalStream", args, [&] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (localStreams_.count(label) == 0 || trackLabel.empty() || fps <= 0 || trackLocked(label, "video"))
                return -1;
        }
        LocalVideoTrack::Settings settings;
        settings.screen = true;
        settings.fps = fps;
        settings.bitrateKbps = kScreenBitrate;
        return addVideoTrack(label, trackLabel, true, makeScreenSource(wholeScreen, sourceId, excludedWindowId, fps),
                             settings);
    });
}

int MediaEngine::RemoveScreenFromLocalStream(const std::string& label, const std::string& trackLabel)
{
    return journaled("RemoveScreenFromLocalStream", {label, trackLabel}, [&] {
        Track removed;
        {
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
            removed = std::move(*screen);
            tracks.erase(screen);
        }
        endTrack(removed);
        return 0;
    });
}

bool MediaEngine::liveLocked(const std::string& label) const
{
    return localStreams_.count(label) != 0 ||
           std::any_of(remoteSources_.begin(), remoteSources_.end(),
                       [&](const RemoteSource& remote) { return remote.source.streamLabel == label; });
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
            if (render.target == target) {
                std::cerr << "velto_webrtc_media: StartRender refused: the window already shows stream "
                          << render.label << " (render " << id << "), not " << label << std::endl;
                return false;
            }
        }
        renderId = ++lastRenderId;
        Render render{label, target, fanoutLocked(label)};
        render.fanout->add(renderId, target);
        renders_.emplace(renderId, std::move(render));
        return true;
    }) != 0;
}

std::string MediaEngine::renderedLabel(const void* target) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, render] : renders_)
        if (render.target == target)
            return render.label;
    return {};
}

bool MediaEngine::StopRender(unsigned int renderId, const std::string& label)
{
    return journaled("StopRender", {arg(renderId), label}, [&] {
        std::shared_ptr<FrameFanout> fanout;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto it = renders_.find(renderId);
            if (it == renders_.end() || it->second.label != label)
                return false;
            fanout = it->second.fanout;
            renders_.erase(it);
        }
        // Returns once a picture being drawn into the target is done.
        fanout->remove(renderId);
        return true;
    }) != 0;
}

bool MediaEngine::GetStreamAspect(unsigned int renderId, int* width, int* height)
{
    return journaled("GetStreamAspect", {arg(renderId)}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = renders_.find(renderId);
        if (!width || !height || it == renders_.end())
            return false;
        if (it->second.fanout->lastSize(width, height))
            return true;
        // Nothing drawn yet: a local stream's camera says what is coming.
        const auto stream = localStreams_.find(it->second.label);
        if (stream == localStreams_.end())
            return false;
        for (const Track& track : stream->second.tracks) {
            if (track.video) {
                track.video->size(width, height);
                return *width > 0 && *height > 0;
            }
        }
        return false;
    }) != 0;
}

bool MediaEngine::enableTrack(const char* operation, const std::string& label, const std::string& kind, bool enable)
{
    return journaled(operation, {label, arg(enable)}, [&] {
        std::shared_ptr<LocalVideoTrack> video;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Track* track = trackLocked(label, kind);
            if (!track)
                return false;
            track->enabled = enable;
            video = track->video;
        }
        if (video)
            video->setEnabled(enable);
        else
            updateAudio();
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
        std::shared_ptr<LocalVideoTrack> video;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const Track* camera = trackLocked(label, "video");
            if (!camera || camera->screen || !camera->video || width <= 0 || height <= 0 || fps <= 0)
                return false;
            video = camera->video;
        }
        video->setFormat(width, height, fps);
        return true;
    }) != 0;
}

bool MediaEngine::SetMediaBitrate(const std::string& kind, int bitrate)
{
    return journaled("SetMediaBitrate", {kind, arg(bitrate)}, [&] {
        if ((kind != "audio" && kind != "video") || bitrate <= 0)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        // The audio bitrate is Opus's own; the cameras follow the asked one.
        for (auto& [label, stream] : localStreams_)
            for (Track& track : stream.tracks)
                if (track.video && !track.screen && kind == "video")
                    track.video->setBitrate(bitrate);
        return true;
    }) != 0;
}

}  // namespace velto_media

// What the loader library looks up in this module (velto_webrtc_media_loader.cpp).
extern "C" __attribute__((visibility("default"))) velto_webrtc_interface* velto_media_create_engine()
{
    return new velto_media::MediaEngine();
}
