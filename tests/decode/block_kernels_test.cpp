// The inverse transform and dequantisation at the ends of their ranges (where
// the column sums saturate), against the matrix products they are defined by;
// and the DC-only shortcut against the full transform.
#include "decode/block_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "decode/residual.h"

namespace avs {
namespace {

using Block = std::array<int16_t, 64>;

// Scale and shift at the ends of the QP range, and at the ends of the
// coefficient range, where the product wraps to 16 bits.
TEST(Dequantisation, ScaleAndShiftPerQp) {
    struct Case {
        int16_t level;
        int qp;
        int16_t expected;
    };
    const Case cases[] = {
        {1, 0, 2},     // (32768 + 8192) >> 14
        {1, 16, 8},    // (65535 + 4096) >> 13
        {-1, 16, -8},  // arithmetic shift rounds down
        {1, 63, 470},  // (60099 + 64) >> 7
        {-3, 63, -1409},
        {0, 63, 0},
        {32767, 0, static_cast<int16_t>(65534 - 65536)},
        {-32768, 63, static_cast<int16_t>((-32768 * 60099 + 64) >> 7)},
    };
    for (const Case& c : cases) EXPECT_EQ(Dequantise(c.level, c.qp), c.expected) << c.level;
}

// The transform as the matrix products it is defined by.
Block ReferenceTransform(const Block& coefficients, int qp) {
    static constexpr int kT[8][8] = {
        {8, 8, 8, 8, 8, 8, 8, 8},         {10, 9, 6, 2, -2, -6, -9, -10},
        {10, 4, -4, -10, -10, -4, 4, 10}, {9, -2, -10, -6, 6, 10, 2, -9},
        {8, -8, -8, 8, 8, -8, -8, 8},     {6, -10, 2, 9, -9, -2, 10, -6},
        {4, -10, 10, -4, -4, 10, -10, 4}, {2, -6, 9, -10, 10, -9, 6, -2}};
    int c[64], h[64];
    for (int i = 0; i < 64; ++i) c[i] = Dequantise(coefficients[i], qp);
    for (int r = 0; r < 8; ++r) {
        for (int j = 0; j < 8; ++j) {
            int s = 0;
            for (int i = 0; i < 8; ++i) s += c[8 * r + i] * kT[i][j];
            h[8 * r + j] = static_cast<int16_t>((s + 4) >> 3);
        }
    }
    Block out{};
    for (int col = 0; col < 8; ++col) {
        for (int j = 0; j < 8; ++j) {
            int s = 0;
            for (int i = 0; i < 8; ++i) s += h[8 * i + col] * kT[i][j];
            s = std::clamp(s, -32768, 32703);
            out[8 * j + col] = static_cast<int16_t>((s + 64) >> 7);
        }
    }
    return out;
}

Block Transformed(Block b, int qp) {
    DequantIdctPlain(b.data(), qp);
    return b;
}

TEST(InverseTransform, DcOnlyBlocksShareOneValue) {
    for (int qp = 0; qp < 64; ++qp) {
        for (int dc = -32768; dc <= 32767; dc += dc < -300 || dc > 300 ? 97 : 1) {
            Block b{};
            b[0] = static_cast<int16_t>(dc);
            Block expected{};
            expected.fill(DcOnlyResidual(b[0], qp));
            ASSERT_EQ(Transformed(b, qp), expected) << "DC " << dc << " at QP " << qp;
        }
    }
}

TEST(InverseTransform, ButterflyEqualsMatrixProduct) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 2000; ++trial) {
        Block b{};
        const int qp = trial % 64;
        const int range = (trial % 3 == 0) ? 32768 : (trial % 3 == 1) ? 2048 : 64;
        std::uniform_int_distribution<int> value(-range, range - 1);
        std::uniform_int_distribution<int> count(1, 64);
        for (int k = count(rng); k > 0; --k) b[rng() % 64] = static_cast<int16_t>(value(rng));
        ASSERT_EQ(Transformed(b, qp), ReferenceTransform(b, qp)) << "trial " << trial;
    }
}

// Cb and Cr are dequantised with the chroma QP of the macroblock's QP (the
// same up to 41, then 42 at 42 and 43, up to 51 at 63); luma with the QP
// itself. Blocks noted as DC-only follow the same rule.
TEST(InverseTransform, ChromaBlocksTakeTheChromaQp) {
    FillKernelTable();
    Block dcOnly{};
    dcOnly[0] = 37;
    Block full = dcOnly;
    full[9] = -5;
    const int cases[][2] = {{41, 41}, {42, 42}, {43, 42}, {63, 51}};
    for (const auto& [qp, chromaQp] : cases) {
        ASSERT_EQ(ChromaQp(qp), chromaQp);
        for (const Block* b : {&dcOnly, &full}) {
            MacroblockResidual buffers{};
            for (int16_t* block : {buffers.luma[0], buffers.cb, buffers.cr})
                std::copy(b->begin(), b->end(), block);
            buffers.dcOnly = b == &dcOnly ? 0x31 : 0;
            InverseTransformResidual(buffers, 0x31, qp);
            const Block luma = Transformed(*b, qp), chroma = Transformed(*b, chromaQp);
            EXPECT_TRUE(std::equal(luma.begin(), luma.end(), buffers.luma[0])) << qp;
            EXPECT_TRUE(std::equal(chroma.begin(), chroma.end(), buffers.cb)) << qp;
            EXPECT_TRUE(std::equal(chroma.begin(), chroma.end(), buffers.cr)) << qp;
        }
    }
}

// Coefficients that reach the buffers without ReadResidualCoefficients are
// transformed in full, whatever an earlier macroblock noted as DC-only.
TEST(InverseTransform, NoStaleDcOnlyMask) {
    FillKernelTable();
    MacroblockResidual buffers{};
    buffers.luma[0][0] = 5;
    buffers.dcOnly = 0x1;
    InverseTransformResidual(buffers, 0x1, 30);
    ClearCodedResidual(buffers, 0x1);
    Block b{};
    b[0] = 5;
    b[9] = -3;
    std::copy(b.begin(), b.end(), buffers.luma[0]);
    InverseTransformResidual(buffers, 0x1, 30);
    const Block expected = Transformed(b, 30);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffers.luma[0]));
}

}  // namespace
}  // namespace avs
