// Feeds arbitrary datagrams to the RTP header reader that the media engine
// and the forwarding unit run on every packet: it never reads past the end
// (the sanitizer checks), and what it accepts lies inside the packet and is
// written and read back unchanged.
#include "RtpPacket.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace velto_media::rtp;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    isRtcp(data, size);
    RtpHeader header;
    const bool parsed = parseRtp(data, size, &header);
    require(parsed == parseRtp(data, size, nullptr));
    if (!parsed)
        return 0;
    require(header.headerSize >= 12 && header.headerSize % 4 == 0 && header.headerSize <= size);
    require(header.paddingSize <= size - header.headerSize);

    std::vector<std::uint8_t> again;
    appendRtpHeader(again, header);
    RtpHeader back;
    require(parseRtp(again.data(), again.size(), &back));
    require(back.payloadType == header.payloadType && back.marker == header.marker &&
            back.sequence == header.sequence && back.timestamp == header.timestamp && back.ssrc == header.ssrc &&
            back.headerSize == 12 && back.paddingSize == 0);
    return 0;
}
