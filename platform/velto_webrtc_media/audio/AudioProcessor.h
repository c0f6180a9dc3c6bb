// Echo cancellation, noise suppression and gain control of the microphone,
// over WebRTC's audio processing module, in the engine's format: 48 kHz mono
// signed 16-bit, in blocks of whole 10 ms chunks (the engine's 20 ms blocks).
//
// Two threads use it. The playout thread hands processRender() each block
// the meeting plays (the echo reference); the capture thread cleans each
// microphone block with processCapture() before encoding it. The render side
// only copies into a short queue, and everything the library does happens on
// the capture thread: the playout never waits for it, and the library (whose
// state is not guarded against two callers) only ever sees one.
//
// The echo canceller costs more than the rest together, so it runs only
// while the far end sounded within the last second (the echo's delay and
// tail); noise suppression and gain control always run. A paused canceller
// keeps what it learnt of the echo path. About 0.35% of a core with the far
// end silent, 1% while it talks (bench/audio_processing).
//
// Gain control brings a voice to about -25 dBFS within seconds, and noise
// suppression takes a steady tone for noise: a test tone through the
// microphone comes out at its pitch but not at its level.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace velto_media {

class AudioProcessor {
public:
    static constexpr int kChunkSamples = 480;  // 10 ms: what the library processes at once

    AudioProcessor();
    ~AudioProcessor();
    AudioProcessor(const AudioProcessor&) = delete;
    AudioProcessor& operator=(const AudioProcessor&) = delete;

    // Playout thread: a block the meeting plays out, any length.
    void processRender(const int16_t* samples, int count);
    // Capture thread: cleans a microphone block in place. A block that is not
    // whole chunks is left as it is.
    void processCapture(int16_t* samples, int count);

    // Roughly how long after processRender() took a block its echo reaches
    // processCapture(). Any thread. The canceller takes out echoes from about
    // 20 ms sooner to 60 ms later than this at once; others only once its
    // delay search has found them, after some 15 s of far-end speech. On
    // PulseAudio a block written in the speaker's callback comes back in the
    // microphone's about 60 ms later (the default); queues before the speaker
    // or after the microphone add to it.
    void setStreamDelayMs(int delayMs);

    // Whether the last captured block went through the echo canceller.
    // Any thread.
    bool echoCancelling() const { return echoCancelling_; }

private:
    struct Modules;
    void takeRender(std::vector<int16_t>* chunks, bool* sounding);

    std::unique_ptr<Modules> modules_;  // capture thread only
    std::atomic<int> delayMs_{60};
    std::atomic<bool> echoCancelling_{false};
    int chunksSinceFarEnd_;  // capture thread only

    std::mutex renderMutex_;  // what follows
    std::vector<int16_t> render_;  // whole chunks, oldest first, at most kMostRenderChunks
    std::vector<int16_t> partial_;  // the start of the next chunk
    bool renderSounding_ = false;  // a chunk in render_ is not silence
};

}  // namespace velto_media
