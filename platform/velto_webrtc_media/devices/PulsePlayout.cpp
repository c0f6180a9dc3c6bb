// The speaker: a playback stream with about 40 ms of buffer, topped up in
// 20 ms steps on a connection of its own. The write callback asks the source
// for whole blocks and writes what the server asks for; the rest of a block
// waits for the next request.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "PulseStream.h"

namespace velto_media {

namespace {

class PulsePlayout final : public AudioPlayout {
public:
    explicit PulsePlayout(std::string deviceId) : deviceId_(std::move(deviceId)) {}
    ~PulsePlayout() override { stop(); }

    int start(AudioPlayoutSource source) override
    {
        stop();
        auto connection = std::make_unique<PulseConnection>();
        if (!connection->connect("velto speaker", kPulseTimeout))
            return -1;
        PulseLock lock(*connection);
        stream_ = newAudioStream(*connection, "speaker");
        if (!stream_)
            return -1;
        source_ = std::move(source);
        block_.assign(kAudioBlockSamples, 0);
        blockUsed_ = kAudioBlockSamples;
        pa_buffer_attr attributes;
        attributes.maxlength = uint32_t(-1);
        attributes.tlength = 2 * kAudioBlockBytes;
        attributes.minreq = kAudioBlockBytes;
        attributes.prebuf = uint32_t(-1);
        attributes.fragsize = uint32_t(-1);
        pa_stream_set_write_callback(stream_, writable, this);
        if (pa_stream_connect_playback(stream_, deviceId_.empty() ? nullptr : deviceId_.c_str(), &attributes,
                                       PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0 ||
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
        source_ = nullptr;
    }

    void setVolume(double gain) override { gain_ = float(std::clamp(gain, 0.0, 1.0)); }

private:
    static void writable(pa_stream* stream, size_t bytes, void* userdata)
    {
        auto self = static_cast<PulsePlayout*>(userdata);
        void* buffer = nullptr;
        std::vector<int16_t> ownBuffer;  // when the server lends none, it copies from ours
        if (pa_stream_begin_write(stream, &buffer, &bytes) < 0 || !buffer) {
            ownBuffer.resize(bytes / sizeof(int16_t));
            buffer = ownBuffer.data();
        }
        auto out = static_cast<int16_t*>(buffer);
        size_t wanted = bytes / sizeof(int16_t);
        for (size_t written = 0; written < wanted;) {
            if (self->blockUsed_ == self->block_.size()) {
                self->nextBlock();
                self->blockUsed_ = 0;
            }
            size_t n = std::min(wanted - written, self->block_.size() - self->blockUsed_);
            std::memcpy(out + written, self->block_.data() + self->blockUsed_, n * sizeof(int16_t));
            written += n;
            self->blockUsed_ += n;
        }
        pa_stream_write(stream, buffer, wanted * sizeof(int16_t), nullptr, 0, PA_SEEK_RELATIVE);
    }

    void nextBlock()
    {
        std::fill(block_.begin(), block_.end(), int16_t(0));
        source_(block_.data(), kAudioBlockSamples);
        float gain = gain_;
        if (gain < 1.0f)
            for (int16_t& sample : block_)
                sample = int16_t(sample * gain);
    }

    const std::string deviceId_;
    std::unique_ptr<PulseConnection> connection_;
    pa_stream* stream_ = nullptr;
    AudioPlayoutSource source_;
    std::atomic<float> gain_{1.0f};
    std::vector<int16_t> block_;  // the block being played, from blockUsed_ on
    size_t blockUsed_ = 0;
};

}  // namespace

std::unique_ptr<AudioPlayout> openAudioPlayout(const std::string& deviceId)
{
    return std::make_unique<PulsePlayout>(deviceId);
}

}  // namespace velto_media
