#include "decode/motion_compensation.h"

#include "platform/kernel_table.h"

namespace avs {
namespace {

// Where a luma area whose top-left sample is (x, y) reads: its integer
// reference position (the vector shifted arithmetically, which keeps a
// fraction of 0..3 for negative vectors too) and the slot of its fraction.
struct LumaSource {
    ptrdiff_t offset;  // from the reference origin
    int fx;
    int fy;
};

inline LumaSource LocateLuma(ptrdiff_t refPitch, int x, int y, MotionVector mv) {
    return {static_cast<ptrdiff_t>(y + (mv.y >> 2)) * refPitch + x + (mv.x >> 2), mv.x & 3,
            mv.y & 3};
}

// A luma area of `size` (kLuma8x8 or kLuma16x16) at (x, y).
void CompensateLuma(int size, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                    ptrdiff_t refPitch, const int16_t* residual, int x, int y, MotionVector mv) {
    const LumaSource src = LocateLuma(refPitch, x, y, mv);
    gKernels.McLumaAdd[size][src.fx][src.fy](dst + static_cast<ptrdiff_t>(y) * dstPitch + x,
                                             dstPitch, ref + src.offset, refPitch, residual);
}

// The first prediction goes into a buffer, the second is averaged with it.
void CompensateLumaBi(int size, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                      const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual, int x,
                      int y, MotionVector mv0, MotionVector mv1) {
    alignas(32) uint8_t pred[16 * 16];
    const int width = size == kLuma16x16 ? 16 : 8;
    const LumaSource src0 = LocateLuma(refPitch, x, y, mv0);
    const LumaSource src1 = LocateLuma(refPitch, x, y, mv1);
    gKernels.McLumaAdd[size][src0.fx][src0.fy](pred, width, ref0 + src0.offset, refPitch, nullptr);
    gKernels.McLumaAvgAdd[size][src1.fx][src1.fy](dst + static_cast<ptrdiff_t>(y) * dstPitch + x,
                                                  dstPitch, ref1 + src1.offset, refPitch, pred,
                                                  residual);
}

inline int BlockX(int mbx, int block) {
    return 16 * mbx + 8 * (block & 1);
}
inline int BlockY(int mby, int block) {
    return 16 * mby + 8 * (block >> 1);
}

// Top-left sample of a chroma block inside the macroblock's 8x8 chroma block.
struct ChromaCorner {
    int cx;
    int cy;
};

inline ChromaCorner CornerOf(ChromaBlock shape, int block) {
    switch (shape) {
        case ChromaBlock::k8x8:
            return {0, 0};
        case ChromaBlock::k8x4:
            return {0, 4 * (block >> 1)};
        case ChromaBlock::k4x8:
            return {4 * (block & 1), 0};
        case ChromaBlock::k4x4:
            break;
    }
    return {4 * (block & 1), 4 * (block >> 1)};
}

// The integer position of the chroma sample under (8*mbx + cx, 8*mby + cy) moved by
// the vector in eighth samples. Coordinates left of or above the picture read
// the bordered plane's replicated edge, which equals clamping them to 0.
inline ptrdiff_t ChromaSourceOffset(ptrdiff_t refPitch, int mbx, int mby, ChromaCorner corner,
                                    MotionVector mv) {
    const int x = 8 * mbx + corner.cx + (mv.x >> 3);
    const int y = 8 * mby + corner.cy + (mv.y >> 3);
    return static_cast<ptrdiff_t>(y) * refPitch + x;
}

inline ptrdiff_t ChromaDestOffset(ptrdiff_t pitch, int mbx, int mby, ChromaCorner corner) {
    return static_cast<ptrdiff_t>(8 * mby + corner.cy) * pitch + 8 * mbx + corner.cx;
}

}  // namespace

void MotionCompensateLuma8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                             ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                             int block, MotionVector mv) {
    CompensateLuma(kLuma8x8, dst, dstPitch, ref, refPitch, residual, BlockX(mbx, block),
                   BlockY(mby, block), mv);
}

void MotionCompensateLuma16x16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                               ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                               MotionVector mv) {
    CompensateLuma(kLuma16x16, dst, dstPitch, ref, refPitch, residual, 16 * mbx, 16 * mby, mv);
}

void MotionCompensateLumaBi8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                               const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                               int mbx, int mby, int block, MotionVector mv0, MotionVector mv1) {
    CompensateLumaBi(kLuma8x8, dst, dstPitch, ref0, ref1, refPitch, residual, BlockX(mbx, block),
                     BlockY(mby, block), mv0, mv1);
}

void MotionCompensateLumaBi16x16(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, MotionVector mv0, MotionVector mv1) {
    CompensateLumaBi(kLuma16x16, dst, dstPitch, ref0, ref1, refPitch, residual, 16 * mbx, 16 * mby,
                     mv0, mv1);
}

void MotionCompensateChroma(ChromaBlock shape, uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                            ptrdiff_t refPitch, const int16_t* residual, int mbx, int mby,
                            int block, MotionVector mv) {
    static constexpr McChromaFn KernelTable::*kSlot[] = {
        &KernelTable::McChroma8x8, &KernelTable::McChroma8x4, &KernelTable::McChroma4x8,
        &KernelTable::McChroma4x4};
    const ChromaCorner corner = CornerOf(shape, block);
    (gKernels.*kSlot[static_cast<int>(shape)])(
        dst + ChromaDestOffset(dstPitch, mbx, mby, corner), dstPitch,
        ref + ChromaSourceOffset(refPitch, mbx, mby, corner, mv), refPitch,
        residual + 8 * corner.cy + corner.cx, mv.x & 7, mv.y & 7);
}

void MotionCompensateChromaBi4x4(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, int block, MotionVector mv0, MotionVector mv1) {
    const ChromaCorner corner = CornerOf(ChromaBlock::k4x4, block);
    gKernels.McChromaBi4x4(dst + ChromaDestOffset(dstPitch, mbx, mby, corner), dstPitch,
                           ref0 + ChromaSourceOffset(refPitch, mbx, mby, corner, mv0),
                           ref1 + ChromaSourceOffset(refPitch, mbx, mby, corner, mv1), refPitch,
                           residual + 8 * corner.cy + corner.cx, mv0.x & 7, mv0.y & 7, mv1.x & 7,
                           mv1.y & 7);
}

void MotionCompensateChromaBi8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                                 const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                                 int mbx, int mby, MotionVector mv0, MotionVector mv1) {
    constexpr ChromaCorner kWhole{0, 0};
    gKernels.McChromaBi8x8(dst + ChromaDestOffset(dstPitch, mbx, mby, kWhole), dstPitch,
                           ref0 + ChromaSourceOffset(refPitch, mbx, mby, kWhole, mv0),
                           ref1 + ChromaSourceOffset(refPitch, mbx, mby, kWhole, mv1), refPitch,
                           residual, mv0.x & 7, mv0.y & 7, mv1.x & 7, mv1.y & 7);
}

}  // namespace avs
