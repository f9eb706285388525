// Motion compensation of one partition: from a macroblock position, a block
// index and a folded vector to the kernel slot of the vector's fraction and the
// integer reference position it reads from, written into the picture.
//
// Every vector must have been folded by ClipMotionVector for the macroblock;
// then every read lies inside the bordered reference planes. The two
// references of a bi-directional partition have the picture's size.
#pragma once

#include <cstdint>

#include "decode/macroblock.h"
#include "frames/frame.h"

namespace avs {

// The luma block index that stands for the whole macroblock.
inline constexpr int kWholeMacroblock = 4;

// Luma block k (0..3) of macroblock (mbx, mby), or the whole macroblock for
// kWholeMacroblock (the same samples as its four blocks with one vector),
// predicted from `ref`, plus `residual` unless it is null, clipped, written
// into `frame`. The residual of a block is 8x8 (row stride 8); that of the
// whole macroblock is its four blocks in block order.
void MotionCompensateLuma(DecodedFrame& frame, const DecodedFrame& ref, const int16_t* residual,
                          int mbx, int mby, int block, MotionVector mv);

// Bi-directional luma: the rounded average of the predictions from `ref0` with
// `mv0` and from `ref1` with `mv1`, then as MotionCompensateLuma.
void MotionCompensateLumaBi(DecodedFrame& frame, const DecodedFrame& ref0, const DecodedFrame& ref1,
                            const int16_t* residual, int mbx, int mby, int block, MotionVector mv0,
                            MotionVector mv1);

// The chroma block that belongs to a partition, inside the macroblock's 8x8
// chroma block: 8x8 for 16x16, 8x4 for 16x8, 4x8 for 8x16, 4x4 for an 8x8
// luma block.
enum class ChromaBlock : uint8_t { k8x8, k8x4, k4x8, k4x4 };

// The chroma block of `shape` for block index k (8x4: 0 upper, 2 lower; 4x8:
// 0 left, 1 right; 4x4: 0..3; 8x8: 0) of macroblock (mbx, mby), in both
// planes: predicted from `ref`, plus its part of the macroblock's chroma
// residual in `residual`, clipped, written into `frame`.
void MotionCompensateChroma(ChromaBlock shape, DecodedFrame& frame, const DecodedFrame& ref,
                            const MacroblockResidual& residual, int mbx, int mby, int block,
                            MotionVector mv);

// A whole macroblock with one vector: MotionCompensateLuma of
// kWholeMacroblock (with residual.luma unless lumaCoded is false) and
// MotionCompensateChroma of the 8x8 block, in one call.
void MotionCompensateMacroblock(DecodedFrame& frame, const DecodedFrame& ref,
                                const MacroblockResidual& residual, bool lumaCoded, int mbx,
                                int mby, MotionVector mv);

// Bi-directional chroma of the whole 8x8 block (shape k8x8, block 0) or of
// one 4x4 block (k4x4): the rounded average of the two predictions, then as
// MotionCompensateChroma.
void MotionCompensateChromaBi(ChromaBlock shape, DecodedFrame& frame, const DecodedFrame& ref0,
                              const DecodedFrame& ref1, const MacroblockResidual& residual, int mbx,
                              int mby, int block, MotionVector mv0, MotionVector mv1);

}  // namespace avs
