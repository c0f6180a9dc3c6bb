#include "LocalVideoTrack.h"

#include <algorithm>
#include <random>

#include "MediaTransport.h"
#include "VideoConvert.h"
#include "Vp8Payload.h"

namespace velto_media {
namespace {

constexpr auto kBlackInterval = std::chrono::seconds(1);
// A still picture goes again this often.
constexpr auto kStillInterval = std::chrono::seconds(1);
// After a change, a still picture is sharpened this long at most, until the
// encoder's quantizer (0..63) comes down to this.
constexpr auto kRefineTime = std::chrono::seconds(3);
constexpr int kSharpQuantizer = 20;

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

LocalVideoTrack::LocalVideoTrack(const Settings& settings, std::unique_ptr<VideoSource> source,
                                 std::shared_ptr<FrameFanout> renders)
    : settings_(settings),
      source_(std::move(source)),
      renders_(std::move(renders)),
      encoder_(settings.screen),
      rate_(settings.bitrateKbps, settings.fps, settings.screen),
      sendingFps_(settings.fps)
{
    encoder_.setBitrate(settings_.bitrateKbps);
    encoder_.setFrameRate(settings_.fps);
    std::random_device random;
    timestampOffset_ = random();
    pictureId_ = static_cast<uint16_t>(random() & 0x7fff);
}

LocalVideoTrack::~LocalVideoTrack()
{
    stop();
}

int LocalVideoTrack::startSource()
{
    return source_->start([this](VideoFramePtr frame) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!enabled_ || stopping_)
                return;
            pending_ = std::move(frame);
        }
        wake_.notify_one();
    });
}

int LocalVideoTrack::start()
{
    if (!source_)
        return -1;
    const int started = startSource();
    if (started != 0)
        return started;
    thread_ = std::thread([this] { run(); });
    return 0;
}

void LocalVideoTrack::stop()
{
    if (source_)
        source_->stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void LocalVideoTrack::setEnabled(bool enabled)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (enabled_ == enabled || stopping_)
            return;
    }
    if (!enabled) {
        // The camera goes off while muted.
        source_->stop();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            enabled_ = false;
            pending_.reset();
            nextBlack_ = std::chrono::steady_clock::now();
        }
        wake_.notify_all();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        enabled_ = true;
    }
    encoder_.requestKeyframe();
    startSource();
}

bool LocalVideoTrack::enabled() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
}

void LocalVideoTrack::setTransport(std::shared_ptr<MediaTransport> transport)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transport_ = std::move(transport);
    }
    // A new connection starts with a keyframe, sent at once.
    encoder_.requestKeyframe();
}

void LocalVideoTrack::setFormat(int width, int height, int fps)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_.width = width;
        settings_.height = height;
        settings_.fps = fps;
        rate_.setFrameRate(fps);
        applyRateLocked();
    }
    source_->setFormat(width, height, fps);
}

void LocalVideoTrack::setBitrate(int kbps)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rate_.setMaximum(kbps);
    applyRateLocked();
}

void LocalVideoTrack::onLossReport(uint32_t reporter, uint8_t fractionLost, int64_t nowMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rate_.onReport(reporter, fractionLost, nowMs);
    applyRateLocked();
}

void LocalVideoTrack::applyRateLocked()
{
    const RateController::Target target = rate_.target();
    encoder_.setBitrate(target.kbps);
    encoder_.setFrameRate(target.fps);
    sendingFps_ = target.fps;
}

void LocalVideoTrack::size(int* width, int* height) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    *width = sentWidth_ > 0 ? sentWidth_ : settings_.width;
    *height = sentHeight_ > 0 ? sentHeight_ : settings_.height;
}

VideoFramePtr LocalVideoTrack::fitted(const VideoFramePtr& frame) const
{
    int boxWidth = 0;
    int boxHeight = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxWidth = settings_.screen ? 1920 : settings_.width;
        boxHeight = settings_.screen ? 1080 : settings_.height;
    }
    if (frame->width <= boxWidth && frame->height <= boxHeight)
        return frame;
    // Scaled down to fit the box, its shape kept.
    const double scale = std::min(double(boxWidth) / frame->width, double(boxHeight) / frame->height);
    return scaleFrame(frame, std::max(2, int(frame->width * scale)), std::max(2, int(frame->height * scale)));
}

void LocalVideoTrack::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto ready = [&] {
            return stopping_ || pending_ || (!enabled_ && std::chrono::steady_clock::now() >= nextBlack_);
        };
        if (enabled_)
            wake_.wait(lock, ready);
        else
            wake_.wait_until(lock, nextBlack_, ready);
        if (stopping_)
            break;
        VideoFramePtr frame = std::move(pending_);
        pending_.reset();
        if (!enabled_) {
            const int width = sentWidth_ > 0 ? sentWidth_ : settings_.width & ~1;
            const int height = sentHeight_ > 0 ? sentHeight_ : settings_.height & ~1;
            auto black = VideoFrame::black(std::max(2, width), std::max(2, height));
            black->captureUs = nowUs();
            frame = std::move(black);
            nextBlack_ = std::chrono::steady_clock::now() + kBlackInterval;
        }
        if (!frame)
            continue;
        // A black picture of a muted camera always goes.
        bool send = !enabled_ || thinner_.next(sendingFps_, settings_.fps);
        if (enabled_) {
            const auto now = std::chrono::steady_clock::now();
            if (frame->unchanged && send)
                send = stillPictureWanted(now);
            if (send)
                lastSent_ = now;
        }
        const std::shared_ptr<MediaTransport> transport = send ? transport_ : nullptr;
        lock.unlock();
        process(frame, transport);
        lock.lock();
    }
    lock.unlock();
    renders_->deliverBlack();
}

bool LocalVideoTrack::stillPictureWanted(std::chrono::steady_clock::time_point now) const
{
    return encoder_.keyframeWanted() || now - lastSent_ >= kStillInterval ||
           (refining_ && now < refineUntil_);
}

void LocalVideoTrack::process(const VideoFramePtr& captured, const std::shared_ptr<MediaTransport>& transport)
{
    const VideoFramePtr frame = fitted(captured);
    renders_->deliver(*frame);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sentWidth_ = frame->width;
        sentHeight_ = frame->height;
    }
    if (!transport)
        return;
    const int64_t captureUs = frame->captureUs != 0 ? frame->captureUs : nowUs();
    const uint32_t timestamp = timestampOffset_ + static_cast<uint32_t>(captureUs * 9 / 100);
    EncodedFrame encoded;
    if (!encoder_.encode(*frame, timestamp, &encoded))
        return;
    // A new picture (or a whole one again) starts coarse and is sharpened by
    // the frames after it; a picture sent only to keep the stream going
    // starts nothing.
    const bool fresh = !frame->unchanged || encoded.keyframe;
    if (fresh)
        refineUntil_ = std::chrono::steady_clock::now() + kRefineTime;
    refining_ = (refining_ || fresh) && encoder_.lastQuantizer() > kSharpQuantizer;
    const auto packets = rtp::packetizeVp8(encoded.data.data(), encoded.data.size(), pictureId_);
    pictureId_ = static_cast<uint16_t>((pictureId_ + 1) & 0x7fff);
    for (size_t i = 0; i < packets.size(); ++i)
        transport->sendRtp(settings_.ssrc, rtp::kVp8PayloadType, timestamp, i + 1 == packets.size(),
                           packets[i].data(), packets[i].size());
}

}  // namespace velto_media
