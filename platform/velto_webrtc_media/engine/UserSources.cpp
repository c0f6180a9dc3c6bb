#include "UserSources.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "WavFile.h"

namespace velto_media {
namespace {

struct State {
    std::mutex mutex;
    UserSources sources;
    std::string userName;
    std::string recordingPath;  // of the open writer
    WavWriter recording;
};

State& state()
{
    static State instance;
    return instance;
}

class WavCapture final : public AudioCapture {
public:
    explicit WavCapture(std::vector<int16_t> samples) : samples_(std::move(samples)) {}
    ~WavCapture() override { stop(); }

    int start(AudioCaptureSink sink) override
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

private:
    void run(const AudioCaptureSink& sink)
    {
        std::vector<int16_t> block(kAudioBlockSamples);
        size_t at = 0;
        auto next = std::chrono::steady_clock::now();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (wake_.wait_until(lock, next, [this] { return stopping_; }))
                    return;
            }
            for (int16_t& sample : block) {
                sample = samples_[at];
                at = (at + 1) % samples_.size();
            }
            sink(block.data(), kAudioBlockSamples);
            next += std::chrono::milliseconds(20);
        }
    }

    const std::vector<int16_t> samples_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace

void setUserSources(const UserSources& sources)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().sources = sources;
}

UserSources userSources()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().sources;
}

void setLocalUserName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().userName = name;
}

std::string localUserName()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().userName;
}

void recordPlayout(const int16_t* samples, int count)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.sources.playoutWav.empty())
        return;
    if (s.recordingPath != s.sources.playoutWav) {
        s.recording.close();
        if (!s.recording.open(s.sources.playoutWav, kAudioSampleRate, 1))
            return;
        s.recordingPath = s.sources.playoutWav;
    }
    s.recording.write(samples, static_cast<size_t>(count));
}

std::unique_ptr<AudioCapture> openSilentCapture()
{
    return std::make_unique<WavCapture>(std::vector<int16_t>(kAudioBlockSamples, 0));
}

std::unique_ptr<AudioCapture> openWavCapture(const std::string& path)
{
    WavAudio audio;
    if (!readWav(path, &audio))
        return nullptr;
    std::vector<int16_t> samples = toMono(audio, kAudioSampleRate);
    if (samples.empty())
        return nullptr;
    return std::make_unique<WavCapture>(std::move(samples));
}

}  // namespace velto_media
