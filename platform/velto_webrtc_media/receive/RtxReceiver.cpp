#include "RtxReceiver.h"

#include <tuple>

#include "Retransmission.h"
#include "rtp/Vp8Payload.h"

namespace velto_media {

void RtxReceiver::setSources(const std::vector<Source>& sources)
{
    mediaOf_.clear();
    // (owner, stream, track) -> the sources of it so far: media, then resends.
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<uint32_t>> tracks;
    for (const Source& source : sources) {
        if (source.kind != "video" || source.ssrc == 0)
            continue;
        std::vector<uint32_t>& ssrcs = tracks[std::make_tuple(source.owner, source.stream, source.track)];
        if (ssrcs.size() == 1 && ssrcs[0] != source.ssrc)
            mediaOf_[source.ssrc] = ssrcs[0];
        ssrcs.push_back(source.ssrc);
    }
}

bool RtxReceiver::restore(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, rtp::RtpHeader* original,
                          const uint8_t** originalPayload, size_t* originalSize) const
{
    const auto media = mediaOf_.find(header.ssrc);
    uint16_t sequence = 0;
    if (media == mediaOf_.end() || header.payloadType != kVp8RtxPayloadType ||
        !readRetransmission(payload, size, &sequence))
        return false;
    *original = header;
    original->ssrc = media->second;
    original->sequence = sequence;
    original->payloadType = rtp::kVp8PayloadType;
    *originalPayload = payload + 2;
    *originalSize = size - 2;
    return true;
}

}  // namespace velto_media
