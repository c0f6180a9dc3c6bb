// Placeholder device layer so the pipeline builds and runs before the real
// devices exist: a moving grey synthetic camera and no sound devices.
// Replaced as a whole by the real device implementations.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "AudioDevice.h"
#include "VideoSource.h"

namespace velto_media {

const char* const kSyntheticCameraId = "synthetic";

std::shared_ptr<VideoFrame> VideoFrame::black(int width, int height)
{
    auto frame = std::make_shared<VideoFrame>();
    frame->width = width;
    frame->height = height;
    frame->y.assign(size_t(width) * height, 16);
    frame->u.assign(size_t(width / 2) * (height / 2), 128);
    frame->v.assign(size_t(width / 2) * (height / 2), 128);
    return frame;
}

namespace {

class StandInCamera final : public VideoSource {
public:
    StandInCamera(int width, int height, int fps) : width_(width & ~1), height_(height & ~1), fps_(std::max(1, fps)) {}
    ~StandInCamera() override { stop(); }
    int start(VideoSink sink) override
    {
        stop();
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        thread_ = std::thread([this, sink = std::move(sink)] { run(sink); });
        return 0;
    }
    void stop() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    void setFormat(int width, int height, int fps) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        width_ = width & ~1;
        height_ = height & ~1;
        fps_ = std::max(1, fps);
    }

private:
    void run(const VideoSink& sink)
    {
        auto next = std::chrono::steady_clock::now();
        for (int n = 0;; ++n) {
            int width, height, fps;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (wake_.wait_until(lock, next, [this] { return stopping_; }))
                    return;
                width = width_, height = height_, fps = fps_;
            }
            auto frame = VideoFrame::black(width, height);
            for (int row = 0; row < height; ++row)
                std::fill_n(frame->y.begin() + size_t(row) * width, width, uint8_t(16 + (row + n * 4) % 220));
            frame->captureUs =
                std::chrono::duration_cast<std::chrono::microseconds>(next.time_since_epoch()).count();
            sink(frame);
            next += std::chrono::microseconds(1000000 / fps);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    int width_, height_, fps_;
    std::thread thread_;
};

}  // namespace

std::vector<CameraInfo> listCameras() { return {{kSyntheticCameraId, "Synthetic camera"}}; }

std::unique_ptr<VideoSource> openCamera(const std::string& id, const std::string& userName, int width, int height,
                                        int fps)
{
    if (id != kSyntheticCameraId)
        return nullptr;
    return makeSyntheticCamera(userName, width, height, fps);
}

std::unique_ptr<VideoSource> makeSyntheticCamera(const std::string&, int width, int height, int fps)
{
    return std::make_unique<StandInCamera>(width, height, fps);
}

std::unique_ptr<VideoSource> makeImageSource(const std::string&, int) { return nullptr; }
std::unique_ptr<VideoSource> makeScreenSource(bool, int64_t, int64_t, int) { return nullptr; }

std::vector<AudioDeviceInfo> listAudioSources() { return {}; }
std::vector<AudioDeviceInfo> listAudioSinks() { return {}; }

double blockLevelDb(const int16_t* samples, int count)
{
    if (!samples || count <= 0)
        return -100.0;
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    double rms = std::sqrt(sum / count) / 32768.0;
    return rms <= 1e-5 ? -100.0 : std::max(-100.0, 20.0 * std::log10(rms));
}

std::unique_ptr<AudioCapture> openAudioCapture(const std::string&) { return nullptr; }
std::unique_ptr<AudioPlayout> openAudioPlayout(const std::string&) { return nullptr; }

}  // namespace velto_media
