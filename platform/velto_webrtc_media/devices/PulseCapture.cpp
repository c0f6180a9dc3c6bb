// The microphone: a record stream in 20 ms fragments on a connection of its
// own. The read callback gathers what the server hands over into whole
// blocks of kAudioBlockSamples and passes each to the sink.
#include <vector>

#include "PulseStream.h"

namespace velto_media {

namespace {

class PulseCapture final : public AudioCapture {
public:
    explicit PulseCapture(std::string deviceId) : deviceId_(std::move(deviceId)) {}
    ~PulseCapture() override { stop(); }

    int start(AudioCaptureSink sink) override
    {
        stop();
        auto connection = std::make_unique<PulseConnection>();
        if (!connection->connect("velto microphone", kPulseTimeout))
            return -1;
        PulseLock lock(*connection);
        stream_ = newAudioStream(*connection, "microphone");
        if (!stream_)
            return -1;
        sink_ = std::move(sink);
        pending_.clear();
        pa_buffer_attr attributes;
        attributes.maxlength = uint32_t(-1);
        attributes.fragsize = kAudioBlockBytes;  // the server hands over every 20 ms
        attributes.tlength = attributes.prebuf = attributes.minreq = uint32_t(-1);
        pa_stream_set_read_callback(stream_, readable, this);
        if (pa_stream_connect_record(stream_, deviceId_.empty() ? nullptr : deviceId_.c_str(), &attributes,
                                     PA_STREAM_ADJUST_LATENCY) < 0 ||
            !waitUntilReady(*connection, stream_)) {
            closeStream(stream_);
            stream_ = nullptr;
            return -2;
        }
        connection_ = std::move(connection);
        return 0;
    }

    void stop() override
    {
        if (!connection_)
            return;
        closeStreamAndConnection(connection_, stream_);
        sink_ = nullptr;
    }

private:
    static void readable(pa_stream* stream, size_t, void* userdata)
    {
        auto self = static_cast<PulseCapture*>(userdata);
        const void* data;
        size_t bytes;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            size_t samples = bytes / sizeof(int16_t);
            if (data) {
                auto begin = static_cast<const int16_t*>(data);
                self->pending_.insert(self->pending_.end(), begin, begin + samples);
            } else {
                self->pending_.insert(self->pending_.end(), samples, 0);  // a hole: what was lost is silence
            }
            pa_stream_drop(stream);
        }
        size_t used = 0;
        for (; self->pending_.size() - used >= size_t(kAudioBlockSamples); used += kAudioBlockSamples)
            self->sink_(self->pending_.data() + used, kAudioBlockSamples);
        self->pending_.erase(self->pending_.begin(), self->pending_.begin() + std::ptrdiff_t(used));
    }

    const std::string deviceId_;
    std::unique_ptr<PulseConnection> connection_;
    pa_stream* stream_ = nullptr;
    AudioCaptureSink sink_;
    std::vector<int16_t> pending_;  // less than a block, between callbacks
};

}  // namespace

std::unique_ptr<AudioCapture> openAudioCapture(const std::string& deviceId)
{
    return std::make_unique<PulseCapture>(deviceId);
}

}  // namespace velto_media
