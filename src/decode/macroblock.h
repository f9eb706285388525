// What the macroblock layers share: the macroblock types and partitions of
// each picture type as the records keep them, and the working buffers of
// one macroblock.
#pragma once

#include <cstdint>

#include "frames/macroblock_record.h"

namespace avs {

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

// An inter macroblock of a P picture: a type with partitions and vectors.
inline bool IsPInter(int32_t mbType) {
    return mbType >= kPSkip && mbType < kIntraMbType;
}

// Prediction direction of one 8x8 block of a B macroblock.
inline constexpr int32_t kDirDirect = -1;
inline constexpr int32_t kDirForward = 0;
inline constexpr int32_t kDirBackward = 1;
inline constexpr int32_t kDirSymmetric = 2;

// Written for the blocks of inter macroblocks: their samples are available as
// intra references, but they do not count for the predicted mode.
inline constexpr int32_t kModeInterBlock = 16;

// What parsing a macroblock leaves for its reconstruction besides its
// record: the coefficients of its coded blocks (then, in place, their
// residual). Blocks whose bit in the coded block pattern is clear are zero.
struct alignas(64) MacroblockResidual {
    int16_t luma[4][64];  // luma blocks 0..3, 8x8 row-major
    int16_t cb[64];
    int16_t cr[64];
    // Blocks (cbp bit layout) whose only coefficient is the DC, set by
    // ReadResidualCoefficients and used up by InverseTransformResidual: their
    // transform is a single value.
    uint32_t dcOnly;
    // The first macroblock row of the macroblock's slice: intra prediction
    // uses no sample above it.
    uint32_t sliceFirstRow;

    // Block k in the coded block pattern's order: luma 0..3, Cb, Cr.
    int16_t* Block(uint32_t k) { return k < 4 ? luma[k] : k == 4 ? cb : cr; }
};

// Where intra prediction of one macroblock is formed: 8x8 blocks, row stride 8.
struct alignas(64) IntraPrediction {
    uint8_t luma[4][64];
    uint8_t cb[64];
    uint8_t cr[64];
};

}  // namespace avs
