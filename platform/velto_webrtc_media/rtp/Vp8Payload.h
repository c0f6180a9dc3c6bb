// The VP8 payload of RTP (RFC 7741): the payload descriptor in front of
// each packet's share of an encoded frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velto_media::rtp {

constexpr uint8_t kVp8PayloadType = 100;
constexpr uint32_t kVideoClockRate = 90000;
constexpr size_t kMaxPayloadSize = 1200;

struct Vp8Descriptor {
    bool start = false;         // S: the packet starts a partition
    uint8_t partition = 0;      // PID
    bool nonReference = false;  // N: no other frame refers to this one
    int pictureId = -1;         // 7 or 15 bits; -1 when absent
    size_t size = 0;            // bytes of the descriptor
};

// The payloads of one encoded frame, each at most `maxPayload` bytes with
// its descriptor (start bit on the first, the 15-bit `pictureId` on all),
// the frame split into near-equal parts. Empty for an empty frame or a
// `maxPayload` too small for a descriptor and a byte.
std::vector<std::vector<uint8_t>> packetizeVp8(const uint8_t* frame, size_t size, uint16_t pictureId,
                                               size_t maxPayload = kMaxPayloadSize);

// False for a payload too short for its descriptor or with nothing after it.
bool parseVp8Descriptor(const uint8_t* payload, size_t size, Vp8Descriptor* out);

// Whether `data` (what follows the descriptor of a packet that starts
// partition 0) begins a keyframe: the frame tag's P bit is 0 and the
// keyframe start code follows it.
bool isVp8Keyframe(const uint8_t* data, size_t size);

// The picture size a keyframe's header announces (RFC 6386 9.1: 14-bit width
// and height after the start code; the scaling bits are left out). False
// when `data` does not begin a keyframe.
bool vp8KeyframeSize(const uint8_t* data, size_t size, int* width, int* height);

// The largest picture the program decodes; a keyframe that announces more
// is refused before the decoder allocates for it.
constexpr int kMaxPictureWidth = 3840;
constexpr int kMaxPictureHeight = 2160;
// Whether a picture of this size may be decoded: each side and the area
// within the largest picture's (a tall narrow picture counts too).
bool pictureSizeAllowed(int width, int height);

}  // namespace velto_media::rtp
