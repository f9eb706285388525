// Motion compensation of one block: from a macroblock position, a block index
// and a folded vector to the kernel slot of the vector's fraction and the
// integer reference position it reads from.
//
// Every vector must have been folded by ClipMotionVector for the macroblock;
// then every read lies inside the bordered reference planes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/macroblock.h"

namespace avs {

// Luma block k (0..3) of macroblock (mbx, mby), predicted from `ref` (origin
// and pitch of a bordered reference plane), plus `residual` (8x8, row stride
// 8) unless it is null, clipped, written into the picture at `dst`.
void MotionCompensateLuma8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                             ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                             int block, MotionVector mv);

// The whole luma macroblock with one vector: the same samples as the four
// blocks with that vector. `residual` is null or the four 8x8 blocks in block
// order (uncoded blocks zero).
void MotionCompensateLuma16x16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                               ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                               MotionVector mv);

// Bi-directional luma block k: the rounded average of the predictions from
// `ref0` with `mv0` and from `ref1` with `mv1` (both references share one
// pitch), plus `residual` unless it is null, clipped, written at `dst`.
void MotionCompensateLumaBi8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                               const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                               int mbx, int mby, int block, MotionVector mv0, MotionVector mv1);

// The whole bi-directional luma macroblock with one pair of vectors; the
// residual as for MotionCompensateLuma16x16.
void MotionCompensateLumaBi16x16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, MotionVector mv0, MotionVector mv1);

// The chroma block that belongs to a partition, inside the macroblock's 8x8
// chroma block: 8x8 for 16x16, 8x4 for 16x8, 4x8 for 8x16, 4x4 for an 8x8
// luma block.
enum class ChromaBlock : uint8_t { k8x8, k8x4, k4x8, k4x4 };

// The chroma block of `shape` for block index k (8x4: 0 upper, 2 lower; 4x8:
// 0 left, 1 right; 4x4: 0..3; 8x8: 0) of macroblock (mbx, mby), predicted
// from one chroma reference plane, plus its part of the macroblock's 8x8
// chroma residual (always added), clipped, written at `dst`.
void MotionCompensateChroma(ChromaBlock shape, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                            ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                            int block, MotionVector mv);

// The 4x4 chroma block k predicted from two references (one pitch), averaged,
// plus its part of the 8x8 chroma residual, clipped, written at `dst`.
void MotionCompensateChromaBi4x4(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, int block, MotionVector mv0, MotionVector mv1);

// The macroblock's whole 8x8 chroma block predicted from two references with
// one pair of vectors, plus `residual` unless it is null: the same samples as
// four MotionCompensateChromaBi4x4 calls with those vectors.
void MotionCompensateChromaBi8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, MotionVector mv0, MotionVector mv1);

}  // namespace avs
