// Vector prediction where the conformance streams do not reach: candidates
// scaled against a missing reference, the median and the rounding at the ends
// of their range, and the fold of any vector into the reference margins.
// (Neighbour availability, stand-ins and skip vectors are in every P and B
// stream.)
#include "decode/mv_prediction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "frames/frame.h"

namespace avs {
namespace {

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
