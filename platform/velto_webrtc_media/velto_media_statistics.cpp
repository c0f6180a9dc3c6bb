#include "velto_media_statistics.h"

#include <algorithm>
#include <chrono>

namespace velto_media {
namespace {

int64_t nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Kept {
    std::mutex mutex;
    bool keep = false;
    std::vector<std::shared_ptr<ReceiveCounters>> streams;
    IcePathStatistics path;
};

Kept& kept()
{
    static Kept instance;
    return instance;
}

}  // namespace

ReceiveCounters::ReceiveCounters(uint32_t ssrc, bool video)
{
    counts_.ssrc = ssrc;
    counts_.video = video;
}

void ReceiveCounters::onPacket(uint16_t sequence)
{
    const int64_t now = nowUs();
    std::lock_guard<std::mutex> lock(mutex_);
    if (packets_ == 0) {
        firstPacketUs_ = now;
        firstSequence_ = highestSequence_ = lastSequence_ = sequence;
    } else {
        lastSequence_ += static_cast<int16_t>(static_cast<uint16_t>(sequence - static_cast<uint16_t>(lastSequence_)));
        // A reordered packet older than the first counts as the new first.
        firstSequence_ = std::min(firstSequence_, lastSequence_);
        highestSequence_ = std::max(highestSequence_, lastSequence_);
    }
    lastPacketUs_ = now;
    ++packets_;
    const int64_t expected = highestSequence_ - firstSequence_ + 1;
    counts_.packetsLost = expected > static_cast<int64_t>(packets_) ? uint64_t(expected) - packets_ : 0;
}

void ReceiveCounters::onPacketRecovered()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.packetsRecovered;
}

void ReceiveCounters::onNackSent()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.nacksSent;
}

void ReceiveCounters::onPliSent()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.plisSent;
}

void ReceiveCounters::onFrameDrawn(bool keyframe)
{
    const int64_t now = nowUs();
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.framesDecoded;
    if (keyframe)
        ++counts_.keyframes;
    if (lastDrawnUs_ >= 0)
        counts_.longestFreezeMs = std::max(counts_.longestFreezeMs, (now - lastDrawnUs_) / 1000);
    lastDrawnUs_ = now;
}

void ReceiveCounters::onAudioFrame(AudioFrame frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    switch (frame) {
    case AudioFrame::Decoded:
        ++counts_.framesDecoded;
        break;
    case AudioFrame::FromFec:
        ++counts_.framesDecoded;
        ++counts_.framesFromFec;
        ++counts_.packetsRecovered;
        break;
    case AudioFrame::Concealed:
        ++counts_.framesConcealed;
        break;
    }
}

ReceivedStreamStatistics ReceiveCounters::statistics() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    ReceivedStreamStatistics copy = counts_;
    copy.seconds = packets_ > 0 ? double(lastPacketUs_ - firstPacketUs_) / 1e6 : 0;
    return copy;
}

void keepReceiveStatistics(bool keep)
{
    std::lock_guard<std::mutex> lock(kept().mutex);
    kept().keep = keep;
}

std::shared_ptr<ReceiveCounters> newReceiveCounters(uint32_t ssrc, bool video)
{
    auto counters = std::make_shared<ReceiveCounters>(ssrc, video);
    std::lock_guard<std::mutex> lock(kept().mutex);
    if (kept().keep)
        kept().streams.push_back(counters);
    return counters;
}

std::vector<ReceivedStreamStatistics> receiveStatistics()
{
    std::vector<std::shared_ptr<ReceiveCounters>> streams;
    {
        std::lock_guard<std::mutex> lock(kept().mutex);
        streams = kept().streams;
    }
    std::vector<ReceivedStreamStatistics> all;
    for (const auto& stream : streams)
        all.push_back(stream->statistics());
    return all;
}

void noteIcePath(const std::string& local, const std::string& remote, const std::string& transport)
{
    std::lock_guard<std::mutex> lock(kept().mutex);
    if (kept().keep)
        kept().path = {local, remote, transport};
}

IcePathStatistics icePathStatistics()
{
    std::lock_guard<std::mutex> lock(kept().mutex);
    return kept().path;
}

}  // namespace velto_media
