#include "Retransmission.h"

namespace velto_media {

void appendRetransmission(std::vector<uint8_t>& out, uint16_t originalSequence, const uint8_t* payload, size_t size)
{
    out.push_back(static_cast<uint8_t>(originalSequence >> 8));
    out.push_back(static_cast<uint8_t>(originalSequence & 0xff));
    out.insert(out.end(), payload, payload + size);
}

bool readRetransmission(const uint8_t* payload, size_t size, uint16_t* originalSequence)
{
    if (!payload || size < 3)
        return false;
    *originalSequence = static_cast<uint16_t>(payload[0] << 8 | payload[1]);
    return true;
}

std::string withRetransmissionGroups(const std::string& sdp, const std::vector<std::pair<uint32_t, uint32_t>>& pairs)
{
    const bool crlf = sdp.find("\r\n") != std::string::npos;
    std::string out = sdp;
    for (const auto& [media, retransmission] : pairs) {
        const std::string first = "a=ssrc:" + std::to_string(media) + " ";
        size_t at = out.find("\n" + first);
        if (at != std::string::npos)
            ++at;
        else if (out.rfind(first, 0) == 0)
            at = 0;
        else
            continue;
        out.insert(at, "a=ssrc-group:FID " + std::to_string(media) + " " + std::to_string(retransmission) +
                           (crlf ? "\r\n" : "\n"));
    }
    return out;
}

}  // namespace velto_media
