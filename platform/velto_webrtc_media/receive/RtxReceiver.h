// The retransmission streams (RFC 4588) among the streams received: which
// announced SSRC carries the resends of which video SSRC, and the packet a
// resend carries.
//
// The sources a receiver is told of do not say which SSRC is which; but an
// answer lists a retransmission stream after its media stream, with the same
// stream and track ("a=ssrc-group:FID" order), and the server passes the
// sources on in that order. So of the video sources of one owner, stream and
// track, the first is the media stream and the next its retransmission
// stream. Only packets of kVp8RtxPayloadType are taken from such an SSRC.
//
// Thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rtp/RtpPacket.h"

namespace velto_media {

class RtxReceiver {
public:
    struct Source {
        uint32_t ssrc = 0;
        std::string kind;  // "audio" or "video"
        std::string owner;
        std::string stream;
        std::string track;
    };
    // Pairs the sources, given in the order they were announced.
    void setSources(const std::vector<Source>& sources);

    bool isRetransmission(uint32_t ssrc) const { return mediaOf_.count(ssrc) != 0; }

    // The original packet inside a retransmission packet: its header (the
    // media stream's SSRC and payload type, the original sequence number; the
    // rest as the resend's) and payload. False when `header` is no resend of
    // a known stream or carries no packet.
    bool restore(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, rtp::RtpHeader* original,
                 const uint8_t** originalPayload, size_t* originalSize) const;

private:
    std::map<uint32_t, uint32_t> mediaOf_;  // retransmission SSRC -> media SSRC
};

}  // namespace velto_media
