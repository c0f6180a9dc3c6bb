// Feeds arbitrary payloads to the VP8 payload descriptor reader (RFC 7741)
// that every received video packet goes through, and packetises the same
// bytes as a frame: the reader never reads past the end and leaves data after
// the descriptor, and every packet the packetiser makes reads back, in
// order, to the frame it came from.
#include "Vp8Payload.h"

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
    Vp8Descriptor descriptor;
    if (parseVp8Descriptor(data, size, &descriptor)) {
        require(descriptor.size >= 1 && descriptor.size < size);
        isVp8Keyframe(data + descriptor.size, size - descriptor.size);
    }
    if (size < 3)
        return 0;

    // The first bytes choose the picture id and the packets' size; all of it is the frame.
    const auto pictureId = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
    const std::size_t maxPayload = std::size_t(data[2]) * 5;
    const auto packets = packetizeVp8(data, size, pictureId, maxPayload);
    if (maxPayload <= 4) {
        require(packets.empty());
        return 0;
    }
    std::vector<std::uint8_t> frame;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const std::vector<std::uint8_t>& packet = packets[i];
        require(packet.size() <= maxPayload);
        Vp8Descriptor read;
        require(parseVp8Descriptor(packet.data(), packet.size(), &read));
        require(read.start == (i == 0) && read.partition == 0 && read.pictureId == (pictureId & 0x7fff));
        frame.insert(frame.end(), packet.begin() + long(read.size), packet.end());
    }
    require(frame == std::vector<std::uint8_t>(data, data + size));
    return 0;
}
