// The loss-recovery stages one by one: the sender's history of packets to
// resend, the retransmission payload and the answer lines that announce it,
// the receiver's pairing of retransmission streams, and the timing of NACKs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "NackRequester.h"
#include "Retransmission.h"
#include "RtxReceiver.h"
#include "SendHistory.h"
#include "StandInSdp.h"

namespace {

using namespace velto_media;
using Bytes = std::vector<uint8_t>;

TEST(SendHistory, KeepsASecondOfPacketsAndHandsEachOutOncePerInterval)
{
    // Six packets across the sequence wrap, one every 10 ms.
    SendHistory history(1000, 8);
    for (int i = 0; i < 6; ++i) {
        const uint8_t byte = uint8_t(i);
        history.add(uint16_t(65533 + i), 3000u * i, i % 2 == 1, &byte, 1, i * 10);
    }
    struct Query {
        uint16_t sequence;
        int64_t nowMs;
        bool found;
        uint8_t payload;  // when found
    };
    const Query queries[] = {
        {65535, 100, true, 2},  {65535, 105, false, 0},  // resent 5 ms ago
        {65535, 110, true, 2},  {0, 100, true, 3},       //
        {2, 100, true, 5},      {3, 100, false, 0},      // never sent
        {65532, 100, false, 0},                          // before the history
        {1, 1035, true, 4},     {0, 1035, false, 0},     // 1005 ms old: gone
    };
    for (const Query& q : queries) {
        SCOPED_TRACE(std::to_string(q.sequence) + " at " + std::to_string(q.nowMs));
        const SendHistory::Packet* packet = history.takeForResend(q.sequence, q.nowMs, 10);
        ASSERT_EQ(q.found, packet != nullptr);
        if (packet) {
            EXPECT_EQ(q.sequence, packet->sequence);
            EXPECT_EQ(Bytes{q.payload}, packet->payload);
            EXPECT_EQ(3000u * q.payload, packet->timestamp);
            EXPECT_EQ(q.payload % 2 == 1, packet->marker);
        }
    }

    // At most `maxPackets` are kept, the oldest going first; a sequence that
    // does not follow is a new beginning.
    SendHistory bounded(1000, 4);
    const uint8_t byte = 0;
    for (uint16_t sequence = 100; sequence < 106; ++sequence)
        bounded.add(sequence, 0, false, &byte, 1, 0);
    EXPECT_EQ(4u, bounded.size());
    EXPECT_EQ(nullptr, bounded.takeForResend(101, 0, 10));
    EXPECT_NE(nullptr, bounded.takeForResend(102, 0, 10));
    bounded.add(500, 0, false, &byte, 1, 0);
    EXPECT_EQ(1u, bounded.size());
    EXPECT_EQ(nullptr, bounded.takeForResend(105, 0, 10));
}

// A stream sends 100 packets of 1000 bytes a second for 3 s while receivers
// ask for resends as each case says: a flood costs at most about the
// stream's own rate again, a packet goes again a few times at most, and the
// requests of receivers that did lose packets are still answered.
TEST(SendHistory, RequestsCostAtMostAboutTheStreamsOwnRate)
{
    constexpr int64_t kPacketMs = 10;
    constexpr size_t kPacketBytes = 1000;
    constexpr int64_t kSeconds = 3;
    constexpr size_t kSentPerSecond = kPacketBytes * 1000 / kPacketMs;
    struct Case {
        const char* name;
        int64_t askFromMs;
        int64_t askEveryMs;
        // The sequences asked for, the newest sent being `newest`.
        std::function<std::vector<uint16_t>(uint16_t newest)> ask;
        size_t mostResentPerSecond;  // bytes, in any second
        int resendsOfEachAsked;      // -1: not looked at
    };
    const auto everyKept = [](uint16_t newest) {
        std::vector<uint16_t> all;
        for (int back = 0; back < 100; ++back)
            all.push_back(uint16_t(newest - back));
        return all;
    };
    const Case cases[] = {
        // Everything kept, every millisecond: the budget that the stream's
        // own sending fills holds the resends to about its rate.
        {"a flood of every kept packet", 0, 1, everyKept, 2 * kSentPerSecond, -1},
        // The budget holds no more than a second of the stream, however
        // long it was not spent.
        {"a flood after two quiet seconds", 2000, 1, everyKept, 2 * kSentPerSecond, -1},
        // One packet every millisecond while it is kept: resent three times.
        {"one packet over and over", 0, 1, [](uint16_t) { return std::vector<uint16_t>(5, 7); },
         SendHistory::kMaxResends * kPacketBytes, SendHistory::kMaxResends},
        // One packet in twenty lost; three receivers ask for it at once, and
        // one of them again 30 ms later: answered once each time.
        {"receivers that lost one packet in twenty", 0, kPacketMs,
         [](uint16_t newest) {
             if (newest % 20 == 0)
                 return std::vector<uint16_t>{newest, newest, newest};
             if (newest % 20 == 3)
                 return std::vector<uint16_t>{uint16_t(newest - 3)};
             return std::vector<uint16_t>();
         },
         2 * 6 * kPacketBytes, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SendHistory history;
        const Bytes payload(kPacketBytes, 0x55);
        std::vector<size_t> resentPerMs(size_t(kSeconds * 1000), 0);
        std::map<uint16_t, int> resends;
        std::set<uint16_t> asked;
        uint16_t newest = 0;
        for (int64_t now = 0; now < kSeconds * 1000; ++now) {
            if (now % kPacketMs == 0)
                history.add(newest = uint16_t(now / kPacketMs), 0, false, payload.data(), payload.size(), now);
            if (now < c.askFromMs || now % c.askEveryMs != 0)
                continue;
            for (uint16_t sequence : c.ask(newest)) {
                asked.insert(sequence);
                if (const SendHistory::Packet* packet = history.takeForResend(sequence, now, 10)) {
                    resentPerMs[size_t(now)] += packet->payload.size();
                    ++resends[sequence];
                }
            }
        }
        size_t mostPerSecond = 0, total = 0, second = 0;
        for (size_t ms = 0; ms < resentPerMs.size(); ++ms) {
            total += resentPerMs[ms];
            second += resentPerMs[ms];
            if (ms >= 1000)
                second -= resentPerMs[ms - 1000];
            mostPerSecond = std::max(mostPerSecond, second);
        }
        EXPECT_LE(mostPerSecond, c.mostResentPerSecond);
        EXPECT_LE(total, kSentPerSecond * (kSeconds + 1)) << "at most about the stream's own bytes again";
        for (const auto& [sequence, count] : resends)
            ASSERT_LE(count, SendHistory::kMaxResends) << sequence;
        if (c.resendsOfEachAsked >= 0) {
            for (uint16_t sequence : asked)
                EXPECT_EQ(c.resendsOfEachAsked, resends[sequence]) << sequence;
        }
    }
}

TEST(Retransmission, PayloadCarriesTheOriginalSequenceAndTheAnswerPairsTheStreams)
{
    const Bytes original{1, 2, 3};
    Bytes payload;
    appendRetransmission(payload, 0xBEEF, original.data(), original.size());
    EXPECT_EQ((Bytes{0xBE, 0xEF, 1, 2, 3}), payload);
    uint16_t sequence = 0;
    EXPECT_TRUE(readRetransmission(payload.data(), payload.size(), &sequence));
    EXPECT_EQ(0xBEEF, sequence);
    EXPECT_FALSE(readRetransmission(payload.data(), 2, &sequence));  // carries no packet
    EXPECT_FALSE(readRetransmission(nullptr, 0, &sequence));

    // Each pair's group line comes before the first line of its media
    // stream; the server still reads every stream, in order.
    const std::vector<velto_platform::SdpSource> sources{
        {"audio", "11", "c", "s", "mic"},    {"video", "22", "c", "s", "cam"}, {"video", "23", "c", "s", "cam"},
        {"video", "44", "c", "share", "sc"}, {"video", "45", "c", "share", "sc"}};
    const std::string sdp = withRetransmissionGroups(velto_platform::WriteSdp("x", sources), {{22, 23}, {44, 45}});
    EXPECT_NE(std::string::npos, sdp.find("\r\na=ssrc-group:FID 22 23\r\na=ssrc:22 cname:c\r\n")) << sdp;
    EXPECT_NE(std::string::npos, sdp.find("\r\na=ssrc-group:FID 44 45\r\na=ssrc:44 cname:c\r\n")) << sdp;
    std::vector<std::string> read;
    for (const velto_platform::SdpSource& source : velto_platform::ReadSdpSources(sdp))
        read.push_back(source.ssrc);
    EXPECT_EQ((std::vector<std::string>{"11", "22", "23", "44", "45"}), read);
    // Plain text line ends stay plain; a stream not in the text gets no line.
    EXPECT_EQ("a=ssrc-group:FID 7 8\na=ssrc:7 cname:c\n",
              withRetransmissionGroups("a=ssrc:7 cname:c\n", {{7, 8}, {9, 10}}));
}

TEST(RtxReceiver, TheSecondVideoSourceOfATrackCarriesTheFirstOnesResends)
{
    using Source = RtxReceiver::Source;
    struct Case {
        const char* name;
        std::vector<Source> sources;
        std::vector<uint32_t> resends;  // those taken for retransmission streams
    };
    const Case cases[] = {
        {"media then its resends", {{1, "audio", "a", "s", "mic"}, {2, "video", "a", "s", "cam"},
                                    {3, "video", "a", "s", "cam"}}, {3}},
        {"camera and share, each with resends", {{2, "video", "a", "s", "cam"}, {3, "video", "a", "s", "cam"},
                                                 {4, "video", "a", "t", "sc"}, {5, "video", "a", "t", "sc"}}, {3, 5}},
        {"no resends announced", {{2, "video", "a", "s", "cam"}, {4, "video", "b", "s", "cam"}}, {}},
        {"another owner's track of the same names", {{2, "video", "a", "s", "cam"}, {3, "video", "b", "s", "cam"}},
         {}},
        {"another track of the stream", {{2, "video", "a", "s", "cam"}, {3, "video", "a", "s", "cam2"}}, {}},
        {"audio never", {{1, "audio", "a", "s", "mic"}, {2, "audio", "a", "s", "mic"}}, {}},
        {"a third source is neither", {{2, "video", "a", "s", "cam"}, {3, "video", "a", "s", "cam"},
                                       {4, "video", "a", "s", "cam"}}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RtxReceiver receiver;
        receiver.setSources(c.sources);
        for (const Source& source : c.sources) {
            const bool resends = std::find(c.resends.begin(), c.resends.end(), source.ssrc) != c.resends.end();
            EXPECT_EQ(resends, receiver.isRetransmission(source.ssrc)) << source.ssrc;
        }
    }

    // A resend turns back into the packet it carries; anything else is refused.
    RtxReceiver receiver;
    receiver.setSources(cases[0].sources);
    const Bytes payload{0x12, 0x34, 0xAA, 0xBB};
    rtp::RtpHeader resend;
    resend.payloadType = kVp8RtxPayloadType;
    resend.marker = true;
    resend.sequence = 7;
    resend.timestamp = 90000;
    resend.ssrc = 3;
    rtp::RtpHeader original;
    const uint8_t* data = nullptr;
    size_t size = 0;
    ASSERT_TRUE(receiver.restore(resend, payload.data(), payload.size(), &original, &data, &size));
    EXPECT_EQ(2u, original.ssrc);
    EXPECT_EQ(0x1234, original.sequence);
    EXPECT_EQ(100, original.payloadType);
    EXPECT_TRUE(original.marker);
    EXPECT_EQ(90000u, original.timestamp);
    EXPECT_EQ((Bytes{0xAA, 0xBB}), Bytes(data, data + size));
    rtp::RtpHeader media = resend;
    media.ssrc = 2;  // the media stream itself
    EXPECT_FALSE(receiver.restore(media, payload.data(), payload.size(), &original, &data, &size));
    rtp::RtpHeader wrongType = resend;
    wrongType.payloadType = 100;
    EXPECT_FALSE(receiver.restore(wrongType, payload.data(), payload.size(), &original, &data, &size));
    EXPECT_FALSE(receiver.restore(resend, payload.data(), 2, &original, &data, &size));  // empty
}

TEST(NackRequester, AsksAtOnceAgainAfterARoundTripAndGivesUp)
{
    enum class Do { Packet, Resent, Due, GivenUp, ForgetBefore };
    struct Step {
        Do what;
        int64_t sequence;
        int64_t nowMs;
        std::vector<int64_t> asked;  // Packet, Resent, Due: what is asked for now
        bool givenUp = false;        // GivenUp
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int requests;
        int recovered;
    };
    // Until a resend came, the round trip is taken as 50 ms: 75 ms between requests.
    const Case cases[] = {
        {"a gap is asked for at once, four times again, then given up",
         {{Do::Packet, 10, 0, {}},
          {Do::Packet, 13, 0, {11, 12}},
          {Do::Due, 0, 74, {}},
          {Do::Due, 0, 75, {11, 12}},
          {Do::Due, 0, 150, {11, 12}},
          {Do::Due, 0, 225, {11, 12}},
          {Do::Due, 0, 300, {11, 12}},
          {Do::Due, 0, 375, {}},
          {Do::GivenUp, 11, 374, {}, false},
          {Do::GivenUp, 11, 375, {}, true},
          {Do::GivenUp, 13, 375, {}, false}},
         10, 0},
        {"the first answer tells the round trip, and the requests follow it (20 ms at least)",
         {{Do::Packet, 1, 0, {}},
          {Do::Packet, 3, 0, {2}},
          {Do::Resent, 2, 8, {}},
          {Do::Packet, 5, 100, {4}},
          {Do::Due, 0, 119, {}},
          {Do::Due, 0, 120, {4}},
          {Do::Resent, 4, 125, {}},
          {Do::Due, 0, 1000, {}}},
         3, 2},
        {"an answer to a repeated request tells nothing",
         {{Do::Packet, 1, 0, {}},
          {Do::Packet, 3, 0, {2}},
          {Do::Due, 0, 75, {2}},
          {Do::Resent, 2, 80, {}},
          {Do::Packet, 5, 100, {4}},
          {Do::Due, 0, 174, {}},
          {Do::Due, 0, 175, {4}}},
         4, 1},
        {"late and repeated packets fill gaps without a request; a leap is a restart",
         {{Do::Packet, 100, 0, {}},
          {Do::Packet, 103, 0, {101, 102}},
          {Do::Packet, 102, 1, {}},
          {Do::Resent, 103, 2, {}},
          {Do::Packet, 1000, 3, {}},
          {Do::Due, 0, 1000, {}},
          {Do::Packet, 1002, 1000, {1001}}},
         3, 0},
        {"packets no longer wanted are not asked for",
         {{Do::Packet, 1, 0, {}},
          {Do::Packet, 5, 0, {2, 3, 4}},
          {Do::ForgetBefore, 4, 0, {}},
          {Do::Due, 0, 75, {4}},
          {Do::GivenUp, 2, 1000, {}, false}},
         4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NackRequester nack;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i));
            switch (step.what) {
            case Do::Packet:
            case Do::Resent:
                EXPECT_EQ(step.asked, nack.onPacket(step.sequence, step.what == Do::Resent, step.nowMs));
                break;
            case Do::Due:
                EXPECT_EQ(step.asked, nack.due(step.nowMs));
                break;
            case Do::GivenUp:
                EXPECT_EQ(step.givenUp, nack.givenUp(step.sequence, step.nowMs));
                break;
            case Do::ForgetBefore:
                nack.forgetBefore(step.sequence);
                break;
            }
        }
        EXPECT_EQ(c.requests, nack.requests());
        EXPECT_EQ(c.recovered, nack.recovered());
    }
}

TEST(NackRequester, WakesForTheNextRequestAndTheGivingUpOnly)
{
    NackRequester nack;
    EXPECT_FALSE(nack.nextDueMs(0));
    nack.onPacket(1, false, 0);
    nack.onPacket(3, false, 0);
    EXPECT_EQ(75, nack.nextDueMs(0));
    for (int64_t at = 75; at <= 300; at += 75)
        nack.due(at);
    EXPECT_EQ(375, nack.nextDueMs(300));  // given up then
    // Given up, it wakes nobody any more.
    EXPECT_FALSE(nack.nextDueMs(375));
    EXPECT_TRUE(nack.givenUp(2, 375));
}

}  // namespace
