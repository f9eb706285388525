// The loop filter: edge strengths by picture type, the strong, normal and
// off sample filters, threshold offsets to the ends of their range, and a
// picture filtered in row ranges (any split, rows past the end) giving the
// whole-picture result.
#include "decode/loop_filter.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "decode/test_frame.h"

namespace avs {
namespace {

MacroblockInfo Mb(int32_t type, MotionVector mv0 = {}, MotionVector mv1 = {}, int32_t ref = 0) {
    MacroblockInfo m{};
    m.mbType = type;
    m.mv[0] = mv0;
    m.mv[1] = mv1;
    m.refIdx[0] = ref;
    return m;
}

MacroblockInfo BBlocks(int32_t dir, MotionVector forward, MotionVector backward) {
    MacroblockInfo m{};
    m.mbType = 1;
    for (int k = 0; k < 4; ++k) {
        m.blockPredDir[k] = dir;
        m.mv[k] = forward;
        m.mvBackward[k] = backward;
    }
    return m;
}

// Intra gives 2; otherwise 1 when references differ or a used vector
// component differs by 4 or more.
TEST(Strengths, FollowTheRulesOfThePictureType) {
    struct Case {
        PictureType type;
        MacroblockInfo p;
        int kp;
        MacroblockInfo q;
        int kq;
        int expected;
    };
    using enum PictureType;
    const Case cases[] = {
        {I, Mb(kIntraMbType), 1, Mb(kIntraMbType), 0, 2},
        {P, Mb(kIntraMbType), 1, Mb(kP16x16), 0, 2},
        {P, Mb(kP16x16, {4, 0}), 1, Mb(kP16x16), 0, 1},
        {P, Mb(kP16x16, {3, -3}), 1, Mb(kP16x16), 0, 0},
        {P, Mb(kP16x16, {0, -4}), 1, Mb(kP16x16), 0, 1},
        {P, Mb(kP16x16, {}, {}, 1), 1, Mb(kP16x16), 0, 1},
        // 16x8: blocks 2 and 3 use the second partition's vector; 8x16: blocks 1 and 3.
        {P, Mb(kP16x8, {0, 0}, {8, 0}), 2, Mb(kP16x16, {8, 0}), 0, 0},
        {P, Mb(kP16x8, {0, 0}, {8, 0}), 0, Mb(kP16x16, {8, 0}), 0, 1},
        {P, Mb(kP8x16, {0, 0}, {8, 0}), 3, Mb(kP16x16, {8, 0}), 0, 0},
        {B, Mb(kBIntraMbType), 1, BBlocks(0, {}, {}), 0, 2},
        {B, BBlocks(kDirForward, {}, {}), 1, BBlocks(kDirBackward, {}, {}), 0, 1},
        {B, BBlocks(kDirDirect, {1, 1}, {2, 2}), 1, BBlocks(kDirSymmetric, {1, 1}, {2, 2}), 0, 0},
        {B, BBlocks(kDirForward, {4, 0}, {}), 1, BBlocks(kDirForward, {0, 0}, {}), 0, 1},
        {B, BBlocks(kDirForward, {}, {40, 0}), 1, BBlocks(kDirForward, {}, {0, 0}), 0, 0},
        {B, BBlocks(kDirDirect, {}, {0, 4}), 1, BBlocks(kDirDirect, {}, {0, 0}), 0, 1},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(BoundaryStrength(c.type, c.p, c.kp, c.q, c.kq), c.expected) << "case " << i;
    }
}

// A horizontal luma edge between rows of 60 (above) and 70 (below), filtered
// at strength 2 or 1; columns hold p3 .. q3 in rows 0 .. 7.
TEST(LoopFilterSamples, StrongNormalAndOff) {
    struct Case {
        int strength, qp;
        int rows[8];
    };
    const int strongP = (60 + 2 * 60 + 70 + 2) >> 2, strongQ = (60 + 2 * 70 + 70 + 2) >> 2;
    const Case cases[] = {
        // qp 40: alpha 35, |p0 - q0| = 10 is not below 35 / 4 + 2: only p0 and q0.
        {2, 40, {60, 60, 60, strongP, strongQ, 70, 70, 70}},
        // qp 44: alpha 39, limit 11: p1 and q1 too.
        {2, 44, {60, 60, (2 * 60 + 60 + 70 + 2) >> 2, strongP, strongQ, strongQ, 70, 70}},
        // qp 40: C = 3 clamps d = (30 + 4) >> 3 = 4; p1 moves by (9 - 67 + 60 + 4) >> 3 = 0.
        {1, 40, {60, 60, 60, 63, 67, 70, 70, 70}},
        // qp 20: alpha 6, and |p0 - q0| = 10 is not below it.
        {2, 20, {60, 60, 60, 60, 70, 70, 70, 70}},
    };
    for (const Case& c : cases) {
        uint8_t plane[8 * 16];
        for (int i = 0; i < 8 * 16; ++i) plane[i] = i < 4 * 16 ? 60 : 70;
        FilterLumaEdgeHPlain(plane + 4 * 16, 16, c.strength, c.strength,
                             LoopFilterThresholds(c.qp, 0, 0));
        for (int row = 0; row < 8; ++row) {
            EXPECT_EQ(plane[16 * row + 5], c.rows[row])
                << c.strength << " qp " << c.qp << " row " << row;
        }
    }
}

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
    EXPECT_EQ(ChromaQp(41), 41);
    EXPECT_EQ(ChromaQp(43), 42);
    EXPECT_EQ(ChromaQp(63), 51);
}

class FilterPictureTest : public ::testing::Test {
  protected:
    void SetUp() override { FillKernelTable(); }
};

// Two flat intra macroblocks side by side: only the edge between them
// changes, filtered with thresholds of the rounded mean of their QPs (for
// chroma, of their chroma QPs), whatever the right macroblock's own QP lets
// through.
TEST_F(FilterPictureTest, MacroblockEdgesTakeTheMeanQpOfBothSides) {
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
        FilterPicture(filtered.f, PictureHeader{});
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

// A picture of random steps between macroblocks with mixed QPs and slices.
test::TestFrame Patchwork(uint32_t seed) {
    test::TestFrame t(48, 64);
    std::mt19937 rng(seed);
    std::vector<int> level(12);
    for (int& l : level) l = 40 + static_cast<int>(rng() % 40);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 48; ++x)
            t.Y(x, y) = static_cast<uint8_t>(level[(y / 16) * 3 + x / 16] + rng() % 4);
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 24; ++x) {
            t.Cb(x, y) = static_cast<uint8_t>(level[(y / 8) * 3 + x / 8] + rng() % 3);
            t.Cr(x, y) = static_cast<uint8_t>(level[(y / 8) * 3 + x / 8] + rng() % 5);
        }
    }
    for (uint32_t n = 0; n < 12; ++n) {
        t.f.macroblocks[n].mbType = kIntraMbType;
        t.f.macroblocks[n].qp = 30 + static_cast<int32_t>(rng() % 30);
        t.f.macroblocks[n].sliceNumber = n < 6 ? 0 : 1;
    }
    return t;
}

TEST_F(FilterPictureTest, RowsFilteredInPiecesMatchTheWholePicture) {
    PictureHeader header{};
    header.alpha_c_offset = 2;
    header.beta_offset = -1;
    for (uint32_t seed = 0; seed < 8; ++seed) {
        test::TestFrame whole = Patchwork(seed);
        FilterPicture(whole.f, header);
        test::TestFrame pieces = Patchwork(seed);
        FilterRows(pieces.f, header, 0, 1);
        FilterRows(pieces.f, header, 1, 3);
        FilterRows(pieces.f, header, 3, 99);  // rows past the picture are ignored
        EXPECT_EQ(pieces.LumaBuffer(), whole.LumaBuffer());
        EXPECT_EQ(pieces.CbBuffer(), whole.CbBuffer());
        EXPECT_EQ(pieces.CrBuffer(), whole.CrBuffer());
        EXPECT_NE(whole.LumaBuffer(), Patchwork(seed).LumaBuffer())
            << "the filter changed something";
    }
}

}  // namespace
}  // namespace avs
