#include "MediaUnit.h"

#include "MediaSdp.h"
#include "StandInSdp.h"
#include "rtp/Rtcp.h"
#include "rtp/RtpPacket.h"
#include "rtp/Vp8Payload.h"
#include "transport/Retransmission.h"
#include "transport/SrtpSession.h"

#include <openssl/rand.h>
#include <stun/stunagent.h>
#include <stun/usages/ice.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <tuple>

namespace velto::server {

namespace rtp = velto_media::rtp;
using velto_media::SrtpSession;

namespace {

constexpr auto kPliInterval = std::chrono::milliseconds(500);
// Packets that arrive before their leg's answer: how many are held, how long.
constexpr size_t kMaxHeld = 32;
constexpr auto kHoldFor = std::chrono::seconds(1);
constexpr size_t kMaxDatagram = 65536;
constexpr int kBatch = 256;                // datagrams read before stop is looked at again
constexpr int kSocketBuffer = 4 << 20;     // a screen keyframe to nine receivers fits
// SSRCs a leg's SRTP sessions hold state for, each way. That state lives as
// long as the leg's key, so this is what a member announcing ever new SSRCs
// can make the unit keep; a participant uses a handful per join.
constexpr size_t kMaxStreamsPerLeg = 1024;
// A receiver's NACKs: how far behind the newest packet it was sent it may ask
// (about the second of history a sender keeps), how often for one packet (as
// often as an engine asks), how many sequence numbers a second (a second's
// worth at once).
constexpr int64_t kNackReach = 1024;
constexpr int kMaxNackAsks = 5;
constexpr double kNackItemsPerSecond = 400;
// Packets whose asks a receiver's streams remember, all together: at the
// rate above, those of the last ten seconds.
constexpr size_t kMaxAskedPerLeg = 4096;

constexpr size_t kUfragLength = 8;
constexpr size_t kPasswordLength = 24;
constexpr size_t kMaxStunAnswer = 1280;

void logLine(const std::string& line) { std::cerr << "velto_server: media: " << line << std::endl; }

// Letters and digits from the system's random source (the password is a
// secret: a guessed one would let anyone move the leg); empty when it fails.
std::string randomIceText(size_t length)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr unsigned kCount = sizeof kChars - 1;  // 62
    std::string text;
    while (text.size() < length) {
        unsigned char bytes[32];
        if (RAND_bytes(bytes, sizeof bytes) != 1)
            return std::string();
        for (const unsigned char b : bytes)
            if (b < 256 / kCount * kCount && text.size() < length)  // no bias towards the first letters
                text.push_back(kChars[b % kCount]);
    }
    return text;
}

// The SDP text with `lines` (each without line end) before its first "m="
// line, at the session level; line ends as the text's own.
std::string withSessionLines(const std::string& sdp, const std::vector<std::string>& lines)
{
    const std::string lineEnd = sdp.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string block;
    for (const std::string& line : lines)
        block += line + lineEnd;
    if (sdp.compare(0, 2, "m=") == 0)
        return block + sdp;
    const size_t at = sdp.find("\nm=");
    if (at == std::string::npos) {
        std::string result = sdp;
        if (!result.empty() && result.back() != '\n')
            result += lineEnd;
        return result + block;
    }
    return sdp.substr(0, at + 1) + block + sdp.substr(at + 1);
}

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

std::string addressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool readSsrc(const std::string& text, uint32_t* ssrc)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long value = std::stoull(text);
    if (value > 0xffffffffull)
        return false;
    *ssrc = static_cast<uint32_t>(value);
    return true;
}

// Whether an RTP packet (in clear) starts a VP8 keyframe; its SSRC in *ssrc.
bool startsKeyframe(const std::vector<uint8_t>& packet, uint32_t* ssrc)
{
    rtp::RtpHeader header;
    rtp::Vp8Descriptor descriptor;
    if (!rtp::parseRtp(packet.data(), packet.size(), &header) || header.payloadType != rtp::kVp8PayloadType)
        return false;
    const uint8_t* payload = packet.data() + header.headerSize;
    const size_t size = packet.size() - header.headerSize - header.paddingSize;
    if (!rtp::parseVp8Descriptor(payload, size, &descriptor) || !descriptor.start || descriptor.partition != 0)
        return false;
    *ssrc = header.ssrc;
    return rtp::isVp8Keyframe(payload + descriptor.size, size - descriptor.size);
}

void writeSequence(std::vector<uint8_t>& packet, size_t at, uint16_t sequence)
{
    packet[at] = static_cast<uint8_t>(sequence >> 8);
    packet[at + 1] = static_cast<uint8_t>(sequence);
}

// Resend SSRC -> media SSRC, as receivers pair them: of the video sources of
// one owner, stream and track, the first is the media stream, the next its
// resends.
std::map<uint32_t, uint32_t> resendPairs(const std::string& sdp)
{
    std::map<uint32_t, uint32_t> pairs;
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<uint32_t>> tracks;
    for (const velto_platform::SdpSource& source : velto_platform::ReadSdpSources(sdp)) {
        uint32_t ssrc = 0;
        if (source.kind != "video" || !readSsrc(source.ssrc, &ssrc))
            continue;
        std::vector<uint32_t>& ssrcs = tracks[std::make_tuple(source.cname, source.streamLabel, source.trackLabel)];
        if (ssrcs.size() == 1 && ssrcs[0] != ssrc)
            pairs[ssrc] = ssrcs[0];
        ssrcs.push_back(ssrc);
    }
    return pairs;
}

}  // namespace

// One SSRC as one leg receives it, for as long as the leg's key: each
// announcement of the SSRC goes on where the last one stood, so that the
// sending session never reaches an index twice and the receiver's replay
// window takes the new packets. Sequence numbers are the leg's own: the
// sender's plus `offset`, extended (with the rollover count) as libsrtp
// does.
struct MediaUnit::OutStream {
    uint64_t announcement = 0;  // whose packets it carries now; 0: none yet
    uint16_t offset = 0;
    int64_t first = -1;    // of this announcement
    int64_t highest = -1;  // of all it was sent
    std::map<int64_t, int> asked;  // NACKs per packet of this announcement, the newest kNackReach

    bool carries(uint64_t a) const { return a != 0 && a == announcement; }

    int64_t extend(uint16_t sequence) const
    {
        if (highest < 0)
            return sequence;
        return highest + static_cast<int16_t>(static_cast<uint16_t>(sequence - static_cast<uint16_t>(highest)));
    }

    // The leg's sequence number for the sender's `sequence` of announcement
    // `a`; none for a packet from before the first of it the leg was sent
    // (those numbers were another announcement's).
    std::optional<uint16_t> map(uint64_t a, uint16_t sequence)
    {
        if (a != announcement) {
            announcement = a;
            offset = highest < 0 ? 0 : static_cast<uint16_t>(highest + 1 - sequence);
            first = highest < 0 ? sequence : highest + 1;
            asked.clear();
        }
        const uint16_t own = static_cast<uint16_t>(sequence + offset);
        const int64_t extended = extend(own);
        if (extended < first)
            return std::nullopt;
        highest = std::max(highest, extended);
        return own;
    }
};

struct MediaUnit::Leg {
    std::string room;
    SrtpSession toParticipant;    // with the unit's key, from the offer
    SrtpSession fromParticipant;  // with the participant's key, from its answer
    std::vector<uint8_t> participantKey;  // empty until an answer carried one
    std::set<uint32_t> ssrcs;
    // ICE-lite: the leg's credentials from the offer; the participant's checks
    // are signed with the password.
    std::string ufrag;
    std::string password;
    sockaddr_in address{};
    bool latched = false;    // there is an address to send to
    bool nominated = false;  // a check named the address to use
    Clock::time_point lastCheck;  // the last authenticated check from `address`
    bool consentLost = false;     // said once in the log
    std::set<uint32_t> keyframesSent;  // others' video streams it was sent a keyframe of
    std::map<uint32_t, Clock::time_point> lastPli;  // of this leg's streams
    std::map<uint32_t, uint64_t> announcements;  // of its SSRCs: which announcement they are
    std::map<uint32_t, uint32_t> mediaOfResend;  // its resend SSRCs -> media SSRCs, from its answers
    std::set<uint32_t> opened;  // SSRCs its key opened packets of: fromParticipant holds state for each
    std::map<uint32_t, OutStream> outStreams;  // what toParticipant carried, by SSRC
    bool warnedFull = false;
    double nackBudget = kNackItemsPerSecond;
    Clock::time_point nackBudgetAt = Clock::now();
    std::deque<std::pair<uint32_t, int64_t>> askedOrder;  // (SSRC, sequence) of its streams' asks, oldest first

    // The SSRC's stream to this leg, created on first use; null when the leg
    // already carries as many as it may.
    OutStream* outStream(uint32_t ssrc)
    {
        const auto it = outStreams.find(ssrc);
        if (it != outStreams.end())
            return &it->second;
        if (outStreams.size() >= kMaxStreamsPerLeg) {
            if (!warnedFull)
                logLine("a participant was sent as many streams as its key may carry; new ones do not reach it");
            warnedFull = true;
            return nullptr;
        }
        return &outStreams[ssrc];
    }
};

MediaUnit::MediaUnit(Options options)
    : options_(std::move(options)), stun_(std::make_unique<StunAgent>()), lossPercent_(options_.lossPercent)
{
    random_.seed(options_.lossSeed ? *options_.lossSeed : std::random_device{}());
    buffer_.resize(kMaxDatagram);
    // Attributes of the checks the unit understands; a check that requires
    // another is refused.
    static const uint16_t kKnown[] = {STUN_ATTRIBUTE_USERNAME,       STUN_ATTRIBUTE_MESSAGE_INTEGRITY,
                                      STUN_ATTRIBUTE_XOR_MAPPED_ADDRESS, STUN_ATTRIBUTE_PRIORITY,
                                      STUN_ATTRIBUTE_USE_CANDIDATE,  STUN_ATTRIBUTE_ICE_CONTROLLED,
                                      STUN_ATTRIBUTE_ICE_CONTROLLING, STUN_ATTRIBUTE_FINGERPRINT, 0};
    stun_agent_init(stun_.get(), kKnown, STUN_COMPATIBILITY_RFC5389,
                    static_cast<StunAgentUsageFlags>(STUN_AGENT_USAGE_SHORT_TERM_CREDENTIALS |
                                                     STUN_AGENT_USAGE_USE_FINGERPRINT));
}

MediaUnit::~MediaUnit()
{
    stop();
    if (socket_ >= 0)
        close(socket_);
    if (wake_ >= 0)
        close(wake_);
}

int MediaUnit::bind()
{
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (socket_ < 0 || wake_ < 0)
        return -1;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(options_.port));
    address.sin_addr = options_.address;
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return -1;
    socklen_t length = sizeof address;
    if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    port_ = ntohs(address.sin_port);
    return port_;
}

void MediaUnit::start()
{
    if (socket_ < 0 || thread_.joinable())
        return;
    thread_ = std::thread([this] { run(); });
}

void MediaUnit::stop()
{
    if (!thread_.joinable())
        return;
    const uint64_t one = 1;
    if (write(wake_, &one, sizeof one) != sizeof one)
        logLine(std::string("cannot wake the network thread: ") + std::strerror(errno));
    thread_.join();
}

// --- legs ---------------------------------------------------------------------

std::string MediaUnit::offer(const std::string& leg, const std::string& room, const std::string& offerSdp)
{
    std::array<uint8_t, SrtpSession::kKeyLength> key;
    velto_media::makeSrtpKey(key.data());
    auto fresh = std::make_unique<Leg>();
    fresh->room = room;
    if (!fresh->toParticipant.init(SrtpSession::Direction::Outbound, key.data()))
        logLine("cannot set up the sending side of a leg; its participant gets no media");
    fresh->password = randomIceText(kPasswordLength);
    if (fresh->password.empty())
        logLine("no random source for a leg's ICE password; no check will reach its participant");
    std::vector<std::string> iceLines{"a=ice-lite", "", "a=ice-pwd:" + fresh->password, "a=" + candidate()};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closeLegLocked(leg);
        // The ufrag finds the leg of a check: no two legs share one.
        do
            fresh->ufrag = randomIceText(kUfragLength);
        while (!fresh->ufrag.empty() && std::any_of(legs_.begin(), legs_.end(), [&](const auto& other) {
            return other.second->ufrag == fresh->ufrag;
        }));
        iceLines[1] = "a=ice-ufrag:" + fresh->ufrag;
        legs_[leg] = std::move(fresh);
    }
    std::string sdp = withSessionLines(velto_platform::withCryptoLine(offerSdp, key.data()), iceLines);
    key.fill(0);
    return sdp;
}

std::string MediaUnit::candidate() const
{
    char host[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &options_.address, host, sizeof host);
    return velto_platform::writeHostCandidate(host, port_);
}

void MediaUnit::answer(const std::string& leg, const std::string& answerSdp)
{
    std::vector<uint8_t> key;
    if (!velto_platform::readCryptoLine(answerSdp, &key))
        return;
    const std::map<uint32_t, uint32_t> resends = resendPairs(answerSdp);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = legs_.find(leg);
    if (it == legs_.end())
        return;
    Leg& l = *it->second;
    for (const auto& [resend, media] : resends)
        l.mediaOfResend[resend] = media;
    if (l.participantKey == key)
        return;  // the same key again keeps the replay state it has
    if (l.fromParticipant.init(SrtpSession::Direction::Inbound, key.data())) {
        l.participantKey = std::move(key);
        retryHeldLocked();
    } else {
        l.participantKey.clear();
        logLine("refused a participant's key");
    }
}

void MediaUnit::setStreams(const std::string& leg, const std::vector<std::string>& ssrcs)
{
    std::set<uint32_t> announced;
    for (const std::string& text : ssrcs) {
        uint32_t ssrc = 0;
        if (readSsrc(text, &ssrc))
            announced.insert(ssrc);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = legs_.find(leg);
    if (it == legs_.end())
        return;
    Leg& l = *it->second;
    std::vector<uint32_t> gone;
    for (const uint32_t ssrc : l.ssrcs)
        if (!announced.count(ssrc))
            gone.push_back(ssrc);
    for (const uint32_t ssrc : announced)
        if (!l.ssrcs.count(ssrc))
            l.announcements[ssrc] = ++announcements_;
    for (auto pair = l.mediaOfResend.begin(); pair != l.mediaOfResend.end();)
        pair = announced.count(pair->first) ? std::next(pair) : l.mediaOfResend.erase(pair);
    l.ssrcs = std::move(announced);
    forgetStreams(l, gone);
    retryHeldLocked();
}

void MediaUnit::closeLeg(const std::string& leg)
{
    std::lock_guard<std::mutex> lock(mutex_);
    closeLegLocked(leg);
}

void MediaUnit::closeLegLocked(const std::string& leg)
{
    const auto it = legs_.find(leg);
    if (it == legs_.end())
        return;
    const std::unique_ptr<Leg> closing = std::move(it->second);
    legs_.erase(it);
    forgetStreams(*closing, std::vector<uint32_t>(closing->ssrcs.begin(), closing->ssrcs.end()));
}

void MediaUnit::forgetStreams(Leg& owner, const std::vector<uint32_t>& ssrcs)
{
    // The SRTP state stays with the keys: the sender's, so that its old
    // packets stay replays; the receivers', so that a stream announced again
    // goes on past every index used.
    for (const uint32_t ssrc : ssrcs) {
        owner.announcements.erase(ssrc);
        owner.lastPli.erase(ssrc);
        for (auto& [name, leg] : legs_)
            if (leg->room == owner.room)
                leg->keyframesSent.erase(ssrc);
    }
}

// --- network thread ------------------------------------------------------------

void MediaUnit::run()
{
    pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            logLine(std::string("poll failed: ") + std::strerror(errno));
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents)
            receiveAll();
    }
}

void MediaUnit::receiveAll()
{
    std::vector<uint8_t>& buffer = buffer_;
    for (int i = 0; i < kBatch; ++i) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNREFUSED)
                logLine(std::string("receive failed: ") + std::strerror(errno));
            if (errno != EINTR && errno != ECONNREFUSED)
                return;
            continue;
        }
        if (static_cast<size_t>(got) > buffer.size() || length != sizeof from || from.sin_family != AF_INET)
            continue;  // cut short or not IPv4: nobody's media
        std::vector<uint8_t> packet(buffer.begin(), buffer.begin() + got);
        handle(packet, from);
    }
}

void MediaUnit::setLossPercent(int percent)
{
    std::lock_guard<std::mutex> lock(mutex_);
    lossPercent_ = percent;
}

bool MediaUnit::lost()
{
    return lossPercent_ > 0 && std::uniform_int_distribution<int>(0, 99)(random_) < lossPercent_;
}

void MediaUnit::handle(std::vector<uint8_t>& packet, const sockaddr_in& from)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (packet.empty())
        return;
    // One socket for all: STUN starts with 0-3, RTP and RTCP with 128-191.
    // The emulated loss is the media's: the checks that keep the path are
    // answered, so that a test of recovery or rate control measures those.
    if (packet[0] < 4)
        handleStunLocked(packet, from, Clock::now());
    else if (packet[0] >= 128 && packet[0] < 192 && !lost())
        handleLocked(packet, from, Clock::now());
}

void MediaUnit::handleStunLocked(const std::vector<uint8_t>& packet, const sockaddr_in& from, Clock::time_point now)
{
    // What the check's validation found: the leg whose ufrag its USERNAME names.
    struct CheckedLeg {
        const std::map<std::string, std::unique_ptr<Leg>>* legs;
        Leg* leg = nullptr;
    };
    StunMessage request;
    CheckedLeg checked{&legs_};
    // USERNAME is "<unit ufrag>:<participant ufrag>"; the ufrag names the leg
    // whose password must have signed the check.
    const auto validater = [](StunAgent*, StunMessage*, uint8_t* username, uint16_t length, uint8_t** password,
                              size_t* passwordLength, void* data) -> bool {
        auto* found = static_cast<CheckedLeg*>(data);
        const std::string name(reinterpret_cast<const char*>(username), length);
        const size_t colon = name.find(':');
        if (colon == std::string::npos)
            return false;
        const std::string ufrag = name.substr(0, colon);
        for (const auto& [id, leg] : *found->legs) {
            if (leg->ufrag != ufrag || leg->ufrag.empty() || leg->password.empty())
                continue;  // an empty password would take checks signed with none
            found->leg = leg.get();
            *password = reinterpret_cast<uint8_t*>(leg->password.data());
            *passwordLength = leg->password.size();
            return true;
        }
        return false;
    };
    const StunValidationStatus valid =
        stun_agent_validate(stun_.get(), &request, packet.data(), packet.size(), validater, &checked);
    if (valid != STUN_VALIDATION_SUCCESS || !checked.leg || stun_message_get_class(&request) != STUN_REQUEST ||
        stun_message_get_method(&request) != STUN_BINDING)
        return;  // not a check of a leg, or not signed with its password: no answer, no change

    sockaddr_storage source{};
    std::memcpy(&source, &from, sizeof from);
    uint8_t answer[kMaxStunAnswer];
    size_t answerLength = sizeof answer;
    StunMessage reply;
    bool controlling = false;  // a lite agent is always the controlled one
    const StunUsageIceReturn result =
        stun_usage_ice_conncheck_create_reply(stun_.get(), &request, &reply, answer, &answerLength, &source,
                                              sizeof(sockaddr_in), &controlling, 0, STUN_USAGE_ICE_COMPATIBILITY_RFC5245);
    if (answerLength > 0)
        sendto(socket_, answer, answerLength, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    if (result != STUN_USAGE_ICE_RETURN_SUCCESS || controlling)
        return;  // a role conflict (both sides controlled) moves nothing

    Leg& leg = *checked.leg;
    const bool nominates = stun_usage_ice_conncheck_use_candidate(&request);
    if (nominates || (leg.nominated && !sameAddress(leg.address, from))) {
        if (leg.nominated && !sameAddress(leg.address, from))
            logLine("a participant moved to " + addressText(from));
        leg.address = from;
        leg.latched = true;
        leg.nominated = true;
    }
    if (leg.nominated && sameAddress(leg.address, from)) {
        leg.lastCheck = now;
        leg.consentLost = false;
    }
}

MediaUnit::Leg* MediaUnit::sourceOfLocked(std::vector<uint8_t>& packet, bool rtcp)
{
    // The SSRC is in clear in both SRTP and SRTCP; it names the leg to try.
    uint32_t ssrc = 0;
    if (rtcp) {
        if (!rtp::readRtcpSenderSsrc(packet.data(), packet.size(), &ssrc))
            return nullptr;
    } else {
        rtp::RtpHeader header;
        if (!rtp::parseRtp(packet.data(), packet.size(), &header))
            return nullptr;
        ssrc = header.ssrc;
    }
    // SSRCs are chosen at random, so two legs may share one: the key decides.
    // A failed try leaves the packet as it was.
    for (auto& [name, leg] : legs_) {
        if (leg->participantKey.empty() || !leg->ssrcs.count(ssrc))
            continue;
        if (!leg->opened.count(ssrc) && leg->opened.size() >= kMaxStreamsPerLeg)
            continue;
        if (rtcp ? leg->fromParticipant.unprotectRtcp(packet) : leg->fromParticipant.unprotectRtp(packet)) {
            leg->opened.insert(ssrc);
            return leg.get();
        }
    }
    return nullptr;
}

void MediaUnit::handleLocked(std::vector<uint8_t>& packet, const sockaddr_in& from, Clock::time_point now)
{
    const bool rtcp = rtp::isRtcp(packet.data(), packet.size());
    Leg* source = sourceOfLocked(packet, rtcp);
    if (!source) {
        // Perhaps a participant whose answer is still on its way.
        const bool waiting = std::any_of(legs_.begin(), legs_.end(), [](const auto& leg) {
            return leg.second->participantKey.empty() || leg.second->ssrcs.empty();
        });
        if (waiting) {
            if (held_.size() >= kMaxHeld)
                held_.pop_front();
            held_.push_back({std::move(packet), from, now});
        }
        return;
    }
    // Where the packet came from moves nothing: only a leg's checks set its
    // address (handleStunLocked).
    if (rtcp)
        routeRtcp(*source, packet);
    else
        forwardRtp(*source, packet);
}

void MediaUnit::retryHeldLocked()
{
    const Clock::time_point now = Clock::now();
    std::deque<Held> held;
    held.swap(held_);
    for (Held& h : held) {
        if (now - h.arrived > kHoldFor)
            continue;
        // Still nobody's: held again, while somebody waits.
        handleLocked(h.packet, h.from, now);
    }
}

void MediaUnit::forwardRtp(const Leg& source, const std::vector<uint8_t>& packet)
{
    rtp::RtpHeader header;
    if (!rtp::parseRtp(packet.data(), packet.size(), &header))
        return;
    const auto announcement = source.announcements.find(header.ssrc);
    if (announcement == source.announcements.end())
        return;
    // A resend names the packet it carries by the sender's sequence number;
    // each receiver knows that packet by its own.
    const bool resend = header.payloadType == velto_media::kVp8RtxPayloadType;
    uint32_t media = 0;
    uint64_t mediaAnnouncement = 0;
    if (resend) {
        const auto pair = source.mediaOfResend.find(header.ssrc);
        if (packet.size() < header.headerSize + header.paddingSize + 2 || pair == source.mediaOfResend.end() ||
            !source.announcements.count(pair->second))
            return;  // nobody could tell where it goes
        media = pair->second;
        mediaAnnouncement = source.announcements.at(media);
    }
    uint32_t keyframeSsrc = 0;
    const bool keyframe = startsKeyframe(packet, &keyframeSsrc);
    for (auto& [name, leg] : legs_) {
        if (leg.get() == &source || leg->room != source.room || !leg->latched)
            continue;
        std::vector<uint8_t> copy = packet;
        if (resend) {
            const auto mediaOut = leg->outStreams.find(media);
            if (mediaOut == leg->outStreams.end() || !mediaOut->second.carries(mediaAnnouncement))
                continue;
            const OutStream& m = mediaOut->second;
            const uint8_t* original = packet.data() + header.headerSize;
            const uint16_t own = static_cast<uint16_t>(((original[0] << 8) | original[1]) + m.offset);
            const int64_t extended = m.extend(own);
            if (extended < m.first || extended > m.highest)
                continue;  // never sent to this leg
            writeSequence(copy, header.headerSize, own);
        }
        OutStream* out = leg->outStream(header.ssrc);
        const std::optional<uint16_t> sequence = out ? out->map(announcement->second, header.sequence) : std::nullopt;
        if (!sequence)
            continue;
        writeSequence(copy, 2, *sequence);
        if (sendTo(*leg, std::move(copy), false) && keyframe)
            leg->keyframesSent.insert(keyframeSsrc);
    }
}

void MediaUnit::routeRtcp(Leg& source, const std::vector<uint8_t>& packet)
{
    std::vector<rtp::RtcpItem> items;
    if (!rtp::parseRtcp(packet.data(), packet.size(), &items))
        return;
    const Clock::time_point now = Clock::now();
    std::map<Leg*, std::vector<uint8_t>> out;  // a compound for each leg that gets something
    for (const rtp::RtcpItem& item : items) {
        // Nobody speaks for another's SSRC.
        if (!source.ssrcs.count(item.senderSsrc))
            continue;
        switch (item.type) {
        case rtp::RtcpItem::Type::SenderReport:
            // The timing goes to the room's others; its reception blocks, like
            // receiver reports', only to the streams' senders (below).
            for (auto& [name, leg] : legs_)
                if (leg.get() != &source && leg->room == source.room)
                    rtp::appendSenderReport(out[leg.get()], item.senderSsrc, item.ntpTime, item.rtpTimestamp,
                                            item.packetCount, item.octetCount, {});
            break;
        case rtp::RtcpItem::Type::Nack:
        case rtp::RtcpItem::Type::Pli:
            // To the leg in the room that sends the stream named.
            for (auto& [name, leg] : legs_) {
                if (leg.get() == &source || leg->room != source.room || !leg->ssrcs.count(item.mediaSsrc))
                    continue;
                if (item.type == rtp::RtcpItem::Type::Nack) {
                    const std::vector<uint16_t> sequences = boundNack(source, *leg, item, now);
                    if (!sequences.empty())
                        rtp::appendNack(out[leg.get()], item.senderSsrc, item.mediaSsrc, sequences);
                    continue;
                }
                // Several receivers losing the same frame ask for one
                // keyframe. One that never had a keyframe of the stream has
                // no use for one that may have left before it was there.
                const auto last = leg->lastPli.find(item.mediaSsrc);
                if (last != leg->lastPli.end() && now - last->second < kPliInterval &&
                    source.keyframesSent.count(item.mediaSsrc))
                    continue;
                leg->lastPli[item.mediaSsrc] = now;
                rtp::appendPli(out[leg.get()], item.senderSsrc, item.mediaSsrc);
            }
            break;
        case rtp::RtcpItem::Type::ReceiverReport:
        case rtp::RtcpItem::Type::Other:
            break;
        }
        forwardReceptionReports(source, item, out);
    }
    for (auto& [leg, compound] : out)
        sendTo(*leg, std::move(compound), true);
}

std::vector<uint16_t> MediaUnit::boundNack(Leg& receiver, const Leg& sender, const rtp::RtcpItem& item,
                                          Clock::time_point now)
{
    std::vector<uint16_t> sequences;
    const auto announcement = sender.announcements.find(item.mediaSsrc);
    const auto it = receiver.outStreams.find(item.mediaSsrc);
    if (announcement == sender.announcements.end() || it == receiver.outStreams.end() ||
        !it->second.carries(announcement->second))
        return sequences;  // it was sent nothing of this announcement
    OutStream& stream = it->second;
    const std::chrono::duration<double> since = now - receiver.nackBudgetAt;
    receiver.nackBudget = std::min(kNackItemsPerSecond, receiver.nackBudget + since.count() * kNackItemsPerSecond);
    receiver.nackBudgetAt = now;
    stream.asked.erase(stream.asked.begin(), stream.asked.lower_bound(stream.highest - kNackReach + 1));
    for (const uint16_t own : item.nackSequences) {
        const int64_t extended = stream.extend(own);
        if (extended < stream.first || extended > stream.highest || stream.highest - extended >= kNackReach)
            continue;  // never sent to it, or long gone
        int& asks = stream.asked[extended];
        if (asks >= kMaxNackAsks)
            continue;
        if (receiver.nackBudget < 1)
            break;
        receiver.nackBudget -= 1;
        if (asks++ == 0) {
            receiver.askedOrder.emplace_back(item.mediaSsrc, extended);
            if (receiver.askedOrder.size() > kMaxAskedPerLeg) {
                const auto [ssrc, oldest] = receiver.askedOrder.front();
                receiver.askedOrder.pop_front();
                const auto owner = receiver.outStreams.find(ssrc);
                if (owner != receiver.outStreams.end())
                    owner->second.asked.erase(oldest);
            }
        }
        sequences.push_back(static_cast<uint16_t>(own - stream.offset));
    }
    return sequences;
}

void MediaUnit::forwardReceptionReports(const Leg& source, const rtp::RtcpItem& item,
                                        std::map<Leg*, std::vector<uint8_t>>& out)
{
    // Each block goes to the leg that sends the stream it names, under the
    // reporter's SSRC, so that the sender tells its receivers apart.
    std::map<Leg*, std::vector<rtp::ReportBlock>> blocks;
    for (const rtp::ReportBlock& block : item.reports)
        for (auto& [name, leg] : legs_)
            if (leg.get() != &source && leg->room == source.room && leg->ssrcs.count(block.ssrc))
                blocks[leg.get()].push_back(block);
    for (const auto& [leg, own] : blocks)
        rtp::appendReceiverReport(out[leg], item.senderSsrc, own);
}

bool MediaUnit::consentedLocked(Leg& leg, Clock::time_point now)
{
    if (!leg.nominated)
        return false;  // its checks have not chosen an address yet
    if (now - leg.lastCheck <= options_.consent)
        return true;
    if (!leg.consentLost)
        logLine("no check from a participant for " + std::to_string(options_.consent.count()) +
                " ms: nothing more goes to " + addressText(leg.address) + " until it checks again");
    leg.consentLost = true;
    return false;
}

bool MediaUnit::sendTo(Leg& leg, std::vector<uint8_t> packet, bool rtcp)
{
    if (!consentedLocked(leg, Clock::now()))
        return false;
    // The sending session keeps a stream for each SSRC it protects under.
    uint32_t ssrc = 0;
    if (rtcp && (!rtp::readRtcpSenderSsrc(packet.data(), packet.size(), &ssrc) || !leg.outStream(ssrc)))
        return false;
    if (!(rtcp ? leg.toParticipant.protectRtcp(packet) : leg.toParticipant.protectRtp(packet)))
        return false;
    if (lost())
        return false;
    // UDP: a full socket buffer loses the packet, as a network would.
    return sendto(socket_, packet.data(), packet.size(), MSG_DONTWAIT,
                  reinterpret_cast<const sockaddr*>(&leg.address), sizeof leg.address) >= 0;
}

}  // namespace velto::server
