// RTCP compound packets (RFC 3550 section 6, feedback of RFC 4585): pure
// functions over byte spans. Reports (SR, RR) and the feedback the media path
// acts on (generic NACK, PLI) are read in full; anything else is kept as
// Type::Other with its first SSRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velto_media::rtp {

struct ReportBlock {
    uint32_t ssrc = 0;
    uint8_t fractionLost = 0;
    int32_t cumulativeLost = 0;  // 24-bit signed on the wire
    uint32_t highestSequence = 0;
    uint32_t jitter = 0;
    uint32_t lastSr = 0;
    uint32_t delaySinceLastSr = 0;
};

struct RtcpItem {
    enum class Type { SenderReport, ReceiverReport, Nack, Pli, Other } type = Type::Other;
    uint32_t senderSsrc = 0;
    uint32_t mediaSsrc = 0;               // NACK and PLI: the stream they name
    std::vector<uint16_t> nackSequences;  // NACK: every sequence number it names (PID + BLP expanded)
    std::vector<ReportBlock> reports;     // SR and RR
    uint64_t ntpTime = 0;                 // SR
    uint32_t rtpTimestamp = 0;            // SR
    uint32_t packetCount = 0;             // SR
    uint32_t octetCount = 0;              // SR
};

// False for a malformed compound packet (out is then left empty); never reads past size.
bool parseRtcp(const uint8_t* data, size_t size, std::vector<RtcpItem>* out);

// The SSRC of the first packet of a compound (its sender), which SRTCP leaves
// unencrypted; false when the data is no RTCP header with one.
bool readRtcpSenderSsrc(const uint8_t* data, size_t size, uint32_t* ssrc);

// Writers append one packet each; at most 31 report blocks are written.
void appendSenderReport(std::vector<uint8_t>& out, uint32_t ssrc, uint64_t ntpTime, uint32_t rtpTimestamp,
                        uint32_t packetCount, uint32_t octetCount, const std::vector<ReportBlock>& reports);
void appendReceiverReport(std::vector<uint8_t>& out, uint32_t senderSsrc, const std::vector<ReportBlock>& reports);
// Sequence numbers are packed into as few PID + BLP entries as the order allows;
// duplicates are folded. Nothing is written for an empty list.
void appendNack(std::vector<uint8_t>& out, uint32_t senderSsrc, uint32_t mediaSsrc,
                const std::vector<uint16_t>& sequences);
void appendPli(std::vector<uint8_t>& out, uint32_t senderSsrc, uint32_t mediaSsrc);

}  // namespace velto_media::rtp
