// The loop filter where the conformance streams do not reach: threshold
// offsets at the ends of their range, and a picture filtered in row ranges
// (any split, rows past the end) giving the whole-picture result. Strengths
// and the sample arithmetic are checked bit-exactly by the conformance streams.
#include "decode/loop_filter.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "decode/test_frame.h"
#include "platform/kernel_table.h"

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
