#include "decode/mv_prediction.h"

#include <algorithm>

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

// The 8x8 block at (cx, cy) in block units relative to the current
// macroblock's top-left block (cx -1..2, cy -1..1), and the macroblock that
// holds it; `mb` is null when the position is unavailable: outside the
// picture, in an earlier slice, or to the right in the current row (not yet
// decoded). Blocks of the current macroblock are the caller's to ask for only
// once decoded.
struct Neighbour {
    const MacroblockInfo* mb;
    int block;
};

Neighbour NeighbourAt(const MacroblockGrid& grid, int mbx, int mby, int cx, int cy) {
    const int dx = cx < 0 ? -1 : cx >> 1;
    const int dy = cy < 0 ? -1 : 0;
    if (dy == 0 && dx > 0) return {nullptr, 0};
    const int nx = mbx + dx;
    const int ny = mby + dy;
    if (nx < 0 || nx >= grid.mbWidth || ny < 0) return {nullptr, 0};
    const MacroblockInfo& current = grid.macroblocks[mby * grid.mbWidth + mbx];
    const MacroblockInfo& other = grid.macroblocks[ny * grid.mbWidth + nx];
    if (other.sliceNumber != current.sliceNumber) return {nullptr, 0};
    return {&other, (cx & 1) | (cy & 1) << 1};
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

bool IsPInter(int32_t mbType) {
    return mbType >= kPSkip && mbType < kIntraMbType;
}

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

Candidate PCandidate(const MacroblockGrid& grid, int mbx, int mby, int cx, int cy) {
    const Neighbour n = NeighbourAt(grid, mbx, mby, cx, cy);
    if (n.mb == nullptr) return {false, false, kZero, 0};
    if (!IsPInter(n.mb->mbType)) return {true, false, kZero, 0};
    const int e = kPPartitionOfBlock[n.mb->mbType][n.block];
    return {true, true, n.mb->mv[e], n.mb->refIdx[e]};
}

// Any non-zero reference index selects reference 1.
int32_t RefScale(const PVectorPredictor& pred, int32_t refIdx) {
    return pred.refScale[refIdx != 0 ? 1 : 0];
}

MotionVector PredictP(const PVectorPredictor& pred, int mbx, int mby, PartitionRect rect,
                      int32_t r) {
    const MacroblockGrid& g = pred.grid;
    const Candidate a = PCandidate(g, mbx, mby, rect.bx - 1, rect.by);
    const Candidate b = PCandidate(g, mbx, mby, rect.bx, rect.by - 1);
    Candidate c = PCandidate(g, mbx, mby, rect.bx + rect.w, rect.by - 1);
    if (!c.positioned) c = PCandidate(g, mbx, mby, rect.bx - 1, rect.by - 1);

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
    const int32_t dr = RefScale(pred, r);
    auto scaled = [&](const Candidate& cand) {
        if (!cand.available) return kZero;
        MotionVector v = cand.mv;
        ScaleCandidateP(v, RefScale(pred, cand.refIdx), dr);
        return v;
    };
    return MedianChoice(scaled(a), scaled(b), scaled(c));
}

// sign(c) * ((mul * |c| * d + 256) >> 9), with sign(0) irrelevant (gives 0).
int32_t SignedScale(int32_t c, int64_t mul, int64_t d) {
    const int64_t magnitude = c < 0 ? -int64_t{c} : int64_t{c};
    const int64_t scaled = (mul * magnitude * d + 256) >> 9;
    return static_cast<int32_t>(c > 0 ? scaled : -scaled);
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

Candidate BCandidate(const MacroblockGrid& grid, int mbx, int mby, int cx, int cy, int direction) {
    const Neighbour n = NeighbourAt(grid, mbx, mby, cx, cy);
    if (n.mb == nullptr) return {false, false, kZero, 0};
    const MacroblockInfo& m = *n.mb;
    const int32_t excluded = direction == kForward ? kDirBackward : kDirForward;
    const bool flag = m.mbType < kBIntraMbType && m.blockPredDir[n.block] != excluded;
    return {true, flag, direction == kForward ? m.mv[n.block] : m.mvBackward[n.block], 0};
}

}  // namespace

// --- P --------------------------------------------------------------------------

void ScaleCandidateP(MotionVector& v, int32_t dk, int32_t dr) {
    if (dk == 0) return;
    const int64_t mul = 512 / dk;
    v.x = SignedScale(v.x, mul, dr);
    v.y = SignedScale(v.y, mul, dr);
}

MotionVector PredictPVector(const PVectorPredictor& pred, int mbx, int mby, int partition) {
    const MacroblockInfo& mb = pred.grid.macroblocks[mby * pred.grid.mbWidth + mbx];
    return PredictP(pred, mbx, mby, PPartition(mb.mbType, partition), mb.refIdx[partition & 3]);
}

MotionVector PredictPSkipVector(const PVectorPredictor& pred, int mbx, int mby) {
    if (mbx == 0 || mby == 0) return kZero;
    // A neighbour that is present, not intra, refers to anything but
    // reference 1 and stands still forces the zero vector; one of an earlier
    // slice counts as outside the picture.
    auto forcesZero = [&](int cx, int cy) {
        const Neighbour n = NeighbourAt(pred.grid, mbx, mby, cx, cy);
        if (n.mb == nullptr) return true;
        if (!IsPInter(n.mb->mbType)) return false;
        const int e = kPPartitionOfBlock[n.mb->mbType][n.block];
        return n.mb->refIdx[e] != 1 && n.mb->mv[e] == kZero;
    };
    if (forcesZero(0, -1) || forcesZero(-1, 0)) return kZero;
    return PredictP(pred, mbx, mby, {0, 0, 2, 2}, 0);
}

// --- B --------------------------------------------------------------------------

void RoundCandidateB(int32_t& c, int32_t d) {
    if (d <= 0) return;
    c = SignedScale(c, 512 / d, d);
}

MotionVector PredictBVector(const BVectorPredictor& pred, int mbx, int mby, int bx, int by,
                            int direction) {
    const MacroblockGrid& g = pred.grid;
    const PartitionRect rect = BPartition(g.macroblocks[mby * g.mbWidth + mbx], bx, by);
    const Candidate a = BCandidate(g, mbx, mby, rect.bx - 1, rect.by, direction);
    const Candidate b = BCandidate(g, mbx, mby, rect.bx, rect.by - 1, direction);
    Candidate c = BCandidate(g, mbx, mby, rect.bx + rect.w, rect.by - 1, direction);
    if (!c.positioned) c = BCandidate(g, mbx, mby, rect.bx - 1, rect.by - 1, direction);

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

MotionVector MedianChoice(MotionVector a, MotionVector b, MotionVector c) {
    auto distance = [](MotionVector p, MotionVector q) {
        const int64_t dx = int64_t{p.x} - q.x;
        const int64_t dy = int64_t{p.y} - q.y;
        return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
    };
    const int64_t ab = distance(a, b);
    const int64_t bc = distance(b, c);
    const int64_t ca = distance(c, a);
    const int64_t median = std::max(std::min(ab, bc), std::min(std::max(ab, bc), ca));
    // Ties resolve in the order ab, bc.
    if (median == ab) return c;
    if (median == bc) return a;
    return b;
}

namespace {

int32_t Fold(int32_t v, int pos, int size) {
    const int64_t base = 4 * int64_t{pos};
    const int64_t limit = 4 * int64_t{size};
    const int64_t p = v + base;
    // % truncates toward zero: the remainder takes the sign of p.
    if (p < -63) return static_cast<int32_t>(p % 64 - (base + 64));
    if (p > limit) return static_cast<int32_t>((p - limit + 32) % 32 + (limit - base));
    return v;
}

}  // namespace

void ClipMotionVector(MotionVector& mv, int x, int y, int width, int height) {
    mv.x = Fold(mv.x, x, width);
    mv.y = Fold(mv.y, y, height);
}

}  // namespace avs
