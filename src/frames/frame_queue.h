// The reference pictures (I and P) in decoding order, oldest first.
#pragma once

#include <cstdint>

#include "frames/frame.h"
#include "frames/frame_pool.h"

namespace avs {

struct FrameQueue {
    int32_t count = 0;
    DecodedFrame* entries[8] = {};
    // Where released frames go for reuse; null releases them at once.
    FramePool* spares = nullptr;

    // Forgets every entry (without releasing it).
    void Clear();
    // Appends a frame of this format (from the spares when one fits); nullptr
    // when all slots are used or no frame can be had.
    DecodedFrame* PushFrame(uint32_t width, uint32_t height, uint32_t chromaFormat);
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
