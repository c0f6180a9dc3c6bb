// Feeds an arbitrary stream of VP8 packets (lost, repeated, reordered,
// wrapping, with any descriptor) through what the receiver runs on each one:
// the payload descriptor, the sequence unwrapper and the frame assembler. It
// never reads past a packet, and what it hands the decoder holds: frames in
// order, made of the packets received for them, each one continuing the
// frame before it or a keyframe.
//
// Input: packets of [flags][sequence step][payload length][payload], where
// flags bit 0 is the RTP marker, bit 1 starts a new timestamp and bit 2 gives
// up the blocking gap after the packet, as the receiver does when its wait
// for a resend ends.
#include "FrameAssembler.h"
#include "SequenceNumbers.h"
#include "Vp8Payload.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

using namespace velto_media;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FrameAssembler assembler;
    SequenceUnwrapper unwrapper;
    std::map<std::int64_t, VideoPacket> received;  // what the assembler accepted, by sequence
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
    bool handedOut = false;
    std::int64_t lastHandedOut = 0;

    std::size_t at = 0;
    while (size - at >= 3) {
        const std::uint8_t flags = data[at];
        sequence = static_cast<std::uint16_t>(sequence + static_cast<std::int8_t>(data[at + 1]));
        const std::size_t length = std::min<std::size_t>(data[at + 2], size - at - 3);
        const std::uint8_t* payload = data + at + 3;
        at += 3 + length;
        if (flags & 0x02)
            timestamp += 3000;

        rtp::Vp8Descriptor descriptor;
        if (!rtp::parseVp8Descriptor(payload, length, &descriptor))
            continue;
        VideoPacket packet;
        packet.sequence = unwrapper.unwrap(sequence);
        packet.timestamp = timestamp;
        packet.marker = flags & 0x01;
        packet.frameStart = descriptor.start && descriptor.partition == 0;
        packet.keyframe =
            packet.frameStart && rtp::isVp8Keyframe(payload + descriptor.size, length - descriptor.size);
        packet.data.assign(payload + descriptor.size, payload + length);
        const VideoPacket kept = packet;

        if (assembler.insert(std::move(packet)).accepted)
            received[kept.sequence] = kept;
        for (const AssembledFrame& frame : assembler.takeFrames()) {
            require(frame.firstSequence <= frame.lastSequence);
            require(frame.keyframe || (handedOut && frame.firstSequence == lastHandedOut + 1));
            require(!handedOut || frame.firstSequence > lastHandedOut);
            std::vector<std::uint8_t> bytes;
            for (std::int64_t s = frame.firstSequence; s <= frame.lastSequence; ++s) {
                const auto it = received.find(s);
                require(it != received.end() && it->second.timestamp == frame.timestamp);
                require(it->second.frameStart == (s == frame.firstSequence));
                require(it->second.marker == (s == frame.lastSequence));
                bytes.insert(bytes.end(), it->second.data.begin(), it->second.data.end());
            }
            require(bytes == frame.data);
            handedOut = true;
            lastHandedOut = frame.lastSequence;
        }
        if (flags & 0x04)
            assembler.skipGap();
    }
    return 0;
}
