#include "decode/block_kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "decode/dequant_tables.h"

namespace avs {
namespace {

using Block = std::array<int16_t, 64>;

TEST(Dequantisation, ScaleAndShiftPerQp) {
    EXPECT_EQ(Dequantise(1, 0), 2);     // (32768 + 8192) >> 14
    EXPECT_EQ(Dequantise(1, 16), 8);    // (65535 + 4096) >> 13
    EXPECT_EQ(Dequantise(-1, 16), -8);  // arithmetic shift rounds down
    EXPECT_EQ(Dequantise(1, 63), 470);  // (60099 + 64) >> 7
    EXPECT_EQ(Dequantise(-3, 63), -1409);
    EXPECT_EQ(Dequantise(0, 63), 0);
    // The result wraps to 16 bits: 32767 at QP 0 gives 65534.
    EXPECT_EQ(Dequantise(32767, 0), static_cast<int16_t>(65534 - 65536));
    EXPECT_EQ(Dequantise(-32768, 63), static_cast<int16_t>((-32768 * 60099 + 64) >> 7));
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

TEST(InverseTransform, FlatBlockFromDc) {
    Block b{};
    b[0] = 32;  // dequantises to 64 at QP 0
    const Block out = Transformed(b, 0);
    for (int16_t v : out) EXPECT_EQ(v, 4);
}

TEST(InverseTransform, ColumnSumsSaturate) {
    // DC 2500 at QP 0 dequantises to 5000; every column sum is 8 * 5000 = 40000,
    // clamped to 32703, giving 255. The negative side clamps at -32768: -256.
    Block b{};
    b[0] = 2500;
    for (int16_t v : Transformed(b, 0)) EXPECT_EQ(v, 255);
    b[0] = -2500;
    for (int16_t v : Transformed(b, 0)) EXPECT_EQ(v, -256);
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

TEST(BlockStores, ClipAndCodedFlag) {
    uint8_t pred[64];
    int16_t residual[64];
    for (int i = 0; i < 64; ++i) {
        pred[i] = static_cast<uint8_t>(i * 4);
        residual[i] = static_cast<int16_t>(i % 2 ? 300 : -300);
    }
    uint8_t plane[8 * 10] = {};
    StoreLumaBlockPlain(plane, 10, pred, residual);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(plane[(i / 8) * 10 + i % 8], i % 2 ? 255 : 0);
    StoreChromaBlockPlain(plane, 10, pred, residual, 0);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(plane[(i / 8) * 10 + i % 8], pred[i]);
    EXPECT_EQ(plane[8], 0) << "columns beyond the block stay untouched";
}

}  // namespace
}  // namespace avs
