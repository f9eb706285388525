#include "decode/loop_filter.h"

#include <cstdlib>

#include "decode/dequant_tables.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

constexpr uint8_t kAlpha[64] = {0,  0,  0,  0,  0,  0,  1,  1,  1,  1,  1,  2,  2,  2,  3,  3,
                                4,  4,  5,  5,  6,  7,  8,  9,  10, 11, 12, 13, 15, 16, 18, 20,
                                22, 24, 26, 28, 30, 33, 33, 35, 35, 36, 37, 37, 39, 39, 42, 44,
                                46, 48, 50, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64};
constexpr uint8_t kBeta[64] = {0,  0,  0,  0,  0,  0,  1,  1,  1,  1,  1,  1,  1,  2,  2,  2,
                               2,  2,  3,  3,  3,  3,  4,  4,  4,  4,  5,  5,  5,  5,  6,  6,
                               6,  7,  7,  7,  8,  8,  8,  9,  9,  10, 10, 11, 11, 12, 13, 14,
                               15, 16, 17, 18, 19, 20, 21, 22, 23, 23, 24, 24, 25, 25, 26, 27};
constexpr uint8_t kClip[64] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1,
                               1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3,
                               3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8, 9, 9, 9};
constexpr uint8_t kChromaQp[64] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                   16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                   32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 42, 43, 43, 44, 44,
                                   45, 45, 46, 46, 47, 47, 48, 48, 48, 49, 49, 49, 50, 50, 50, 51};

inline int ClampIndex(int v) {
    return v < 0 ? 0 : v > 63 ? 63 : v;
}
// Offsets come from se(v) codes: bounded before they are added to a QP.
inline int BoundOffset(int32_t v) {
    return v < -64 ? -64 : v > 64 ? 64 : v;
}

// Vectors of corrupt streams can lie anywhere in 32 bits: differences in 64.
inline bool FarApart(const MotionVector& a, const MotionVector& b) {
    return std::abs(int64_t{a.x} - b.x) >= 4 || std::abs(int64_t{a.y} - b.y) >= 4;
}

int StrengthP(const MacroblockInfo& p, int kp, const MacroblockInfo& q, int kq) {
    if (p.mbType == kIntraMbType || q.mbType == kIntraMbType) return 2;
    const auto partition = [](const MacroblockInfo& m, int k) {
        return static_cast<uint32_t>(m.mbType) <= kP8x8 ? kPPartitionOfBlock[m.mbType][k] : 0;
    };
    const int ep = partition(p, kp);
    const int eq = partition(q, kq);
    if (FarApart(p.mv[ep], q.mv[eq])) return 1;
    return p.refIdx[ep] != q.refIdx[eq] ? 1 : 0;
}

// B blocks keep their vectors per 8x8 block. Direct and symmetric blocks use
// both references.
int StrengthB(const MacroblockInfo& p, int kp, const MacroblockInfo& q, int kq) {
    if (p.mbType >= kBIntraMbType || q.mbType >= kBIntraMbType) return 2;
    const int dp = p.blockPredDir[kp];
    const int dq = q.blockPredDir[kq];
    const bool forward = dp != kDirBackward;
    const bool backward = dp != kDirForward;
    if (forward != (dq != kDirBackward) || backward != (dq != kDirForward)) return 1;
    if (forward && FarApart(p.mv[kp], q.mv[kq])) return 1;
    if (backward && FarApart(p.mvBackward[kp], q.mvBackward[kq])) return 1;
    return 0;
}

}  // namespace

int BoundaryStrength(PictureType type, const MacroblockInfo& p, int kp, const MacroblockInfo& q,
                     int kq) {
    switch (type) {
        case PictureType::I:
            return 2;
        case PictureType::P:
            return StrengthP(p, kp, q, kq);
        default:
            return StrengthB(p, kp, q, kq);
    }
}

EdgeThresholds LoopFilterThresholds(int qp, int32_t alphaOffset, int32_t betaOffset) {
    const int indexA = ClampIndex(qp + BoundOffset(alphaOffset));
    const int indexB = ClampIndex(qp + BoundOffset(betaOffset));
    return {kAlpha[indexA], kBeta[indexB], kClip[indexA]};
}

int ChromaQp(int qp) {
    return kChromaQp[BoundQp(qp)];
}

void FilterMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY, int32_t alphaOffset,
                      int32_t betaOffset) {
    const uint32_t n = mbY * frame.mbWidth + mbX;
    const MacroblockInfo& mb = frame.macroblocks[n];
    const PictureType type = frame.pictureType;
    const KernelTable& kernels = gKernels;
    const int qp = BoundQp(mb.qp);
    const EdgeThresholds luma = LoopFilterThresholds(qp, alphaOffset, betaOffset);
    const EdgeThresholds chroma = LoopFilterThresholds(ChromaQp(qp), alphaOffset, betaOffset);
    // With alpha 0 no sample passes |p0 - q0| < alpha.
    if (luma.alpha == 0 && chroma.alpha == 0) return;

    const ptrdiff_t lumaPitch = frame.lumaPitch;
    const ptrdiff_t chromaPitch = frame.chromaPitch;
    uint8_t* y = frame.lumaPlane + 16 * static_cast<ptrdiff_t>(mbY) * lumaPitch + 16 * mbX;
    const ptrdiff_t chromaOffset = 8 * static_cast<ptrdiff_t>(mbY) * chromaPitch + 8 * mbX;
    uint8_t* cb = frame.cbPlane + chromaOffset;
    uint8_t* cr = frame.crPlane + chromaOffset;

    // A macroblock of another (earlier) slice is treated like one outside the picture.
    if (mbX > 0 && frame.macroblocks[n - 1].sliceNumber == mb.sliceNumber) {
        const MacroblockInfo& left = frame.macroblocks[n - 1];
        const int bs0 = BoundaryStrength(type, left, 1, mb, 0);
        const int bs1 = BoundaryStrength(type, left, 3, mb, 2);
        if (bs0 | bs1) {
            kernels.FilterLumaEdgeV(y, lumaPitch, bs0, bs1, luma);
            kernels.FilterChromaEdgeV(cb, cr, chromaPitch, bs0, bs1, chroma);
        }
    }
    {
        const int bs0 = BoundaryStrength(type, mb, 0, mb, 1);
        const int bs1 = BoundaryStrength(type, mb, 2, mb, 3);
        if (bs0 | bs1) kernels.FilterLumaEdgeV(y + 8, lumaPitch, bs0, bs1, luma);
    }
    if (mbY > 0 && frame.macroblocks[n - frame.mbWidth].sliceNumber == mb.sliceNumber) {
        const MacroblockInfo& up = frame.macroblocks[n - frame.mbWidth];
        const int bs0 = BoundaryStrength(type, up, 2, mb, 0);
        const int bs1 = BoundaryStrength(type, up, 3, mb, 1);
        if (bs0 | bs1) {
            kernels.FilterLumaEdgeH(y, lumaPitch, bs0, bs1, luma);
            kernels.FilterChromaEdgeH(cb, cr, chromaPitch, bs0, bs1, chroma);
        }
    }
    {
        const int bs0 = BoundaryStrength(type, mb, 0, mb, 2);
        const int bs1 = BoundaryStrength(type, mb, 1, mb, 3);
        if (bs0 | bs1) kernels.FilterLumaEdgeH(y + 8 * lumaPitch, lumaPitch, bs0, bs1, luma);
    }
}

void FilterPicture(DecodedFrame& frame, const PictureHeader& header) {
    if (header.loop_filter_disable) return;
    for (uint32_t mbY = 0; mbY < frame.mbHeight; ++mbY) {
        for (uint32_t mbX = 0; mbX < frame.mbWidth; ++mbX) {
            FilterMacroblock(frame, mbX, mbY, header.alpha_c_offset, header.beta_offset);
        }
    }
}

}  // namespace avs
