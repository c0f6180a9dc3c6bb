#pragma once
// The forwarding unit: where the participants' media meets. One UDP socket on
// the server's address carries every leg's RTP, RTCP (multiplexed) and STUN;
// SRTP ends here on each leg, so each packet is checked with its sender's key
// and protected anew with each receiver's.
//
// A leg is one participant's join: the key the unit sends to it with (fresh,
// in the server's offer), the key it sends with (from its answer), the SSRCs
// it announced and the address media goes to. A packet is taken only from a
// leg that announced its SSRC and only when it authenticates with that leg's
// key.
//
// ICE-lite: each offer carries the leg's own ufrag and password and the
// unit's candidate; the participant's agent checks the path with STUN Binding
// requests signed with that password, which the unit answers. Only such a
// check takes or moves a leg's address (one nominating it, or, on a leg
// already nominated, one from a new address: the member's network changed),
// so a packet with a forged source address never turns the room's media
// elsewhere. Without a check for the consent time (30 s) nothing more goes to
// the leg. Unauthenticated checks get no answer and change nothing. RTP goes to every other leg of the same
// room (the receivers choose what they draw); sender reports likewise; NACK
// and PLI go to the leg that announced the stream they name (PLIs for one
// stream at most one per 500 ms), and so does each reception report block
// (from receiver and sender reports alike), in a receiver report under its
// reporter's SSRC: the sender sets its rate from them. Nothing goes back to
// the leg it came from, nothing crosses rooms.
//
// A participant reports at once after it answered, and its report often
// overtakes the answer on its way through the message service: packets that
// no leg takes while a leg still waits for its key or its SSRCs are held a
// moment (a few, briefly) and tried again when that leg's answer comes, so
// that a joining participant's first reports and keyframe requests count.
//
// PLIs are merged only among receivers that were sent a keyframe of that
// stream before: one that never had one (it just joined, or the keyframe it
// asked for went missing on the way) has no use for a keyframe that may have
// left before it was there, so each of its requests goes on (it limits them
// itself).
//
// Keys: a leg's key is never used twice at one SRTP index (RFC 3711 9.1). Its
// SRTP state for an SSRC lives as long as the key, on both sides: a stream
// that is withdrawn and announced again (by its sender, or by a newcomer under
// a leaver's SSRC) goes on, at each receiver, from the next sequence number
// that receiver has not seen (the unit adds an offset per receiver and SSRC,
// to the resends' original sequence numbers too, and takes it off the NACKs),
// and old packets of it are refused as replays. A rejoin is a new leg with
// new keys and starts afresh. Each leg keeps state for a bounded number of
// SSRCs each way (kMaxStreamsPerLeg); beyond it, new SSRCs are not carried.
//
// NACKs are bounded per receiver: only packets it was sent of the stream's
// current announcement, recently, each at most a few times, a few hundred
// sequence numbers a second; the rest is dropped before it reaches the
// sender. Feedback and reports are taken only under the SSRCs their leg
// announced.
//
// Threads: one network thread, blocked in poll() on the socket and an eventfd
// that stop() signals; owned here and joined by stop(). The leg calls come
// from the message service's thread; one mutex guards the legs. Keys are never
// logged.
#include <netinet/in.h>

#include <chrono>
#include <deque>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace velto_media {
class SrtpSession;
namespace rtp {
struct RtcpItem;
}
}
struct stun_agent_t;  // libnice's StunAgent

namespace velto::server {

class MediaUnit {
public:
    struct Options {
        in_addr address{htonl(INADDR_LOOPBACK)};  // where the socket is, named in the candidate
        int port = 0;                     // 0 = any free port
        int lossPercent = 0;              // forwarded packets dropped at random, both directions
        std::optional<uint32_t> lossSeed; // for a repeatable run; none = a random seed
        // Nothing more goes to a checking leg whose last check is this old.
        std::chrono::milliseconds consent{30000};
    };

    explicit MediaUnit(Options options);
    ~MediaUnit();
    MediaUnit(const MediaUnit&) = delete;
    MediaUnit& operator=(const MediaUnit&) = delete;

    // Opens the socket; the port, or -1 when it cannot be had.
    int bind();
    void start();
    // Ends and joins the network thread; nothing is sent afterwards.
    void stop();

    // --- legs (thread-safe) -------------------------------------------------
    // Opens the leg `leg` (one join) in `room` and returns `offerSdp` with the
    // fresh key the unit sends to it with, and the unit's ICE-lite lines: its
    // fresh ufrag and password for the leg, and its candidate. A leg of that
    // name is replaced.
    std::string offer(const std::string& leg, const std::string& room, const std::string& offerSdp);
    // The candidate that names the unit, for the participants.
    std::string candidate() const;
    // An answer of the leg's participant: its key, when the answer carries
    // one, becomes the one its packets must authenticate with.
    void answer(const std::string& leg, const std::string& answerSdp);
    // The SSRCs the leg announced, all its answers together, as they stand now.
    void setStreams(const std::string& leg, const std::vector<std::string>& ssrcs);
    void closeLeg(const std::string& leg);

    // --- test control (thread-safe) ------------------------------------------
    // From now on this share (0-100) of the forwarded packets is dropped.
    void setLossPercent(int percent);
    // Back to the share it was started with.
    void resetLoss() { setLossPercent(options_.lossPercent); }

private:
    struct OutStream;
    struct Leg;
    using Clock = std::chrono::steady_clock;

    void closeLegLocked(const std::string& leg);
    void forgetStreams(Leg& owner, const std::vector<uint32_t>& ssrcs);
    void run();
    void receiveAll();
    void handle(std::vector<uint8_t>& packet, const sockaddr_in& from);
    // A STUN message: a leg's authenticated check is answered and may take or
    // move its address; anything else is dropped. Needs mutex_.
    void handleStunLocked(const std::vector<uint8_t>& packet, const sockaddr_in& from, Clock::time_point now);
    // A datagram that passed the loss: forwarded, or held while a leg waits
    // for its answer; needs mutex_.
    void handleLocked(std::vector<uint8_t>& packet, const sockaddr_in& from, Clock::time_point now);
    // The packet of the leg that announced its SSRC and whose key opens it
    // (in place), null when none; needs mutex_.
    Leg* sourceOfLocked(std::vector<uint8_t>& packet, bool rtcp);
    // Held packets that a leg's answer now opens are taken as if they came
    // now; needs mutex_.
    void retryHeldLocked();
    void forwardRtp(const Leg& source, const std::vector<uint8_t>& packet);
    void routeRtcp(Leg& source, const std::vector<uint8_t>& packet);
    // The sequence numbers of a NACK from `receiver` that go on to `sender`,
    // in the sender's numbering; spends the receiver's NACK budget.
    std::vector<uint16_t> boundNack(Leg& receiver, const Leg& sender, const velto_media::rtp::RtcpItem& item,
                                    Clock::time_point now);
    // The report blocks of `item` on streams of other legs, as a receiver report for each such leg.
    void forwardReceptionReports(const Leg& source, const velto_media::rtp::RtcpItem& item,
                                 std::map<Leg*, std::vector<uint8_t>>& out);
    // False when nothing went out (no address yet, no consent, or lost).
    bool sendTo(Leg& leg, std::vector<uint8_t> packet, bool rtcp);
    // Whether the leg may be sent to now: it has an address, and when it checks, a fresh check.
    bool consentedLocked(Leg& leg, Clock::time_point now);
    bool lost();

    const Options options_;
    int socket_ = -1;
    int wake_ = -1;  // eventfd: stop
    int port_ = -1;
    std::thread thread_;
    std::vector<uint8_t> buffer_;  // the network thread's, for one datagram
    std::unique_ptr<stun_agent_t> stun_;  // the network thread's: checks and their answers

    std::mutex mutex_;  // guards everything below
    std::map<std::string, std::unique_ptr<Leg>> legs_;
    struct Held {
        std::vector<uint8_t> packet;
        sockaddr_in from;
        Clock::time_point arrived;
    };
    std::deque<Held> held_;  // oldest first
    int lossPercent_;
    std::mt19937 random_;
    uint64_t announcements_ = 0;  // SSRC announcements so far: each one's number
};

}  // namespace velto::server
