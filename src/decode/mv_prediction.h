// Motion-vector prediction: the vector a partition predicts from its decoded
// neighbours, and the fold that brings a finished vector back into the
// reference border.
//
// Neighbours are 8x8 blocks of the current picture: A left of the partition's
// top-left block, B above it, C above and right of its top-right block, D above
// and left of its top-left block (C's stand-in when C's position is
// unavailable). A macroblock outside the picture, of an earlier slice, or not
// yet decoded is unavailable; an intra one is present but carries no vector.
//
// Vector arithmetic wraps in 32 bits and every intermediate that could
// overflow is formed in 64 bits, so corrupt differences give defined (if
// meaningless) vectors; ClipMotionVector then bounds them.
#pragma once

#include <algorithm>
#include <cstdint>

#include "decode/macroblock.h"

namespace avs {

// The current picture's records, as the predictors read them. Every record
// before the current macroblock (raster order) has been written, sliceNumber
// included.
struct MacroblockGrid {
    const MacroblockInfo* macroblocks;  // raster order
    int mbWidth;
    int mbHeight;
};

// The difference of two 8-bit picture_distance values: they wrap, so
// 255 followed by 0 is one step.
inline int32_t DistanceDelta(uint32_t later, uint32_t earlier) {
    return static_cast<int32_t>((later - earlier) & 255u);
}

// prediction + difference, wrapping in 32 bits as corrupt differences may.
inline MotionVector AddDifference(MotionVector pred, int32_t dx, int32_t dy) {
    return {static_cast<int32_t>(static_cast<uint32_t>(pred.x) + static_cast<uint32_t>(dx)),
            static_cast<int32_t>(static_cast<uint32_t>(pred.y) + static_cast<uint32_t>(dy))};
}

// P pictures. A candidate of reference k predicting a partition of reference
// r is scaled by d(k) and d(r), where d(k) = 2 * DistanceDelta(current,
// reference k), 0 when reference k is missing (the current picture stands in
// for it): each component becomes sign(c) * (((512 / d(k)) * |c| * d(r) +
// 256) >> 9), unchanged when d(k) is 0.
struct PVectorPredictor {
    MacroblockGrid grid;
    // The factor (512 / d(k)) * d(r), 512 when d(k) is 0; [k][r].
    int64_t scale[2][2];
};

// The predictor of a picture whose references have d(0) = d0, d(1) = d1.
PVectorPredictor MakePVectorPredictor(const MacroblockGrid& grid, int32_t d0, int32_t d1);

// Predicted vector of partition `partition` of the P macroblock at (mbx, mby);
// shape (mbType 0..4) and reference index come from its record.
MotionVector PredictPVector(const PVectorPredictor& pred, int mbx, int mby, int partition);
// The vector of a skipped P macroblock.
MotionVector PredictPSkipVector(const PVectorPredictor& pred, int mbx, int mby);
// A candidate with reference index k in a partition with reference index r, as
// d(k) = dk and d(r) = dr.
void ScaleCandidateP(MotionVector& v, int32_t dk, int32_t dr);

// B pictures.
inline constexpr int kForward = 0;
inline constexpr int kBackward = 1;
struct BVectorPredictor {
    MacroblockGrid grid;
    // Per direction: DistanceDelta between the current picture and that
    // direction's reference (the later minus the earlier), 1 when it is 0.
    int32_t distance[2];
};

// Predicted vector in `direction` for the partition whose top-left block is
// (bx, by) of the B macroblock at (mbx, mby); the shape comes from its record
// and a direct block is predicted as the whole macroblock.
MotionVector PredictBVector(const BVectorPredictor& pred, int mbx, int mby, int bx, int by,
                            int direction);
// c = sign(c) * (((512 / d) * |c| * d + 256) >> 9); a d of 0 counts as 1,
// which leaves c unchanged.
void RoundCandidateB(int32_t& c, int32_t d);

// The candidate at the median distance: C when dAB is the median, else A when
// dBC is, else B. Inline: every P and B prediction ends here.
inline MotionVector MedianChoice(MotionVector a, MotionVector b, MotionVector c) {
    auto distance = [](MotionVector p, MotionVector q) {
        const int64_t dx = int64_t{p.x} - q.x;
        const int64_t dy = int64_t{p.y} - q.y;
        return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
    };
    const int64_t ab = distance(a, b);
    const int64_t bc = distance(b, c);
    const int64_t ca = distance(c, a);
    const int64_t median = std::max(std::min(ab, bc), std::min(std::max(ab, bc), ca));
    // Ties resolve in the order ab, bc.
    if (median == ab) return c;
    if (median == bc) return a;
    return b;
}

// Folds each component so that the macroblock at luma sample (x, y) reads at
// most 32 samples outside a width x height picture, keeping the fraction: left
// and above by multiples of 64 quarter samples, right and below by multiples of
// 32. Any 32-bit input gives a small result. Inline: most vectors need no fold.
inline void ClipMotionVector(MotionVector& mv, int x, int y, int width, int height);

// One component of ClipMotionVector that lies outside the readable range.
int32_t FoldOutside(int32_t v, int pos, int size);

inline int32_t FoldComponent(int32_t v, int pos, int size) {
    const int64_t p = int64_t{v} + 4 * int64_t{pos};
    return p >= -63 && p <= 4 * int64_t{size} ? v : FoldOutside(v, pos, size);
}

inline void ClipMotionVector(MotionVector& mv, int x, int y, int width, int height) {
    mv.x = FoldComponent(mv.x, x, width);
    mv.y = FoldComponent(mv.y, y, height);
}

}  // namespace avs
