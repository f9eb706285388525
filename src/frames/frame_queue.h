// The reference pictures (I and P) in decoding order, oldest first.
#pragma once

#include <cstdint>

#include "frames/frame.h"

namespace avs {

struct FrameQueue {
    int32_t count;
    DecodedFrame* entries[8];

    void Clear();
    // Appends a new record (not yet allocated planes); nullptr when none can be had.
    DecodedFrame* PushFrame();
    // Releases entry 0; returns the new count, or -1 when empty.
    int32_t PopFront();
    // Releases entry i when it exists.
    void RemoveAt(int32_t i);
    // Releases every entry.
    void ReleaseAll();
    DecodedFrame* LastFrame() const;
    DecodedFrame* FrameAt(int32_t i) const;
    // First entry not yet delivered; the newest when all are; nullptr when empty.
    DecodedFrame* FirstUndelivered() const;
};

}  // namespace avs
