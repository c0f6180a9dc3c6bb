#include "AudioProcessor.h"

// The library tells its options apart by the address of a static in an
// inline template (webrtc::Config): built hidden, our copy would not be the
// library's, and every option we set would silently fall back to its default.
#pragma GCC visibility push(default)
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>
#pragma GCC visibility pop

#include <algorithm>
#include <cstdlib>

namespace velto_media {
namespace {

constexpr int kSampleRate = 48000;
// Render queued for the capture thread; beyond it (a microphone that does
// not run) the oldest goes.
constexpr size_t kMostRenderChunks = 50;
// A render chunk whose peak stays below this (about -60 dBFS) is silence.
constexpr int kSoundingPeak = 32;
// How long the canceller keeps running after the far end fell silent: the
// echo's delay (reported or found) plus the room's tail.
constexpr int kEchoTailChunks = 100;

bool sounds(const int16_t* samples, int count)
{
    for (int i = 0; i < count; ++i)
        if (std::abs(samples[i]) >= kSoundingPeak)
            return true;
    return false;
}

}  // namespace

// Two instances: the canceller alone, so that it can pause without losing
// its state, and after it the filters that always run.
struct AudioProcessor::Modules {
    std::unique_ptr<webrtc::AudioProcessing> echo;
    std::unique_ptr<webrtc::AudioProcessing> clean;
    webrtc::AudioFrame frame;
    std::vector<int16_t> render;  // taken from the queue
};

AudioProcessor::AudioProcessor() : modules_(std::make_unique<Modules>()), chunksSinceFarEnd_(kEchoTailChunks)
{
    using webrtc::AudioProcessing;
    webrtc::Config echoConfig;
    // The delay through the sound server is neither reported exactly nor
    // steady: let the canceller find it, over a filter long enough for a room.
    echoConfig.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
    echoConfig.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
    modules_->echo.reset(AudioProcessing::Create(echoConfig));
    webrtc::Config cleanConfig;
    // The newer gain control steers an analog microphone level we do not have.
    cleanConfig.Set<webrtc::ExperimentalAgc>(new webrtc::ExperimentalAgc(false));
    modules_->clean.reset(AudioProcessing::Create(cleanConfig));

    for (auto* apm : {modules_->echo.get(), modules_->clean.get()}) {
        if (apm)
            apm->Initialize(kSampleRate, kSampleRate, kSampleRate, AudioProcessing::kMono, AudioProcessing::kMono,
                            AudioProcessing::kMono);
    }
    if (auto* echo = modules_->echo.get())
        echo->echo_cancellation()->Enable(true);
    if (auto* clean = modules_->clean.get()) {
        clean->high_pass_filter()->Enable(true);
        clean->noise_suppression()->set_level(webrtc::NoiseSuppression::kModerate);
        clean->noise_suppression()->Enable(true);
        clean->gain_control()->set_mode(webrtc::GainControl::kAdaptiveDigital);
        clean->gain_control()->Enable(true);
    }
}

AudioProcessor::~AudioProcessor() = default;

void AudioProcessor::setStreamDelayMs(int delayMs)
{
    delayMs_ = std::max(0, delayMs);
}

void AudioProcessor::processRender(const int16_t* samples, int count)
{
    if (!samples || count <= 0)
        return;
    std::lock_guard<std::mutex> lock(renderMutex_);
    while (count > 0) {
        const int take = std::min(count, kChunkSamples - int(partial_.size()));
        partial_.insert(partial_.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (int(partial_.size()) < kChunkSamples)
            break;
        renderSounding_ = renderSounding_ || sounds(partial_.data(), kChunkSamples);
        if (render_.size() >= kMostRenderChunks * kChunkSamples)
            render_.erase(render_.begin(), render_.begin() + kChunkSamples);
        render_.insert(render_.end(), partial_.begin(), partial_.end());
        partial_.clear();
    }
}

void AudioProcessor::takeRender(std::vector<int16_t>* chunks, bool* sounding)
{
    chunks->clear();
    std::lock_guard<std::mutex> lock(renderMutex_);
    chunks->swap(render_);
    *sounding = renderSounding_;
    renderSounding_ = false;
}

void AudioProcessor::processCapture(int16_t* samples, int count)
{
    if (!samples || count <= 0 || count % kChunkSamples != 0)
        return;
    Modules& m = *modules_;
    bool farEndSounded = false;
    takeRender(&m.render, &farEndSounded);
    if (farEndSounded)
        chunksSinceFarEnd_ = 0;
    const bool cancel = m.echo && chunksSinceFarEnd_ < kEchoTailChunks;
    echoCancelling_ = cancel;
    chunksSinceFarEnd_ = std::min(chunksSinceFarEnd_ + count / kChunkSamples, kEchoTailChunks);

    auto load = [&m](const int16_t* chunk) {
        m.frame.UpdateFrame(0, 0, chunk, kChunkSamples, kSampleRate, webrtc::AudioFrame::kNormalSpeech,
                            webrtc::AudioFrame::kVadUnknown, 1);
    };
    if (cancel) {
        for (size_t at = 0; at + kChunkSamples <= m.render.size(); at += kChunkSamples) {
            load(m.render.data() + at);
            m.echo->ProcessReverseStream(&m.frame);
        }
    }
    for (int at = 0; at < count; at += kChunkSamples) {
        // A stage that fails leaves the chunk as it came to it.
        int16_t* chunk = samples + at;
        load(chunk);
        if (cancel) {
            m.echo->set_stream_delay_ms(delayMs_);
            if (m.echo->ProcessStream(&m.frame) == webrtc::AudioProcessing::kNoError)
                std::copy(m.frame.data_, m.frame.data_ + kChunkSamples, chunk);
            else
                load(chunk);
        }
        if (m.clean && m.clean->ProcessStream(&m.frame) == webrtc::AudioProcessing::kNoError)
            std::copy(m.frame.data_, m.frame.data_ + kChunkSamples, chunk);
    }
}

}  // namespace velto_media
