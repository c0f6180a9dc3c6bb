// A connection to the sound server (PulseAudio) on a threaded main loop of
// its own: the loop's thread runs the server's callbacks with the loop's
// lock held; other threads take that lock (PulseLock) to call into libpulse.
//
// The destructor disconnects and joins the loop's thread; it must not run on
// that thread (from a callback).
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>

namespace velto_media {

class PulseConnection {
public:
    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects to the default server ($PULSE_SERVER or the user's), never
    // starting one; false when none answers within `timeout`.
    bool connect(const char* clientName, std::chrono::milliseconds timeout);

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    // With the lock held: sleeps until `done` is true or `timeout` has
    // passed, waking on each signal(); true when done. Callbacks that change
    // what `done` reads call signal().
    bool wait(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void signal();

private:
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
};

// Holds the main loop's lock for a scope.
class PulseLock {
public:
    explicit PulseLock(const PulseConnection& connection) : loop_(connection.loop())
    {
        pa_threaded_mainloop_lock(loop_);
    }
    ~PulseLock() { pa_threaded_mainloop_unlock(loop_); }
    PulseLock(const PulseLock&) = delete;
    PulseLock& operator=(const PulseLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

}  // namespace velto_media
