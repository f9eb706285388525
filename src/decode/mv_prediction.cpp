#include "decode/mv_prediction.h"

namespace avs {
namespace {

constexpr MotionVector kZero{0, 0};

// A partition in 8x8 blocks: top-left block (bx, by), width w, height h.
struct PartitionRect {
    int bx;
    int by;
    int w;
    int h;
};

// The neighbour whose vector a two-partition shape takes first.
enum class Preferred { kNone, kA, kB, kC };

constexpr Preferred PreferredOf(PartitionRect rect) {
    if (rect.w == 2 && rect.h == 1) return rect.by == 0 ? Preferred::kB : Preferred::kA;  // 16x8
    if (rect.w == 1 && rect.h == 2) return rect.bx == 0 ? Preferred::kA : Preferred::kC;  // 8x16
    return Preferred::kNone;
}

// Which macroblocks' blocks can be candidates for the current one: not those
// outside the picture or of an earlier slice. The macroblock to the right is
// never decoded yet. Slices cover whole macroblock rows, so the left
// macroblock is always of the current slice and the row above is of one
// slice: one comparison decides for all three above. The neighbours'
// addresses are formed only where a lookup asks for them.
struct Around {
    const MacroblockInfo* current;
    int mbWidth;  // records from one macroblock to the one below it
    bool left;
    bool above;
    bool aboveLeft;
    bool aboveRight;
};

[[gnu::always_inline]] inline Around AroundOf(const MacroblockGrid& grid, int mbx, int mby) {
    const MacroblockInfo* current = grid.macroblocks + (mby * grid.mbWidth + mbx);
    const bool above = mby > 0 && (current - grid.mbWidth)->sliceNumber == current->sliceNumber;
    return {current, grid.mbWidth,     mbx > 0,
            above,   above && mbx > 0, above && mbx + 1 < grid.mbWidth};
}

// The 8x8 block at (cx, cy) in block units relative to the current
// macroblock's top-left block (cx -1..2, cy -1..1), and the macroblock that
// holds it; `mb` is null when the position is unavailable. Blocks of the
// current macroblock are the caller's to ask for only once decoded.
struct Neighbour {
    const MacroblockInfo* mb;
    int block;
};

[[gnu::always_inline]] inline Neighbour NeighbourAt(const Around& a, int cx, int cy) {
    if (cy < 0) {
        const MacroblockInfo* up = a.current - a.mbWidth;
        if (cx < 0) return {a.aboveLeft ? up - 1 : nullptr, 3};
        if (cx > 1) return {a.aboveRight ? up + 1 : nullptr, 2};
        return {a.above ? up : nullptr, cx | 2};
    }
    if (cx < 0) return {a.left ? a.current - 1 : nullptr, 1 | cy << 1};
    if (cx > 1) return {nullptr, 0};
    return {a.current, cx | cy << 1};
}

// One of A, B, C (or D) with what the predictor needs of it.
struct Candidate {
    bool positioned;  // its position is available
    bool available;   // it counts as a candidate
    MotionVector mv;
    int32_t refIdx;
};

MotionVector OnlyAvailable(const Candidate& a, const Candidate& b, const Candidate& c) {
    return a.available ? a.mv : (b.available ? b.mv : c.mv);
}

int CountAvailable(const Candidate& a, const Candidate& b, const Candidate& c) {
    return int{a.available} + int{b.available} + int{c.available};
}

// --- P pictures ------------------------------------------------------------

PartitionRect PPartition(int32_t mbType, int partition) {
    switch (mbType) {
        case kP16x8:
            return {0, partition & 1, 2, 1};
        case kP8x16:
            return {partition & 1, 0, 1, 2};
        case kP8x8:
            return {partition & 1, (partition >> 1) & 1, 1, 1};
        default:
            return {0, 0, 2, 2};
    }
}

// Inlined: with a constant position the neighbour's lookup folds away.
[[gnu::always_inline]] inline Candidate PCandidate(const Around& around, int cx, int cy) {
    const Neighbour n = NeighbourAt(around, cx, cy);
    if (n.mb == nullptr) return {false, false, kZero, 0};
    const int32_t type = n.mb->mbType;
    if (!IsPInter(type)) return {true, false, kZero, 0};
    const int e = kPPartitionOfBlock[type][n.block];
    return {true, true, n.mb->mv[e], n.mb->refIdx[e]};
}

// Any non-zero reference index selects reference 1.
int RefSlot(int32_t refIdx) {
    return refIdx != 0 ? 1 : 0;
}

// sign(c) * ((factor * |c| + 256) >> 9), with sign(0) irrelevant (gives 0).
int32_t SignedScale(int32_t c, int64_t factor) {
    const int64_t magnitude = c < 0 ? -int64_t{c} : int64_t{c};
    const int64_t scaled = (factor * magnitude + 256) >> 9;
    return static_cast<int32_t>(c > 0 ? scaled : -scaled);
}

int64_t ScaleFactorP(int32_t dk, int32_t dr) {
    return dk == 0 ? 512 : int64_t{512 / dk} * dr;
}

// C, or D where C's position is unavailable.
[[gnu::always_inline]] inline Candidate PCandidateC(const Around& around, PartitionRect rect) {
    const Candidate c = PCandidate(around, rect.bx + rect.w, rect.by - 1);
    return c.positioned ? c : PCandidate(around, rect.bx - 1, rect.by - 1);
}

// The prediction from the candidates A, B and C of `rect`.
[[gnu::always_inline]] inline MotionVector PredictP(const PVectorPredictor& pred,
                                                    const Candidate& a, const Candidate& b,
                                                    const Candidate& c, PartitionRect rect,
                                                    int32_t r) {
    if (CountAvailable(a, b, c) == 1) return OnlyAvailable(a, b, c);
    switch (PreferredOf(rect)) {
        case Preferred::kA:
            if (a.available && a.refIdx == r) return a.mv;
            break;
        case Preferred::kB:
            if (b.available && b.refIdx == r) return b.mv;
            break;
        case Preferred::kC:
            if (c.available && c.refIdx == r) return c.mv;
            break;
        case Preferred::kNone:
            break;
    }
    const int slot = RefSlot(r);
    // An unavailable candidate's vector is zero, which every factor keeps.
    // The factor 512 keeps every vector: no multiply for the common case of
    // a reference whose distance divides 512.
    auto scaled = [&](const Candidate& cand) {
        const int64_t factor = pred.scale[RefSlot(cand.refIdx)][slot];
        if (factor == 512) return cand.mv;
        return MotionVector{SignedScale(cand.mv.x, factor), SignedScale(cand.mv.y, factor)};
    };
    return MedianChoice(scaled(a), scaled(b), scaled(c));
}

// The prediction of the partition `rect` with reference index r.
[[gnu::always_inline]] inline MotionVector PredictPartition(const PVectorPredictor& pred,
                                                            const Around& around,
                                                            PartitionRect rect, int32_t r) {
    return PredictP(pred, PCandidate(around, rect.bx - 1, rect.by),
                    PCandidate(around, rect.bx, rect.by - 1), PCandidateC(around, rect), rect, r);
}

// --- B pictures ------------------------------------------------------------

PartitionRect BPartition(const MacroblockInfo& mb, int bx, int by) {
    if (mb.blockPredDir[(bx & 1) | (by & 1) << 1] == kDirDirect) return {0, 0, 2, 2};
    const int32_t t = mb.mbType;
    if (t >= 0 && t <= 3) return {0, 0, 2, 2};
    if (t >= 4 && t <= 21)
        return t % 2 == 0 ? PartitionRect{0, by & 1, 2, 1} : PartitionRect{bx & 1, 0, 1, 2};
    return {bx & 1, by & 1, 1, 1};
}

Candidate BCandidate(const Around& around, int cx, int cy, int direction) {
    const Neighbour n = NeighbourAt(around, cx, cy);
    if (n.mb == nullptr) return {false, false, kZero, 0};
    const MacroblockInfo& m = *n.mb;
    const int32_t excluded = direction == kForward ? kDirBackward : kDirForward;
    const bool flag = m.mbType < kBIntraMbType && m.blockPredDir[n.block] != excluded;
    return {true, flag, direction == kForward ? m.mv[n.block] : m.mvBackward[n.block], 0};
}

}  // namespace

// --- P --------------------------------------------------------------------------

PVectorPredictor MakePVectorPredictor(const MacroblockGrid& grid, int32_t d0, int32_t d1) {
    const int32_t d[2] = {d0, d1};
    PVectorPredictor pred{grid, {}};
    for (int k = 0; k < 2; ++k) {
        for (int r = 0; r < 2; ++r) pred.scale[k][r] = ScaleFactorP(d[k], d[r]);
    }
    return pred;
}

void ScaleCandidateP(MotionVector& v, int32_t dk, int32_t dr) {
    const int64_t factor = ScaleFactorP(dk, dr);
    v = {SignedScale(v.x, factor), SignedScale(v.y, factor)};
}

MotionVector PredictPVector(const PVectorPredictor& pred, int mbx, int mby, int partition) {
    const Around around = AroundOf(pred.grid, mbx, mby);
    const MacroblockInfo& mb = *around.current;
    const int32_t r = mb.refIdx[partition & 3];
    // Most coded macroblocks are 16x16: their copy has the positions folded in.
    if (mb.mbType == kP16x16) return PredictPartition(pred, around, {0, 0, 2, 2}, r);
    return PredictPartition(pred, around, PPartition(mb.mbType, partition), r);
}

MotionVector PredictPSkipVector(const PVectorPredictor& pred, int mbx, int mby) {
    if (mbx == 0 || mby == 0) return kZero;
    const Around around = AroundOf(pred.grid, mbx, mby);
    // B or A, when present, not intra, referring to anything but reference 1
    // and standing still, forces the zero vector; one of an earlier slice
    // counts as outside the picture.
    auto forcesZero = [](const Candidate& n) {
        return !n.positioned || (n.available && n.refIdx != 1 && n.mv == kZero);
    };
    constexpr PartitionRect kWhole{0, 0, 2, 2};
    const Candidate b = PCandidate(around, 0, -1);
    if (forcesZero(b)) return kZero;
    const Candidate a = PCandidate(around, -1, 0);
    if (forcesZero(a)) return kZero;
    return PredictP(pred, a, b, PCandidateC(around, kWhole), kWhole, 0);
}

// --- B --------------------------------------------------------------------------

void RoundCandidateB(int32_t& c, int32_t d) {
    if (d <= 0) return;
    c = SignedScale(c, int64_t{512 / d} * d);
}

MotionVector PredictBVector(const BVectorPredictor& pred, int mbx, int mby, int bx, int by,
                            int direction) {
    const Around around = AroundOf(pred.grid, mbx, mby);
    const PartitionRect rect = BPartition(*around.current, bx, by);
    const Candidate a = BCandidate(around, rect.bx - 1, rect.by, direction);
    const Candidate b = BCandidate(around, rect.bx, rect.by - 1, direction);
    Candidate c = BCandidate(around, rect.bx + rect.w, rect.by - 1, direction);
    if (!c.positioned) c = BCandidate(around, rect.bx - 1, rect.by - 1, direction);

    if (CountAvailable(a, b, c) == 1) return OnlyAvailable(a, b, c);
    switch (PreferredOf(rect)) {
        case Preferred::kA:
            if (a.available) return a.mv;
            break;
        case Preferred::kB:
            if (b.available) return b.mv;
            break;
        case Preferred::kC:
            if (c.available) return c.mv;
            break;
        case Preferred::kNone:
            break;
    }
    const int32_t d = pred.distance[direction == kForward ? 0 : 1];
    auto rounded = [d](MotionVector v) {
        RoundCandidateB(v.x, d);
        RoundCandidateB(v.y, d);
        return v;
    };
    return MedianChoice(rounded(a.mv), rounded(b.mv), rounded(c.mv));
}

// --- Shared -----------------------------------------------------------------------

int32_t FoldOutside(int32_t v, int pos, int size) {
    const int64_t base = 4 * int64_t{pos};
    const int64_t limit = 4 * int64_t{size};
    const int64_t p = v + base;
    // % truncates toward zero: the remainder takes the sign of p.
    if (p < -63) return static_cast<int32_t>(p % 64 - (base + 64));
    if (p > limit) return static_cast<int32_t>((p - limit + 32) % 32 + (limit - base));
    return v;
}

}  // namespace avs
