// The engine's loss recovery: each local video track resends lost packets
// in a retransmission stream of its own (announced beside it in the answer),
// the received retransmission streams are paired with the streams whose
// packets they carry, and what the streams counted is there for tests.
#include <algorithm>

#include "FilteredPort.h"
#include "MediaEngine.h"
#include "MediaHooks.h"
#include "Retransmission.h"

namespace velto_media {

uint32_t MediaEngine::addRetransmissionLocked(uint32_t mediaSsrc)
{
    const uint32_t ssrc = newSsrcLocked();
    retransmissionOf_[mediaSsrc] = ssrc;
    return ssrc;
}

void MediaEngine::forgetRetransmission(uint32_t mediaSsrc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    retransmissionOf_.erase(mediaSsrc);
}

std::vector<std::pair<uint32_t, uint32_t>> MediaEngine::retransmissionPairsLocked() const
{
    return {retransmissionOf_.begin(), retransmissionOf_.end()};
}

void MediaEngine::announceRetransmissions(MediaTransport& transport)
{
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pairs = retransmissionPairsLocked();
    }
    for (const auto& [media, retransmission] : pairs)
        transport.setRetransmission(media, retransmission);
}

void MediaEngine::pairRemoteRetransmissions()
{
    std::vector<RtxReceiver::Source> sources;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const RemoteSource& remote : remoteSources_)
            sources.push_back({remote.ssrc, remote.source.kind, remote.source.owner, remote.source.streamLabel,
                               remote.source.trackLabel});
    }
    RtxReceiver paired;
    paired.setSources(sources);
    std::lock_guard<std::mutex> lock(streamsMutex_);
    remoteRetransmissions_ = std::move(paired);
}

bool MediaEngine::isRemoteRetransmission(uint32_t ssrc)
{
    std::lock_guard<std::mutex> lock(streamsMutex_);
    return remoteRetransmissions_.isRetransmission(ssrc);
}

void MediaEngine::onRetransmission(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs)
{
    rtp::RtpHeader original;
    const uint8_t* originalPayload = nullptr;
    size_t originalSize = 0;
    std::shared_ptr<RemoteVideoStream> video;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        if (!remoteRetransmissions_.restore(header, payload, size, &original, &originalPayload, &originalSize))
            return;
        const auto it = remoteVideo_.find(original.ssrc);
        if (it != remoteVideo_.end())
            video = it->second;
    }
    if (video)
        video->onPacket(original, originalPayload, originalSize, nowMs, true);
}

std::unique_ptr<PacketPort> MediaEngine::openMediaPort()
{
    return filteredPort(openUdpPort(), testPacketFilter());
}

std::vector<velto_webrtc_test::StreamCounters> MediaEngine::streamCounters()
{
    std::vector<velto_webrtc_test::StreamCounters> streams;
    std::map<uint32_t, std::string> ownKinds;
    std::shared_ptr<MediaTransport> transport;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transport = transport_;
        for (const auto& [label, stream] : localStreams_)
            for (const Track& track : stream.tracks)
                ownKinds[track.ssrc] = track.kind;
    }
    if (transport) {
        for (const TransportStats::Stream& sent : transport->stats().streams) {
            const auto kind = ownKinds.find(sent.ssrc);
            if (!sent.sent || kind == ownKinds.end())
                continue;
            velto_webrtc_test::StreamCounters counters;
            counters.ssrc = sent.ssrc;
            counters.kind = kind->second;
            counters.sent = true;
            counters.packetsNacked = sent.packetsNacked;
            counters.packetsResent = sent.packetsResent;
            counters.keyframeRequests = sent.keyframeRequests;
            streams.push_back(counters);
        }
    }
    // Copied first: a stream's own lock is taken before streamsMutex_ elsewhere.
    std::map<uint32_t, std::shared_ptr<RemoteVideoStream>> videos;
    std::map<uint32_t, std::shared_ptr<RemoteAudioStream>> voices;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        videos = remoteVideo_;
        voices = remoteAudio_;
    }
    for (const auto& [ssrc, video] : videos) {
        const RemoteVideoStream::Counters counted = video->counters();
        velto_webrtc_test::StreamCounters counters;
        counters.ssrc = ssrc;
        counters.kind = "video";
        counters.framesDecoded = counted.framesDecoded;
        counters.keyframesDecoded = counted.keyframesDecoded;
        counters.nacksSent = counted.nacksSent;
        counters.packetsRequested = counted.packetsRequested;
        counters.packetsRecovered = counted.packetsRecovered;
        counters.plisSent = counted.plisSent;
        counters.rttMs = counted.rttMs;
        streams.push_back(counters);
    }
    for (const auto& [ssrc, audio] : voices) {
        const RemoteAudioStream::Counters counted = audio->counters();
        velto_webrtc_test::StreamCounters counters;
        counters.ssrc = ssrc;
        counters.kind = "audio";
        counters.audioFramesDecoded = counted.framesDecoded;
        counters.audioFramesFromFec = counted.framesFromFec;
        counters.audioFramesConcealed = counted.framesConcealed;
        streams.push_back(counters);
    }
    return streams;
}

}  // namespace velto_media
