// The engine's media connection: one packet port (the UDP socket to the
// forwarding unit) carrying every stream's SRTP and SRTCP, multiplexed.
//
// One network thread, blocked in epoll on the port and an eventfd (wake-ups
// and stop), receives, unprotects and hands RTP to the listener, answers
// NACKs from a short history of sent packets (resent in the stream's
// retransmission stream, when it has one), hands PLIs to the listener and
// sends the reports: at once when asked (after an answer, so that the unit
// learns our address), then about every second. Sending RTP and feedback is
// allowed from any thread. The listener is called on the network thread
// only, never after stop() returned.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PacketPort.h"
#include "RtpStatistics.h"
#include "SendHistory.h"
#include "rtp/RtpPacket.h"
#include "transport/SrtpSession.h"

namespace velto_media {

namespace rtp {
struct ReportBlock;
}

class TransportListener {
public:
    virtual ~TransportListener() = default;
    // An authenticated RTP packet of a stream of somebody else.
    virtual void onRtp(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs) = 0;
    // A receiver asks for a keyframe of our stream `ssrc`.
    virtual void onKeyframeRequest(uint32_t ssrc) = 0;
    // A receiver (`reporter`) reports on our stream `block.ssrc`.
    virtual void onReceptionReport(uint32_t /*reporter*/, const rtp::ReportBlock& /*block*/, int64_t /*nowMs*/) {}
    // Timers: called when the last call asked for (or sooner); returns the
    // next time wanted (steady milliseconds), 0 for none.
    virtual int64_t onTimer(int64_t nowMs) = 0;
};

struct TransportStats {
    struct Stream {
        uint32_t ssrc = 0;
        bool sent = false;   // ours; else received
        int kbps = 0;
        int lossPercent = 0; // received: what we lost; sent: what its receivers reported
        // Sent: packets receivers asked for again, packets resent, keyframes asked for.
        int packetsNacked = 0;
        int packetsResent = 0;
        int keyframeRequests = 0;
    };
    std::vector<Stream> streams;
};

class MediaTransport {
public:
    MediaTransport(std::unique_ptr<PacketPort> port, TransportListener* listener);
    ~MediaTransport();
    MediaTransport(const MediaTransport&) = delete;
    MediaTransport& operator=(const MediaTransport&) = delete;

    int localPort() const { return port_->localPort(); }
    // SRTP keys (SrtpSession::kKeyLength bytes each): the one the other side
    // sends with and ours. False when either is refused.
    bool setKeys(const uint8_t* receiveKey, const uint8_t* sendKey);
    bool setDestination(const std::string& host, int port);
    // The SSRC that reports go out from while nothing is sent.
    void setReportingSsrc(uint32_t ssrc);
    // Our stream `mediaSsrc` keeps its last second of packets and resends
    // what receivers ask for in the retransmission stream `rtxSsrc`.
    void setRetransmission(uint32_t mediaSsrc, uint32_t rtxSsrc);
    // Sends the reports now and a few times more in the next second.
    void reportSoon();

    void start();
    void stop();

    // --- any thread -----------------------------------------------------------
    // One RTP packet of our stream `ssrc`; the sequence number is the stream's next.
    bool sendRtp(uint32_t ssrc, uint8_t payloadType, uint32_t timestamp, bool marker, const uint8_t* payload,
                 size_t size);
    void sendNack(uint32_t senderSsrc, uint32_t mediaSsrc, const std::vector<uint16_t>& sequences);
    // False when it could not go out (no keys or destination yet).
    bool sendPli(uint32_t senderSsrc, uint32_t mediaSsrc);
    // Timers may be due sooner (a stream was added): the listener is asked at once.
    void timersChanged() { wake(); }
    // Our streams that end (their counts go) and received streams that end.
    void forgetSent(uint32_t ssrc);
    void forgetReceived(uint32_t ssrc);
    TransportStats stats() const;
    // The SSRC feedback goes out from.
    uint32_t reportingSsrc() const { return reportingSsrc_; }

private:
    struct SentStream {
        uint16_t nextSequence = 0;
        uint32_t lastTimestamp = 0;
        int64_t lastSendMs = 0;
        uint32_t packets = 0;
        uint32_t octets = 0;
        uint64_t bytes = 0;
        uint8_t payloadType = 0;
        int reportedLoss = 0;
        RateMeter rate;
        // Streams with a retransmission stream: what receivers may ask for again.
        std::unique_ptr<SendHistory> history;
        uint32_t rtxSsrc = 0;
        uint16_t rtxSequence = 0;
        int packetsNacked = 0;
        int packetsResent = 0;
        int keyframeRequests = 0;
    };
    struct Received {
        ReceivedStream stream;
        RateMeter rate;
        explicit Received(uint32_t clockRate) : stream(clockRate) {}
    };

    void run();
    void wake();
    void receiveAll(int64_t nowMs);
    void onPacket(std::vector<uint8_t>& packet, int64_t nowMs);
    void onRtcp(std::vector<uint8_t>& packet, int64_t nowMs);
    void sendReports(int64_t nowMs);
    // Protects and sends an RTCP compound; needs mutex_. False when it did not go out.
    bool sendRtcpLocked(std::vector<uint8_t> packet);
    // Answers a NACK for `stream`; needs mutex_.
    void resendLocked(SentStream& stream, const std::vector<uint16_t>& sequences, int64_t nowMs);

    const std::unique_ptr<PacketPort> port_;
    TransportListener* const listener_;
    int epoll_ = -1;
    int wake_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<uint32_t> reportingSsrc_{0};
    std::thread thread_;

    mutable std::mutex mutex_;  // everything below
    SrtpSession sendSession_;
    SrtpSession receiveSession_;
    bool keyed_ = false;
    bool connected_ = false;
    std::map<uint32_t, SentStream> sent_;
    std::map<uint32_t, uint32_t> retransmissions_;  // media SSRC -> retransmission SSRC
    std::map<uint32_t, Received> received_;
    int64_t nextReportMs_ = 0;
    int quickReports_ = 0;
};

int64_t steadyMs();

}  // namespace velto_media
