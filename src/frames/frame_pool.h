// Frames whose pictures are no longer needed, kept for the next pictures of
// the same size. Taking a kept frame costs no allocation and touches memory
// that is already mapped; at 1080p, fresh frames for every picture cost a
// fifth of the decoding time in page faults.
#pragma once

#include <cstdint>

#include "frames/frame.h"

namespace avs {

struct FramePool {
    // Enough for the steady state: one reference leaves the queue as one
    // enters, and a B picture's frame comes back once it is delivered.
    static constexpr int32_t kCapacity = 2;

    int32_t count = 0;
    DecodedFrame* frames[kCapacity] = {};

    // A frame of this format in the state a new one has (borders not
    // extended, not delivered); nullptr when memory runs out or the format is
    // not decoded. The frame shown to the host is never taken.
    DecodedFrame* Take(uint32_t width, uint32_t height, uint32_t chromaFormat);
    // Keeps the frame, or releases it when the pool is full; a shown frame is
    // kept in place of another. Null is ignored.
    void Give(DecodedFrame* frame);
    // Releases every kept frame.
    void Clear();
};

}  // namespace avs
