// The server's media forwarding unit, spoken to as participants speak to it:
// each joins through the signalling, takes the unit's key and address from
// the offer, answers with a key and SSRCs of its own, and sends SRTP over UDP
// from a socket of its own; it checks the path with STUN as an ICE agent does
// when a test asks it to. "Never" is checked by order: a packet that must not
// arrive is sent before one that must, so the first one in is the answer.

#include "LocalServer.h"
#include "MediaSdp.h"
#include "NetworkLab.h"
#include "ServerTestSupport.h"
#include "SignalClient.h"
#include "StandInSdp.h"
#include "rtp/Rtcp.h"
#include "rtp/RtpPacket.h"
#include "transport/Retransmission.h"
#include "transport/SrtpSession.h"

#include <stun/stunagent.h>
#include <stun/usages/ice.h>
#include <stun/usages/turn.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using velto::test::LocalServer;
using velto::test::NetworkLab;
using velto::test::SignalClient;
using velto_media::SrtpSession;
namespace rtp = velto_media::rtp;
using Bytes = std::vector<uint8_t>;
using Direction = SrtpSession::Direction;

constexpr auto kPatience = 5000ms;

// What a participant got from the unit, opened with its own key.
struct Received {
    bool rtcp = false;
    rtp::RtpHeader header;           // RTP
    int64_t index = 0;               // RTP: its SRTP index (rollover count and sequence number)
    std::string text;                // RTP: the payload
    std::vector<rtp::RtcpItem> items;  // RTCP
    Bytes plain;
};

// A UDP socket on `address` (any free port).
int udpSocket(const std::string& address = "127.0.0.1")
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &local.sin_addr), 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    return fd;
}

sockaddr_in localAddress(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    return address;
}

// The value of the first "a=NAME:" line of an SDP text.
std::string sdpValue(const std::string& sdp, const std::string& name)
{
    const std::string key = "a=" + name + ":";
    const size_t at = sdp.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t end = sdp.find_first_of("\r\n", at);
    return sdp.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

// The ICE credentials a check is signed with.
struct Credentials {
    std::string ufrag;     // the unit's, first half of USERNAME
    std::string password;  // keys MESSAGE-INTEGRITY; empty = none
};

class Participant {
public:
    Participant(LocalServer& server, const std::string& user, const std::string& local = "127.0.0.1")
        : user_(user), local_(local), signal_(server, server.account(user)), socket_(udpSocket(local))
    {
        static const uint16_t kKnown[] = {STUN_ATTRIBUTE_USERNAME,       STUN_ATTRIBUTE_MESSAGE_INTEGRITY,
                                          STUN_ATTRIBUTE_XOR_MAPPED_ADDRESS, STUN_ATTRIBUTE_PRIORITY,
                                          STUN_ATTRIBUTE_USE_CANDIDATE,  STUN_ATTRIBUTE_ICE_CONTROLLED,
                                          STUN_ATTRIBUTE_ICE_CONTROLLING, STUN_ATTRIBUTE_FINGERPRINT,
                                          STUN_ATTRIBUTE_ERROR_CODE,     0};
        stun_agent_init(&stun_, kKnown, STUN_COMPATIBILITY_RFC5389,
                        static_cast<StunAgentUsageFlags>(STUN_AGENT_USAGE_SHORT_TERM_CREDENTIALS |
                                                         STUN_AGENT_USAGE_USE_FINGERPRINT));
    }
    ~Participant() { close(socket_); }

    SignalClient& signal() { return signal_; }
    const Bytes& unitKey() const { return unitKey_; }
    const std::string& offerSdp() const { return offerSdp_; }
    const std::string& unitCandidate() const { return unitCandidate_; }
    Credentials unitCredentials() const { return {sdpValue(offerSdp_, "ice-ufrag"), sdpValue(offerSdp_, "ice-pwd")}; }
    sockaddr_in address() const { return localAddress(socket_); }
    sockaddr_in unitAddress() const { return unit_; }

    // The member's network changed: from now on it sends and receives on a new socket.
    void moveSocket()
    {
        close(socket_);
        socket_ = udpSocket(local_);
    }

    // A Binding request as an ICE agent in control sends it, signed with
    // `credentials` (the offer's by default), nominating the path when
    // `nominate`. The XOR-MAPPED-ADDRESS of a success answer signed with the
    // same password (and its FINGERPRINT present), or none when no such
    // answer comes within `wait`.
    std::optional<sockaddr_in> check(bool nominate, std::optional<Credentials> credentials = std::nullopt,
                                     std::chrono::milliseconds wait = kPatience)
    {
        const Credentials with = credentials ? *credentials : unitCredentials();
        const std::string username = with.ufrag + ":" + "peerufra";
        StunMessage request;
        uint8_t buffer[1280];
        const size_t length = stun_usage_ice_conncheck_create(
            &stun_, &request, buffer, sizeof buffer, reinterpret_cast<const uint8_t*>(username.data()),
            username.size(), reinterpret_cast<const uint8_t*>(with.password.data()), with.password.size(), nominate,
            true, 0x6e0001ff, 0x0123456789abcdefull, nullptr, STUN_USAGE_ICE_COMPATIBILITY_RFC5245);
        EXPECT_GT(length, 0u);
        sendRaw(Bytes(buffer, buffer + length));
        const std::optional<Bytes> answer = receiveRaw(wait);
        if (!answer)
            return std::nullopt;
        EXPECT_LT((*answer)[0], 4) << "a STUN answer, not media";
        StunMessage response;
        std::string password = with.password;
        const auto validater = [](StunAgent*, StunMessage*, uint8_t*, uint16_t, uint8_t** key, size_t* keyLength,
                                  void* data) -> bool {
            auto* text = static_cast<std::string*>(data);
            *key = reinterpret_cast<uint8_t*>(text->data());
            *keyLength = text->size();
            return true;
        };
        if (stun_agent_validate(&stun_, &response, answer->data(), answer->size(), validater, &password) !=
            STUN_VALIDATION_SUCCESS) {
            ADD_FAILURE() << "an answer that is not a signed answer to the check";
            return std::nullopt;
        }
        uint32_t fingerprint = 0;
        EXPECT_EQ(stun_message_find32(&response, STUN_ATTRIBUTE_FINGERPRINT, &fingerprint), STUN_MESSAGE_RETURN_SUCCESS);
        sockaddr_storage mapped{};
        socklen_t mappedLength = sizeof mapped;
        if (stun_usage_ice_conncheck_process(&response, &mapped, &mappedLength, STUN_USAGE_ICE_COMPATIBILITY_RFC5245) !=
            STUN_USAGE_ICE_RETURN_SUCCESS) {
            ADD_FAILURE() << "the check was refused";
            return std::nullopt;
        }
        sockaddr_in out{};
        std::memcpy(&out, &mapped, sizeof out);
        return out;
    }

    // Joins `room` and answers its offer announcing `ssrcs` (the first audio,
    // the rest video) with a fresh key; then reports, as an engine does at
    // once after its answer.
    void enter(const std::string& room, const std::vector<uint32_t>& ssrcs, const std::string& password = "",
               int reports = 1)
    {
        ASSERT_NO_FATAL_FAILURE(join(room, ssrcs, password));
        ASSERT_NO_FATAL_FAILURE(answer());
        for (int i = 0; i < reports; ++i)
            report();
    }

    // The two halves of enter(): join, take the offer and (unless told it
    // never checks) nominate its socket with a signed check, as an agent
    // does, so the unit sends there; from then on it may send. And answer it.
    void join(const std::string& room, const std::vector<uint32_t>& ssrcs, const std::string& password = "")
    {
        if (!connected_) {
            ASSERT_TRUE(signal_.connect());
            connected_ = true;
        }
        while (receiveRaw(0ms)) {
            // what the last leg left is nothing of this one's
        }
        ASSERT_TRUE(signal_.join(room, password));
        Json::Value offer, ice;
        for (const Json::Value& m : signal_.received()) {
            if (m["type"] == "offer")
                offer = m;
            if (m["type"] == "ice")
                ice = m;
        }
        unitKey_.clear();
        offerSdp_ = offer["sdp"].asString();
        unitCandidate_ = ice["candidate"].asString();
        ASSERT_TRUE(velto_platform::readCryptoLine(offerSdp_, &unitKey_)) << offer;
        std::string host;
        int port = 0;
        ASSERT_TRUE(velto_platform::readHostCandidate(unitCandidate_, &host, &port)) << ice;
        unit_ = sockaddr_in{};
        unit_.sin_family = AF_INET;
        unit_.sin_port = htons(static_cast<uint16_t>(port));
        ASSERT_EQ(inet_pton(AF_INET, host.c_str(), &unit_.sin_addr), 1) << host;
        ASSERT_TRUE(receive_.init(Direction::Inbound, unitKey_.data()));
        velto_media::makeSrtpKey(key_.data());
        ASSERT_TRUE(send_.init(Direction::Outbound, key_.data()));

        ssrcs_ = ssrcs;
        session_ = offer["session"].asString();
        highest_.clear();
        if (checksOnJoin_) {
            // Repeated while no answer comes, as an agent repeats its checks
            // (a unit told to lose packets loses checks too).
            bool answered = false;
            for (int i = 0; i < 10 && !answered; ++i)
                answered = check(true, std::nullopt, 300ms).has_value();
            ASSERT_TRUE(answered) << user_ << "'s checks got no answer";
        }
    }
    // From now on join() makes no check: only the test's own calls of check() do.
    void checkOnlyWhenAsked() { checksOnJoin_ = false; }
    void answer()
    {
        std::vector<std::string> ssrcs;
        for (const uint32_t ssrc : ssrcs_)
            ssrcs.push_back(std::to_string(ssrc));
        ASSERT_TRUE(signal_.request(answerOf(ssrcs)));
    }
    // An answer announcing `ssrcs` as written (decimal, the first audio, the
    // rest video), with this participant's key.
    Json::Value answerOf(const std::vector<std::string>& ssrcs) const
    {
        // A resend stream follows its media stream with the same stream and track.
        std::vector<velto_platform::SdpSource> sources;
        for (size_t i = 0; i < ssrcs.size(); ++i) {
            const auto media = resends_.find(static_cast<uint32_t>(std::stoul(ssrcs[i])));
            const std::string track = media != resends_.end() ? std::to_string(media->second) : ssrcs[i];
            sources.push_back({i == 0 ? "audio" : "video", ssrcs[i], user_, user_ + "-stream", user_ + "-track" + track});
        }
        Json::Value answer;
        answer["type"] = "answer";
        answer["sdp"] = velto_platform::withCryptoLine(velto_platform::WriteSdp(session_, sources), key_.data());
        return answer;
    }

    // Answers again, announcing `ssrcs` instead (same key).
    void announce(const std::vector<uint32_t>& ssrcs)
    {
        ssrcs_ = ssrcs;
        answer();
    }
    void leave()
    {
        Json::Value leave;
        leave["type"] = "leave";
        ASSERT_TRUE(signal_.request(leave));
    }
    // From the next answer on, `resend` carries the resends of `media`.
    void pairResend(uint32_t resend, uint32_t media) { resends_[resend] = media; }
    // The sending session starts `ssrc` afresh under the same key, from any
    // sequence number: what a member who wants to reuse an index does.
    void restartSending(uint32_t ssrc) { send_.removeStream(ssrc); }

    std::string keyText() const
    {
        const std::string line = velto_platform::writeCryptoLine(key_.data());
        return line.substr(line.find("inline:") + 7);
    }

    Bytes protectedRtp(uint32_t ssrc, uint16_t sequence, const std::string& text, uint8_t payloadType = 100)
    {
        Bytes packet;
        rtp::appendRtpHeader(packet, {payloadType, false, sequence, sequence * 3000u, ssrc, 0, 0});
        packet.insert(packet.end(), text.begin(), text.end());
        EXPECT_TRUE(send_.protectRtp(packet));
        return packet;
    }
    void sendRtp(uint32_t ssrc, uint16_t sequence, const std::string& text, uint8_t payloadType = 100)
    {
        sendRaw(protectedRtp(ssrc, sequence, text, payloadType));
    }
    Bytes protectedRtcp(Bytes plain)
    {
        EXPECT_TRUE(send_.protectRtcp(plain));
        return plain;
    }
    void sendRtcp(Bytes plain) { sendRaw(protectedRtcp(std::move(plain))); }
    void report()
    {
        Bytes rr;
        rtp::appendReceiverReport(rr, ssrcs_.at(0), {});
        sendRtcp(rr);
    }
    void sendRaw(const Bytes& packet)
    {
        ASSERT_EQ(sendto(socket_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&unit_),
                         sizeof unit_),
                  static_cast<ssize_t>(packet.size()));
    }

    // The next datagram as it came, or none within `wait`.
    std::optional<Bytes> receiveRaw(std::chrono::milliseconds wait = kPatience)
    {
        pollfd fd{socket_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(wait.count())) != 1)
            return std::nullopt;
        Bytes packet(65536);
        const ssize_t got = recv(socket_, packet.data(), packet.size(), 0);
        if (got < 0)
            return std::nullopt;
        packet.resize(static_cast<size_t>(got));
        return packet;
    }

    // Opens a datagram with the key of the unit's offer; false when it does not open.
    bool open(Bytes packet, Received* out)
    {
        Received received;
        received.rtcp = rtp::isRtcp(packet.data(), packet.size());
        if (!(received.rtcp ? receive_.unprotectRtcp(packet) : receive_.unprotectRtp(packet)))
            return false;
        received.plain = packet;
        if (received.rtcp) {
            if (!rtp::parseRtcp(packet.data(), packet.size(), &received.items))
                return false;
        } else {
            if (!rtp::parseRtp(packet.data(), packet.size(), &received.header))
                return false;
            // The index libsrtp took it at: the tag holds the rollover count,
            // so a packet that opens was protected at this index.
            const auto highest = highest_.find(received.header.ssrc);
            received.index = highest == highest_.end()
                                 ? received.header.sequence
                                 : highest->second + static_cast<int16_t>(static_cast<uint16_t>(
                                                         received.header.sequence - uint16_t(highest->second)));
            int64_t& h = highest_.emplace(received.header.ssrc, received.index).first->second;
            h = std::max(h, received.index);
            received.text.assign(packet.begin() + received.header.headerSize,
                                 packet.end() - received.header.paddingSize);
        }
        *out = std::move(received);
        return true;
    }

    // The next datagram, which must open with this participant's key.
    Received receive()
    {
        Received received;
        const std::optional<Bytes> packet = receiveRaw();
        if (!packet) {
            ADD_FAILURE() << user_ << " received nothing";
            return received;
        }
        EXPECT_TRUE(open(*packet, &received)) << user_ << " cannot open what the unit sent";
        return received;
    }

    std::string receiveText() { return receive().text; }

private:
    std::string user_;
    std::string local_;
    SignalClient signal_;
    bool connected_ = false;
    bool checksOnJoin_ = true;
    int socket_ = -1;
    StunAgent stun_;
    std::string offerSdp_;
    std::string unitCandidate_;
    sockaddr_in unit_{};
    Bytes unitKey_;
    std::array<uint8_t, SrtpSession::kKeyLength> key_{};
    SrtpSession send_;
    SrtpSession receive_;
    std::vector<uint32_t> ssrcs_;
    std::map<uint32_t, uint32_t> resends_;  // resend SSRC -> media SSRC
    std::map<uint32_t, int64_t> highest_;   // index, by SSRC received
    std::string session_;
};

Bytes rtpPlain(uint32_t ssrc, uint16_t sequence, const std::string& text)
{
    Bytes packet;
    rtp::appendRtpHeader(packet, {100, false, sequence, sequence * 3000u, ssrc, 0, 0});
    packet.insert(packet.end(), text.begin(), text.end());
    return packet;
}

Bytes pli(uint32_t sender, uint32_t media)
{
    Bytes packet;
    rtp::appendPli(packet, sender, media);
    return packet;
}

// The start of a VP8 keyframe as an RTP payload: descriptor (start of
// partition 0), frame tag (key), start code, size.
const std::string kKeyframeStart{'\x10', '\x50', '\x2a', '\x00', '\x9d', '\x01', '\x2a', '\x80', '\x02', '\x68', '\x01'};

bool isPli(const Received& r, uint32_t sender, uint32_t media)
{
    return r.rtcp && r.items.size() == 1 && r.items[0].type == rtp::RtcpItem::Type::Pli &&
           r.items[0].senderSsrc == sender && r.items[0].mediaSsrc == media;
}

class MediaUnitTest : public ::testing::Test {
protected:
    void SetUp() override { server.setCaBundleEnv(); }
    LocalServer server;
    const std::string aliceRoom = server.account("alice").room;  // no meeting password
};

TEST_F(MediaUnitTest, ForwardsToEveryOtherMemberEncryptedForEachNeverBackToTheSender)
{
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));
    EXPECT_NE(alice.unitKey(), bob.unitKey()) << "each leg has a key of its own";

    alice.sendRtp(102, 7, "from alice");
    const std::optional<Bytes> atBob = bob.receiveRaw();
    const std::optional<Bytes> atWang = wang.receiveRaw();
    ASSERT_TRUE(atBob && atWang);
    EXPECT_NE(*atBob, *atWang) << "protected anew for each receiver";
    Received received;
    EXPECT_FALSE(bob.open(*atWang, &received)) << "one receiver's copy does not open with another's key";
    ASSERT_TRUE(bob.open(*atBob, &received));
    EXPECT_EQ(received.plain, rtpPlain(102, 7, "from alice"));
    ASSERT_TRUE(wang.open(*atWang, &received));
    EXPECT_EQ(received.plain, rtpPlain(102, 7, "from alice"));

    // Sender reports go on as well (their timing; a reception block only to
    // the sender of the stream it names, after the timing).
    Bytes sr;
    rtp::appendSenderReport(sr, 102, 0x1122334455667788ull, 21000, 1, 10, {rtp::ReportBlock{201}});
    alice.sendRtcp(sr);
    for (Participant* receiver : {&bob, &wang}) {
        const Received report = receiver->receive();
        ASSERT_TRUE(report.rtcp);
        ASSERT_EQ(report.items.size(), receiver == &bob ? 2u : 1u);
        EXPECT_EQ(report.items[0].type, rtp::RtcpItem::Type::SenderReport);
        EXPECT_EQ(report.items[0].senderSsrc, 102u);
        EXPECT_EQ(report.items[0].ntpTime, 0x1122334455667788ull);
        EXPECT_EQ(report.items[0].rtpTimestamp, 21000u);
        EXPECT_TRUE(report.items[0].reports.empty());
    }

    // Alice's own packet, report and receiver report did not come back: bob's is her first.
    bob.sendRtp(202, 1, "from bob");
    EXPECT_EQ(alice.receiveText(), "from bob");
    EXPECT_EQ(wang.receiveText(), "from bob");

    // The answer's key is kept nowhere but in the unit.
    bool sawAnswer = false;
    for (const auto& signal : server.sentSignals()) {
        if (signal.operation != "SendAnswer")
            continue;
        sawAnswer = true;
        ASSERT_EQ(signal.args.size(), 1u);
        EXPECT_EQ(signal.args[0].find(alice.keyText()), std::string::npos);
        EXPECT_EQ(signal.args[0].find(bob.keyText()), std::string::npos);
        EXPECT_NE(signal.args[0].find("inline:..."), std::string::npos);
    }
    EXPECT_TRUE(sawAnswer);
}

TEST_F(MediaUnitTest, ReceptionReportsReachTheSenderOfTheStreamTheyNameAndNobodyElse)
{
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));

    // Bob reports on alice's and wang's video, on his own audio and on a stream nobody sends.
    const rtp::ReportBlock onAlice{102, 51, 17, 70000, 12, 0x11223344, 0x10000};
    const rtp::ReportBlock onWang{302, 3, 1, 500, 4, 0, 0};
    Bytes rr;
    rtp::appendReceiverReport(rr, 201, {onAlice, rtp::ReportBlock{201}, onWang, rtp::ReportBlock{999}});
    bob.sendRtcp(rr);
    const auto fields = [](const rtp::ReportBlock& b) {
        return std::make_tuple(b.ssrc, b.fractionLost, b.cumulativeLost, b.highestSequence, b.jitter, b.lastSr,
                               b.delaySinceLastSr);
    };
    for (const auto& [sender, block] : {std::pair{&alice, onAlice}, std::pair{&wang, onWang}}) {
        const Received got = sender->receive();
        ASSERT_TRUE(got.rtcp);
        ASSERT_EQ(got.items.size(), 1u);
        EXPECT_EQ(got.items[0].type, rtp::RtcpItem::Type::ReceiverReport);
        EXPECT_EQ(got.items[0].senderSsrc, 201u) << "the reporter stays named";
        ASSERT_EQ(got.items[0].reports.size(), 1u);
        EXPECT_EQ(fields(got.items[0].reports[0]), fields(block));
    }
    // Nothing came back to bob, and nothing more went to the others: wang's packet is next.
    wang.sendRtp(302, 1, "from wang");
    EXPECT_EQ(bob.receiveText(), "from wang");
    EXPECT_EQ(alice.receiveText(), "from wang");
}

TEST_F(MediaUnitTest, APacketOfOneRoomNeverReachesAnother)
{
    const auto demoAccount = server.demoAccount();
    Participant alice(server, "alice"), bob(server, "bob"), demo(server, "demo"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    // The other room's demo picked alice's video SSRC by chance: the keys tell them apart.
    ASSERT_NO_FATAL_FAILURE(demo.enter(demoAccount.room, {401, 102}, demoAccount.meetPassword));
    ASSERT_NO_FATAL_FAILURE(wang.enter(demoAccount.room, {301, 302}, demoAccount.meetPassword));

    alice.sendRtp(102, 1, "alice's room");
    Bytes sr;
    rtp::appendSenderReport(sr, 102, 1, 2, 3, 4, {});
    alice.sendRtcp(sr);
    alice.sendRtcp(pli(101, 302));  // feedback naming a stream of the other room
    EXPECT_EQ(bob.receiveText(), "alice's room");
    EXPECT_TRUE(bob.receive().rtcp);
    demo.sendRtp(102, 1, "demo's room");
    EXPECT_EQ(wang.receiveText(), "demo's room");
    wang.sendRtp(302, 1, "from wang");
    EXPECT_EQ(demo.receiveText(), "from wang");
    bob.sendRtp(202, 1, "from bob");
    EXPECT_EQ(alice.receiveText(), "from bob");
    EXPECT_EQ(bob.receiveRaw(200ms), std::nullopt) << "demo's packet under alice's SSRC crossed over";
}

TEST_F(MediaUnitTest, PacketsOfSsrcsTheLegDidNotAnnounceAreDropped)
{
    Participant alice(server, "alice"), bob(server, "bob");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));

    alice.sendRtp(999, 1, "unannounced");
    alice.sendRtp(202, 1, "bob's SSRC");
    Bytes feedback = pli(999, 202);
    alice.sendRtcp(feedback);
    // Her own report first, then feedback in another's name.
    Bytes inAnothersName;
    rtp::appendReceiverReport(inAnothersName, 101, {});
    rtp::appendPli(inAnothersName, 201, 202);
    alice.sendRtcp(inAnothersName);
    alice.sendRtp(102, 1, "announced");
    const Received first = bob.receive();
    EXPECT_FALSE(first.rtcp);
    EXPECT_EQ(first.text, "announced");
}

TEST_F(MediaUnitTest, PacketsWithAWrongTagAreDropped)
{
    Participant alice(server, "alice"), bob(server, "bob");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));

    const Bytes genuine = alice.protectedRtp(102, 5, "genuine");
    Bytes payloadChanged = genuine;
    payloadChanged[14] ^= 0x04;
    Bytes tagChanged = genuine;
    tagChanged.back() ^= 0x80;
    SrtpSession stranger;
    std::array<uint8_t, SrtpSession::kKeyLength> strangerKey;
    velto_media::makeSrtpKey(strangerKey.data());
    ASSERT_TRUE(stranger.init(Direction::Outbound, strangerKey.data()));
    Bytes otherKey = rtpPlain(102, 5, "genuine");
    ASSERT_TRUE(stranger.protectRtp(otherKey));
    Bytes feedback = alice.protectedRtcp(pli(101, 202));
    feedback[9] ^= 0x01;

    for (const Bytes* forged : {&payloadChanged, &tagChanged, &otherKey, &feedback})
        alice.sendRaw(*forged);
    alice.sendRaw(genuine);  // the forgeries did not use up its place
    const Received first = bob.receive();
    EXPECT_FALSE(first.rtcp);
    EXPECT_EQ(first.text, "genuine");
}

TEST_F(MediaUnitTest, FeedbackReachesTheStreamsSenderWithPlisMergedWithinHalfASecond)
{
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));

    // A NACK goes to the sender of the stream it names, and only there.
    for (uint16_t sequence = 1; sequence <= 40; ++sequence) {
        alice.sendRtp(102, sequence, "video");
        EXPECT_EQ(bob.receiveText(), "video");
        EXPECT_EQ(wang.receiveText(), "video");
    }
    Bytes nack;
    rtp::appendNack(nack, 201, 102, {7, 8, 40});
    bob.sendRtcp(nack);
    Received got = alice.receive();
    ASSERT_TRUE(got.rtcp);
    ASSERT_EQ(got.items.size(), 1u);
    EXPECT_EQ(got.items[0].type, rtp::RtcpItem::Type::Nack);
    EXPECT_EQ(got.items[0].senderSsrc, 201u);
    EXPECT_EQ(got.items[0].mediaSsrc, 102u);
    EXPECT_EQ(got.items[0].nackSequences, (std::vector<uint16_t>{7, 8, 40}));

    // Two receivers that lose the same frame of alice's video ask for a
    // keyframe at once: she hears it once.
    alice.sendRtp(102, 41, kKeyframeStart);
    EXPECT_EQ(bob.receiveText(), kKeyframeStart);
    EXPECT_EQ(wang.receiveText(), kKeyframeStart);
    const auto firstPli = std::chrono::steady_clock::now();
    bob.sendRtcp(pli(201, 102));
    wang.sendRtcp(pli(301, 102));
    EXPECT_TRUE(isPli(alice.receive(), 201, 102));
    bob.sendRtcp(pli(201, 302));  // another stream is counted apart
    EXPECT_TRUE(isPli(wang.receive(), 201, 302));
    wang.sendRtp(302, 1, "after the keyframe requests");
    EXPECT_EQ(alice.receiveText(), "after the keyframe requests");
    EXPECT_EQ(bob.receiveText(), "after the keyframe requests") << "the NACK and PLIs went to bob";
    ASSERT_LT(std::chrono::steady_clock::now() - firstPli, 500ms) << "too slow a machine to tell";

    // Half a second on, the next request goes through.
    std::this_thread::sleep_until(firstPli + 550ms);
    wang.sendRtcp(pli(301, 102));
    EXPECT_TRUE(isPli(alice.receive(), 301, 102));
}

TEST_F(MediaUnitTest, PacketsThatOvertakeTheirAnswerCountOnceItComes)
{
    Participant alice(server, "alice"), bob(server, "bob");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    // Bob reports and asks for a keyframe of alice's video at once, as a
    // joining engine does; his answer reaches the unit only after them.
    ASSERT_NO_FATAL_FAILURE(bob.join(aliceRoom, {201, 202}));
    bob.report();
    bob.sendRtcp(pli(201, 102));
    std::this_thread::sleep_for(50ms);  // in the unit before the answer
    ASSERT_NO_FATAL_FAILURE(bob.answer());

    // The unit knows where bob is without another report, and alice heard his request.
    EXPECT_TRUE(isPli(alice.receive(), 201, 102));
    alice.sendRtp(102, 1, "to bob");
    EXPECT_EQ(bob.receiveText(), "to bob");

    // What nobody's answer opens is not kept for ever, nor taken for anybody's.
    Participant wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(wang.join(aliceRoom, {301, 302}));
    wang.sendRtcp(pli(301, 102));  // his own, but older than a second when his answer comes
    SrtpSession stranger;
    std::array<uint8_t, SrtpSession::kKeyLength> strangerKey;
    velto_media::makeSrtpKey(strangerKey.data());
    ASSERT_TRUE(stranger.init(Direction::Outbound, strangerKey.data()));
    Bytes forged = pli(301, 102);
    ASSERT_TRUE(stranger.protectRtcp(forged));
    wang.sendRaw(forged);
    std::this_thread::sleep_for(1500ms);  // held a second at most
    ASSERT_NO_FATAL_FAILURE(wang.answer());
    bob.sendRtp(202, 1, "from bob");
    EXPECT_EQ(alice.receiveText(), "from bob") << "the forged request, or one held over a second, got through";
}

TEST_F(MediaUnitTest, ANewcomersKeyframeRequestsAreNotMergedUntilAKeyframeReachedIt)
{
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    alice.sendRtp(102, 1, kKeyframeStart);
    EXPECT_EQ(bob.receiveText(), kKeyframeStart);
    const auto firstPli = std::chrono::steady_clock::now();
    bob.sendRtcp(pli(201, 102));
    EXPECT_TRUE(isPli(alice.receive(), 201, 102));

    // Wang comes in after that request: the keyframe it brings may have left
    // before the unit knew where he is, so his request goes through, and so
    // does his next one (that keyframe, or his request, may have gone
    // missing).
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));
    wang.sendRtcp(pli(301, 102));
    EXPECT_TRUE(isPli(alice.receive(), 301, 102));
    wang.sendRtcp(pli(301, 102));
    EXPECT_TRUE(isPli(alice.receive(), 301, 102));

    // Once a keyframe reached him, he is merged with the others.
    alice.sendRtp(102, 2, kKeyframeStart);
    EXPECT_EQ(bob.receiveText(), kKeyframeStart);
    EXPECT_EQ(wang.receiveText(), kKeyframeStart);
    bob.sendRtcp(pli(201, 102));
    wang.sendRtcp(pli(301, 102));
    wang.sendRtp(302, 1, "after the requests");
    EXPECT_EQ(alice.receiveText(), "after the requests");
    ASSERT_LT(std::chrono::steady_clock::now() - firstPli, 500ms) << "too slow a machine to tell";
}

TEST_F(MediaUnitTest, ALegEndsWithItsParticipantAndARejoinGetsFreshKeys)
{
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));
    bob.sendRtp(202, 2000, "before leaving");
    EXPECT_EQ(alice.receiveText(), "before leaving");
    EXPECT_EQ(wang.receiveText(), "before leaving");

    // Left: what bob still sends with his old key goes nowhere.
    Json::Value leave;
    leave["type"] = "leave";
    ASSERT_TRUE(bob.signal().request(leave));
    bob.sendRtp(202, 2001, "after leaving");
    wang.sendRtp(302, 1, "from wang");
    EXPECT_EQ(alice.receiveText(), "from wang");

    // Back with a fresh key, under the same SSRC from a lower sequence number.
    const Bytes oldKey = bob.unitKey();
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    EXPECT_NE(bob.unitKey(), oldKey);
    bob.sendRtp(202, 1, "back again");
    EXPECT_EQ(alice.receiveText(), "back again");
    EXPECT_EQ(wang.receiveText(), "back again");
    wang.sendRtp(302, 2, "welcome back");
    EXPECT_EQ(bob.receiveText(), "welcome back") << "nothing sent while he was away, nothing of his own";
    EXPECT_EQ(alice.receiveText(), "welcome back");

    // A connection that ends takes its leg along.
    ASSERT_TRUE(server.dropSignal(bob.signal().jid()));
    ASSERT_TRUE(alice.signal().waitFor([&](const Json::Value& m) {
        return m["type"] == "userRemoved" && m["jid"] == bob.signal().jid();
    }));
    bob.sendRtp(202, 2, "after the connection ended");
    wang.sendRtp(302, 3, "from wang again");
    EXPECT_EQ(alice.receiveText(), "from wang again");
}

// How an SSRC comes back after its sender left.
enum class Return { Rejoin, Newcomer };

TEST_F(MediaUnitTest, AReceiversSrtpIndicesNeverRepeatWhenAnSsrcIsAnnouncedAgain)
{
    // Bob sends 20 packets under SSRC 202 from `first`, leaves; then 202
    // comes back (bob rejoins, or wang comes in under it) and sends 20 from
    // `again`. Alice stays: her leg's key stays, and so does her session,
    // as an engine's does.
    struct Case {
        const char* name;
        Return how;
        uint16_t first;
        uint16_t again;
    };
    const Case cases[] = {
        {"a rejoin from within the numbers used", Return::Rejoin, 100, 110},
        {"a rejoin from lower", Return::Rejoin, 2000, 1},
        {"a newcomer from lower", Return::Newcomer, 3000, 5},
        {"a newcomer from far ahead", Return::Newcomer, 10, 40000},
        {"a rejoin after the numbers wrapped", Return::Rejoin, 65530, 3},
    };
    constexpr int kEach = 20;
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
        ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
        std::set<int64_t> indices;
        int64_t last = -1;
        const auto receiveAll = [&](uint16_t from) {
            for (int i = 0; i < kEach; ++i) {
                const std::string text = "packet " + std::to_string(from + i);
                const Received got = alice.receive();
                EXPECT_EQ(got.text, text);
                EXPECT_TRUE(indices.insert(got.index).second) << "index used again: " << got.index;
                EXPECT_EQ(got.index, last + 1) << "the sequence does not go on";
                last = got.index;
            }
        };
        for (int i = 0; i < kEach; ++i)
            bob.sendRtp(202, static_cast<uint16_t>(c.first + i), "packet " + std::to_string(c.first + i));
        last = c.first - 1;
        receiveAll(c.first);

        ASSERT_NO_FATAL_FAILURE(bob.leave());
        Participant& sender = c.how == Return::Rejoin ? bob : wang;
        ASSERT_NO_FATAL_FAILURE(sender.enter(aliceRoom, {c.how == Return::Rejoin ? 201u : 301u, 202}));
        for (int i = 0; i < kEach; ++i)
            sender.sendRtp(202, static_cast<uint16_t>(c.again + i), "packet " + std::to_string(c.again + i));
        receiveAll(c.again);

        ASSERT_NO_FATAL_FAILURE(sender.leave());
        ASSERT_NO_FATAL_FAILURE(alice.leave());
    }
}

TEST_F(MediaUnitTest, OldPacketsOfAnSsrcAnnouncedAgainAreReplays)
{
    // Alice sends something under 102, withdraws 102 and announces it again
    // (same leg, same key); then `replay` is sent, then a fresh packet:
    // bob's first datagram must be the fresh one.
    enum class Replay { Packet, Report, Restarted };
    struct Case {
        const char* name;
        Replay replay;
    };
    const Case cases[] = {
        {"a packet sent again as it was", Replay::Packet},
        {"a sender report sent again as it was", Replay::Report},
        {"a packet protected again at an index used", Replay::Restarted},
    };
    Participant alice(server, "alice"), bob(server, "bob");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
        ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
        const Bytes packet = alice.protectedRtp(102, 5, "old");
        Bytes sr;
        rtp::appendSenderReport(sr, 102, 1, 2, 3, 4, {});
        const Bytes report = alice.protectedRtcp(sr);
        alice.sendRaw(packet);
        EXPECT_EQ(bob.receiveText(), "old");
        alice.sendRaw(report);
        EXPECT_TRUE(bob.receive().rtcp);

        ASSERT_NO_FATAL_FAILURE(alice.announce({101}));
        ASSERT_NO_FATAL_FAILURE(alice.announce({101, 102}));
        switch (c.replay) {
        case Replay::Packet:
            alice.sendRaw(packet);
            break;
        case Replay::Report:
            alice.sendRaw(report);
            break;
        case Replay::Restarted:
            alice.restartSending(102);
            alice.sendRtp(102, 5, "again");
            break;
        }
        alice.sendRtp(102, 6, "fresh");
        const std::optional<Bytes> first = bob.receiveRaw();
        Received got;
        ASSERT_TRUE(first && bob.open(*first, &got)) << "bob cannot open what came first";
        EXPECT_FALSE(got.rtcp);
        EXPECT_EQ(got.text, "fresh");

        ASSERT_NO_FATAL_FAILURE(bob.leave());
        ASSERT_NO_FATAL_FAILURE(alice.leave());
    }
}

// What reached a sender of NACKs naming `media` until `end` came from the room.
std::vector<uint16_t> nackedUntil(Participant& sender, uint32_t media, const std::string& end)
{
    std::vector<uint16_t> sequences;
    for (;;) {
        const Received got = sender.receive();
        if (!got.rtcp && (got.text == end || got.text.empty()))
            return sequences;
        for (const rtp::RtcpItem& item : got.items)
            if (item.type == rtp::RtcpItem::Type::Nack && item.mediaSsrc == media)
                sequences.insert(sequences.end(), item.nackSequences.begin(), item.nackSequences.end());
    }
}

TEST_F(MediaUnitTest, AReceiversNacksReachTheSenderBounded)
{
    // Alice sends 102's packets 1 to 1100 to bob; bob sends `nacks`; alice
    // counts the sequence numbers that reach her.
    constexpr uint16_t kSent = 1100;
    const auto range = [](uint16_t from, uint16_t to) {
        std::vector<uint16_t> out;
        for (uint32_t s = from; s <= to; ++s)
            out.push_back(static_cast<uint16_t>(s));
        return out;
    };
    const auto repeated = [](std::vector<uint16_t> sequences, int times) {
        return std::vector<std::vector<uint16_t>>(static_cast<size_t>(times), sequences);
    };
    const auto split = [](const std::vector<uint16_t>& sequences) {
        std::vector<std::vector<uint16_t>> nacks;
        for (size_t i = 0; i < sequences.size(); i += 16)
            nacks.emplace_back(sequences.begin() + i, sequences.begin() + std::min(i + 16, sequences.size()));
        return nacks;
    };
    struct Case {
        const char* name;
        std::vector<std::vector<uint16_t>> nacks;
        size_t least;
        size_t most;  // 0: a second's budget and what time adds
    };
    const Case cases[] = {
        {"an engine asking for three packets five times", repeated({500, 501, 502}, 5), 15, 15},
        {"one packet asked for again and again", repeated({1050}, 40), 5, 5},
        {"packets never sent", {range(1101, 1116), {2000}, {60000}}, 0, 0},
        {"packets older than the last 1024", {range(1, 76)}, 0, 0},
        {"the oldest within them", {{77}}, 1, 1},
        {"a flood of every packet within them", split(range(77, kSent)), 400, 0},
    };
    Participant alice(server, "alice"), bob(server, "bob");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
        ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
        for (uint16_t sequence = 1; sequence <= kSent; ++sequence) {
            alice.sendRtp(102, sequence, "video");
            ASSERT_EQ(bob.receiveText(), "video");
        }
        const auto start = std::chrono::steady_clock::now();
        for (const std::vector<uint16_t>& sequences : c.nacks) {
            Bytes nack;
            rtp::appendReceiverReport(nack, 201, {});
            rtp::appendNack(nack, 201, 102, sequences);
            bob.sendRtcp(nack);
        }
        bob.sendRtp(202, 1, "end");
        const std::vector<uint16_t> nacked = nackedUntil(alice, 102, "end");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        const size_t most = c.most ? c.most : static_cast<size_t>(400 * (1 + took.count())) + 1;
        EXPECT_GE(nacked.size(), c.least);
        EXPECT_LE(nacked.size(), most);
        for (const uint16_t sequence : nacked)
            EXPECT_TRUE(sequence >= 77 && sequence <= kSent) << sequence;

        ASSERT_NO_FATAL_FAILURE(bob.leave());
        ASSERT_NO_FATAL_FAILURE(alice.leave());
    }
}

TEST_F(MediaUnitTest, AStreamAnnouncedAgainKeepsItsLossRecovery)
{
    // Alice sends 102 (resends under 103) to bob, rejoins, and sends 102
    // again from lower: bob's numbers go on, his NACKs reach her in hers, her
    // resends reach him in his.
    Participant alice(server, "alice"), bob(server, "bob");
    alice.pairResend(103, 102);
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102, 103}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    for (uint16_t sequence = 2000; sequence < 2010; ++sequence) {
        alice.sendRtp(102, sequence, "before");
        EXPECT_EQ(bob.receive().header.sequence, sequence);
    }
    ASSERT_NO_FATAL_FAILURE(alice.leave());
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102, 103}));
    // A resend before bob was sent anything of her new stream has no number of his.
    alice.sendRtp(103, 1, std::string{'\x07', '\xd5'} + "too early", velto_media::kVp8RtxPayloadType);
    // Nor does a NACK of bob's name one of hers.
    Bytes early;
    rtp::appendReceiverReport(early, 201, {});
    rtp::appendNack(early, 201, 102, {2005});
    bob.sendRtcp(early);
    bob.sendRtp(202, 1, "end");
    EXPECT_EQ(nackedUntil(alice, 102, "end"), std::vector<uint16_t>{});
    for (uint16_t sequence = 1; sequence <= 10; ++sequence) {
        alice.sendRtp(102, sequence, "after");
        EXPECT_EQ(bob.receive().header.sequence, 2009 + sequence);
    }

    // 2015 is alice's 6; 2005 was her earlier stream's, which is gone.
    Bytes nack;
    rtp::appendReceiverReport(nack, 201, {});
    rtp::appendNack(nack, 201, 102, {2005, 2015});
    bob.sendRtcp(nack);
    bob.sendRtp(202, 2, "end");
    EXPECT_EQ(nackedUntil(alice, 102, "end"), std::vector<uint16_t>{6});

    // Her resend of 6 names bob's 2015; one of a packet he was never sent goes nowhere.
    alice.sendRtp(103, 2, std::string{'\x00', '\x32'} + "never sent", velto_media::kVp8RtxPayloadType);
    alice.sendRtp(103, 3, std::string{'\x00', '\x06'} + "resent", velto_media::kVp8RtxPayloadType);
    const Received resend = bob.receive();
    EXPECT_EQ(resend.header.ssrc, 103u);
    ASSERT_GE(resend.text.size(), 2u);
    EXPECT_EQ(resend.text.substr(2), "resent");
    EXPECT_EQ((static_cast<uint8_t>(resend.text[0]) << 8) | static_cast<uint8_t>(resend.text[1]), 2015);
}

TEST_F(MediaUnitTest, ALegKeepsStateForABoundedNumberOfSsrcsEachWay)
{
    // SRTP state outlives a withdraw, so a member who announces ever new
    // SSRCs is what the bound (1024 a leg, each way) is for.
    constexpr uint32_t kBound = 1024;
    constexpr uint32_t kAlices = 1000000;
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301}));
    // Alice's key opens her reports' 101 and 1023 SSRCs more, three an answer.
    for (uint32_t ssrc = kAlices; ssrc < kAlices + kBound - 1; ssrc += 3) {
        std::vector<uint32_t> announced{101};
        for (uint32_t s = ssrc; s < std::min(ssrc + 3, kAlices + kBound - 1); ++s)
            announced.push_back(s);
        ASSERT_NO_FATAL_FAILURE(alice.announce(announced));
        for (size_t i = 1; i < announced.size(); ++i) {
            alice.sendRtp(announced[i], 1, "new");
            ASSERT_EQ(bob.receiveText(), "new");
            ASSERT_EQ(wang.receiveText(), "new");
        }
    }
    // Her key opens no SSRC more; one it opened before still goes through.
    ASSERT_NO_FATAL_FAILURE(alice.announce({101, kAlices + kBound - 1}));
    alice.sendRtp(kAlices + kBound - 1, 1, "one more");
    ASSERT_NO_FATAL_FAILURE(alice.announce({101, kAlices}));
    alice.sendRtp(kAlices, 2, "opened before");
    EXPECT_EQ(bob.receiveText(), "opened before");
    EXPECT_EQ(wang.receiveText(), "opened before");

    // Bob was sent 1023 of alice's: one of wang's fills his bound, the next
    // one reaches alice only.
    ASSERT_NO_FATAL_FAILURE(wang.announce({301, 302}));
    wang.sendRtp(302, 1, "fills it");
    EXPECT_EQ(bob.receiveText(), "fills it");
    EXPECT_EQ(alice.receiveText(), "fills it");
    ASSERT_NO_FATAL_FAILURE(wang.announce({301, 303}));
    wang.sendRtp(303, 1, "beyond it");
    EXPECT_EQ(alice.receiveText(), "beyond it");
    alice.sendRtp(kAlices, 3, "carried before");
    EXPECT_EQ(bob.receiveText(), "carried before");
}

TEST(MediaUnitLoss, TheLossOptionDropsForwardedPacketsAtRandom)
{
    LocalServer::Options options;
    options.mediaLossPercent = 50;
    options.mediaLossSeed = 7;
    LocalServer server(options);
    server.setCaBundleEnv();
    const std::string room = server.account("alice").room;
    Participant alice(server, "alice"), bob(server, "bob");
    // Checks and reports are lost too; the checks are repeated until one is answered.
    ASSERT_NO_FATAL_FAILURE(alice.enter(room, {101, 102}, "", 20));
    ASSERT_NO_FATAL_FAILURE(bob.enter(room, {201, 202}, "", 20));
    constexpr int kSent = 400;
    for (int i = 0; i < kSent; ++i)
        alice.sendRtp(102, static_cast<uint16_t>(i + 1), "packet");
    int arrived = 0;
    while (bob.receiveRaw(300ms))
        ++arrived;
    // Half lost on the way in, half of the rest on the way out: about a quarter arrive.
    EXPECT_GT(arrived, kSent * 15 / 100);
    EXPECT_LT(arrived, kSent * 35 / 100);
}

// A member that announces another member's SSRC, however it spells it, is
// refused: the stream stays the victim's, for the media and for the feedback.
TEST_F(MediaUnitTest, AnAnswerTakingAnotherMembersSsrcIsRefusedAndTheStreamStaysItsOwners)
{
    for (const char* spelling : {"102", "0102", "0000000102"}) {
        SCOPED_TRACE(spelling);
        Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
        ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
        ASSERT_NO_FATAL_FAILURE(wang.enter(aliceRoom, {301, 302}));
        ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));

        EXPECT_FALSE(bob.signal().request(bob.answerOf({"201", "202", spelling})));
        bob.sendRtp(102, 1, "bob as alice");
        alice.sendRtp(102, 1, "alice");
        EXPECT_EQ(wang.receiveText(), "alice");
        wang.sendRtcp(pli(301, 102));
        EXPECT_TRUE(isPli(alice.receive(), 301, 102)) << "the victim's keyframe requests stay hers";
        // Bob keeps what he had.
        bob.sendRtp(202, 1, "bob");
        EXPECT_EQ(wang.receiveText(), "bob");
        EXPECT_EQ(alice.receiveText(), "bob");
    }
}

// --- ICE-lite: checks choose where a member's media goes --------------------------------

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

TEST_F(MediaUnitTest, ASignedCheckIsAnsweredAndItsNominationTellsWhereTheMembersMediaGoes)
{
    Participant alice(server, "alice"), bob(server, "bob");
    alice.checkOnlyWhenAsked();
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));

    // The offer: a lite agent, the leg's own credentials, the unit's candidate.
    const std::string& sdp = alice.offerSdp();
    EXPECT_NE(sdp.find("\r\na=ice-lite\r\n"), std::string::npos) << sdp;
    EXPECT_LT(sdp.find("a=ice-lite"), sdp.find("\r\nm=")) << "at the session level";
    EXPECT_EQ(alice.unitCredentials().ufrag.size(), 8u);
    EXPECT_EQ(alice.unitCredentials().password.size(), 24u);
    EXPECT_NE(alice.unitCredentials().ufrag, bob.unitCredentials().ufrag);
    EXPECT_NE(alice.unitCredentials().password, bob.unitCredentials().password);
    EXPECT_EQ("candidate:" + sdpValue(sdp, "candidate"), alice.unitCandidate()) << "the same as the candidate message";

    // Alice's report, authentic, told the unit nothing of where she is; a
    // check that does not nominate is answered, but chooses nothing either.
    bob.sendRtp(202, 0, "before any check");
    EXPECT_FALSE(alice.receiveRaw(300ms)) << "sent where alice's report came from";
    const std::optional<sockaddr_in> mapped = alice.check(false);
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(sameAddress(*mapped, alice.address())) << "XOR-MAPPED-ADDRESS names where the check came from";
    bob.sendRtp(202, 1, "before the nomination");
    EXPECT_FALSE(alice.receiveRaw(300ms));

    ASSERT_TRUE(alice.check(true));
    bob.sendRtp(202, 2, "after the nomination");
    EXPECT_EQ(alice.receiveText(), "after the nomination");
}

TEST_F(MediaUnitTest, AForgedPacketFromAnotherAddressDoesNotMoveAMembersMedia)
{
    // Alice's own packets, authentic, but from a bystander's address: before
    // her agent checked (they would give her media its first address), and
    // after (they would move it).
    for (const bool checkedFirst : {false, true}) {
        SCOPED_TRACE(checkedFirst ? "after her check" : "before any check of hers");
        Participant alice(server, "alice"), bob(server, "bob");
        alice.checkOnlyWhenAsked();
        ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
        ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
        if (checkedFirst) {
            ASSERT_TRUE(alice.check(true));
        }

        const int bystander = udpSocket();
        for (Bytes packet : {alice.protectedRtp(102, 40, "forged"), alice.protectedRtcp([] {
                                 Bytes rr;
                                 rtp::appendReceiverReport(rr, 101, {});
                                 return rr;
                             }())}) {
            const sockaddr_in unit = alice.unitAddress();
            ASSERT_EQ(sendto(bystander, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&unit),
                             sizeof unit),
                      static_cast<ssize_t>(packet.size()));
        }
        EXPECT_EQ(bob.receiveText(), "forged") << "authentic media is still forwarded";

        bob.sendRtp(202, 1, "to alice");
        if (checkedFirst) {
            EXPECT_EQ(alice.receiveText(), "to alice");
        } else {
            EXPECT_FALSE(alice.receiveRaw(300ms)) << "sent to alice before she checked";
        }
        pollfd fd{bystander, POLLIN, 0};
        EXPECT_EQ(poll(&fd, 1, 300), 0) << "the bystander got the room's media";
        close(bystander);
    }
}

TEST_F(MediaUnitTest, ASignedCheckFromANewAddressMovesANominatedMembersMedia)
{
    Participant alice(server, "alice"), bob(server, "bob");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_TRUE(alice.check(true));

    // Alice's network changed; her agent's consent checks now come from elsewhere.
    alice.moveSocket();
    const std::optional<sockaddr_in> mapped = alice.check(false);
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(sameAddress(*mapped, alice.address()));
    bob.sendRtp(202, 1, "to the new address");
    EXPECT_EQ(alice.receiveText(), "to the new address");
}

TEST_F(MediaUnitTest, ChecksThatAreNotSignedWithTheLegsPasswordGetNoAnswerAndChangeNothing)
{
    Participant alice(server, "alice"), bob(server, "bob");
    ASSERT_NO_FATAL_FAILURE(alice.enter(aliceRoom, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(aliceRoom, {201, 202}));
    ASSERT_TRUE(alice.check(true));
    const Credentials own = alice.unitCredentials();
    const Credentials bobs = bob.unitCredentials();

    const std::vector<std::pair<const char*, Credentials>> cases = {
        {"another password", {own.ufrag, "abcdefghijklmnopqrstuvwx"}},
        {"not signed", {own.ufrag, ""}},
        {"an unknown ufrag", {"zzzzzzzz", own.password}},
        {"another leg's ufrag", {bobs.ufrag, own.password}},
    };
    uint16_t sequence = 1;
    for (const auto& [name, credentials] : cases) {
        SCOPED_TRACE(name);
        // From another address, nominating it: had it counted, alice's media would go there.
        alice.moveSocket();
        EXPECT_FALSE(alice.check(true, credentials, 300ms));
        bob.sendRtp(202, sequence, "elsewhere");
        EXPECT_FALSE(alice.receiveRaw(300ms)) << "the check moved alice's media";
        ++sequence;
    }
    // Her own checks still count.
    ASSERT_TRUE(alice.check(true));
    bob.sendRtp(202, sequence, "after a signed check");
    EXPECT_EQ(alice.receiveText(), "after a signed check");
}

TEST(MediaUnitConsent, NothingMoreGoesToAMemberWhoseChecksStoppedUntilItChecksAgain)
{
    LocalServer::Options options;
    options.mediaConsentMs = 1500;
    LocalServer server(options);
    server.setCaBundleEnv();
    const std::string room = server.account("alice").room;
    Participant alice(server, "alice"), bob(server, "bob"), wang(server, "wang");
    ASSERT_NO_FATAL_FAILURE(alice.enter(room, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(room, {201, 202}));
    ASSERT_NO_FATAL_FAILURE(wang.enter(room, {301, 302}));
    bob.sendRtp(202, 1, "while consented");
    EXPECT_EQ(alice.receiveText(), "while consented");
    EXPECT_EQ(wang.receiveText(), "while consented");

    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(wang.check(false)) << "wang's agent goes on checking";
    bob.sendRtp(202, 2, "after consent ran out");
    EXPECT_EQ(wang.receiveText(), "after consent ran out");
    EXPECT_FALSE(alice.receiveRaw(300ms)) << "sent without consent";

    // A consent check (no nomination) from where her media went.
    ASSERT_TRUE(alice.check(false));
    bob.sendRtp(202, 3, "consented again");
    EXPECT_EQ(alice.receiveText(), "consented again");
}

// --- the server on a network, reached from another machine ------------------------------

TEST(ServerOnANetwork, AllItHandsOutNamesItsAddressWhichItsCertificateNamesAndMediaCrossesWithChecks)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    NetworkLab lab;
    const std::string serverMachine = lab.add("server"), clientMachine = lab.add("client");
    lab.link(serverMachine, "192.0.2.1/24", clientMachine, "192.0.2.2/24");
    LocalServer::Options options;
    options.networkNamespace = serverMachine;
    options.listen = "192.0.2.1";
    options.iceServers = {"turn:198.51.100.7:3478?transport=tcp,lan,pass,word", "stun:198.51.100.7"};
    // Everything of this test (the server's control included) is on the client machine.
    NetworkLab::Inside inside(clientMachine);
    LocalServer server(options);
    server.setCaBundleEnv();

    // The REST client verifies the certificate for 192.0.2.1 against the run's CA.
    velto::test::Rest rest(server);
    const velto::test::Account account = server.account("alice");
    const Json::Value answer = rest.call("GET", "/clientApi/loginClient?username=" + account.userName +
                                                    "&password=" + account.password + "&clientType=pc-win&domain=");
    ASSERT_EQ(answer["code"].asInt(), 200) << answer;
    const Json::Value& login = answer["obj"];
    EXPECT_EQ(login["messageServer"].asString(), "192.0.2.1");
    const Json::Value& ice = login["turn"]["iceServers"];
    ASSERT_EQ(ice.size(), 4u) << ice;
    EXPECT_EQ(ice[0]["url"].asString(), "stun:192.0.2.1:3478");
    EXPECT_EQ(ice[1]["url"].asString(), "turn:192.0.2.1:3478?transport=udp");
    EXPECT_FALSE(ice[1]["credential"].asString().empty()) << "the first credential is the message service's key";
    EXPECT_EQ(ice[2]["url"].asString(), "turn:198.51.100.7:3478?transport=tcp");
    EXPECT_EQ(ice[2]["username"].asString(), "lan");
    EXPECT_EQ(ice[2]["credential"].asString(), "pass,word");
    EXPECT_EQ(ice[3]["url"].asString(), "stun:198.51.100.7");
    EXPECT_EQ(ice[3]["credential"].asString(), "");

    // The signalling (TLS verified as well) and the media, across the link.
    Participant alice(server, "alice", "192.0.2.2"), bob(server, "bob", "192.0.2.2");
    ASSERT_NO_FATAL_FAILURE(alice.enter(account.room, {101, 102}));
    ASSERT_NO_FATAL_FAILURE(bob.enter(account.room, {201, 202}));
    std::string host;
    int port = 0;
    ASSERT_TRUE(velto_platform::readHostCandidate(alice.unitCandidate(), &host, &port));
    EXPECT_EQ(host, "192.0.2.1");
    EXPECT_EQ("candidate:" + sdpValue(alice.offerSdp(), "candidate"), alice.unitCandidate());
    const std::optional<sockaddr_in> mapped = alice.check(true);
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(sameAddress(*mapped, alice.address()));
    ASSERT_TRUE(bob.check(true));
    bob.sendRtp(202, 1, "across the link");
    EXPECT_EQ(alice.receiveText(), "across the link");
}

// The lab itself: a NAT router hides the inside behind its outer address, and
// a blocked namespace sends no UDP.
TEST(NetworkLabTest, ARouterMasqueradesTheInsideAndDropUdpBlocksIt)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    NetworkLab lab;
    const std::string inner = lab.add("inner"), router = lab.add("router"), outer = lab.add("outer");
    lab.link(inner, "192.0.2.2/24", router, "192.0.2.1/24");
    const auto [routerOut, outerIn] = lab.link(router, "198.51.100.1/24", outer, "198.51.100.2/24");
    lab.route(inner, "192.0.2.1");
    lab.masquerade(router, routerOut);

    int sender = -1, receiver = -1;
    {
        NetworkLab::Inside inside(inner);
        sender = udpSocket("192.0.2.2");
    }
    {
        NetworkLab::Inside inside(outer);
        receiver = udpSocket("198.51.100.2");
    }
    const sockaddr_in to = localAddress(receiver);
    const char hello[] = "hello";
    const auto sendOne = [&] {
        return sendto(sender, hello, sizeof hello, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    ASSERT_EQ(sendOne(), static_cast<ssize_t>(sizeof hello));
    pollfd fd{receiver, POLLIN, 0};
    ASSERT_EQ(poll(&fd, 1, 5000), 1) << "nothing crossed the router";
    char buffer[64];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ASSERT_GT(recvfrom(receiver, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length), 0);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    EXPECT_STREQ(text, "198.51.100.1") << "the router's outer address, not the inside's";

    lab.dropUdp(inner);
    sendOne();  // refused at once (EPERM), or dropped on the way
    EXPECT_EQ(poll(&fd, 1, 500), 0) << "UDP left a blocked namespace";
    close(sender);
    close(receiver);
}

// A TURN allocation as a client asks it over UDP: the relayed address, or
// none when the server refuses it (after the challenge of its realm and nonce).
std::optional<std::string> allocate(int fd, const sockaddr_in& server, const std::string& user,
                                    const std::string& password)
{
    static const uint16_t kKnown[] = {STUN_ATTRIBUTE_USERNAME, STUN_ATTRIBUTE_MESSAGE_INTEGRITY,
                                      STUN_ATTRIBUTE_ERROR_CODE, STUN_ATTRIBUTE_REALM, STUN_ATTRIBUTE_NONCE,
                                      STUN_ATTRIBUTE_XOR_RELAYED_ADDRESS, STUN_ATTRIBUTE_XOR_MAPPED_ADDRESS,
                                      STUN_ATTRIBUTE_LIFETIME, STUN_ATTRIBUTE_FINGERPRINT, 0};
    StunAgent agent;
    stun_agent_init(&agent, kKnown, STUN_COMPATIBILITY_RFC5389,
                    static_cast<StunAgentUsageFlags>(STUN_AGENT_USAGE_LONG_TERM_CREDENTIALS |
                                                     STUN_AGENT_USAGE_USE_FINGERPRINT));
    StunMessage request, response;
    uint8_t out[1280];
    std::vector<uint8_t> in(1280);
    bool challenged = false;
    for (int round = 0; round < 2; ++round) {
        const size_t length = stun_usage_turn_create(
            &agent, &request, out, sizeof out, challenged ? &response : nullptr, STUN_USAGE_TURN_REQUEST_PORT_NORMAL,
            -1, -1, reinterpret_cast<uint8_t*>(const_cast<char*>(user.data())), user.size(),
            reinterpret_cast<uint8_t*>(const_cast<char*>(password.data())), password.size(),
            STUN_USAGE_TURN_COMPATIBILITY_RFC5766);
        EXPECT_GT(length, 0u);
        // Sent again each second, as STUN clients do: a server just started may miss the first.
        bool answered = false;
        for (int tries = 0; tries < 5 && !answered; ++tries) {
            EXPECT_EQ(sendto(fd, out, length, 0, reinterpret_cast<const sockaddr*>(&server), sizeof server),
                      static_cast<ssize_t>(length));
            pollfd pfd{fd, POLLIN, 0};
            answered = poll(&pfd, 1, 1000) == 1;
        }
        if (!answered) {
            ADD_FAILURE() << "no answer from the TURN server";
            return std::nullopt;
        }
        const ssize_t got = recv(fd, in.data(), in.size(), 0);
        if (got <= 0)
            return std::nullopt;
        const StunValidationStatus valid =
            stun_agent_validate(&agent, &response, in.data(), static_cast<size_t>(got), nullptr, nullptr);
        if (valid != STUN_VALIDATION_SUCCESS) {
            ADD_FAILURE() << "an answer that does not validate: " << valid;
            return std::nullopt;
        }
        sockaddr_storage relay{}, mapped{}, alternate{};
        socklen_t relayLength = sizeof relay, mappedLength = sizeof mapped, alternateLength = sizeof alternate;
        uint32_t bandwidth = 0, lifetime = 0;
        const StunUsageTurnReturn result =
            stun_usage_turn_process(&response, &relay, &relayLength, &mapped, &mappedLength, &alternate,
                                    &alternateLength, &bandwidth, &lifetime, STUN_USAGE_TURN_COMPATIBILITY_RFC5766);
        if (result == STUN_USAGE_TURN_RETURN_RELAY_SUCCESS || result == STUN_USAGE_TURN_RETURN_MAPPED_SUCCESS) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(relay).sin_addr, text, sizeof text);
            return std::string(text);
        }
        int code = 0;
        if (stun_message_find_error(&response, &code) != STUN_MESSAGE_RETURN_SUCCESS || code != 401)
            return std::nullopt;
        challenged = true;  // 401 with the realm and nonce: once more with the credentials
    }
    return std::nullopt;
}

TEST(NetworkLabTest, ATurnServerStartedByHandRelaysForItsUserOnly)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    NetworkLab lab;
    const std::string relay = lab.add("relay"), client = lab.add("client");
    lab.link(relay, "203.0.113.1/24", client, "203.0.113.2/24");
    char dir[] = "/tmp/velto_turn.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    lab.startTurnServer(relay, "203.0.113.1", 3478, "lan", "secret", dir);

    NetworkLab::Inside inside(client);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(3478);
    inet_pton(AF_INET, "203.0.113.1", &server.sin_addr);
    const std::vector<std::tuple<const char*, std::string, std::string, std::optional<std::string>>> cases = {
        {"its user", "lan", "secret", "203.0.113.1"},
        {"a wrong password", "lan", "guess", std::nullopt},
        {"another user", "velto", "secret", std::nullopt},
    };
    for (const auto& [name, user, password, relayed] : cases) {
        SCOPED_TRACE(name);
        const int fd = udpSocket("203.0.113.2");
        EXPECT_EQ(allocate(fd, server, user, password), relayed);
        close(fd);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
