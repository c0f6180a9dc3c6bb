// The microphone's way through the engine: the sound server's callback
// copies each 20 ms block into a short queue and returns; the capture thread
// takes it from there, reports its level and hands it to the playout for the
// loopback test (both as the microphone heard it), cleans it (echo, noise,
// gain: AudioProcessor, whose echo reference the playout feeds), encodes it
// (Opus) and sends it on every enabled audio track.
//
// The capture thread lives from the first open to the destructor, so that
// the level receiver may stop and start the microphone from inside its call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioDevice.h"
#include "OpusCodec.h"

namespace velto_media {

class AudioPlayoutPath;
class AudioProcessor;
class MediaTransport;

class AudioCapturePath {
public:
    // `level` gets each block's level (0 silence .. 100 full scale) on the
    // capture thread; `cleaner` cleans what a sound device captures.
    AudioCapturePath(std::function<void(int level)> level, AudioPlayoutPath* playout,
                     std::shared_ptr<AudioProcessor> cleaner = nullptr);
    ~AudioCapturePath();
    AudioCapturePath(const AudioCapturePath&) = delete;
    AudioCapturePath& operator=(const AudioCapturePath&) = delete;

    // Replaces the microphone (null closes it); the device's start result,
    // -1 for none. Allowed from the capture thread. `acoustic`: a microphone
    // in a room (cleaned), not a file.
    int open(std::unique_ptr<AudioCapture> capture, bool acoustic = true);
    bool isOpen() const;

    struct Sender {
        uint32_t ssrc;
        std::shared_ptr<MediaTransport> transport;
    };
    void setSenders(std::vector<Sender> senders);
    void setGain(double gain);

private:
    void run();
    void process(std::vector<int16_t>& block);
    void clean(std::vector<int16_t>& block, bool acoustic);

    const std::function<void(int)> level_;
    AudioPlayoutPath* const playout_;
    const std::shared_ptr<AudioProcessor> cleaner_;

    mutable std::mutex deviceMutex_;  // the device; open and close
    std::unique_ptr<AudioCapture> device_;

    std::mutex mutex_;  // what follows
    std::condition_variable wake_;
    std::deque<std::vector<int16_t>> queue_;
    std::vector<Sender> senders_;
    double gain_ = 1.0;
    bool acoustic_ = false;
    bool stopping_ = false;
    std::thread thread_;

    // Capture thread only.
    AudioEncoder encoder_;
    uint32_t samplesCaptured_ = 0;
};

}  // namespace velto_media
