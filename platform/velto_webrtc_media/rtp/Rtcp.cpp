#include "Rtcp.h"

#include <algorithm>

namespace velto_media::rtp {

namespace {

constexpr uint8_t kSenderReport = 200;
constexpr uint8_t kReceiverReport = 201;
constexpr uint8_t kTransportFeedback = 205;  // RTPFB
constexpr uint8_t kPayloadFeedback = 206;    // PSFB
constexpr uint8_t kGenericNack = 1;          // RTPFB format
constexpr uint8_t kPli = 1;                  // PSFB format
constexpr size_t kReportBlockSize = 24;
constexpr size_t kMaxReports = 31;
constexpr size_t kMaxNackEntries = 0xffff - 2;  // what the 16-bit length field can hold

uint32_t read32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, uint16_t(v >> 16));
    put16(out, uint16_t(v));
}

// Header of one packet whose body is bodyBytes long (a multiple of 4).
void putHeader(std::vector<uint8_t>& out, uint8_t countOrFormat, uint8_t packetType, size_t bodyBytes)
{
    out.push_back(uint8_t(0x80 | (countOrFormat & 0x1f)));
    out.push_back(packetType);
    put16(out, uint16_t(bodyBytes / 4));  // length in words minus one, the header being one word
}

ReportBlock readReportBlock(const uint8_t* p)
{
    ReportBlock block;
    block.ssrc = read32(p);
    block.fractionLost = p[4];
    uint32_t lost = (uint32_t(p[5]) << 16) | (uint32_t(p[6]) << 8) | uint32_t(p[7]);
    if (lost & 0x800000)
        lost |= 0xff000000u;  // sign extension of the 24-bit field
    block.cumulativeLost = static_cast<int32_t>(lost);
    block.highestSequence = read32(p + 8);
    block.jitter = read32(p + 12);
    block.lastSr = read32(p + 16);
    block.delaySinceLastSr = read32(p + 20);
    return block;
}

void putReportBlocks(std::vector<uint8_t>& out, const std::vector<ReportBlock>& reports, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const ReportBlock& block = reports[i];
        put32(out, block.ssrc);
        out.push_back(block.fractionLost);
        const int32_t lost = std::clamp<int32_t>(block.cumulativeLost, -0x800000, 0x7fffff);
        const uint32_t field = static_cast<uint32_t>(lost) & 0xffffff;
        out.push_back(uint8_t(field >> 16));
        out.push_back(uint8_t(field >> 8));
        out.push_back(uint8_t(field));
        put32(out, block.highestSequence);
        put32(out, block.jitter);
        put32(out, block.lastSr);
        put32(out, block.delaySinceLastSr);
    }
}

// One packet's body (after its 4-byte header, padding removed) into item.
bool readPacket(uint8_t countOrFormat, uint8_t packetType, const uint8_t* body, size_t bodySize, RtcpItem* item)
{
    switch (packetType) {
    case kSenderReport: {
        if (bodySize < 24 + kReportBlockSize * countOrFormat)
            return false;
        item->type = RtcpItem::Type::SenderReport;
        item->senderSsrc = read32(body);
        item->ntpTime = (uint64_t(read32(body + 4)) << 32) | read32(body + 8);
        item->rtpTimestamp = read32(body + 12);
        item->packetCount = read32(body + 16);
        item->octetCount = read32(body + 20);
        for (size_t i = 0; i < countOrFormat; ++i)
            item->reports.push_back(readReportBlock(body + 24 + kReportBlockSize * i));
        return true;
    }
    case kReceiverReport: {
        if (bodySize < 4 + kReportBlockSize * countOrFormat)
            return false;
        item->type = RtcpItem::Type::ReceiverReport;
        item->senderSsrc = read32(body);
        for (size_t i = 0; i < countOrFormat; ++i)
            item->reports.push_back(readReportBlock(body + 4 + kReportBlockSize * i));
        return true;
    }
    case kTransportFeedback:
    case kPayloadFeedback: {
        // Both start with the feedback's sender and the media source it is about.
        if (bodySize < 8)
            return false;
        item->senderSsrc = read32(body);
        item->mediaSsrc = read32(body + 4);
        if (packetType == kTransportFeedback && countOrFormat == kGenericNack) {
            const size_t entries = (bodySize - 8) / 4;
            if (entries == 0)
                return false;
            item->type = RtcpItem::Type::Nack;
            for (size_t i = 0; i < entries; ++i) {
                const uint8_t* fci = body + 8 + 4 * i;
                const uint16_t pid = static_cast<uint16_t>((fci[0] << 8) | fci[1]);
                const uint16_t blp = static_cast<uint16_t>((fci[2] << 8) | fci[3]);
                item->nackSequences.push_back(pid);
                for (int bit = 0; bit < 16; ++bit) {
                    if (blp & (1u << bit))
                        item->nackSequences.push_back(static_cast<uint16_t>(pid + bit + 1));
                }
            }
        } else if (packetType == kPayloadFeedback && countOrFormat == kPli) {
            item->type = RtcpItem::Type::Pli;
        }
        return true;
    }
    default:
        // SDES, BYE, APP and the rest: only the first SSRC (SDES: of the first chunk).
        if (bodySize >= 4)
            item->senderSsrc = read32(body);
        return true;
    }
}

}  // namespace

bool parseRtcp(const uint8_t* data, size_t size, std::vector<RtcpItem>* out)
{
    if (out)
        out->clear();
    if (!data || size < 4)
        return false;
    std::vector<RtcpItem> items;
    size_t offset = 0;
    while (offset < size) {
        if (size - offset < 4)
            return false;
        const uint8_t* p = data + offset;
        if ((p[0] >> 6) != 2 || p[1] < 192 || p[1] > 223)
            return false;
        const size_t packetSize = (size_t((p[2] << 8) | p[3]) + 1) * 4;
        if (packetSize > size - offset)
            return false;
        size_t bodySize = packetSize - 4;
        if (p[0] & 0x20) {
            const size_t padding = p[packetSize - 1];
            if (padding == 0 || padding > bodySize)
                return false;
            bodySize -= padding;
        }
        RtcpItem item;
        if (!readPacket(p[0] & 0x1f, p[1], p + 4, bodySize, &item))
            return false;
        items.push_back(std::move(item));
        offset += packetSize;
    }
    if (out)
        *out = std::move(items);
    return true;
}

bool readRtcpSenderSsrc(const uint8_t* data, size_t size, uint32_t* ssrc)
{
    if (!data || size < 8 || (data[0] >> 6) != 2 || data[1] < 192 || data[1] > 223)
        return false;
    // A first packet of only its header holds no sender: the next four bytes are another packet's.
    if (data[2] == 0 && data[3] == 0)
        return false;
    if (ssrc)
        *ssrc = read32(data + 4);
    return true;
}

void appendSenderReport(std::vector<uint8_t>& out, uint32_t ssrc, uint64_t ntpTime, uint32_t rtpTimestamp,
                        uint32_t packetCount, uint32_t octetCount, const std::vector<ReportBlock>& reports)
{
    const size_t count = std::min(reports.size(), kMaxReports);
    putHeader(out, uint8_t(count), kSenderReport, 24 + kReportBlockSize * count);
    put32(out, ssrc);
    put32(out, uint32_t(ntpTime >> 32));
    put32(out, uint32_t(ntpTime));
    put32(out, rtpTimestamp);
    put32(out, packetCount);
    put32(out, octetCount);
    putReportBlocks(out, reports, count);
}

void appendReceiverReport(std::vector<uint8_t>& out, uint32_t senderSsrc, const std::vector<ReportBlock>& reports)
{
    const size_t count = std::min(reports.size(), kMaxReports);
    putHeader(out, uint8_t(count), kReceiverReport, 4 + kReportBlockSize * count);
    put32(out, senderSsrc);
    putReportBlocks(out, reports, count);
}

void appendNack(std::vector<uint8_t>& out, uint32_t senderSsrc, uint32_t mediaSsrc,
                const std::vector<uint16_t>& sequences)
{
    if (sequences.empty())
        return;
    // Each entry names its PID and the 16 sequence numbers after it.
    std::vector<std::pair<uint16_t, uint16_t>> entries;
    for (const uint16_t sequence : sequences) {
        bool placed = false;
        for (auto& [pid, blp] : entries) {
            const uint16_t distance = static_cast<uint16_t>(sequence - pid);
            if (distance == 0) {
                placed = true;
            } else if (distance <= 16) {
                blp = static_cast<uint16_t>(blp | (1u << (distance - 1)));
                placed = true;
            }
            if (placed)
                break;
        }
        if (!placed && entries.size() < kMaxNackEntries)
            entries.emplace_back(sequence, 0);
    }
    putHeader(out, kGenericNack, kTransportFeedback, 8 + 4 * entries.size());
    put32(out, senderSsrc);
    put32(out, mediaSsrc);
    for (const auto& [pid, blp] : entries) {
        put16(out, pid);
        put16(out, blp);
    }
}

void appendPli(std::vector<uint8_t>& out, uint32_t senderSsrc, uint32_t mediaSsrc)
{
    putHeader(out, kPli, kPayloadFeedback, 8);
    put32(out, senderSsrc);
    put32(out, mediaSsrc);
}

}  // namespace velto_media::rtp
