// What the engine counts of each stream it receives, for those who measure
// it from outside: the scripted peer's statistics file and the benchmarks.
// Process-wide, in the loader library beside the user's files, and off until
// switched on: the program keeps nothing of it.
//
// Every received stream (one SSRC, from its sources' arrival to their
// removal) counts through counters of its own; the engine reads them too.
// While the statistics are kept, they are also kept to the end of the
// process, so that a stream that ended is still reported. Each counter is
// written from the engine thread that sees the event and read from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "velto_media_sources.h"

namespace velto_media {

struct ReceivedStreamStatistics {
    uint32_t ssrc = 0;
    bool video = false;
    double seconds = 0;            // from its first packet to its last
    uint32_t framesDecoded = 0;    // video: pictures drawn; audio: 20 ms frames decoded (from FEC too)
    int64_t longestFreezeMs = 0;   // video: the longest time between two pictures drawn
    uint32_t keyframes = 0;        // video: keyframes decoded
    uint32_t nacksSent = 0;        // NACK messages about this stream
    uint32_t plisSent = 0;
    uint64_t packetsLost = 0;      // expected less received (RFC 3550, A.3)
    uint64_t packetsRecovered = 0; // lost ones that came back: video resent, audio rebuilt from FEC
    uint32_t framesFromFec = 0;    // audio: frames rebuilt from the next packet's FEC (in framesDecoded)
    uint32_t framesConcealed = 0;  // audio: frames the decoder made up
};

class VELTO_MEDIA_EXPORT ReceiveCounters {
public:
    ReceiveCounters(uint32_t ssrc, bool video);

    // The network thread: an RTP packet of the stream (a resend included).
    void onPacket(uint16_t sequence);
    void onPacketRecovered();
    void onNackSent();
    void onPliSent();
    // The decoder thread: a picture went to the stream's renders.
    void onFrameDrawn(bool keyframe);
    // The playout mixer: what it played of the stream.
    enum class AudioFrame { Decoded, FromFec, Concealed };
    void onAudioFrame(AudioFrame frame);

    ReceivedStreamStatistics statistics() const;

private:
    mutable std::mutex mutex_;
    ReceivedStreamStatistics counts_;
    int64_t firstPacketUs_ = -1;
    int64_t lastPacketUs_ = -1;
    int64_t lastDrawnUs_ = -1;
    // Sequence numbers unwrapped (the 16-bit count goes on growing).
    int64_t lastSequence_ = 0;
    int64_t firstSequence_ = 0;
    int64_t highestSequence_ = 0;
    uint64_t packets_ = 0;
};

// From now on (keep) every new received stream gets counters; existing ones stay.
VELTO_MEDIA_EXPORT void keepReceiveStatistics(bool keep);
// The counters of a new received stream, also kept for the statistics while
// they are switched on.
VELTO_MEDIA_EXPORT std::shared_ptr<ReceiveCounters> newReceiveCounters(uint32_t ssrc, bool video);
// Every stream counted so far, in the order they came.
VELTO_MEDIA_EXPORT std::vector<ReceivedStreamStatistics> receiveStatistics();

// The path of the latest media connection that found one, while the
// statistics are kept: its candidate types ("host", "srflx", "prflx",
// "relay") and transport ("udp", "tcp"; for a relayed local candidate the way
// to the relay, "tls" for a turns: one). Empty texts when none was found.
struct IcePathStatistics {
    std::string local;
    std::string remote;
    std::string transport;
};
VELTO_MEDIA_EXPORT void noteIcePath(const std::string& local, const std::string& remote, const std::string& transport);
VELTO_MEDIA_EXPORT IcePathStatistics icePathStatistics();

}  // namespace velto_media
