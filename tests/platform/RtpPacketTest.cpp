// RTP and RTCP reading and writing: hostile inputs rejected without reading
// past the end, everything written read back the same, NACK bitmasks expanded.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rtp/Rtcp.h"
#include "rtp/RtpPacket.h"

using namespace velto_media::rtp;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The fixed header: V=2 with the given first-byte flags, PT 100, seq 0x1234,
// timestamp 0x01020304, SSRC 0xcafebabe.
Bytes fixed(uint8_t flags = 0) { return {uint8_t(0x80 | flags), 100, 0x12, 0x34, 1, 2, 3, 4, 0xca, 0xfe, 0xba, 0xbe}; }

// Parses a copy sized exactly, so that the sanitizers see any read past the end.
bool parseExact(const Bytes& data, RtpHeader* header)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size() ? data.size() : 1]);
    if (!data.empty())
        std::memcpy(copy.get(), data.data(), data.size());
    return parseRtp(copy.get(), data.size(), header);
}

bool parseRtcpExact(const Bytes& data, std::vector<RtcpItem>* items)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size() ? data.size() : 1]);
    if (!data.empty())
        std::memcpy(copy.get(), data.data(), data.size());
    return parseRtcp(copy.get(), data.size(), items);
}

TEST(RtpPacket, ReadsHeadersWithCsrcsExtensionsAndPadding)
{
    struct Case {
        const char* name;
        Bytes data;
        size_t headerSize;
        size_t paddingSize;
    };
    const Bytes payload{9, 9, 9};
    const Case cases[] = {
        {"bare", join({fixed(), payload}), 12, 0},
        {"no payload", fixed(), 12, 0},
        {"two CSRCs", join({fixed(0x02), Bytes(8, 7), payload}), 20, 0},
        {"one-word extension", join({fixed(0x10), {0xbe, 0xde, 0, 1}, Bytes(4, 5), payload}), 20, 0},
        {"CSRC and extension", join({fixed(0x11), Bytes(4, 7), {0xbe, 0xde, 0, 2}, Bytes(8, 5)}), 28, 0},
        {"padding", join({fixed(0x20), payload, {0, 0, 3}}), 12, 3},
        {"padding only", join({fixed(0x20), {0, 0, 0, 4}}), 12, 4},
    };
    for (const Case& c : cases) {
        RtpHeader header;
        ASSERT_TRUE(parseExact(c.data, &header)) << c.name;
        EXPECT_EQ(header.headerSize, c.headerSize) << c.name;
        EXPECT_EQ(header.paddingSize, c.paddingSize) << c.name;
        EXPECT_EQ(header.payloadType, 100) << c.name;
        EXPECT_EQ(header.sequence, 0x1234) << c.name;
        EXPECT_EQ(header.timestamp, 0x01020304u) << c.name;
        EXPECT_EQ(header.ssrc, 0xcafebabeu) << c.name;
        EXPECT_FALSE(header.marker) << c.name;
    }
}

TEST(RtpPacket, RejectsMalformedHeaders)
{
    Bytes version1 = fixed();
    version1[0] = 0x40;
    Bytes version3 = fixed();
    version3[0] = 0xc0;
    const Bytes header = fixed();
    const struct {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"eleven bytes", Bytes(header.begin(), header.end() - 1)},
        {"version 1", version1},
        {"version 3", version3},
        {"CSRCs past the end", join({fixed(0x0f), Bytes(56, 0)})},
        {"extension header cut", join({fixed(0x10), {0xbe, 0xde}})},
        {"extension longer than the packet", join({fixed(0x10), {0xbe, 0xde, 0, 2}, Bytes(7, 0)})},
        {"extension length at its maximum", join({fixed(0x10), {0xbe, 0xde, 0xff, 0xff}, Bytes(16, 0)})},
        {"padding of zero", join({fixed(0x20), {1, 2, 0}})},
        {"padding into the header", join({fixed(0x20), {1, 2, 6}})},
        {"padding with no room", join({fixed(0x20)})},
    };
    for (const auto& c : cases) {
        RtpHeader header;
        EXPECT_FALSE(parseExact(c.data, &header)) << c.name;
    }
    EXPECT_FALSE(parseRtp(nullptr, 12, nullptr));
}

TEST(RtpPacket, WrittenHeadersReadBackTheSame)
{
    const RtpHeader headers[] = {
        {111, false, 0, 0, 1, 0, 0},
        {100, true, 65535, 0xffffffffu, 0xffffffffu, 0, 0},
        {127, true, 1, 90000, 0x80000000u, 0, 0},
        {0, false, 32768, 48000, 42, 0, 0},
    };
    for (const RtpHeader& written : headers) {
        Bytes packet{0xee};  // appended after what is already there
        appendRtpHeader(packet, written);
        ASSERT_EQ(packet.size(), 13u);
        EXPECT_EQ(packet[0], 0xee);
        RtpHeader read;
        ASSERT_TRUE(parseRtp(packet.data() + 1, packet.size() - 1, &read));
        EXPECT_EQ(read.payloadType, written.payloadType);
        EXPECT_EQ(read.marker, written.marker);
        EXPECT_EQ(read.sequence, written.sequence);
        EXPECT_EQ(read.timestamp, written.timestamp);
        EXPECT_EQ(read.ssrc, written.ssrc);
        EXPECT_EQ(read.headerSize, 12u);
        EXPECT_EQ(read.paddingSize, 0u);
        EXPECT_FALSE(isRtcp(packet.data() + 1, packet.size() - 1)) << int(written.payloadType);
    }
}

TEST(RtpPacket, TellsRtcpFromRtpByTheSecondByte)
{
    const struct {
        uint8_t second;
        bool rtcp;
    } cases[] = {
        {200, true},  {201, true},  {205, true},  {206, true},  {192, true},  {223, true},
        {191, false}, {224, false}, {111, false}, {100, false}, {0xef, false}, {0xe4, false},  // Opus, VP8, with marker
    };
    for (const auto& c : cases) {
        const uint8_t data[2] = {0x80, c.second};
        EXPECT_EQ(isRtcp(data, 2), c.rtcp) << int(c.second);
    }
    const uint8_t one[1] = {0x80};
    EXPECT_FALSE(isRtcp(one, 1));
}

TEST(Rtcp, WrittenPacketsReadBackTheSame)
{
    const std::vector<ReportBlock> blocks{{0x11111111, 25, -5, 0x0001ffff, 321, 0xaabbccdd, 65536},
                                          {0x22222222, 255, 0x7fffff, 7, 0, 0, 0},
                                          {0x33333333, 0, -0x800000, 0, 0, 0, 0}};
    Bytes compound;
    appendSenderReport(compound, 0xabcdef01, 0x0102030405060708ull, 90000, 1234, 567890, blocks);
    appendReceiverReport(compound, 0x12345678, {});
    appendReceiverReport(compound, 0x12345678, {blocks[0]});
    appendNack(compound, 0x12345678, 0xabcdef01, {7, 8, 40});
    appendPli(compound, 0x12345678, 0xabcdef01);

    std::vector<RtcpItem> items;
    ASSERT_TRUE(parseRtcpExact(compound, &items));
    ASSERT_EQ(items.size(), 5u);

    const RtcpItem& sr = items[0];
    EXPECT_EQ(sr.type, RtcpItem::Type::SenderReport);
    EXPECT_EQ(sr.senderSsrc, 0xabcdef01u);
    EXPECT_EQ(sr.ntpTime, 0x0102030405060708ull);
    EXPECT_EQ(sr.rtpTimestamp, 90000u);
    EXPECT_EQ(sr.packetCount, 1234u);
    EXPECT_EQ(sr.octetCount, 567890u);
    ASSERT_EQ(sr.reports.size(), 3u);
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(sr.reports[i].ssrc, blocks[i].ssrc) << i;
        EXPECT_EQ(sr.reports[i].fractionLost, blocks[i].fractionLost) << i;
        EXPECT_EQ(sr.reports[i].cumulativeLost, blocks[i].cumulativeLost) << i;
        EXPECT_EQ(sr.reports[i].highestSequence, blocks[i].highestSequence) << i;
        EXPECT_EQ(sr.reports[i].jitter, blocks[i].jitter) << i;
        EXPECT_EQ(sr.reports[i].lastSr, blocks[i].lastSr) << i;
        EXPECT_EQ(sr.reports[i].delaySinceLastSr, blocks[i].delaySinceLastSr) << i;
    }
    EXPECT_EQ(items[1].type, RtcpItem::Type::ReceiverReport);
    EXPECT_EQ(items[1].senderSsrc, 0x12345678u);
    EXPECT_TRUE(items[1].reports.empty());
    ASSERT_EQ(items[2].reports.size(), 1u);
    EXPECT_EQ(items[2].reports[0].cumulativeLost, -5);

    EXPECT_EQ(items[3].type, RtcpItem::Type::Nack);
    EXPECT_EQ(items[3].senderSsrc, 0x12345678u);
    EXPECT_EQ(items[3].mediaSsrc, 0xabcdef01u);
    EXPECT_EQ(items[3].nackSequences, (std::vector<uint16_t>{7, 8, 40}));

    EXPECT_EQ(items[4].type, RtcpItem::Type::Pli);
    EXPECT_EQ(items[4].senderSsrc, 0x12345678u);
    EXPECT_EQ(items[4].mediaSsrc, 0xabcdef01u);

    uint32_t first = 0;
    ASSERT_TRUE(readRtcpSenderSsrc(compound.data(), compound.size(), &first));
    EXPECT_EQ(first, 0xabcdef01u);
}

TEST(Rtcp, ReportCountsAreCappedAtWhatTheHeaderHolds)
{
    Bytes packet;
    appendReceiverReport(packet, 1, std::vector<ReportBlock>(40));
    std::vector<RtcpItem> items;
    ASSERT_TRUE(parseRtcpExact(packet, &items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].reports.size(), 31u);
}

TEST(Rtcp, NackEntriesExpandToEverySequenceTheyName)
{
    // RTPFB, FMT 1: sender, media source, then PID + BLP entries.
    const auto nack = [](std::initializer_list<std::pair<uint16_t, uint16_t>> entries) {
        Bytes data{0x81, 205, 0, uint8_t(2 + entries.size()), 0, 0, 0, 1, 0, 0, 0, 2};
        for (const auto& [pid, blp] : entries) {
            data.insert(data.end(), {uint8_t(pid >> 8), uint8_t(pid), uint8_t(blp >> 8), uint8_t(blp)});
        }
        return data;
    };
    const struct {
        const char* name;
        Bytes data;
        std::vector<uint16_t> sequences;
    } cases[] = {
        {"PID alone", nack({{100, 0}}), {100}},
        {"first, third and last bit", nack({{100, 0x8005}}), {100, 101, 103, 116}},
        {"all bits", nack({{10, 0xffff}}), {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26}},
        {"across the wrap", nack({{65535, 0x0003}}), {65535, 0, 1}},
        {"two entries", nack({{5, 0x0001}, {300, 0}}), {5, 6, 300}},
    };
    for (const auto& c : cases) {
        std::vector<RtcpItem> items;
        ASSERT_TRUE(parseRtcpExact(c.data, &items)) << c.name;
        ASSERT_EQ(items.size(), 1u) << c.name;
        EXPECT_EQ(items[0].type, RtcpItem::Type::Nack) << c.name;
        EXPECT_EQ(items[0].senderSsrc, 1u) << c.name;
        EXPECT_EQ(items[0].mediaSsrc, 2u) << c.name;
        EXPECT_EQ(items[0].nackSequences, c.sequences) << c.name;
    }
}

TEST(Rtcp, NacksArePackedIntoFewEntries)
{
    const struct {
        const char* name;
        std::vector<uint16_t> sequences;
        size_t entries;
        std::vector<uint16_t> readBack;
    } cases[] = {
        {"one run", {10, 11, 12, 26}, 1, {10, 11, 12, 26}},
        {"one past the mask", {10, 27}, 2, {10, 27}},
        {"across the wrap", {65534, 65535, 0, 1}, 1, {65534, 65535, 0, 1}},
        {"duplicates folded", {9, 9, 10, 9}, 1, {9, 10}},
        {"out of order", {20, 5, 21, 6}, 2, {20, 21, 5, 6}},
    };
    for (const auto& c : cases) {
        Bytes packet;
        appendNack(packet, 1, 2, c.sequences);
        EXPECT_EQ(packet.size(), 12 + 4 * c.entries) << c.name;
        std::vector<RtcpItem> items;
        ASSERT_TRUE(parseRtcpExact(packet, &items)) << c.name;
        ASSERT_EQ(items.size(), 1u) << c.name;
        EXPECT_EQ(items[0].nackSequences, c.readBack) << c.name;
    }
    Bytes nothing;
    appendNack(nothing, 1, 2, {});
    EXPECT_TRUE(nothing.empty());
}

TEST(Rtcp, KeepsOtherPacketsWithTheirFirstSsrc)
{
    // SDES with one chunk (SSRC, CNAME "ab", end), then an RTPFB of another format.
    const Bytes data{0x81, 202, 0, 2, 0, 0, 0, 9, 1, 2, 'a', 'b',  //
                     0x8f, 205, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4};
    std::vector<RtcpItem> items;
    ASSERT_TRUE(parseRtcpExact(data, &items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].type, RtcpItem::Type::Other);
    EXPECT_EQ(items[0].senderSsrc, 9u);
    EXPECT_EQ(items[1].type, RtcpItem::Type::Other);
    EXPECT_EQ(items[1].senderSsrc, 3u);
    EXPECT_EQ(items[1].mediaSsrc, 4u);
}

TEST(Rtcp, RejectsMalformedCompounds)
{
    Bytes rr;
    appendReceiverReport(rr, 1, {ReportBlock{}});
    Bytes pli;
    appendPli(pli, 1, 2);
    const auto patched = [](Bytes data, size_t at, uint8_t value) {
        data[at] = value;
        return data;
    };
    const struct {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"three bytes", {0x80, 201, 0}},
        {"version 1", patched(rr, 0, 0x41)},
        {"type below the RTCP range", patched(rr, 1, 191)},
        {"type above the RTCP range", patched(rr, 1, 224)},
        {"length past the end", patched(rr, 3, 8)},
        {"bytes after the last packet", join({rr, {0x80, 201}})},
        {"report count past the body", patched(rr, 0, 0x82)},
        {"sender report without its sender info", {0x80, 200, 0, 1, 0, 0, 0, 1}},
        {"NACK without an entry", {0x81, 205, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2}},
        {"PLI without its media source", {0x81, 206, 0, 1, 0, 0, 0, 1}},
        {"padding of zero", patched(patched(pli, 0, 0xa1), pli.size() - 1, 0)},
        {"padding past the body", patched(patched(pli, 0, 0xa1), pli.size() - 1, 9)},
        {"a good packet then a bad one", join({pli, {0x80, 201, 0, 5, 0, 0, 0, 1}})},
    };
    for (const auto& c : cases) {
        std::vector<RtcpItem> items{RtcpItem{}};
        EXPECT_FALSE(parseRtcpExact(c.data, &items)) << c.name;
        EXPECT_TRUE(items.empty()) << c.name;
    }
    uint32_t ssrc = 0;
    EXPECT_FALSE(readRtcpSenderSsrc(rr.data(), 7, &ssrc));
    EXPECT_FALSE(readRtcpSenderSsrc(patched(rr, 1, 111).data(), rr.size(), &ssrc));
    EXPECT_FALSE(readRtcpSenderSsrc(join({{0x80, 201, 0, 0}, rr}).data(), rr.size() + 4, &ssrc))
        << "a header-only first packet has no sender of its own";
}

}  // namespace
