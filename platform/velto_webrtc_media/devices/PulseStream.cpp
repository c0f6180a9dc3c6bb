#include "PulseStream.h"

namespace velto_media {

namespace {

void streamStateChanged(pa_stream*, void* userdata) { static_cast<PulseConnection*>(userdata)->signal(); }

}  // namespace

pa_stream* newAudioStream(PulseConnection& connection, const char* name)
{
    pa_sample_spec format;
    format.format = PA_SAMPLE_S16LE;
    format.rate = kAudioSampleRate;
    format.channels = 1;
    return pa_stream_new(connection.context(), name, &format, nullptr);
}

bool waitUntilReady(PulseConnection& connection, pa_stream* stream)
{
    pa_stream_set_state_callback(stream, streamStateChanged, &connection);
    connection.wait(
        [stream] {
            pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
        },
        kPulseTimeout);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    return pa_stream_get_state(stream) == PA_STREAM_READY;
}

void closeStream(pa_stream* stream)
{
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

void closeStreamAndConnection(std::unique_ptr<PulseConnection>& connection, pa_stream*& stream)
{
    if (!connection)
        return;
    {
        PulseLock lock(*connection);
        closeStream(stream);
        stream = nullptr;
    }
    connection.reset();
}

}  // namespace velto_media
