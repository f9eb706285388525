#include "decode/loop_filter.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"

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

inline int ClampIndex(int v) {
    return v < 0 ? 0 : v > 63 ? 63 : v;
}
// Offsets come from se(v) codes: bounded before they are added to a QP.
inline int BoundOffset(int32_t v) {
    return v < -64 ? -64 : v > 64 ? 64 : v;
}

// Vectors of corrupt streams can lie anywhere in 32 bits: differences in 64.
// |d| >= 4 as one unsigned compare each, and no branch between the two.
inline bool FarApart(const MotionVector& a, const MotionVector& b) {
    const auto dx = static_cast<uint64_t>(int64_t{a.x} - b.x + 3);
    const auto dy = static_cast<uint64_t>(int64_t{a.y} - b.y + 3);
    return (dx > 6) | (dy > 6);
}

// Edge strengths: 2 when either side is intra, 1 when the sides differ in
// references or in a vector by 4 quarter samples or more, else 0.
//
// The P rule for two inter macroblocks: 1 when entries ep of p and eq of q
// differ in reference or by 4 quarter samples in a vector, else 0.
inline uint32_t DifferP(const MacroblockInfo& p, int ep, const MacroblockInfo& q, int eq) {
    return static_cast<uint32_t>(FarApart(p.mv[ep], q.mv[eq]) | (p.refIdx[ep] != q.refIdx[eq]));
}

// The entry of mv and refIdx each block of an inter P macroblock uses.
inline const uint8_t* PartitionsOf(const MacroblockInfo& m) {
    static constexpr uint8_t kWhole[4] = {0, 0, 0, 0};
    return IsPInter(m.mbType) ? kPPartitionOfBlock[m.mbType] : kWhole;
}

// The B rule for two inter blocks. B blocks keep their vectors per 8x8
// block; direct and symmetric blocks use both references.
inline uint32_t DifferB(const MacroblockInfo& p, int kp, const MacroblockInfo& q, int kq) {
    const int dp = p.blockPredDir[kp];
    const int dq = q.blockPredDir[kq];
    const bool forward = dp != kDirBackward;
    const bool backward = dp != kDirForward;
    if (dp != dq) {
        if (forward != (dq != kDirBackward) || backward != (dq != kDirForward)) return 1;
    } else if (VectorBits(p.mv[kp]) == VectorBits(q.mv[kq]) &&
               VectorBits(p.mvBackward[kp]) == VectorBits(q.mvBackward[kq])) {
        return 0;
    }
    const auto farForward = static_cast<uint32_t>(FarApart(p.mv[kp], q.mv[kq]));
    const auto farBackward = static_cast<uint32_t>(FarApart(p.mvBackward[kp], q.mvBackward[kq]));
    return (static_cast<uint32_t>(forward) & farForward) |
           (static_cast<uint32_t>(backward) & farBackward);
}

inline bool IntraB(const MacroblockInfo& m) {
    return m.mbType >= kBIntraMbType;
}

// A macroblock's strengths are built in one word laid out as
// MacroblockEdgeStrengths, so that they are masked and tested in a register.
enum EdgeSlot { kLeftSlot = 0, kInnerVSlot = 1, kTopSlot = 2, kInnerHSlot = 3 };

inline uint64_t Halves(EdgeSlot slot, uint32_t first, uint32_t second) {
    if constexpr (std::endian::native == std::endian::little) {
        return (uint64_t{first} | uint64_t{second} << 8) << (16 * slot);
    } else {
        return (uint64_t{second} | uint64_t{first} << 8) << (48 - 16 * slot);
    }
}
inline uint64_t Both(EdgeSlot slot, uint32_t s) {
    return Halves(slot, s, s);
}

// An intra macroblock: every edge it filters is strong.
inline uint64_t IntraStrengths(const MacroblockInfo* left, const MacroblockInfo* up) {
    uint64_t bs = Both(kInnerVSlot, 2) | Both(kInnerHSlot, 2);
    if (left != nullptr) bs |= Both(kLeftSlot, 2);
    if (up != nullptr) bs |= Both(kTopSlot, 2);
    return bs;
}

// Skipped and 16x16 P macroblocks: one entry for all four blocks.
inline bool WholeP(const MacroblockInfo& m) {
    return static_cast<uint32_t>(m.mbType) <= kP16x16;
}

// The edge between inter macroblock q and its neighbour p: blocks kp0 and
// kp1 of p against kq0 and kq1 of q. Halves whose blocks use the same
// entries on both sides are one comparison.
inline uint64_t OuterP(EdgeSlot slot, const MacroblockInfo& p, int kp0, int kp1,
                       const MacroblockInfo& q, bool qWhole, const uint8_t* qParts, int kq0,
                       int kq1) {
    if (qWhole && WholeP(p)) return Both(slot, DifferP(p, 0, q, 0));
    if (p.mbType == kIntraMbType) return Both(slot, 2);
    const uint8_t* pParts = PartitionsOf(p);
    const int ep0 = pParts[kp0], ep1 = pParts[kp1], eq0 = qParts[kq0], eq1 = qParts[kq1];
    const uint32_t first = DifferP(p, ep0, q, eq0);
    if (ep0 == ep1 && eq0 == eq1) return Both(slot, first);
    return Halves(slot, first, DifferP(p, ep1, q, eq1));
}

// Inside a P macroblock, blocks of one partition share their motion: only
// edges between partitions can filter.
inline uint64_t StrengthsP(const MacroblockInfo& mb, const MacroblockInfo* left,
                           const MacroblockInfo* up) {
    if (mb.mbType == kIntraMbType) return IntraStrengths(left, up);
    const bool whole = WholeP(mb);
    const uint8_t* parts = PartitionsOf(mb);
    uint64_t bs = 0;
    if (left != nullptr) bs |= OuterP(kLeftSlot, *left, 1, 3, mb, whole, parts, 0, 2);
    if (up != nullptr) bs |= OuterP(kTopSlot, *up, 2, 3, mb, whole, parts, 0, 1);
    switch (mb.mbType) {
        case kP16x8:
            return bs | Both(kInnerHSlot, DifferP(mb, 0, mb, 1));
        case kP8x16:
            return bs | Both(kInnerVSlot, DifferP(mb, 0, mb, 1));
        case kP8x8:
            return bs | Halves(kInnerVSlot, DifferP(mb, 0, mb, 1), DifferP(mb, 2, mb, 3)) |
                   Halves(kInnerHSlot, DifferP(mb, 0, mb, 2), DifferP(mb, 1, mb, 3));
        default:
            return bs;
    }
}

// Blocks a and b of a B macroblock move alike.
inline bool SameMotionB(const MacroblockInfo& m, int a, int b) {
    return m.blockPredDir[a] == m.blockPredDir[b] && VectorBits(m.mv[a]) == VectorBits(m.mv[b]) &&
           VectorBits(m.mvBackward[a]) == VectorBits(m.mvBackward[b]);
}

// The edge between inter macroblock q and its neighbour p, as OuterP; when
// both sides move alike along the edge, its halves are one comparison.
// `pAlike`: p's four blocks are known to move alike.
inline uint64_t OuterB(EdgeSlot slot, const MacroblockInfo& p, bool pAlike, int kp0, int kp1,
                       const MacroblockInfo& q, bool qAlike, int kq0, int kq1) {
    if (IntraB(p)) return Both(slot, 2);
    const uint32_t first = DifferB(p, kp0, q, kq0);
    if (qAlike && (pAlike || SameMotionB(p, kp0, kp1))) return Both(slot, first);
    return Halves(slot, first, DifferB(p, kp1, q, kq1));
}

// A B macroblock whose four blocks move alike has nothing to filter inside.
// `alike` comes in for the left neighbour (false when not known) and goes
// out for this macroblock.
inline uint64_t StrengthsB(const MacroblockInfo& mb, const MacroblockInfo* left,
                           const MacroblockInfo* up, bool& alike) {
    const bool leftAlike = alike;
    alike = false;
    if (IntraB(mb)) return IntraStrengths(left, up);
    alike = SameMotionB(mb, 0, 1) && SameMotionB(mb, 0, 2) && SameMotionB(mb, 0, 3);
    uint64_t bs = 0;
    if (left != nullptr) bs |= OuterB(kLeftSlot, *left, leftAlike, 1, 3, mb, alike, 0, 2);
    if (up != nullptr) bs |= OuterB(kTopSlot, *up, false, 2, 3, mb, alike, 0, 1);
    if (alike) return bs;
    return bs | Halves(kInnerVSlot, DifferB(mb, 0, mb, 1), DifferB(mb, 2, mb, 3)) |
           Halves(kInnerHSlot, DifferB(mb, 0, mb, 2), DifferB(mb, 1, mb, 3));
}

// The strengths of a macroblock's edges; `left` and `up` are null when that
// edge is not filtered. `alike`: as StrengthsB.
template <PictureType kType>
inline uint64_t EdgeStrengths(const MacroblockInfo& mb, const MacroblockInfo* left,
                              const MacroblockInfo* up, bool& alike) {
    if constexpr (kType == PictureType::I) {
        return IntraStrengths(left, up);
    } else if constexpr (kType == PictureType::P) {
        return StrengthsP(mb, left, up);
    } else {
        return StrengthsB(mb, left, up, alike);
    }
}

// The thresholds of a macroblock's edges, from its QP and its left and upper
// neighbours' (the edge QP of a macroblock edge is the rounded mean of the
// QPs on its two sides; for chroma, of their chroma QPs). Neighbouring
// macroblocks mostly share their QPs, so the last result is kept.
class EdgeThresholdCache {
  public:
    EdgeThresholdCache(int32_t alphaOffset, int32_t betaOffset)
        : alphaOffset_(alphaOffset), betaOffset_(betaOffset) {}

    // QPs of 0..63. Edges outside the picture or the slice may pass any of
    // them: their strengths are 0.
    void Update(int leftQp, int upQp, int qp) {
        // One word for the three QPs: the test runs for every macroblock.
        const uint32_t key = static_cast<uint32_t>(qp | leftQp << 8 | upQp << 16);
        if (key == key_) return;
        key_ = key;
        luma = {Of((leftQp + qp + 1) >> 1), Of((upQp + qp + 1) >> 1), Of(qp)};
        const int chromaQp = ChromaQp(qp);
        chroma = {Of((ChromaQp(leftQp) + chromaQp + 1) >> 1),
                  Of((ChromaQp(upQp) + chromaQp + 1) >> 1), Of(chromaQp)};
        // An edge whose alpha is 0 lets no sample through (no |p0 - q0| is
        // below it). The chroma thresholds of an edge are never above its
        // luma ones (a chroma QP is at most its QP, and alpha grows with the
        // QP), so the luma ones decide for both planes.
        MacroblockEdgeStrengths open{};
        const auto keep = [](uint8_t(&halves)[2], const EdgeThresholds& t) {
            halves[0] = halves[1] = t.alpha != 0 ? 0xFF : 0;
        };
        keep(open.left, luma.left);
        keep(open.top, luma.top);
        keep(open.innerV, luma.inner);
        keep(open.innerH, luma.inner);
        std::memcpy(&openEdges, &open, sizeof openEdges);
    }

    MacroblockEdgeThresholds luma{}, chroma{};
    uint64_t openEdges = 0;  // MacroblockEdgeStrengths bytes: 0xFF where an edge can filter

  private:
    EdgeThresholds Of(int edgeQp) const {
        return LoopFilterThresholds(edgeQp, alphaOffset_, betaOffset_);
    }

    int32_t alphaOffset_, betaOffset_;
    uint32_t key_ = ~uint32_t{0};
};

// Filters macroblocks xBegin .. xEnd - 1 of rows firstRow .. endRow - 1.
template <PictureType kType>
void FilterSpanOf(DecodedFrame& frame, uint32_t firstRow, uint32_t endRow, uint32_t xBegin,
                  uint32_t xEnd, int32_t alphaOffset, int32_t betaOffset) {
    const KernelTable& kernels = gKernels;
    const ptrdiff_t lumaPitch = frame.lumaPitch;
    const ptrdiff_t chromaPitch = frame.chromaPitch;
    const uint32_t mbWidth = frame.mbWidth;
    EdgeThresholdCache thresholds(alphaOffset, betaOffset);
    for (uint32_t mbY = firstRow; mbY < endRow; ++mbY) {
        const MacroblockInfo* row = frame.macroblocks + mbY * mbWidth;
        const MacroblockInfo* rowAbove = mbY > 0 ? row - mbWidth : nullptr;
        uint8_t* y = frame.lumaPlane + 16 * static_cast<ptrdiff_t>(mbY) * lumaPitch;
        const ptrdiff_t chromaOffset = 8 * static_cast<ptrdiff_t>(mbY) * chromaPitch;
        uint8_t* cb = frame.cbPlane + chromaOffset;
        uint8_t* cr = frame.crPlane + chromaOffset;
        bool alike = false;  // the previous macroblock's, for EdgeStrengths
        const MacroblockInfo* const rowEnd = row + xEnd;
        const ptrdiff_t stride = mbWidth;
        for (const MacroblockInfo* mbp = row + xBegin; mbp != rowEnd; ++mbp) {
            const MacroblockInfo& mb = *mbp;
            // A macroblock of another (earlier) slice is treated like one outside the picture.
            const MacroblockInfo* left =
                mbp != row && mbp[-1].sliceNumber == mb.sliceNumber ? mbp - 1 : nullptr;
            const MacroblockInfo* up =
                rowAbove != nullptr && mbp[-stride].sliceNumber == mb.sliceNumber ? mbp - stride
                                                                                  : nullptr;
            // Records hold QPs of 0..63 (the macroblock layers keep them there).
            const int qp = mb.qp;
            thresholds.Update(left != nullptr ? left->qp : qp, up != nullptr ? up->qp : qp, qp);
            if (thresholds.openEdges == 0) {
                alike = false;
                continue;
            }
            // Common in P and B pictures: nothing to filter, no kernel to call.
            const uint64_t edges = EdgeStrengths<kType>(mb, left, up, alike) & thresholds.openEdges;
            if (edges == 0) continue;
            MacroblockEdgeStrengths bs;
            std::memcpy(&bs, &edges, sizeof bs);
            const ptrdiff_t mbX = mbp - row;
            kernels.FilterLumaMacroblock(y + 16 * mbX, lumaPitch, bs, thresholds.luma);
            kernels.FilterChromaMacroblock(cb + 8 * mbX, cr + 8 * mbX, chromaPitch, bs,
                                           thresholds.chroma);
        }
    }
}

}  // namespace

EdgeThresholds LoopFilterThresholds(int qp, int32_t alphaOffset, int32_t betaOffset) {
    const int indexA = ClampIndex(qp + BoundOffset(alphaOffset));
    const int indexB = ClampIndex(qp + BoundOffset(betaOffset));
    return {kAlpha[indexA], kBeta[indexB], kClip[indexA]};
}

namespace {

void FilterSpan(DecodedFrame& frame, const PictureHeader& header, uint32_t firstRow,
                uint32_t endRow, uint32_t xBegin, uint32_t xEnd) {
    if (header.loop_filter_disable) return;
    endRow = std::min(endRow, frame.mbHeight);
    xEnd = std::min(xEnd, frame.mbWidth);
    const int32_t alpha = header.alpha_c_offset;
    const int32_t beta = header.beta_offset;
    switch (header.pictureType) {
        case PictureType::I:
            return FilterSpanOf<PictureType::I>(frame, firstRow, endRow, xBegin, xEnd, alpha, beta);
        case PictureType::P:
            return FilterSpanOf<PictureType::P>(frame, firstRow, endRow, xBegin, xEnd, alpha, beta);
        default:
            return FilterSpanOf<PictureType::B>(frame, firstRow, endRow, xBegin, xEnd, alpha, beta);
    }
}

}  // namespace

void FilterRows(DecodedFrame& frame, const PictureHeader& header, uint32_t firstRow,
                uint32_t endRow) {
    FilterSpan(frame, header, firstRow, endRow, 0, frame.mbWidth);
}

void FilterMacroblocks(DecodedFrame& frame, const PictureHeader& header, uint32_t mbY,
                       uint32_t xBegin, uint32_t xEnd) {
    FilterSpan(frame, header, mbY, mbY + 1, xBegin, xEnd);
}

}  // namespace avs
