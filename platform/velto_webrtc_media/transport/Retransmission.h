// Retransmission streams (RFC 4588, SSRC-multiplexed) as the engine sends
// them: a lost video packet is sent again in a stream of its own, with an
// SSRC, sequence numbers and payload type (kVp8RtxPayloadType, "apt=100") of
// its own and the lost packet's sequence number in the first two payload
// bytes. A resend under the original sequence number would be refused by
// the unit's replay check, which saw the original before it was lost.
//
// The answer announces each retransmission stream like its media stream
// ("a=ssrc" lines with the same stream and track) and pairs them with
// "a=ssrc-group:FID <media> <retransmission>", media first.
//
// Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velto_media {

constexpr uint8_t kVp8RtxPayloadType = 101;

// Appends the payload of a retransmission: the original sequence number, then
// the original payload.
void appendRetransmission(std::vector<uint8_t>& out, uint16_t originalSequence, const uint8_t* payload, size_t size);

// The original sequence number of a retransmission payload and where the
// original payload starts (2 bytes in). False for one that carries no packet
// (shorter than 3 bytes).
bool readRetransmission(const uint8_t* payload, size_t size, uint16_t* originalSequence);

// The SDP text with "a=ssrc-group:FID <media> <retransmission>" before the
// first "a=ssrc:<media> " line of each pair; line ends as the text's own.
std::string withRetransmissionGroups(const std::string& sdp, const std::vector<std::pair<uint32_t, uint32_t>>& pairs);

}  // namespace velto_media
