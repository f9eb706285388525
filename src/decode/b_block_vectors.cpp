#include "decode/b_block_vectors.h"

#include "decode/mv_prediction.h"

namespace avs {
namespace {

// Vectors of corrupt streams can be anything: products are formed in 64 bits
// and the results wrap to 32, so every input gives a defined vector.
inline int32_t Wrap(int64_t v) {
    return static_cast<int32_t>(static_cast<uint64_t>(v));
}

inline int32_t AtLeastOne(int32_t d) {
    return d == 0 ? 1 : d;
}

int32_t SymmetricComponent(int32_t f, int32_t forward, int32_t backward) {
    // The shift rounds toward minus infinity before the negation.
    return Wrap(-((int64_t{f} * (256 / forward) * backward + 128) >> 8));
}

// ((|c| * dist + 1) * scale - 1) >> 14; the sign follows c, negated for the
// backward vector. The signs of co-located vectors follow no pattern, so
// both are applied with masks rather than branches. Nothing overflows:
// |c| <= 2^31, dist < 2^10 and scale <= 2^14.
int32_t DirectComponent(int32_t c, int32_t dist, int32_t scale, bool negate) {
    const int64_t sign = c < 0 ? -1 : 0;
    const int64_t magnitude = ((int64_t{c} ^ sign) - sign) * dist + 1;
    const int64_t v = (magnitude * scale - 1) >> 14;
    const int64_t flip = negate ? ~sign : sign;  // -1 negates v
    return Wrap((v ^ flip) - flip);
}

// DirectVectors, inlined where most skipped macroblocks take it.
[[gnu::always_inline]] inline DirectPair ScaleColocated(MotionVector colocated,
                                                        int32_t colocatedRefIdx,
                                                        const BDistances& d) {
    // Any non-zero reference index selects the co-located picture's reference 1.
    const int32_t scale = d.directScale[colocatedRefIdx != 0 ? 1 : 0];
    return {{DirectComponent(colocated.x, d.forward, scale, false),
             DirectComponent(colocated.y, d.forward, scale, false)},
            {DirectComponent(colocated.x, d.backward, scale, true),
             DirectComponent(colocated.y, d.backward, scale, true)}};
}

}  // namespace

BDistances ComputeBDistances(uint32_t current, const DecodedFrame& forward,
                             const DecodedFrame& backward) {
    BDistances d;
    d.forward = AtLeastOne(2 * DistanceDelta(current, forward.pictureDistance));
    d.backward = 2 * DistanceDelta(backward.pictureDistance, current);
    for (int k = 0; k < 2; ++k) {
        const int32_t distRef =
            2 * DistanceDelta(backward.pictureDistance, backward.refDistance[k]);
        d.directScale[k] = 16384 / AtLeastOne(distRef);
    }
    return d;
}

MotionVector SymmetricBackward(MotionVector forward, const BDistances& d) {
    return {SymmetricComponent(forward.x, d.forward, d.backward),
            SymmetricComponent(forward.y, d.forward, d.backward)};
}

DirectPair DirectVectors(MotionVector colocated, int32_t colocatedRefIdx, const BDistances& d) {
    return ScaleColocated(colocated, colocatedRefIdx, d);
}

void DirectBlockVectors(const MacroblockInfo& colocated, uint32_t blocks, const BDistances& d,
                        MacroblockInfo& mb) {
    const uint8_t* partitionOf = kPPartitionOfBlock[colocated.mbType];
    if (blocks == 0xF && partitionOf[3] == 0) {  // one pair for all (most skipped macroblocks)
        const DirectPair pair = ScaleColocated(colocated.mv[0], colocated.refIdx[0], d);
        for (int b = 0; b < 4; ++b) {
            mb.mv[b] = pair.forward;
            mb.mvBackward[b] = pair.backward;
        }
        return;
    }
    DirectPair pairs[4];
    uint32_t derived = 0;  // partitions whose pair is in `pairs`
    for (int b = 0; b < 4; ++b) {
        if (!((blocks >> b) & 1)) continue;
        const int e = partitionOf[b];
        if (!((derived >> e) & 1)) {
            pairs[e] = DirectVectors(colocated.mv[e], colocated.refIdx[e], d);
            derived |= 1u << e;
        }
        mb.mv[b] = pairs[e].forward;
        mb.mvBackward[b] = pairs[e].backward;
    }
}

}  // namespace avs
