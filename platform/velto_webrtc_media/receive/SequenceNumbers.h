// RTP sequence numbers (16 bits, wrapping) as an ever-growing count.
#pragma once

#include <cstdint>

namespace velto_media {

class SequenceUnwrapper {
public:
    // The number nearest to the last one unwrapped that has `sequence` as
    // its low 16 bits.
    int64_t unwrap(uint16_t sequence)
    {
        if (!started_) {
            started_ = true;
            last_ = sequence;
            return last_;
        }
        last_ += static_cast<int16_t>(static_cast<uint16_t>(sequence - static_cast<uint16_t>(last_)));
        return last_;
    }

private:
    bool started_ = false;
    int64_t last_ = 0;
};

}  // namespace velto_media
