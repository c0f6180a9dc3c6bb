#include "PulseConnection.h"

namespace velto_media {

namespace {

struct Timer {
    PulseConnection* connection;
    bool fired = false;
};

void timerFired(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
{
    auto timer = static_cast<Timer*>(userdata);
    timer->fired = true;
    timer->connection->signal();
}

void contextStateChanged(pa_context*, void* userdata) { static_cast<PulseConnection*>(userdata)->signal(); }

bool settled(pa_context_state_t state)
{
    return state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

}  // namespace

PulseConnection::PulseConnection() : loop_(pa_threaded_mainloop_new()) {}

PulseConnection::~PulseConnection()
{
    if (running_) {
        {
            PulseLock lock(*this);
            if (context_) {
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
            }
        }
        pa_threaded_mainloop_stop(loop_);
    }
    if (context_)
        pa_context_unref(context_);
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseConnection::connect(const char* clientName, std::chrono::milliseconds timeout)
{
    if (!loop_ || context_)
        return false;
    if (pa_threaded_mainloop_start(loop_) < 0)
        return false;
    running_ = true;
    PulseLock lock(*this);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), clientName);
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, contextStateChanged, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    wait([this] { return settled(pa_context_get_state(context_)); }, timeout);
    return pa_context_get_state(context_) == PA_CONTEXT_READY;
}

bool PulseConnection::wait(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(timeout.count()) * PA_USEC_PER_MSEC);
    // A timer on the loop itself ends the wait: libpulse's wait has no time-out of its own.
    Timer timer{this};
    pa_time_event* event = api->time_new(api, &when, timerFired, &timer);
    bool result;
    while (!(result = done()) && !timer.fired)
        pa_threaded_mainloop_wait(loop_);
    api->time_free(event);
    return result;
}

void PulseConnection::signal() { pa_threaded_mainloop_signal(loop_, 0); }

}  // namespace velto_media
