#include "AudioCapturePath.h"

#include <algorithm>
#include <cmath>

#include "AudioPlayoutPath.h"
#include "AudioProcessor.h"
#include "MediaTransport.h"

namespace velto_media {
namespace {

constexpr size_t kMostQueued = 10;  // 200 ms
constexpr uint8_t kOpusPayloadType = 111;

}  // namespace

AudioCapturePath::AudioCapturePath(std::function<void(int level)> level, AudioPlayoutPath* playout,
                                   std::shared_ptr<AudioProcessor> cleaner)
    : level_(std::move(level)), playout_(playout), cleaner_(std::move(cleaner))
{
}

AudioCapturePath::~AudioCapturePath()
{
    open(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

int AudioCapturePath::open(std::unique_ptr<AudioCapture> capture, bool acoustic)
{
    std::lock_guard<std::mutex> device(deviceMutex_);
    if (device_) {
        device_->stop();
        device_.reset();
    }
    if (!capture)
        return -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return -1;
        queue_.clear();
        acoustic_ = acoustic;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    const int started = capture->start([this](const int16_t* samples, int count) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.emplace_back(samples, samples + count);
            if (queue_.size() > kMostQueued)
                queue_.pop_front();
        }
        wake_.notify_one();
    });
    if (started == 0)
        device_ = std::move(capture);
    return started;
}

bool AudioCapturePath::isOpen() const
{
    std::lock_guard<std::mutex> device(deviceMutex_);
    return device_ != nullptr;
}

void AudioCapturePath::setSenders(std::vector<Sender> senders)
{
    std::lock_guard<std::mutex> lock(mutex_);
    senders_ = std::move(senders);
}

void AudioCapturePath::setGain(double gain)
{
    std::lock_guard<std::mutex> lock(mutex_);
    gain_ = gain;
}

void AudioCapturePath::run()
{
    for (;;) {
        std::vector<int16_t> block;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            block = std::move(queue_.front());
            queue_.pop_front();
        }
        process(block);
    }
}

void AudioCapturePath::clean(std::vector<int16_t>& block, bool acoustic)
{
    // Runs while not sending too (muted, the device check), so that the echo
    // canceller stays in step with the room.
    if (cleaner_ && acoustic)
        cleaner_->processCapture(block.data(), static_cast<int>(block.size()));
}

void AudioCapturePath::process(std::vector<int16_t>& block)
{
    std::vector<Sender> senders;
    double gain = 1;
    bool acoustic = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        senders = senders_;
        gain = gain_;
        acoustic = acoustic_;
    }
    if (gain < 0.999 || gain > 1.001)
        for (int16_t& sample : block)
            sample = static_cast<int16_t>(std::clamp(std::lround(sample * gain), -32768L, 32767L));
    const int count = static_cast<int>(block.size());
    const double db = blockLevelDb(block.data(), count);
    level_(static_cast<int>(std::lround(std::clamp(db + 100.0, 0.0, 100.0))));
    if (playout_)
        playout_->pushCaptured(block.data(), count);
    clean(block, acoustic);

    const uint32_t timestamp = samplesCaptured_;
    samplesCaptured_ += static_cast<uint32_t>(count);
    if (senders.empty() || count != kOpusFrameSamples)
        return;
    std::vector<uint8_t> packet;
    if (!encoder_.encode(block.data(), &packet))
        return;
    for (const Sender& sender : senders)
        sender.transport->sendRtp(sender.ssrc, kOpusPayloadType, timestamp + sender.ssrc, false, packet.data(),
                                  packet.size());
}

}  // namespace velto_media
