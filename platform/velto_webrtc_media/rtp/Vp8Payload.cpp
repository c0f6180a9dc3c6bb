#include "Vp8Payload.h"

#include <algorithm>

namespace velto_media::rtp {
namespace {

constexpr uint8_t kExtended = 0x80;     // X
constexpr uint8_t kNonReference = 0x20; // N
constexpr uint8_t kStart = 0x10;        // S
constexpr uint8_t kPartitionMask = 0x07;
constexpr uint8_t kHasPictureId = 0x80; // I
constexpr uint8_t kHasTl0 = 0x40;       // L
constexpr uint8_t kHasTid = 0x20;       // T
constexpr uint8_t kHasKeyIdx = 0x10;    // K
constexpr uint8_t kLongPictureId = 0x80;// M
constexpr size_t kDescriptorSize = 4;   // required byte, X byte, 15-bit picture id

}  // namespace

std::vector<std::vector<uint8_t>> packetizeVp8(const uint8_t* frame, size_t size, uint16_t pictureId,
                                               size_t maxPayload)
{
    std::vector<std::vector<uint8_t>> packets;
    if (!frame || size == 0 || maxPayload <= kDescriptorSize)
        return packets;
    const size_t room = maxPayload - kDescriptorSize;
    const size_t count = (size + room - 1) / room;
    // The first size % count packets carry one byte more than the rest.
    const size_t share = size / count;
    const size_t longer = size % count;
    const uint16_t id = pictureId & 0x7fff;
    size_t offset = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t length = share + (i < longer ? 1 : 0);
        std::vector<uint8_t> packet;
        packet.reserve(kDescriptorSize + length);
        packet.push_back(i == 0 ? (kExtended | kStart) : kExtended);
        packet.push_back(kHasPictureId);
        packet.push_back(static_cast<uint8_t>(kLongPictureId | (id >> 8)));
        packet.push_back(static_cast<uint8_t>(id & 0xff));
        packet.insert(packet.end(), frame + offset, frame + offset + length);
        packets.push_back(std::move(packet));
        offset += length;
    }
    return packets;
}

bool parseVp8Descriptor(const uint8_t* payload, size_t size, Vp8Descriptor* out)
{
    if (!payload || size < 2)
        return false;
    Vp8Descriptor d;
    const uint8_t first = payload[0];
    d.start = (first & kStart) != 0;
    d.partition = first & kPartitionMask;
    d.nonReference = (first & kNonReference) != 0;
    size_t at = 1;
    if (first & kExtended) {
        const uint8_t extension = payload[at++];
        if (extension & kHasPictureId) {
            if (at >= size)
                return false;
            if (payload[at] & kLongPictureId) {
                if (at + 1 >= size)
                    return false;
                d.pictureId = ((payload[at] & 0x7f) << 8) | payload[at + 1];
                at += 2;
            } else {
                d.pictureId = payload[at] & 0x7f;
                at += 1;
            }
        }
        if (extension & kHasTl0)
            at += 1;
        if (extension & (kHasTid | kHasKeyIdx))
            at += 1;
    }
    if (at >= size)
        return false;
    d.size = at;
    *out = d;
    return true;
}

bool isVp8Keyframe(const uint8_t* data, size_t size)
{
    // A keyframe's tag (3 bytes) is followed by its start code and size.
    return data && size >= 10 && (data[0] & 0x01) == 0 && data[3] == 0x9d && data[4] == 0x01 && data[5] == 0x2a;
}

bool vp8KeyframeSize(const uint8_t* data, size_t size, int* width, int* height)
{
    if (!isVp8Keyframe(data, size))
        return false;
    *width = (data[6] | data[7] << 8) & 0x3fff;
    *height = (data[8] | data[9] << 8) & 0x3fff;
    return true;
}

bool pictureSizeAllowed(int width, int height)
{
    return width > 0 && height > 0 && width <= std::max(kMaxPictureWidth, kMaxPictureHeight) &&
           height <= std::max(kMaxPictureWidth, kMaxPictureHeight) &&
           int64_t(width) * height <= int64_t(kMaxPictureWidth) * kMaxPictureHeight;
}

}  // namespace velto_media::rtp
