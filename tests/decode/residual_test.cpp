#include "decode/residual.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "decode/block_kernels.h"
#include "decode/code_writer.h"
#include "decode/coefficients.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

using Block = std::array<int16_t, 64>;

Block Copy(const int16_t* b) {
    Block out;
    std::memcpy(out.data(), b, sizeof(int16_t) * 64);
    return out;
}

Block PlainTransform(Block b, int qp) {
    DequantIdctPlain(b.data(), qp);
    return b;
}

class Residual : public ::testing::Test {
  protected:
    void SetUp() override {
        FillKernelTable();
        ClearResidual(buffers);
    }
    MacroblockBuffers buffers;
};

// Luma block 0 and Cb hold only a DC coefficient, luma block 1 also an AC
// one; the transform of each matches the plain transform of its coefficients.
TEST_F(Residual, DcOnlyBlocksTransformLikeAnyOther) {
    test::CodeWriter w;
    w.ExpGolomb(0, 2);  // block 0: (run 0, +1), then the end of block of table 1
    w.ExpGolomb(8, 2);
    w.ExpGolomb(2, 2);  // block 1: (run 1, +1), (run 0, +1): scan positions 0 and 2
    w.ExpGolomb(0, 2);
    w.ExpGolomb(8, 2);
    w.ExpGolomb(0, 2);  // Cb: (run 0, +1), then table 1's end of block (order 0)
    w.ExpGolomb(0, 0);
    const auto unit = w.Unit();
    BitReader br(unit.data(), w.ByteCount());
    constexpr uint32_t kCbp = 0x13;
    ReadResidualCoefficients(br, kCbp, true, ScanOrder(1), buffers);
    EXPECT_EQ(br.pos, w.BitCount());
    EXPECT_EQ(buffers.dcOnly, 0x11u);

    for (const int qp : {0, 17, 40, 63}) {
        MacroblockBuffers b = buffers;
        const Block expected[3] = {PlainTransform(Copy(b.luma[0]), qp),
                                   PlainTransform(Copy(b.luma[1]), qp),
                                   PlainTransform(Copy(b.cb), qp)};
        InverseTransformResidual(b, kCbp, qp);
        EXPECT_EQ(Copy(b.luma[0]), expected[0]) << "QP " << qp;
        EXPECT_EQ(Copy(b.luma[1]), expected[1]) << "QP " << qp;
        EXPECT_EQ(Copy(b.cb), expected[2]) << "QP " << qp;
        EXPECT_EQ(Copy(b.luma[2]), Block{}) << "uncoded blocks stay zero";
        EXPECT_EQ(b.dcOnly, 0u) << "the mask is used up";
    }
}

// Coefficients that reach the buffers without ReadResidualCoefficients are
// transformed in full, whatever an earlier macroblock noted.
TEST_F(Residual, NoStaleDcOnlyMask) {
    buffers.luma[0][0] = 5;
    buffers.dcOnly = 0x1;
    InverseTransformResidual(buffers, 0x1, 30);
    ClearCodedResidual(buffers, 0x1);
    buffers.luma[0][0] = 5;
    buffers.luma[0][9] = -3;
    const Block expected = PlainTransform(Copy(buffers.luma[0]), 30);
    InverseTransformResidual(buffers, 0x1, 30);
    EXPECT_EQ(Copy(buffers.luma[0]), expected);
}

}  // namespace
}  // namespace avs
