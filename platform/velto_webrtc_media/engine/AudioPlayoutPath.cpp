#include "AudioPlayoutPath.h"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "AudioProcessor.h"
#include "OpusCodec.h"
#include "UserSources.h"

namespace velto_media {
namespace {

constexpr auto kBlock = std::chrono::milliseconds(20);
// The speaker's buffer is kept between these (in blocks): enough to ride
// out a late mixer turn, little enough to stay in time.
constexpr size_t kRingTarget = 3;
constexpr size_t kRingMost = 8;
constexpr size_t kCapturedMost = 5;

int16_t saturate(int value)
{
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

}  // namespace

AudioPlayoutPath::AudioPlayoutPath(std::shared_ptr<AudioProcessor> echo) : echo_(std::move(echo)) {}

AudioPlayoutPath::~AudioPlayoutPath()
{
    stop();
}

void AudioPlayoutPath::addStream(std::shared_ptr<RemoteAudioStream> stream)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams_[stream->ssrc()] = std::move(stream);
    }
    reconcile();
}

void AudioPlayoutPath::removeStream(uint32_t ssrc)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams_.erase(ssrc);
    }
    reconcile();
}

void AudioPlayoutPath::setDevice(const std::string& deviceId)
{
    std::lock_guard<std::mutex> control(controlMutex_);
    double volume = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (deviceId_ == deviceId)
            return;
        deviceId_ = deviceId;
        volume = volume_;
    }
    // A running playout moves to the new speaker at once.
    if (!device_)
        return;
    device_->stop();
    device_ = deviceId == kSoundFileDevice || userSources().soundFilesOnly ? nullptr : openAudioPlayout(deviceId);
    if (device_ && device_->start([this](int16_t* samples, int count) { fill(samples, count); }) != 0)
        device_.reset();
    if (device_)
        device_->setVolume(volume);
}

void AudioPlayoutPath::setVolume(double gain)
{
    std::lock_guard<std::mutex> control(controlMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        volume_ = gain;
    }
    if (device_)
        device_->setVolume(gain);
}

void AudioPlayoutPath::setPlaying(bool playing)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = playing;
        if (!playing) {
            sound_.clear();
            captured_.clear();
        }
    }
    reconcile();
}

bool AudioPlayoutPath::playing() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return playing_;
}

void AudioPlayoutPath::setLoopback(bool loopback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    loopback_ = loopback;
    if (!loopback)
        captured_.clear();
}

void AudioPlayoutPath::pushCaptured(const int16_t* samples, int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loopback_ || !playing_)
        return;
    captured_.insert(captured_.end(), samples, samples + count);
    while (captured_.size() > kCapturedMost * kOpusFrameSamples)
        captured_.pop_front();
}

void AudioPlayoutPath::playSound(std::vector<int16_t> samples)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sound_ = std::move(samples);
    soundAt_ = 0;
}

void AudioPlayoutPath::stop()
{
    std::lock_guard<std::mutex> control(controlMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        streams_.clear();
        playing_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    if (device_) {
        device_->stop();
        device_.reset();
    }
}

void AudioPlayoutPath::reconcile()
{
    std::lock_guard<std::mutex> control(controlMutex_);
    std::string deviceId;
    double volume = 1;
    bool wanted = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ && !thread_.joinable())
            return;
        wanted = !stopping_ && (playing_ || !streams_.empty());
        deviceId = deviceId_;
        volume = volume_;
        if (wanted == thread_.joinable())
            return;
        if (!wanted)
            stopping_ = true;
    }
    if (wanted) {
        {
            std::lock_guard<std::mutex> ring(ringMutex_);
            ring_.clear();
        }
        thread_ = std::thread([this] { run(); });
        // The user's file alone: no speaker to open.
        if (deviceId != kSoundFileDevice && !userSources().soundFilesOnly)
            device_ = openAudioPlayout(deviceId);
        if (device_ && device_->start([this](int16_t* samples, int count) { fill(samples, count); }) != 0) {
            std::cerr << "velto_webrtc_media: the speaker " << (deviceId.empty() ? "(default)" : deviceId)
                      << " cannot be opened" << std::endl;
            device_.reset();
        }
        if (device_)
            device_->setVolume(volume);
        return;
    }
    wake_.notify_all();
    thread_.join();
    if (device_) {
        device_->stop();
        device_.reset();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

void AudioPlayoutPath::fill(int16_t* samples, int count)
{
    {
        std::lock_guard<std::mutex> lock(ringMutex_);
        const size_t available = std::min(ring_.size(), static_cast<size_t>(count));
        std::copy_n(ring_.begin(), available, samples);
        ring_.erase(ring_.begin(), ring_.begin() + static_cast<long>(available));
        std::fill(samples + available, samples + count, int16_t(0));
    }
    // The reference in step with the speaker, not with the mixer ahead of it
    // (the processor only copies it here).
    if (echo_)
        echo_->processRender(samples, count);
}

void AudioPlayoutPath::mix(int16_t* block)
{
    std::vector<std::shared_ptr<RemoteAudioStream>> streams;
    std::vector<int> sum(kOpusFrameSamples, 0);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [ssrc, stream] : streams_)
            streams.push_back(stream);
        if (captured_.size() >= static_cast<size_t>(kOpusFrameSamples)) {
            for (int i = 0; i < kOpusFrameSamples; ++i)
                sum[size_t(i)] += captured_[size_t(i)];
            captured_.erase(captured_.begin(), captured_.begin() + kOpusFrameSamples);
        }
        if (soundAt_ < sound_.size()) {
            const size_t n = std::min(sound_.size() - soundAt_, static_cast<size_t>(kOpusFrameSamples));
            for (size_t i = 0; i < n; ++i)
                sum[i] += sound_[soundAt_ + i];
            soundAt_ += n;
        }
    }
    int16_t frame[kOpusFrameSamples];
    for (const auto& stream : streams)
        if (stream->pull(frame))
            for (int i = 0; i < kOpusFrameSamples; ++i)
                sum[size_t(i)] += frame[i];
    for (int i = 0; i < kOpusFrameSamples; ++i)
        block[i] = saturate(sum[size_t(i)]);
}

void AudioPlayoutPath::run()
{
    auto next = std::chrono::steady_clock::now();
    int16_t block[kOpusFrameSamples];
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, next, [this] { return stopping_; }))
                return;
        }
        mix(block);
        recordPlayout(block, kOpusFrameSamples);
        {
            std::lock_guard<std::mutex> lock(ringMutex_);
            ring_.insert(ring_.end(), block, block + kOpusFrameSamples);
            if (ring_.size() > kRingMost * kOpusFrameSamples)
                ring_.erase(ring_.begin(), ring_.end() - static_cast<long>(kRingTarget * kOpusFrameSamples));
        }
        next += kBlock;
        // After a stall (a suspended machine) the clock starts over instead of catching up.
        const auto now = std::chrono::steady_clock::now();
        if (now - next > 5 * kBlock)
            next = now;
    }
}

}  // namespace velto_media
