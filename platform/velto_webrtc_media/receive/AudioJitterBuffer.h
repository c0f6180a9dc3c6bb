// The packets of one audio stream between arrival and playout. Playout
// pulls one 20 ms frame at a time and learns what to do with it: decode a
// packet, rebuild a lost one from the packet after it (Opus in-band FEC),
// conceal it, or play silence (before the stream starts or after it went
// quiet). Playout starts once `target` packets are here; when more than
// `target` + `slack` wait, the oldest are dropped so that delay stays low.
//
// Pure and thread-compatible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace velto_media {

class AudioJitterBuffer {
public:
    explicit AudioJitterBuffer(size_t target = 3, size_t slack = 7);

    // `sequence` unwrapped. Late or repeated packets are dropped.
    void insert(int64_t sequence, std::vector<uint8_t> payload);

    struct Pull {
        enum class Kind { Silence, Packet, FromNext, Conceal };
        Kind kind = Kind::Silence;
        std::vector<uint8_t> payload;  // Packet: the packet; FromNext: the one after the lost frame
    };
    Pull pull();

    size_t buffered() const { return packets_.size(); }
    bool playing() const { return playing_; }

private:
    // Frames concealed in a row before the stream counts as gone quiet.
    static constexpr int kMaxConcealed = 5;

    const size_t target_;
    const size_t slack_;
    std::map<int64_t, std::vector<uint8_t>> packets_;
    bool playing_ = false;
    int64_t next_ = 0;
    int concealed_ = 0;
};

}  // namespace velto_media
