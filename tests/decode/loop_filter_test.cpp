// The loop filter where the conformance streams do not reach: threshold
// offsets to the ends of their range, edges whose own QP lets nothing through,
// rows past the picture. (Edge strengths, the sample filters and pictures
// filtered row by row or in spans on several threads are in every stream.)
#include "decode/loop_filter.h"

#include <gtest/gtest.h>

#include <climits>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "decode/test_frame.h"

namespace avs {
namespace {

TEST(LoopFilterThresholds, IndicesClampWithOffsets) {
    struct Case {
        int qp, alphaOffset, betaOffset;
        int alpha, beta, c;
    };
    const Case cases[] = {
        {60, 10, 10, 64, 27, 9},
        {3, -10, -10, 0, 0, 0},
        {30, 5, -2, 28, 5, 2},             // indices 35 and 28
        {30, INT_MIN, INT_MAX, 0, 27, 0},  // offsets no stream can carry
        {30, INT_MAX, INT_MIN, 64, 0, 9},
    };
    for (const Case& c : cases) {
        const EdgeThresholds t = LoopFilterThresholds(c.qp, c.alphaOffset, c.betaOffset);
        EXPECT_EQ(t.alpha, c.alpha) << c.qp << " " << c.alphaOffset;
        EXPECT_EQ(t.beta, c.beta) << c.qp << " " << c.betaOffset;
        EXPECT_EQ(t.c, c.c) << c.qp << " " << c.alphaOffset;
    }
    // Chroma edges (and chroma blocks) take the chroma QP: the same up to 41, then slower.
    EXPECT_EQ(ChromaQp(41), 41);
    EXPECT_EQ(ChromaQp(42), 42);
    EXPECT_EQ(ChromaQp(43), 42);
    EXPECT_EQ(ChromaQp(63), 51);
}

// Two flat intra macroblocks side by side: only the edge between them
// changes, filtered with thresholds of the rounded mean of their QPs (for
// chroma, of their chroma QPs), whatever the right macroblock's own QP lets
// through. Rows past the picture are ignored.
TEST(LoopFilterEdges, MacroblockEdgesTakeTheMeanQpOfBothSides) {
    FillKernelTable();
    struct Case {
        int leftQp, rightQp;
        int lumaStep, chromaStep;
        int lumaEdgeQp, chromaEdgeQp;
    };
    const Case cases[] = {
        // Luma 36 (alpha 30) stops a step of 32 that QP 51 would filter;
        // chroma (20 + 46 + 1) >> 1 = 33 (alpha 24) stops a step of 27 that
        // the chroma QP of the mean, 36, would let through.
        {20, 51, 32, 27, 36, 33},
        {51, 20, 32, 27, 36, 33},
        {51, 20, 20, 20, 36, 33},
        // The right macroblock's own QP lets nothing through (alpha 0), its
        // left edge still filters: 28 and (46 + 5 + 1) >> 1 = 26.
        {51, 5, 12, 10, 28, 26},
    };
    for (const Case& c : cases) {
        const auto picture = [&] {
            test::TestFrame t(32, 16);
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 32; ++x)
                    t.Y(x, y) = static_cast<uint8_t>(x < 16 ? 100 : 100 + c.lumaStep);
            }
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 16; ++x) {
                    t.Cb(x, y) = static_cast<uint8_t>(x < 8 ? 90 : 90 + c.chromaStep);
                    t.Cr(x, y) = static_cast<uint8_t>(x < 8 ? 150 : 150 - c.chromaStep);
                }
            }
            for (uint32_t n = 0; n < 2; ++n) t.f.macroblocks[n].mbType = kIntraMbType;
            t.f.macroblocks[0].qp = c.leftQp;
            t.f.macroblocks[1].qp = c.rightQp;
            return t;
        };
        test::TestFrame filtered = picture();
        FilterRows(filtered.f, PictureHeader{}, 0, 99);
        test::TestFrame expected = picture();
        FilterLumaEdgeVPlain(&expected.Y(16, 0), expected.f.lumaPitch, 2, 2,
                             LoopFilterThresholds(c.lumaEdgeQp, 0, 0));
        FilterChromaEdgeVPlain(&expected.Cb(8, 0), &expected.Cr(8, 0), expected.f.chromaPitch, 2, 2,
                               LoopFilterThresholds(c.chromaEdgeQp, 0, 0));
        EXPECT_EQ(filtered.LumaBuffer(), expected.LumaBuffer()) << c.leftQp << " " << c.rightQp;
        EXPECT_EQ(filtered.CbBuffer(), expected.CbBuffer()) << c.leftQp << " " << c.rightQp;
        EXPECT_EQ(filtered.CrBuffer(), expected.CrBuffer()) << c.leftQp << " " << c.rightQp;
    }
}

}  // namespace
}  // namespace avs
