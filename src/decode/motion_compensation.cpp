#include "decode/motion_compensation.h"

#include <cstring>

#include "platform/kernel_table.h"

namespace avs {
namespace {

inline int Clip(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Where luma block k of a macroblock reads: its integer reference position
// (the vector shifted arithmetically, which keeps a fraction of 0..3 for
// negative vectors too) and the slot of its fraction.
struct LumaSource {
    ptrdiff_t offset;  // from the reference origin
    int fx;
    int fy;
};

inline LumaSource LocateLuma(ptrdiff_t refPitch, int mbx, int mby, int block, MotionVector mv) {
    const int x = 8 * (2 * mbx + (block & 1)) + (mv.x >> 2);
    const int y = 8 * (2 * mby + (block >> 1)) + (mv.y >> 2);
    return {static_cast<ptrdiff_t>(y) * refPitch + x, mv.x & 3, mv.y & 3};
}

inline ptrdiff_t LumaBlockOffset(ptrdiff_t pitch, int mbx, int mby, int block) {
    return static_cast<ptrdiff_t>(8 * (2 * mby + (block >> 1))) * pitch +
           8 * (2 * mbx + (block & 1));
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
    const LumaSource src = LocateLuma(refPitch, mbx, mby, block, mv);
    gKernels.McLumaAdd[src.fx][src.fy](dst + LumaBlockOffset(dstPitch, mbx, mby, block), dstPitch,
                                       ref + src.offset, refPitch, residual);
}

void PredictLuma8x8(uint8_t* pred, const uint8_t* ref, ptrdiff_t refPitch, int mbx, int mby,
                    int block, MotionVector mv) {
    const LumaSource src = LocateLuma(refPitch, mbx, mby, block, mv);
    gKernels.McLumaPredict[src.fx][src.fy](pred, ref + src.offset, refPitch);
}

void Average8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* pred0, const uint8_t* pred1,
                const int16_t* residual) {
    // Predictions and residual are contiguous 8x8 blocks: one loop over all
    // 64 samples (which the compiler vectorises), then the rows are stored.
    alignas(16) uint8_t out[64];
    if (residual == nullptr) {
        for (int i = 0; i < 64; ++i) out[i] = static_cast<uint8_t>((pred0[i] + pred1[i] + 1) >> 1);
    } else {
        for (int i = 0; i < 64; ++i) {
            out[i] = static_cast<uint8_t>(Clip(((pred0[i] + pred1[i] + 1) >> 1) + residual[i]));
        }
    }
    for (int r = 0; r < 8; ++r) std::memcpy(dst + r * dstPitch, out + 8 * r, 8);
}

void MotionCompensateLumaBi8x8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                               const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                               int mbx, int mby, int block, MotionVector mv0, MotionVector mv1) {
    alignas(16) uint8_t pred[2][64];
    PredictLuma8x8(pred[0], ref0, refPitch, mbx, mby, block, mv0);
    PredictLuma8x8(pred[1], ref1, refPitch, mbx, mby, block, mv1);
    Average8x8(dst + LumaBlockOffset(dstPitch, mbx, mby, block), dstPitch, pred[0], pred[1],
               residual);
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
    // A single-reference prediction plus a zero residual is the unclipped
    // prediction itself (a weighted mean of samples never leaves 0..255).
    static constexpr int16_t kNoResidual[64] = {};
    constexpr ChromaCorner kWhole{0, 0};
    alignas(16) uint8_t pred[2][64];
    const McChromaFn predict = gKernels.McChroma8x8;
    predict(pred[0], 8, ref0 + ChromaSourceOffset(refPitch, mbx, mby, kWhole, mv0), refPitch,
            kNoResidual, mv0.x & 7, mv0.y & 7);
    predict(pred[1], 8, ref1 + ChromaSourceOffset(refPitch, mbx, mby, kWhole, mv1), refPitch,
            kNoResidual, mv1.x & 7, mv1.y & 7);
    Average8x8(dst + ChromaDestOffset(dstPitch, mbx, mby, kWhole), dstPitch, pred[0], pred[1],
               residual);
}

}  // namespace avs
