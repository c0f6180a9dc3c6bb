#include "SrtpSession.h"

#include <srtp2/srtp.h>
#include <arpa/inet.h>
#include <sys/random.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace velto_media {

namespace {

constexpr unsigned long kReplayWindow = 1024;

bool initLibrary()
{
    // libsrtp keeps process-wide tables; set up once and never torn down,
    // since other sessions may live until exit.
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = srtp_init() == srtp_err_status_ok; });
    return ready;
}

}  // namespace

struct SrtpSession::Context {
    srtp_t session = nullptr;
};

SrtpSession::SrtpSession() = default;

SrtpSession::~SrtpSession() { release(); }

void SrtpSession::release()
{
    if (!context_)
        return;
    if (context_->session)
        srtp_dealloc(context_->session);
    delete context_;
    context_ = nullptr;
}

bool SrtpSession::init(Direction direction, const uint8_t* keyAndSalt)
{
    release();
    if (!keyAndSalt || !initLibrary())
        return false;
    // libsrtp copies what it needs out of the key; ours stays with the caller.
    unsigned char key[kKeyLength];
    std::memcpy(key, keyAndSalt, kKeyLength);

    srtp_policy_t policy;
    std::memset(&policy, 0, sizeof policy);
    srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtp);
    srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtcp);
    policy.ssrc.type = direction == Direction::Outbound ? ssrc_any_outbound : ssrc_any_inbound;
    policy.key = key;
    policy.window_size = kReplayWindow;
    policy.allow_repeat_tx = 0;
    policy.next = nullptr;

    srtp_t session = nullptr;
    const srtp_err_status_t status = srtp_create(&session, &policy);
    std::memset(key, 0, sizeof key);
    if (status != srtp_err_status_ok) {
        if (session)
            srtp_dealloc(session);
        return false;
    }
    context_ = new Context{session};
    direction_ = direction;
    return true;
}

bool SrtpSession::apply(std::vector<uint8_t>& packet, bool rtcp, bool protect)
{
    if (!context_ || packet.empty() || packet.size() > INT_MAX - SRTP_MAX_TRAILER_LEN)
        return false;
    // A session only works its own way; the other call is a caller's mistake.
    if (protect != (direction_ == Direction::Outbound))
        return false;
    const size_t original = packet.size();
    if (protect)
        packet.resize(original + SRTP_MAX_TRAILER_LEN);
    int length = static_cast<int>(original);
    // libsrtp checks the tag (and the replay window) before it decrypts, so a
    // refused packet is left as it came.
    srtp_err_status_t status;
    if (protect) {
        status = rtcp ? srtp_protect_rtcp(context_->session, packet.data(), &length)
                      : srtp_protect(context_->session, packet.data(), &length);
    } else {
        status = rtcp ? srtp_unprotect_rtcp(context_->session, packet.data(), &length)
                      : srtp_unprotect(context_->session, packet.data(), &length);
    }
    if (status != srtp_err_status_ok || length < 0) {
        packet.resize(original);
        return false;
    }
    packet.resize(static_cast<size_t>(length));
    return true;
}

bool SrtpSession::protectRtp(std::vector<uint8_t>& packet) { return apply(packet, false, true); }
bool SrtpSession::unprotectRtp(std::vector<uint8_t>& packet) { return apply(packet, false, false); }
bool SrtpSession::protectRtcp(std::vector<uint8_t>& packet) { return apply(packet, true, true); }
bool SrtpSession::unprotectRtcp(std::vector<uint8_t>& packet) { return apply(packet, true, false); }

void SrtpSession::removeStream(uint32_t ssrc)
{
    if (context_)
        srtp_remove_stream(context_->session, htonl(ssrc));
}

void makeSrtpKey(uint8_t* key)
{
    size_t filled = 0;
    while (filled < SrtpSession::kKeyLength) {
        const ssize_t got = getrandom(key + filled, SrtpSession::kKeyLength - filled, 0);
        if (got > 0) {
            filled += static_cast<size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // A guessable key would protect nothing; there is no safe way on.
            std::abort();
        }
    }
}

}  // namespace velto_media
