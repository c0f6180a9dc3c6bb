// RTP fixed header reading and writing (RFC 3550 section 5.1): pure functions
// over byte spans, shared by the media engine and the server's forwarding unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velto_media::rtp {

struct RtpHeader {
    uint8_t payloadType = 0;
    bool marker = false;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    size_t headerSize = 0;   // offset of the payload (CSRCs and header extension included)
    size_t paddingSize = 0;  // bytes of padding at the end
};

// RFC 5761 demultiplexing: true when the second byte is an RTCP packet type (192..223).
bool isRtcp(const uint8_t* data, size_t size);

// False for anything malformed (version != 2, truncated, bad padding...). Never reads past size.
bool parseRtp(const uint8_t* data, size_t size, RtpHeader* out);

// Appends a 12-byte header (no CSRC, no extension) to out.
void appendRtpHeader(std::vector<uint8_t>& out, const RtpHeader& header);

}  // namespace velto_media::rtp
