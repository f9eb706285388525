// The per-macroblock record that the macroblock layers fill and that intra
// prediction, vector prediction, direct mode and the loop filter read.
#pragma once

#include <cstdint>

#include "bitstream/headers.h"

namespace avs {

struct MotionVector {
    int32_t x;  // quarter luma samples, right is positive
    int32_t y;  // quarter luma samples, down is positive
    friend bool operator==(const MotionVector&, const MotionVector&) = default;
};

// Macroblock types as kept in mbType.
inline constexpr int32_t kPSkip = 0;
inline constexpr int32_t kP16x16 = 1;
inline constexpr int32_t kP16x8 = 2;
inline constexpr int32_t kP8x16 = 3;
inline constexpr int32_t kP8x8 = 4;
inline constexpr int32_t kIntraMbType = 5;   // I pictures and intra macroblocks of P pictures
inline constexpr int32_t kBDirect16x16 = 0;  // also every skipped B macroblock
inline constexpr int32_t kB8x8 = 22;
inline constexpr int32_t kBIntraMbType = 23;  // B types 23 and above are intra

// The partition (mv and refIdx entry) whose vector each 8x8 block of a P
// macroblock of type 0..4 uses: P records keep one entry per partition.
inline constexpr uint8_t kPPartitionOfBlock[kIntraMbType][4] = {
    {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 1}, {0, 1, 0, 1}, {0, 1, 2, 3}};

// Prediction direction of one 8x8 block of a B macroblock.
inline constexpr int32_t kDirDirect = -1;
inline constexpr int32_t kDirForward = 0;
inline constexpr int32_t kDirBackward = 1;
inline constexpr int32_t kDirSymmetric = 2;

struct MacroblockInfo {
    int32_t mbType;
    int32_t motionPartitionCount;
    int32_t subMbType[4];
    int32_t blockPredDir[4];
    int32_t partitionShape;  // B: 0 16x16, 1 16x8, 2 8x16, 3 8x8
    int32_t intraCbpIndex;
    int32_t predModeFlag[4];
    int32_t lumaPredMode[4];
    int32_t chromaPredMode;
    int32_t chromaPredMode422;
    int32_t refIdx[4];
    int32_t mvd[2][4];  // [0] x components, [1] y components
    int32_t cbpFromType;
    int32_t cbp;
    int32_t qpDelta;
    MotionVector mv[4];          // P: per partition; B: forward, per 8x8 block
    MotionVector mvBackward[4];  // B: per 8x8 block
    int32_t skipped;
    int32_t qp;
    // Slices cover whole macroblock rows; a neighbour with another slice
    // number (an earlier slice) is treated like one outside the picture.
    int32_t sliceNumber;
};

// IntraModeMap: (2*mbWidth + 4) entries per row, 2*mbHeight + 6 rows; the entry
// of luma 8x8 block (bx, by) is at row by + 1, column bx + 1. Row 0 and
// column 0 are the unavailable margin.
inline constexpr int32_t kModeUnavailable = -1;
// Written for the blocks of inter macroblocks: their samples are available as
// intra references, but they do not count for the predicted mode.
inline constexpr int32_t kModeInterBlock = 16;

inline uint32_t IntraModeMapStride(uint32_t mbWidth) {
    return 2 * mbWidth + 4;
}
inline uint32_t IntraModeMapRows(uint32_t mbHeight) {
    return 2 * mbHeight + 6;
}
inline int32_t& IntraModeAt(int32_t* map, uint32_t mbWidth, int bx, int by) {
    return map[(by + 1) * static_cast<int>(IntraModeMapStride(mbWidth)) + bx + 1];
}

// Working buffers of one macroblock; lives in the decoder context (64-aligned).
struct alignas(64) MacroblockBuffers {
    int16_t luma[4][64];  // coefficients, then residual, luma blocks 0..3
    int16_t cb[64];
    int16_t cr[64];
    uint8_t lumaPred[4][64];  // intra prediction, 8x8, row stride 8
    uint8_t cbPred[64];
    uint8_t crPred[64];
    uint8_t biPred[2][64];  // the two single-direction predictions of a B block
    // Blocks (cbp bit layout) whose only coefficient is the DC, set by
    // ReadResidualCoefficients and used up by InverseTransformResidual: their
    // transform is a single value.
    uint32_t dcOnly;
};

}  // namespace avs
