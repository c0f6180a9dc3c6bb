// One direction of one leg's SRTP and SRTCP (RFC 3711) over libsrtp2:
// AES_CM_128_HMAC_SHA1_80, any SSRC, a replay window of 1024 packets (a screen
// keyframe bursts past libsrtp's default of 128).
//
// Sending and receiving each get a session of their own: libsrtp keeps the
// replay state and rollover counters per session, and one shared between the
// directions would take a packet it sent for a replay when it comes back.
// Thread-compatible: one thread at a time per session; sessions are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velto_media {

class SrtpSession {
public:
    static constexpr size_t kKeyLength = 30;  // master key (16) + salt (14)
    enum class Direction { Outbound, Inbound };

    SrtpSession();
    ~SrtpSession();
    SrtpSession(const SrtpSession&) = delete;
    SrtpSession& operator=(const SrtpSession&) = delete;

    // keyAndSalt holds kKeyLength bytes. False on a bad key or when libsrtp
    // refuses; a session already set up is replaced.
    bool init(Direction direction, const uint8_t* keyAndSalt);

    // In place. Protecting grows the packet by the tag (SRTCP also by its
    // index); unprotecting shrinks it and fails on a bad tag, a replay or a
    // packet that is too short. A failed call leaves the packet as it was.
    bool protectRtp(std::vector<uint8_t>& packet);
    bool unprotectRtp(std::vector<uint8_t>& packet);
    bool protectRtcp(std::vector<uint8_t>& packet);
    bool unprotectRtcp(std::vector<uint8_t>& packet);

    // Forgets one SSRC's stream (its replay window and rollover counter), so
    // that a stream coming back under that SSRC with lower sequence numbers
    // (a participant who rejoined) is not taken for a replay. Nothing happens
    // for an SSRC the session has not seen.
    void removeStream(uint32_t ssrc);

private:
    struct Context;
    bool apply(std::vector<uint8_t>& packet, bool rtcp, bool protect);
    void release();

    Context* context_ = nullptr;
    Direction direction_ = Direction::Outbound;
};

// Fills key with kKeyLength random bytes from the system's random source.
void makeSrtpKey(uint8_t* key);

}  // namespace velto_media
