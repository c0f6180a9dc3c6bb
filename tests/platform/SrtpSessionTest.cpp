// SRTP sessions: what one side protects the other side's inbound session with
// the same key restores; a changed bit, a wrong key or a replay is refused and
// leaves the packet as it came; the replay window reaches 1024 packets back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "MediaSdp.h"
#include "rtp/Rtcp.h"
#include "rtp/RtpPacket.h"
#include "transport/SrtpSession.h"

using velto_media::SrtpSession;
namespace rtp = velto_media::rtp;

namespace {

using Bytes = std::vector<uint8_t>;
using Key = std::array<uint8_t, SrtpSession::kKeyLength>;

Key newKey()
{
    Key key;
    velto_media::makeSrtpKey(key.data());
    return key;
}

Bytes rtpPacket(uint32_t ssrc, uint16_t sequence, size_t payloadSize = 200)
{
    Bytes packet;
    rtp::appendRtpHeader(packet, {100, false, sequence, sequence * 3000u, ssrc, 0, 0});
    for (size_t i = 0; i < payloadSize; ++i)
        packet.push_back(uint8_t(i * 7 + sequence));
    return packet;
}

struct Pair {
    explicit Pair(const Key& key, const Key& receiverKey)
    {
        EXPECT_TRUE(sender.init(SrtpSession::Direction::Outbound, key.data()));
        EXPECT_TRUE(receiver.init(SrtpSession::Direction::Inbound, receiverKey.data()));
    }
    explicit Pair(const Key& key) : Pair(key, key) {}
    SrtpSession sender;
    SrtpSession receiver;
};

TEST(SrtpSession, RoundTripsRtpAndRtcpOfSeveralStreams)
{
    Pair pair(newKey());
    for (const uint32_t ssrc : {0x1111u, 0x2222u}) {
        for (uint16_t sequence = 65530; sequence != 5; ++sequence) {  // across the wrap
            const Bytes plain = rtpPacket(ssrc, sequence);
            Bytes packet = plain;
            ASSERT_TRUE(pair.sender.protectRtp(packet));
            EXPECT_EQ(packet.size(), plain.size() + 10);  // the 80-bit tag
            EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 12, packet.begin()));  // header in clear
            EXPECT_FALSE(std::equal(plain.begin() + 12, plain.end(), packet.begin() + 12));
            ASSERT_TRUE(pair.receiver.unprotectRtp(packet));
            EXPECT_EQ(packet, plain);
        }
    }
    Bytes report;
    rtp::appendReceiverReport(report, 0x1111, {rtp::ReportBlock{0x2222, 3, 4, 5, 6, 7, 8}});
    rtp::appendPli(report, 0x1111, 0x2222);
    const Bytes plain = report;
    ASSERT_TRUE(pair.sender.protectRtcp(report));
    EXPECT_EQ(report.size(), plain.size() + 14);  // index and tag
    uint32_t sender = 0;
    ASSERT_TRUE(rtp::readRtcpSenderSsrc(report.data(), report.size(), &sender));  // readable before unprotecting
    EXPECT_EQ(sender, 0x1111u);
    ASSERT_TRUE(pair.receiver.unprotectRtcp(report));
    EXPECT_EQ(report, plain);
}

TEST(SrtpSession, RefusesChangedBitsWrongKeysAndReplaysAndLeavesThePacket)
{
    const Key key = newKey();
    Pair pair(key);
    Pair wrong(key, newKey());

    Bytes good = rtpPacket(7, 1);
    ASSERT_TRUE(pair.sender.protectRtp(good));
    Bytes forWrong = rtpPacket(7, 1);
    ASSERT_TRUE(wrong.sender.protectRtp(forWrong));

    const auto flipped = [&](size_t at) {
        Bytes packet = good;
        packet[at] ^= 0x01;
        return packet;
    };
    const struct {
        const char* name;
        Bytes packet;
        SrtpSession* session;
    } refused[] = {
        {"payload bit", flipped(40), &pair.receiver},
        {"header bit", flipped(3), &pair.receiver},
        {"tag bit", flipped(good.size() - 1), &pair.receiver},
        {"cut tag", Bytes(good.begin(), good.end() - 1), &pair.receiver},
        {"wrong key", forWrong, &wrong.receiver},
        {"header alone", Bytes(good.begin(), good.begin() + 12), &pair.receiver},
    };
    for (const auto& c : refused) {
        Bytes packet = c.packet;
        EXPECT_FALSE(c.session->unprotectRtp(packet)) << c.name;
        EXPECT_EQ(packet, c.packet) << c.name;
    }
    // None of that spoiled the session for the genuine packet, which counts once.
    Bytes genuine = good;
    EXPECT_TRUE(pair.receiver.unprotectRtp(genuine));
    Bytes replay = good;
    EXPECT_FALSE(pair.receiver.unprotectRtp(replay));
    EXPECT_EQ(replay, good);

    Bytes report;
    rtp::appendPli(report, 7, 8);
    ASSERT_TRUE(pair.sender.protectRtcp(report));
    Bytes tampered = report;
    tampered[9] ^= 0x80;
    EXPECT_FALSE(pair.receiver.unprotectRtcp(tampered));
    Bytes first = report;
    EXPECT_TRUE(pair.receiver.unprotectRtcp(first));
    Bytes again = report;
    EXPECT_FALSE(pair.receiver.unprotectRtcp(again));
}

TEST(SrtpSession, ReplayWindowReachesAThousandPacketsBack)
{
    Pair pair(newKey());
    std::vector<Bytes> sent;
    for (uint16_t sequence = 0; sequence <= 1100; ++sequence) {
        sent.push_back(rtpPacket(9, sequence, 20));
        ASSERT_TRUE(pair.sender.protectRtp(sent.back()));
    }
    Bytes newest = sent[1100];
    ASSERT_TRUE(pair.receiver.unprotectRtp(newest));
    // A keyframe burst lets packets arrive up to 1023 behind the newest: still taken.
    Bytes late = sent[100];
    EXPECT_TRUE(pair.receiver.unprotectRtp(late));
    Bytes tooLate = sent[50];
    EXPECT_FALSE(pair.receiver.unprotectRtp(tooLate));
}

// A participant who rejoins may bring a stream back under its SSRC from a lower
// sequence number; once the stream is forgotten both sides take it again.
TEST(SrtpSession, AForgottenStreamStartsAfresh)
{
    Pair pair(newKey());
    for (uint16_t sequence = 0; sequence <= 1100; ++sequence) {
        Bytes packet = rtpPacket(9, sequence, 20);
        ASSERT_TRUE(pair.sender.protectRtp(packet));
        ASSERT_TRUE(pair.receiver.unprotectRtp(packet));
    }
    Bytes again = rtpPacket(9, 10, 20);
    EXPECT_FALSE(pair.sender.protectRtp(again));
    pair.sender.removeStream(9);
    ASSERT_TRUE(pair.sender.protectRtp(again));
    EXPECT_FALSE(pair.receiver.unprotectRtp(again));
    pair.receiver.removeStream(9);
    pair.receiver.removeStream(12345);  // never seen: nothing happens
    EXPECT_TRUE(pair.receiver.unprotectRtp(again));
    EXPECT_EQ(again, rtpPacket(9, 10, 20));
}

TEST(SrtpSession, RefusesUseBeforeSetUpAndTheWrongDirection)
{
    SrtpSession idle;
    Bytes packet = rtpPacket(1, 1);
    const Bytes plain = packet;
    EXPECT_FALSE(idle.protectRtp(packet));
    EXPECT_FALSE(idle.unprotectRtp(packet));
    EXPECT_EQ(packet, plain);
    EXPECT_FALSE(idle.init(SrtpSession::Direction::Outbound, nullptr));

    Pair pair(newKey());
    EXPECT_FALSE(pair.receiver.protectRtp(packet));
    EXPECT_FALSE(pair.sender.unprotectRtp(packet));
    EXPECT_EQ(packet, plain);
    Bytes empty;
    EXPECT_FALSE(pair.sender.protectRtp(empty));
}

TEST(SrtpSession, KeysAreFreshEachTime)
{
    const Key a = newKey();
    const Key b = newKey();
    EXPECT_NE(a, b);
    EXPECT_NE(a, Key{});
}

// A key that travels as an SDP crypto line still opens what the other side protects.
TEST(SrtpSession, KeyCarriedInACryptoLineWorks)
{
    const Key key = newKey();
    const std::string sdp = "v=0\r\nm=audio 9 UDP/TLS/RTP/SAVPF 111\r\n" + velto_platform::writeCryptoLine(key.data()) +
                            "\r\n";
    std::vector<uint8_t> read;
    ASSERT_TRUE(velto_platform::readCryptoLine(sdp, &read));
    ASSERT_EQ(read.size(), SrtpSession::kKeyLength);
    SrtpSession sender, receiver;
    ASSERT_TRUE(sender.init(SrtpSession::Direction::Outbound, key.data()));
    ASSERT_TRUE(receiver.init(SrtpSession::Direction::Inbound, read.data()));
    Bytes packet = rtpPacket(3, 3);
    const Bytes plain = packet;
    ASSERT_TRUE(sender.protectRtp(packet));
    ASSERT_TRUE(receiver.unprotectRtp(packet));
    EXPECT_EQ(packet, plain);
}

}  // namespace
