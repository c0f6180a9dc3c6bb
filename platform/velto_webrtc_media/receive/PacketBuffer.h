// The video packets of one stream that arrived and are not yet part of a
// decoded frame, keyed by unwrapped sequence number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace velto_media {

struct VideoPacket {
    int64_t sequence = 0;      // unwrapped
    uint32_t timestamp = 0;
    bool marker = false;       // last packet of its frame
    bool frameStart = false;   // first packet of partition 0
    bool keyframe = false;     // frameStart of a keyframe
    std::vector<uint8_t> data; // VP8 data, without the payload descriptor
};

class PacketBuffer {
public:
    // Gaps wider than this are a restart of the stream, not a loss to ask for.
    static constexpr int64_t kMaxGap = 256;

    explicit PacketBuffer(size_t capacity = 2048) : capacity_(capacity) {}

    struct Inserted {
        bool stored = false;           // false for a duplicate
        bool overflowed = false;       // the buffer was full and has been emptied first
        std::vector<int64_t> missing;  // sequences this packet skipped over: ask for them
    };
    Inserted insert(VideoPacket packet);

    const VideoPacket* find(int64_t sequence) const;
    // The stored packet with the lowest sequence at or after `sequence`.
    const VideoPacket* firstFrom(int64_t sequence) const;
    void eraseBefore(int64_t sequence);
    void clear();
    size_t size() const { return packets_.size(); }
    std::optional<int64_t> highest() const { return highest_; }

private:
    size_t capacity_;
    std::map<int64_t, VideoPacket> packets_;
    std::optional<int64_t> highest_;  // the highest sequence ever seen
};

}  // namespace velto_media
