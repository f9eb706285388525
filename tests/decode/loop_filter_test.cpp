#include "decode/loop_filter.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "decode/test_frame.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

MacroblockInfo Inter(int32_t type, MotionVector mv0 = {0, 0}, MotionVector mv1 = {0, 0}) {
    MacroblockInfo m{};
    m.mbType = type;
    m.mv[0] = mv0;
    m.mv[1] = mv1;
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

struct StrengthCase {
    const char* name;
    PictureType type;
    MacroblockInfo p;
    int kp;
    MacroblockInfo q;
    int kq;
    int expected;
};

class Strengths : public ::testing::TestWithParam<StrengthCase> {};

TEST_P(Strengths, FollowTheRulesOfThePictureType) {
    const StrengthCase& c = GetParam();
    EXPECT_EQ(BoundaryStrength(c.type, c.p, c.kp, c.q, c.kq), c.expected);
}

MacroblockInfo WithRef(MacroblockInfo m, int32_t ref) {
    m.refIdx[0] = ref;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Strengths,
    ::testing::Values(
        StrengthCase{"IPicture", PictureType::I, Inter(kIntraMbType), 1, Inter(kIntraMbType), 0, 2},
        StrengthCase{"PIntraNeighbour", PictureType::P, Inter(kIntraMbType), 1, Inter(kP16x16), 0,
                     2},
        StrengthCase{"PVectorsFourApart", PictureType::P, Inter(kP16x16, {4, 0}), 1, Inter(kP16x16),
                     0, 1},
        StrengthCase{"PVectorsThreeApart", PictureType::P, Inter(kP16x16, {3, -3}), 1,
                     Inter(kP16x16), 0, 0},
        StrengthCase{"PNegativeFour", PictureType::P, Inter(kP16x16, {0, -4}), 1, Inter(kP16x16), 0,
                     1},
        StrengthCase{"PReferencesDiffer", PictureType::P, WithRef(Inter(kP16x16), 1), 1,
                     Inter(kP16x16), 0, 1},
        // 16x8: blocks 2 and 3 use the second partition's vector.
        StrengthCase{"P16x8LowerPartition", PictureType::P, Inter(kP16x8, {0, 0}, {8, 0}), 2,
                     Inter(kP16x16, {8, 0}), 0, 0},
        StrengthCase{"P16x8UpperPartition", PictureType::P, Inter(kP16x8, {0, 0}, {8, 0}), 0,
                     Inter(kP16x16, {8, 0}), 0, 1},
        StrengthCase{"P8x16RightPartition", PictureType::P, Inter(kP8x16, {0, 0}, {8, 0}), 3,
                     Inter(kP16x16, {8, 0}), 0, 0},
        StrengthCase{"BIntra", PictureType::B, Inter(kBIntraMbType), 1, BBlocks(0, {}, {}), 0, 2},
        StrengthCase{"BForwardAgainstBackward", PictureType::B, BBlocks(kDirForward, {}, {}), 1,
                     BBlocks(kDirBackward, {}, {}), 0, 1},
        StrengthCase{"BDirectAgainstSymmetric", PictureType::B, BBlocks(kDirDirect, {1, 1}, {2, 2}),
                     1, BBlocks(kDirSymmetric, {1, 1}, {2, 2}), 0, 0},
        StrengthCase{"BForwardVectorsApart", PictureType::B, BBlocks(kDirForward, {4, 0}, {}), 1,
                     BBlocks(kDirForward, {0, 0}, {}), 0, 1},
        StrengthCase{"BUnusedBackwardVectors", PictureType::B, BBlocks(kDirForward, {}, {40, 0}), 1,
                     BBlocks(kDirForward, {}, {0, 0}), 0, 0},
        StrengthCase{"BBothUsedBackwardApart", PictureType::B, BBlocks(kDirDirect, {}, {0, 4}), 1,
                     BBlocks(kDirDirect, {}, {0, 0}), 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoopFilterThresholds, IndicesClampWithOffsets) {
    const EdgeThresholds top = LoopFilterThresholds(60, 10, 10);
    EXPECT_EQ(top.alpha, 64);
    EXPECT_EQ(top.beta, 27);
    EXPECT_EQ(top.c, 9);
    const EdgeThresholds bottom = LoopFilterThresholds(3, -10, -10);
    EXPECT_EQ(bottom.alpha, 0);
    EXPECT_EQ(bottom.beta, 0);
    const EdgeThresholds mixed = LoopFilterThresholds(30, 5, -2);  // indices 35 and 28
    EXPECT_EQ(mixed.alpha, 28);
    EXPECT_EQ(mixed.beta, 5);
    EXPECT_EQ(mixed.c, 2);
    const EdgeThresholds extreme = LoopFilterThresholds(30, INT_MIN, INT_MAX);
    EXPECT_EQ(extreme.alpha, 0);
    EXPECT_EQ(extreme.beta, 27);
    EXPECT_EQ(ChromaQp(41), 41);
    EXPECT_EQ(ChromaQp(43), 42);
    EXPECT_EQ(ChromaQp(63), 51);
}

// A horizontal luma edge between rows of 60 (above) and 70 (below).
struct StepEdge {
    uint8_t plane[8 * 16];
    StepEdge() {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) plane[16 * y + x] = y < 4 ? 60 : 70;
        }
    }
    int At(int row) const { return plane[16 * row + 5]; }  // rows 1..6 are p2..q2
    void Filter(int strength, int qp) {
        FilterLumaEdgeHPlain(plane + 4 * 16, 16, strength, strength,
                             LoopFilterThresholds(qp, 0, 0));
    }
};

TEST(LoopFilterSamples, StrongNormalAndOff) {
    StepEdge notSmall;  // qp 40: alpha 35, |p0 - q0| = 10 is not below 35 / 4 + 2
    notSmall.Filter(2, 40);
    EXPECT_EQ(notSmall.At(2), 60);
    EXPECT_EQ(notSmall.At(3), (60 + 2 * 60 + 70 + 2) >> 2);
    EXPECT_EQ(notSmall.At(4), (60 + 2 * 70 + 70 + 2) >> 2);
    EXPECT_EQ(notSmall.At(5), 70);

    StepEdge small;  // qp 44: alpha 39, limit 11
    small.Filter(2, 44);
    EXPECT_EQ(small.At(2), (2 * 60 + 60 + 70 + 2) >> 2);
    EXPECT_EQ(small.At(3), (60 + 2 * 60 + 70 + 2) >> 2);
    EXPECT_EQ(small.At(4), (60 + 2 * 70 + 70 + 2) >> 2);
    EXPECT_EQ(small.At(5), (60 + 2 * 70 + 70 + 2) >> 2);

    StepEdge normal;  // qp 40: C = 3 clamps d = (30 + 4) >> 3 = 4
    normal.Filter(1, 40);
    EXPECT_EQ(normal.At(3), 63);
    EXPECT_EQ(normal.At(4), 67);
    EXPECT_EQ(normal.At(2), 60);  // (3 * 3 - 67 + 60 + 4) >> 3 = 0

    StepEdge off;  // qp 20: alpha 6, and |p0 - q0| = 10 is not below it
    off.Filter(2, 20);
    for (int row = 0; row < 8; ++row) EXPECT_EQ(off.At(row), row < 4 ? 60 : 70);
}

class FilterPictureTest : public ::testing::Test {
  protected:
    void SetUp() override { FillKernelTable(); }
};

// Two macroblocks, one above the other, with a step between them at y = 16.
test::TestFrame TwoRows(int32_t lowerSlice) {
    test::TestFrame t(16, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 16; ++x) t.Y(x, y) = y < 16 ? 60 : 70;
    }
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) t.Cb(x, y) = t.Cr(x, y) = y < 8 ? 100 : 104;
    }
    for (int n = 0; n < 2; ++n) {
        t.f.macroblocks[n].mbType = kIntraMbType;
        t.f.macroblocks[n].qp = 44;
    }
    t.f.macroblocks[1].sliceNumber = lowerSlice;
    t.f.pictureType = PictureType::I;
    return t;
}

TEST_F(FilterPictureTest, SliceEdgesAndTheDisableFlag) {
    PictureHeader header{};
    test::TestFrame same = TwoRows(0);
    FilterPicture(same.f, header);
    EXPECT_NE(same.Y(3, 15), 60);
    EXPECT_NE(same.Y(3, 16), 70);
    EXPECT_NE(same.Cb(3, 8), 104);

    test::TestFrame split = TwoRows(1);  // the lower macroblock starts a new slice
    FilterPicture(split.f, header);
    EXPECT_EQ(split.Y(3, 15), 60);
    EXPECT_EQ(split.Y(3, 16), 70);
    EXPECT_EQ(split.Cb(3, 8), 104);

    header.loop_filter_disable = 1;
    test::TestFrame off = TwoRows(0);
    FilterPicture(off.f, header);
    EXPECT_EQ(off.LumaBuffer(), TwoRows(0).LumaBuffer());
    EXPECT_EQ(off.CbBuffer(), TwoRows(0).CbBuffer());
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
    t.f.pictureType = PictureType::I;
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
