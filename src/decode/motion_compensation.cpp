#include "decode/motion_compensation.h"

#include <algorithm>

#include "decode/kernel_table.h"

namespace avs {
namespace {

// The luma area of a block index: its size slot and top-left sample.
struct LumaArea {
    int size;  // kLuma8x8 or kLuma16x16
    int x;
    int y;
};

inline LumaArea AreaOf(int mbx, int mby, int block) {
    if (block == kWholeMacroblock) return {kLuma16x16, 16 * mbx, 16 * mby};
    return {kLuma8x8, 16 * mbx + 8 * (block & 1), 16 * mby + 8 * (block >> 1)};
}

// Where an area reads: its integer reference position (the vector shifted
// arithmetically, which keeps a fraction of 0..3 for negative vectors too) and
// the fraction.
struct LumaSource {
    ptrdiff_t offset;  // from the reference origin
    int fx;
    int fy;
};

inline LumaSource LocateLuma(ptrdiff_t refPitch, const LumaArea& a, MotionVector mv) {
    return {static_cast<ptrdiff_t>(a.y + (mv.y >> 2)) * refPitch + a.x + (mv.x >> 2), mv.x & 3,
            mv.y & 3};
}

inline uint8_t* LumaTarget(DecodedFrame& frame, const LumaArea& a) {
    return frame.lumaPlane + static_cast<ptrdiff_t>(a.y) * frame.lumaPitch + a.x;
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

// A chroma block's place in both planes: the destination and residual
// offsets, and for each reference the source offset and the fraction.
// The source is the integer position of the chroma sample under
// (8*mbx + cx, 8*mby + cy) moved by the vector in eighth samples; coordinates
// left of or above the picture read the bordered plane's replicated edge,
// which equals clamping them to 0.
struct ChromaPlace {
    ptrdiff_t dst;
    int residual;

    ChromaPlace(const DecodedFrame& frame, int mbx, int mby, ChromaCorner c)
        : dst(static_cast<ptrdiff_t>(8 * mby + c.cy) * frame.chromaPitch + 8 * mbx + c.cx),
          residual(8 * c.cy + c.cx) {}
};

struct ChromaSource {
    ptrdiff_t offset;
    int ax;
    int ay;

    ChromaSource(const DecodedFrame& ref, int mbx, int mby, ChromaCorner c, MotionVector mv)
        : offset(static_cast<ptrdiff_t>(8 * mby + c.cy + (mv.y >> 3)) * ref.refChromaPitch +
                 8 * mbx + c.cx + (mv.x >> 3)),
          ax(mv.x & 7),
          ay(mv.y & 7) {}
};

// The bodies of MotionCompensateLuma and MotionCompensateChroma, inlined
// into them and into MotionCompensateMacroblock.
[[gnu::always_inline]] inline void CompensateLuma(DecodedFrame& frame, const DecodedFrame& ref,
                                                  const int16_t* residual, int mbx, int mby,
                                                  int block, MotionVector mv) {
    const LumaArea area = AreaOf(mbx, mby, block);
    const LumaSource src = LocateLuma(ref.refLumaPitch, area, mv);
    gKernels.McLumaAdd[area.size][src.fx][src.fy](LumaTarget(frame, area), frame.lumaPitch,
                                                  ref.refLumaPlane + src.offset, ref.refLumaPitch,
                                                  residual);
}

[[gnu::always_inline]] inline void CompensateChroma(ChromaBlock shape, DecodedFrame& frame,
                                                    const DecodedFrame& ref,
                                                    const MacroblockResidual& residual, int mbx,
                                                    int mby, int block, MotionVector mv) {
    static constexpr McChromaFn KernelTable::*kSlot[] = {
        &KernelTable::McChroma8x8, &KernelTable::McChroma8x4, &KernelTable::McChroma4x8,
        &KernelTable::McChroma4x4};
    const McChromaFn kernel = gKernels.*kSlot[static_cast<int>(shape)];
    const ChromaCorner corner = CornerOf(shape, block);
    const ChromaPlace at(frame, mbx, mby, corner);
    const ChromaSource src(ref, mbx, mby, corner, mv);
    kernel(frame.cbPlane + at.dst, frame.chromaPitch, ref.refCbPlane + src.offset,
           ref.refChromaPitch, residual.cb + at.residual, src.ax, src.ay);
    kernel(frame.crPlane + at.dst, frame.chromaPitch, ref.refCrPlane + src.offset,
           ref.refChromaPitch, residual.cr + at.residual, src.ax, src.ay);
}

}  // namespace

void MotionCompensateLuma(DecodedFrame& frame, const DecodedFrame& ref, const int16_t* residual,
                          int mbx, int mby, int block, MotionVector mv) {
    CompensateLuma(frame, ref, residual, mbx, mby, block, mv);
}

void MotionCompensateMacroblock(DecodedFrame& frame, const DecodedFrame& ref,
                                const MacroblockResidual& residual, bool lumaCoded, int mbx,
                                int mby, MotionVector mv) {
    CompensateLuma(frame, ref, lumaCoded ? residual.luma[0] : nullptr, mbx, mby, kWholeMacroblock,
                   mv);
    CompensateChroma(ChromaBlock::k8x8, frame, ref, residual, mbx, mby, 0, mv);
}

void MotionCompensateLumaBi(DecodedFrame& frame, const DecodedFrame& ref0, const DecodedFrame& ref1,
                            const int16_t* residual, int mbx, int mby, int block, MotionVector mv0,
                            MotionVector mv1) {
    // The first prediction goes into a buffer, the second is averaged with it.
    alignas(32) uint8_t pred[16 * 16];
    const LumaArea area = AreaOf(mbx, mby, block);
    const ptrdiff_t refPitch = ref0.refLumaPitch;
    const LumaSource src0 = LocateLuma(refPitch, area, mv0);
    const LumaSource src1 = LocateLuma(refPitch, area, mv1);
    gKernels.McLumaAdd[area.size][src0.fx][src0.fy](
        pred, area.size == kLuma16x16 ? 16 : 8, ref0.refLumaPlane + src0.offset, refPitch, nullptr);
    gKernels.McLumaAvgAdd[area.size][src1.fx][src1.fy](LumaTarget(frame, area), frame.lumaPitch,
                                                       ref1.refLumaPlane + src1.offset, refPitch,
                                                       pred, residual);
}

void MotionCompensateChroma(ChromaBlock shape, DecodedFrame& frame, const DecodedFrame& ref,
                            const MacroblockResidual& residual, int mbx, int mby, int block,
                            MotionVector mv) {
    CompensateChroma(shape, frame, ref, residual, mbx, mby, block, mv);
}

void MotionCompensateChromaBi(ChromaBlock shape, DecodedFrame& frame, const DecodedFrame& ref0,
                              const DecodedFrame& ref1, const MacroblockResidual& residual, int mbx,
                              int mby, int block, MotionVector mv0, MotionVector mv1) {
    const McChromaBiFn kernel =
        shape == ChromaBlock::k8x8 ? gKernels.McChromaBi8x8 : gKernels.McChromaBi4x4;
    const ChromaCorner corner = CornerOf(shape, block);
    const ChromaPlace at(frame, mbx, mby, corner);
    const ChromaSource src0(ref0, mbx, mby, corner, mv0);
    const ChromaSource src1(ref1, mbx, mby, corner, mv1);
    const ptrdiff_t refPitch = ref0.refChromaPitch;
    kernel(frame.cbPlane + at.dst, frame.chromaPitch, ref0.refCbPlane + src0.offset,
           ref1.refCbPlane + src1.offset, refPitch, residual.cb + at.residual, src0.ax, src0.ay,
           src1.ax, src1.ay);
    kernel(frame.crPlane + at.dst, frame.chromaPitch, ref0.refCrPlane + src0.offset,
           ref1.refCrPlane + src1.offset, refPitch, residual.cr + at.residual, src0.ax, src0.ay,
           src1.ax, src1.ay);
}

}  // namespace avs
