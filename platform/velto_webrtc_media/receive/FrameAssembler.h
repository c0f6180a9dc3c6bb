// Turns the packets of one video stream into whole frames, in order: a
// frame is complete when its first packet (start of partition 0), its last
// packet (marker) and every sequence between them arrived with one
// timestamp. Nothing is handed out that the decoder could not use: the
// stream starts with a keyframe, and after a gap that was given up (or a
// frame that cannot be completed) it waits for the next keyframe.
//
// Pure: its owner decides when a gap is given up and asks for keyframes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "PacketBuffer.h"

namespace velto_media {

struct AssembledFrame {
    uint32_t timestamp = 0;
    bool keyframe = false;
    int64_t firstSequence = 0;
    int64_t lastSequence = 0;
    std::vector<uint8_t> data;
};

class FrameAssembler {
public:
    struct Arrival {
        bool accepted = false;         // false: a duplicate, or older than what was handed out
        std::vector<int64_t> missing;  // sequences found missing by this packet
    };
    Arrival insert(VideoPacket packet);

    // The frames that are complete and decodable now, oldest first.
    std::vector<AssembledFrame> takeFrames();

    // The oldest missing sequence that holds up the next frame while later
    // packets are here; none while waiting for a keyframe.
    std::optional<int64_t> blockingGap() const;
    // Gives the blocking gap up: what lies before it is dropped and the
    // stream waits for a keyframe.
    void skipGap();

    bool waitingForKeyframe() const { return waitingForKeyframe_; }
    // The buffer holds the first packet of a keyframe (perhaps incomplete).
    bool hasKeyframeStart() const;
    size_t bufferedPackets() const { return buffer_.size(); }

private:
    enum class Completeness { Complete, Incomplete, Broken };
    // Whether the frame that starts at `start` is whole; its last sequence in *end.
    Completeness frameAt(int64_t start, int64_t* end) const;
    AssembledFrame assemble(int64_t start, int64_t end) const;

    PacketBuffer buffer_;
    bool waitingForKeyframe_ = true;
    bool started_ = false;
    int64_t next_ = 0;  // first sequence of the next frame, once started
};

}  // namespace velto_media
