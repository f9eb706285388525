// Vector prediction: neighbour availability and stand-ins, the scaling and
// rounding of candidates, the median, the skip vector, values at the ends of
// their range, and the fold of any vector into the reference margins.
#include "decode/mv_prediction.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "frames/frame.h"

namespace avs {
namespace {

// A picture's records, all inter 16x16 with vector (0,0) until set.
struct Records {
    int mbWidth, mbHeight;
    std::vector<MacroblockInfo> mbs;

    Records(int w, int h, int32_t type = kP16x16) : mbWidth(w), mbHeight(h), mbs(w * h) {
        for (MacroblockInfo& mb : mbs) mb.mbType = type;
    }
    MacroblockInfo& At(int mbx, int mby) { return mbs[mby * mbWidth + mbx]; }
    MacroblockGrid Grid() const { return {mbs.data(), mbWidth, mbHeight}; }
    PVectorPredictor P(int32_t d0 = 2, int32_t d1 = 4) const {
        return MakePVectorPredictor(Grid(), d0, d1);
    }
    BVectorPredictor B() const { return {Grid(), {1, 1}}; }
    // A P macroblock of one partition: every entry alike.
    void P16x16(int mbx, int mby, MotionVector mv, int ref = 0) {
        MacroblockInfo& mb = At(mbx, mby);
        mb.mbType = kP16x16;
        mb.mv[0] = mv;
        mb.refIdx[0] = ref;
    }
    // A B macroblock with a direction per 8x8 block.
    void Blocks(int mbx, int mby, int32_t type, std::initializer_list<int32_t> dirs,
                MotionVector fwd, MotionVector bwd) {
        MacroblockInfo& mb = At(mbx, mby);
        mb.mbType = type;
        int k = 0;
        for (int32_t d : dirs) {
            mb.blockPredDir[k] = d;
            mb.mv[k] = d == kDirBackward ? MotionVector{0, 0} : fwd;
            mb.mvBackward[k++] = d == kDirForward ? MotionVector{0, 0} : bwd;
        }
    }
};

TEST(PVectorPrediction, CandidatesAreScaledByTheirReferenceDistances) {
    struct Case {
        MotionVector v;
        int32_t candidateDistance, distance;
        MotionVector expected;
    };
    const Case cases[] = {
        {{100, -100}, 12, 6, {49, -49}},
        {{100, 0}, 6, 12, {199, 0}},    // (85 * 100 * 12 + 256) >> 9
        {{100, -7}, 0, 12, {100, -7}},  // a missing reference leaves it alone
    };
    for (const Case& c : cases) {
        MotionVector v = c.v;
        ScaleCandidateP(v, c.candidateDistance, c.distance);
        EXPECT_EQ(v, c.expected) << c.v.x << " " << c.candidateDistance;
    }
    // Reference 0 three pictures back, reference 1 six: d(0) = 6, d(1) = 12.
    // Three candidates of reference 1 around a partition of reference 0, scaled:
    // A 148, B 49, C 98 -> dAB 99, dBC 49, dCA 50: the median is dCA -> B.
    Records r(3, 2);
    r.P16x16(0, 0, {0, 0}, 1);
    r.P16x16(1, 0, {100, 0}, 1);
    r.P16x16(2, 0, {200, 0}, 1);
    r.P16x16(0, 1, {300, 0}, 1);
    EXPECT_EQ(PredictPVector(r.P(6, 12), 1, 1, 0), (MotionVector{49, 0}));
    // A lone candidate is taken unscaled.
    Records lone(3, 1);
    lone.P16x16(0, 0, {100, -60}, 1);
    EXPECT_EQ(PredictPVector(lone.P(6, 12), 1, 0, 0), (MotionVector{100, -60}));
}

TEST(PVectorPrediction, CIsReplacedByDOnlyWhenItsPositionIsUnavailable) {
    // A (4,0) and B (8,0) around D (100,100): with C at (0,0) the median picks
    // C = (0,0); with D in C's place it picks A.
    Records r(3, 2);
    r.P16x16(0, 0, {100, 100});
    r.P16x16(1, 0, {8, 0});
    r.P16x16(2, 0, {8, 0});
    r.P16x16(0, 1, {4, 0});
    r.At(2, 0).mbType = kIntraMbType;  // intra above-right: unavailable, not replaced
    EXPECT_EQ(PredictPVector(r.P(2, 2), 1, 1, 0), (MotionVector{0, 0}));
    // Rightmost column: C lies outside, so D (above-left) stands in for it.
    r.P16x16(1, 1, {4, 0});
    r.P16x16(1, 0, {100, 100});
    r.P16x16(2, 0, {8, 0});
    EXPECT_EQ(PredictPVector(r.P(2, 2), 2, 1, 0), (MotionVector{4, 0}));
    // An intra D in C's place is no candidate either: A and B remain.
    r.At(1, 0).mbType = kIntraMbType;
    r.P16x16(1, 1, {4, 6});
    EXPECT_EQ(PredictPVector(r.P(2, 2), 2, 1, 0), (MotionVector{0, 0}));
}

TEST(PVectorPrediction, IntraNeighboursAndEarlierSlicesAreUnavailable) {
    Records r(2, 2);
    r.P16x16(0, 0, {8, 8});
    r.P16x16(1, 0, {8, 8});
    r.P16x16(0, 1, {-20, 4}, 1);
    r.At(0, 1).sliceNumber = r.At(1, 1).sliceNumber = 1;
    // Only A is left, taken as it is; the skip vector then is zero.
    EXPECT_EQ(PredictPVector(r.P(), 1, 1, 0), (MotionVector{-20, 4}));
    r.At(1, 1).mbType = kPSkip;
    EXPECT_EQ(PredictPSkipVector(r.P(), 1, 1), (MotionVector{0, 0}));
    r.At(0, 1).mbType = kIntraMbType;
    r.At(1, 1).mbType = kP16x16;
    EXPECT_EQ(PredictPVector(r.P(), 1, 1, 0), (MotionVector{0, 0}));
}

TEST(PSkipVector, ZeroAtTheEdgeOrWhenANeighbourStandsStillOnReferenceZero) {
    Records r(3, 2);
    r.P16x16(1, 0, {8, 4});
    r.P16x16(2, 0, {8, 4});
    r.At(0, 0).mbType = r.At(0, 1).mbType = r.At(1, 1).mbType = kPSkip;
    EXPECT_EQ(PredictPSkipVector(r.P(), 0, 0), (MotionVector{0, 0}));  // first macroblock
    EXPECT_EQ(PredictPSkipVector(r.P(), 0, 1), (MotionVector{0, 0}));  // left column
    // An intra left neighbour does not force zero: B and C remain.
    r.At(0, 1).mbType = kIntraMbType;
    EXPECT_EQ(PredictPSkipVector(r.P(), 1, 1), (MotionVector{8, 4}));
    // A left neighbour still on reference 0 forces zero; on reference 1 it does not.
    r.P16x16(0, 1, {0, 0}, 0);
    EXPECT_EQ(PredictPSkipVector(r.P(), 1, 1), (MotionVector{0, 0}));
    r.P16x16(0, 1, {0, 0}, 1);
    EXPECT_EQ(PredictPSkipVector(r.P(), 1, 1), (MotionVector{8, 4}));
    // So does the above neighbour's bottom-left block (entry 1 of a 16x8).
    r.At(1, 0).mbType = kP16x8;
    r.At(1, 0).mv[1] = {0, 0};
    EXPECT_EQ(PredictPSkipVector(r.P(), 1, 1), (MotionVector{0, 0}));
}

constexpr int32_t F = kDirForward, B = kDirBackward, S = kDirSymmetric, D = kDirDirect;

TEST(BVectorPrediction, ADirectBlockIsPredictedAsTheWholeMacroblock) {
    Records r(3, 2, 1);  // forward 16x16
    r.Blocks(0, 0, 1, {F, F, F, F}, {100, 100}, {0, 0});
    r.Blocks(1, 0, 1, {F, F, F, F}, {8, 0}, {0, 0});
    r.Blocks(2, 0, 1, {F, F, F, F}, {8, 0}, {0, 0});
    r.Blocks(0, 1, 1, {F, F, F, F}, {4, 0}, {0, 0});
    // Block 3 direct: A (4,0), B (8,0), C (8,0) of the whole macroblock give C.
    r.Blocks(1, 1, kB8x8, {F, F, F, D}, {0, 0}, {0, 0});
    EXPECT_EQ(PredictBVector(r.B(), 1, 1, 1, 1, kForward), (MotionVector{8, 0}));
    // As a forward 8x8 block it sees blocks 2, 1 and 0 of its own macroblock.
    r.At(1, 1).blockPredDir[3] = F;
    EXPECT_EQ(PredictBVector(r.B(), 1, 1, 1, 1, kForward), (MotionVector{0, 0}));
}

TEST(BVectorPrediction, DStandsInForCAndCountsOnlyForItsDirections) {
    // 8x16 right partition in the rightmost column: C lies outside, D is the
    // above macroblock's block 2.
    Records r(2, 2, 1);
    r.Blocks(1, 0, 9, {S, B, S, B}, {-8, 8}, {20, 20});  // block 2 symmetric
    r.Blocks(0, 1, 2, {B, B, B, B}, {0, 0}, {40, 0});
    r.Blocks(1, 1, 7, {B, B, B, B}, {0, 0}, {60, 0});  // 8x16 backward, left done
    // Backward: A (60,0) left partition, B above block 3 (20,20), C = D above block 2 (20,20).
    EXPECT_EQ(PredictBVector(r.B(), 1, 1, 1, 0, kBackward), (MotionVector{20, 20}));
    // A forward-only D is no candidate for the backward direction: C is (0,0).
    r.At(1, 0).blockPredDir[2] = F;
    r.At(1, 0).mvBackward[2] = {0, 0};
    EXPECT_EQ(PredictBVector(r.B(), 1, 1, 1, 0, kBackward), (MotionVector{0, 0}));
    r.At(1, 0).blockPredDir[3] = F;  // B gone too: A alone
    r.At(1, 0).mvBackward[3] = {0, 0};
    EXPECT_EQ(PredictBVector(r.B(), 1, 1, 1, 0, kBackward), (MotionVector{60, 0}));
}

TEST(MedianChoice, TiesResolveInTheOrderAbThenBc) {
    struct Case {
        MotionVector a, b, c, expected;
    };
    const Case cases[] = {
        {{0, 0}, {2, 0}, {1, 1}, {1, 1}},    // all distances 2: C
        {{0, 0}, {2, 0}, {4, 0}, {4, 0}},    // dAB = dBC = 2 < dCA: C
        {{0, 0}, {1, 0}, {10, 0}, {0, 0}},   // dBC = 9 is the median: A
        {{0, 0}, {10, 0}, {7, 0}, {10, 0}},  // dCA = 7 is the median: B
        // Distances beyond 32 bits: dBC = dCA = 2^32 - 1 is the median.
        {{INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN}, {0, 0}, {INT32_MIN, INT32_MAX}},
    };
    for (const Case& c : cases) EXPECT_EQ(MedianChoice(c.a, c.b, c.c), c.expected);
}

TEST(RoundCandidateB, KeepsSignAndRoundsToNearest) {
    struct Case {
        int32_t c, d, expected;
    };
    const Case cases[] = {{100, 6, 100}, {300, 6, 299}, {-300, 6, -299},           {0, 6, 0},
                          {300, 4, 300}, {7, 0, 7},     {INT32_MAX, 3, 2139095039}};
    for (const Case& c : cases) {
        int32_t v = c.c;
        RoundCandidateB(v, c.d);
        EXPECT_EQ(v, c.expected) << c.c << " at d " << c.d;
    }
}

// --- The fold -------------------------------------------------------------------

TEST(ClipMotionVector, FoldsIntoTheMargin) {
    struct Case {
        int32_t x;
        int pos, size;
        int32_t expected;
    };
    const Case cases[] = {
        {-64, 0, 176, -64}, {-200, 0, 176, -72}, {100, 160, 176, 68}, {-63, 0, 176, -63},
        {704, 0, 176, 704}, {705, 0, 176, 705},  {740, 0, 176, 708},
    };
    for (const Case& c : cases) {
        MotionVector mv{c.x, c.x};
        ClipMotionVector(mv, c.pos, c.pos, c.size, c.size);
        EXPECT_EQ(mv, (MotionVector{c.expected, c.expected})) << c.x;
    }
}

TEST(ClipMotionVector, AnyVectorReadsInsideTheReferencePlanes) {
    // Every read of the four luma blocks (two samples before, three after the
    // 8x8 block, and the 16-byte row loads that reach X+13) and of the chroma
    // blocks stays inside the margins around the decoded area.
    std::mt19937 rng(9);
    // A 200x120 picture: 13x8 macroblocks, folded against its width and its
    // decoded height.
    const int width = 200, mbWidth = 13, mbHeight = 8;
    for (int trial = 0; trial < 20000; ++trial) {
        const int mbx = rng() % mbWidth, mby = rng() % mbHeight;
        MotionVector mv{static_cast<int32_t>(rng()), static_cast<int32_t>(rng())};
        if (trial % 2)
            mv = {static_cast<int32_t>(rng() % 2000) - 1000,
                  static_cast<int32_t>(rng() % 2000) - 1000};
        ClipMotionVector(mv, 16 * mbx, 16 * mby, width, 16 * mbHeight);
        const int x = 16 * mbx + (mv.x >> 2), y = 16 * mby + (mv.y >> 2);
        EXPECT_GE(x - 2, -kLumaMargin);
        EXPECT_GE(y - 2, -kLumaMargin);
        EXPECT_LE(x + 8 + 13, 16 * mbWidth + kLumaMargin - 1);
        EXPECT_LE(y + 8 + 10, 16 * mbHeight + kLumaMargin - 1);
        // 8-wide chroma kernels load 16 samples per row.
        const int cx = 8 * mbx + (mv.x >> 3), cy = 8 * mby + (mv.y >> 3);
        EXPECT_GE(cx, -kChromaMargin);
        EXPECT_GE(cy, -kChromaMargin);
        EXPECT_LE(cx + 15, 8 * mbWidth + kChromaMargin - 1);
        EXPECT_LE(cy + 8, 8 * mbHeight + kChromaMargin - 1);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace avs
