// The vectors of symmetric and direct blocks of B pictures: both are derived
// from one vector and the temporal distances between the pictures.
#pragma once

#include <cstdint>

#include "decode/macroblock.h"
#include "frames/frame.h"

namespace avs {

// Distances of one B picture in half picture_distance steps.
struct BDistances {
    int32_t forward;   // DistFw: current - forward reference (1 when 0: it divides)
    int32_t backward;  // DistBw: backward reference - current
    // 16384 / DistRef, by the co-located block's reference index (0, or any
    // other value), where DistRef is the backward reference minus the picture
    // that the co-located block referenced (1 when 0).
    int32_t directScale[2];
};

BDistances ComputeBDistances(uint32_t current, const DecodedFrame& forward,
                             const DecodedFrame& backward);

// The backward vector of a symmetric block: its forward vector, mirrored and
// scaled by DistBw / DistFw.
MotionVector SymmetricBackward(MotionVector forward, const BDistances& d);

// A direct block's two vectors from the co-located block's vector.
struct DirectPair {
    MotionVector forward;
    MotionVector backward;
};
DirectPair DirectVectors(MotionVector colocated, int32_t colocatedRefIdx, const BDistances& d);

// Whether the backward reference's macroblock at the current position lends
// its vectors to direct blocks: not when it is intra (they are predicted
// like a 16x16 partition instead).
inline bool LendsDirectVectors(const MacroblockInfo& colocated) {
    return IsPInter(colocated.mbType);
}

// The vectors of the direct blocks in `blocks` (bit mask) from the co-located
// macroblock, which lends them. Blocks of one co-located partition share
// their vectors, so each partition's pair is derived once.
void DirectBlockVectors(const MacroblockInfo& colocated, uint32_t blocks, const BDistances& d,
                        MacroblockInfo& mb);

}  // namespace avs
