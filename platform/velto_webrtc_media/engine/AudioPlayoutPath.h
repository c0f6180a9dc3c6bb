// What the engine plays: the meeting's received streams, the captured
// microphone during the loopback test and the speaker test sound, mixed by
// one mixer thread every 20 ms into a short buffer that the speaker's
// callback empties (copy and return). The mixer runs, and the speaker is
// open, while there are streams to play or playout was started.
//
// Every call comes from the engine's callers; pushCaptured from the capture
// thread. stop() (and the destructor) join the mixer and close the speaker.
// What the speaker takes is, as it takes it, the echo canceller's reference.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AudioDevice.h"
#include "RemoteAudioStream.h"

namespace velto_media {

class AudioProcessor;

class AudioPlayoutPath {
public:
    // `echo` hears everything the speaker plays.
    explicit AudioPlayoutPath(std::shared_ptr<AudioProcessor> echo = nullptr);
    ~AudioPlayoutPath();
    AudioPlayoutPath(const AudioPlayoutPath&) = delete;
    AudioPlayoutPath& operator=(const AudioPlayoutPath&) = delete;

    void addStream(std::shared_ptr<RemoteAudioStream> stream);
    void removeStream(uint32_t ssrc);
    // The speaker by its sound-server name ("" for the default).
    void setDevice(const std::string& deviceId);
    void setVolume(double gain);
    // Started by the user: plays even without streams.
    void setPlaying(bool playing);
    bool playing() const;
    void setLoopback(bool loopback);
    // The microphone's block, played back during the loopback test.
    void pushCaptured(const int16_t* samples, int count);
    // Played once from the start, mixed with the rest.
    void playSound(std::vector<int16_t> samples);
    void stop();

private:
    void reconcile();
    void run();
    void mix(int16_t* block);
    void fill(int16_t* samples, int count);

    const std::shared_ptr<AudioProcessor> echo_;

    mutable std::mutex controlMutex_;  // serialises reconcile: opening and closing
    std::unique_ptr<AudioPlayout> device_;
    std::thread thread_;

    mutable std::mutex mutex_;  // what follows
    std::condition_variable wake_;
    bool stopping_ = false;
    bool playing_ = false;
    bool loopback_ = false;
    double volume_ = 1.0;
    std::string deviceId_;
    std::map<uint32_t, std::shared_ptr<RemoteAudioStream>> streams_;
    std::deque<int16_t> captured_;
    std::vector<int16_t> sound_;
    size_t soundAt_ = 0;

    std::mutex ringMutex_;
    std::deque<int16_t> ring_;  // mixed, waiting for the speaker
};

}  // namespace velto_media
