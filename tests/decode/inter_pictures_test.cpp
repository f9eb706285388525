// P and B pictures from hand-built macroblock data where the conformance
// streams do not reach: missing references, pictures without skip runs, and
// QPs clamped at the ends of their range.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "decode/inter_picture.h"
#include "decode/kernel_table.h"
#include "decode/pictures.h"
#include "decode/test_frame.h"
#include "frames/frame_queue.h"
#include "support/bit_writer.h"

namespace avs {
namespace {

using test::BitWriter;

// Sample (x, y) of plane 0 (luma), 1 (Cb) or 2 (Cr).
uint8_t& SampleOf(const DecodedFrame& f, int plane, uint32_t x, uint32_t y) {
    if (plane == 0) return f.lumaPlane[y * f.lumaPitch + x];
    return (plane == 1 ? f.cbPlane : f.crPlane)[y * f.chromaPitch + x];
}

// Calls `visit(plane, x, y)` for every sample of the decoded area.
template <typename Visit>
void ForEachSample(const DecodedFrame& f, Visit visit) {
    for (int plane = 0; plane < 3; ++plane) {
        const uint32_t scale = plane == 0 ? 16 : 8;
        for (uint32_t y = 0; y < scale * f.mbHeight; ++y) {
            for (uint32_t x = 0; x < scale * f.mbWidth; ++x) visit(plane, x, y);
        }
    }
}

class InterPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        FillKernelTable();
        headers.sequence.chroma_format = 1;
        headers.picture.pictureType = PictureType::P;  // slice headers with weighting
        headers.picture.picture_qp = 30;
        headers.picture.fixed_picture_qp = 1;
        headers.picture.picture_structure = 1;
        headers.picture.picture_reference_flag = 1;
        headers.picture.skip_mode_flag = 1;
        headers.picture.loop_filter_disable = 1;
    }
    void TearDown() override { queue.ReleaseAll(); }

    // A queued picture of random samples whose records are intra. The newest
    // one is the P picture being decoded.
    DecodedFrame& Push(uint32_t width, uint32_t height, uint32_t distance) {
        DecodedFrame* f = queue.PushFrame(width, height, 1);
        EXPECT_NE(f, nullptr);
        f->pictureDistance = distance;
        ForEachSample(*f, [&](int plane, uint32_t x, uint32_t y) {
            SampleOf(*f, plane, x, y) = static_cast<uint8_t>(rng());
        });
        for (uint32_t n = 0; n < f->mbWidth * f->mbHeight; ++n) {
            f->macroblocks[n] = MacroblockInfo{};
            f->macroblocks[n].mbType = kIntraMbType;
        }
        ExtendBorders(*f);
        f->bordersExtended = 0;
        return *f;
    }

    // Decodes `w` as a P picture with the references the driver would choose
    // (the queue's entries before the newest, of its size): 0, or -1 when dropped.
    int DecodeP(const BitWriter& w, DecodedFrame& frame) {
        const DecodedFrame* refs[2] = {};
        for (int k = 0; k < 2; ++k) {
            const DecodedFrame* ref = queue.FrameAt(queue.count - 2 - k);
            if (ref != nullptr && ref->width == frame.width && ref->height == frame.height) {
                refs[k] = ref;
            }
        }
        const auto unit = w.Unit();
        BitReader br(unit.data(), w.ByteCount());
        PictureState pic(headers, frame);
        const bool decoded = DecodePPicture(pic, br, refs);
        bitsRead = br.pos;
        return decoded ? 0 : -1;
    }

    StreamHeaders headers;
    FrameQueue queue;
    std::mt19937 rng{3};
    uint32_t bitsRead = 0;
};

// One P_16x16 macroblock with a zero difference and no residual, after its
// reference index (the picture codes them).
BitWriter P16x16WithReference(uint32_t refIdx) {
    BitWriter w;
    w.Ue(0);  // mb_skip_run
    w.Ue(0);  // mb_type: P_16x16
    w.Bit(refIdx);
    w.Se(0);
    w.Se(0);
    w.Ue(0);  // coded block pattern 0
    return w;
}

// A partition whose reference index selects a picture the queue does not
// hold, or holds at another size, drops the picture.
TEST_F(InterPicture, APartitionOnAMissingReferenceDropsThePicture) {
    headers.picture.picture_reference_flag = 0;
    const DecodedFrame& ref0 = Push(16, 16, 0);
    DecodedFrame& current = Push(16, 16, 2);
    EXPECT_EQ(DecodeP(P16x16WithReference(0), current), 0);
    ForEachSample(current, [&](int plane, uint32_t x, uint32_t y) {
        ASSERT_EQ(SampleOf(current, plane, x, y), SampleOf(ref0, plane, x, y));
    });
    EXPECT_EQ(DecodeP(P16x16WithReference(1), current), -1);

    queue.ReleaseAll();
    Push(32, 16, 0);
    EXPECT_EQ(DecodeP(P16x16WithReference(0), Push(16, 16, 2)), -1);
}

// Without skip runs every macroblock codes its type, and type 0 is skipped:
// P types are the coded values, B types the coded values minus 1.
TEST_F(InterPicture, WithoutSkipRunsTypeZeroIsASkippedMacroblock) {
    headers.picture.skip_mode_flag = 0;
    Push(32, 16, 0);
    DecodedFrame& p = Push(32, 16, 2);
    BitWriter wp;
    wp.Ue(0);               // P_Skip
    wp.Ue(9);               // intra, coded block pattern row 4 (0)
    wp.Bits(0xF, 4).Ue(0);  // predicted luma modes, chroma DC
    ASSERT_EQ(DecodeP(wp, p), 0);
    EXPECT_EQ(bitsRead, wp.BitCount());
    EXPECT_EQ(p.macroblocks[0].mbType, kPSkip);
    EXPECT_EQ(p.macroblocks[1].mbType, kIntraMbType);

    ExtendBorders(p);
    DecodedFrame* b = NewFrame(32, 16, 1);
    ASSERT_NE(b, nullptr);
    b->pictureDistance = 1;
    BitWriter wb;
    wb.Ue(0);  // skipped
    wb.Ue(1);  // type 0: direct, with a coded block pattern
    wb.Ue(0);  // coded block pattern 0
    const auto unit = wb.Unit();
    BitReader br(unit.data(), wb.ByteCount());
    PictureState pic(headers, *b);
    DecodeBPicture(pic, br, p, *queue.FrameAt(0));
    EXPECT_EQ(br.pos, wb.BitCount());
    EXPECT_EQ(b->macroblocks[0].mbType, kBDirect16x16);
    EXPECT_EQ(b->macroblocks[1].mbType, kBDirect16x16);
    DeleteFrame(b);
}

// The QP runs from macroblock to macroblock: each slice restarts it at its
// own QP, every mb_qp_delta moves it (clamped to 0..63), and macroblocks
// without a coded block, or in a slice whose QP is fixed, keep it.
TEST_F(InterPicture, QpRunsThroughSlicesFromEachSliceQp) {
    headers.picture.fixed_picture_qp = 0;
    BitWriter w;
    const auto slice = [&](uint8_t row, uint32_t fixedSliceQp, uint32_t sliceQp) {
        w.AlignWithZeros().Bytes({0, 0, 1, row}).Bit(fixedSliceQp).Bits(sliceQp, 6).Bit(0);
    };
    slice(0, 0, 40);
    w.Se(5).Se(30).Se(-100).Se(7);
    slice(1, 0, 20);
    w.Se(3);
    slice(2, 1, 50);
    const auto unit = w.Unit();
    BitReader br(unit.data(), w.ByteCount());
    test::TestFrame t(16, 48);
    SliceState state(headers.picture);
    const auto next = [&](int32_t cbp) {
        MacroblockInfo mb{};
        BeginInterMacroblock(mb, state);
        mb.cbp = cbp;
        ReadQpDelta(br, headers.picture, state, mb);
        return mb.qp;
    };
    EXPECT_EQ(next(0), 30) << "before any slice header: the picture's QP";
    ASSERT_TRUE(StartSliceAtRow(br, headers.sequence, headers.picture, t.f, 0, state));
    EXPECT_EQ(next(0), 40);
    EXPECT_EQ(next(1), 45);
    EXPECT_EQ(next(0), 45);
    EXPECT_EQ(next(0x20), 63) << "45 + 30, clamped";
    EXPECT_EQ(next(1), 0) << "63 - 100, clamped";
    EXPECT_EQ(next(1), 7);
    ASSERT_TRUE(StartSliceAtRow(br, headers.sequence, headers.picture, t.f, 1, state));
    EXPECT_EQ(next(1), 23) << "from the new slice's QP, not from 7 or the picture's";
    ASSERT_TRUE(StartSliceAtRow(br, headers.sequence, headers.picture, t.f, 2, state));
    EXPECT_EQ(next(1), 50) << "a fixed slice QP reads no delta";
    EXPECT_EQ(br.pos, w.BitCount());
}

}  // namespace
}  // namespace avs
