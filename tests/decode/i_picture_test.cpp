// I pictures from hand-built macroblock data where the conformance streams do
// not reach: data that ends too early, a chroma mode without its neighbour,
// and the search for slice start codes at its limits.
#include <gtest/gtest.h>

#include <memory>

#include "decode/intra_prediction.h"
#include "decode/kernel_table.h"
#include "decode/pictures.h"
#include "decode/slice.h"
#include "decode/test_frame.h"
#include "support/bit_writer.h"

namespace avs {
namespace {

using test::BitWriter;
using test::TestFrame;

class IPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        FillKernelTable();
        headers.sequence.chroma_format = 1;
        headers.sequence.vertical_size = 32;
        headers.picture.picture_qp = 63;
        headers.picture.fixed_picture_qp = 1;
        headers.picture.picture_structure = 1;
        headers.picture.loop_filter_disable = 1;
    }

    // Decodes `w`'s bits as the macroblock data of a width x height picture.
    TestFrame Decode(const BitWriter& w, uint32_t width, uint32_t height) {
        TestFrame t(width, height, 0xEE);
        const auto unit = w.Unit();
        BitReader br(unit.data(), w.ByteCount());
        PictureState pic(headers, t.f);
        DecodeIPicture(pic, br);
        return t;
    }

    StreamHeaders headers;
};

// A macroblock whose four blocks use their predicted modes.
// cbpCode 16 codes block 0 only, 4 codes nothing.
void Macroblock(BitWriter& w, uint32_t cbpCode, uint32_t chromaMode = kChromaDc) {
    w.Bits(0xF, 4);  // predicted luma modes
    w.Ue(chromaMode);
    w.Ue(cbpCode);
    if (cbpCode == 16) {
        w.ExpGolomb(0, 2);  // (run 0, +1)
        w.ExpGolomb(8, 2);  // end of block in table 1
    }
}

TEST_F(IPicture, DataEndingEarlyLeavesGreyMacroblocks) {
    // 22 bits of data for a picture of six macroblocks: the second one runs
    // past the end (it reads the zeros beyond), the four after it are grey.
    BitWriter w;
    Macroblock(w, 16);
    const TestFrame first = Decode(w, 48, 32);
    for (int n = 2; n < 6; ++n) {
        const uint32_t x = 16 * (n % 3), y = 16 * (n / 3);
        EXPECT_EQ(first.f.lumaPlane[(y + 5) * first.f.lumaPitch + x + 7], 128) << n;
        EXPECT_EQ(first.f.cbPlane[(y / 2 + 7) * first.f.chromaPitch + x / 2], 128) << n;
        EXPECT_EQ(first.f.macroblocks[n].mbType, kIntraMbType);
        EXPECT_EQ(first.f.macroblocks[n].qp, 63);
    }
}

TEST_F(IPicture, AChromaModeThatPredictsNothingDoesNotDependOnEarlierPictures) {
    // Horizontal chroma in the first macroblock has no left neighbour: the
    // block keeps the prediction the picture started from, whatever the DC
    // picture decoded before it left behind.
    BitWriter dc, horizontal;
    Macroblock(dc, 4);
    Macroblock(horizontal, 4, kChromaHorizontal);
    const uint8_t alone = Decode(horizontal, 16, 16).f.cbPlane[0];
    Decode(dc, 16, 16);
    EXPECT_EQ(Decode(horizontal, 16, 16).f.cbPlane[0], alone);
}

// Slice start codes around a row start: (reader position, byte of the start
// code, its row, the current row, found).
struct SliceSearch {
    uint32_t readerBit;
    uint32_t codeByte;
    uint8_t codeRow;
    uint32_t row;
    bool found;
};

class SliceStarts : public IPicture, public ::testing::WithParamInterface<SliceSearch> {};

TEST_P(SliceStarts, AreFoundAtTheirOwnRowWithinTheSearch) {
    const SliceSearch& c = GetParam();
    std::vector<uint8_t> unit(c.codeByte + 8 + kUnitPadding, 0);
    unit[c.codeByte - 1] = 0x80;  // stuffing
    unit[c.codeByte + 2] = 1;
    unit[c.codeByte + 3] = c.codeRow;
    BitReader br(unit.data(), c.codeByte + 8);
    br.pos = c.readerBit;
    TestFrame t(16, 16 * 12);
    SliceState slice(headers.picture);
    EXPECT_EQ(StartSliceAtRow(br, headers.sequence, headers.picture, t.f, c.row, slice), c.found);
    EXPECT_EQ(br.pos, c.found ? 8 * c.codeByte + 32 : c.readerBit);
    EXPECT_EQ(slice.number, c.found ? 1 : 0);
    EXPECT_EQ(slice.firstRow, c.found ? c.row : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SliceStarts,
    ::testing::Values(SliceSearch{75, 10, 0, 0, true},    // just after the picture header
                      SliceSearch{75, 19, 0, 0, true},    // after stuffing, at bit 152
                      SliceSearch{75, 21, 0, 0, true},    // bit 168: the try after bit 160
                      SliceSearch{75, 22, 0, 0, false},   // beyond it
                      SliceSearch{800, 101, 4, 4, true},  // a slice after a stuffing byte
                      SliceSearch{801, 102, 4, 4, true},  // reader mid-byte: next byte + 8
                      SliceSearch{800, 102, 4, 4, false},
                      SliceSearch{800, 101, 5, 4, false},  // the start code of a later row
                      SliceSearch{800, 101, 0xB3, 4, false}));

TEST(UnitEnd, IsTheBitAfterTheLastByte) {
    std::vector<uint8_t> unit(10 + kUnitPadding, 0);
    BitReader br(unit.data(), 10);
    br.pos = 80;
    EXPECT_FALSE(PastUnitEnd(br));
    br.pos = 81;
    EXPECT_TRUE(PastUnitEnd(br));
}

}  // namespace
}  // namespace avs
