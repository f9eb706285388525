#include "bitstream/headers.h"

#include <gtest/gtest.h>

#include "bitstream/start_codes.h"
#include "bitstream/test_units.h"

namespace avs::test {
namespace {

struct IHeader {
    bool timeCode = false;
    uint32_t distance = 5;
    bool lowDelay = false;
    uint32_t qp = 20;
    bool loopFilterParams = false;
};

// An I picture unit in the compact or the marker syntax, stuffing, then a slice.
std::vector<uint8_t> IPictureUnit(const IHeader& h, bool marker) {
    BitWriter w = StartCode(kIPictureCode);
    w.Bits(0xFFFF, 16).Bit(h.timeCode).Bits(0x123456, h.timeCode ? 24 : 0).Bits(1, marker);
    w.Bits(h.distance, 8).Bits(0b00100, h.lowDelay ? 5 : 0);  // bbv_check_times ue = 3
    w.Bits(0b1101, 4).Bits(h.qp, 6).Bits(0, 4).Bit(0).Bit(h.loopFilterParams);
    if (h.loopFilterParams) w.Se(-2).Se(3);
    return w.Stuffing().Bytes({0, 0, 1, 0, 0xE5, 0x12}).Data();
}

PictureHeader ParseI(const std::vector<uint8_t>& unit, const SequenceHeader& seq) {
    PictureHeader pic{};
    const PaddedUnit padded(unit);
    BitReader br = padded.Reader();
    ParseIPictureHeader(br, seq, pic);
    return pic;
}

// Both syntaxes are recognised by where the header's stuffing ends.
TEST(Headers, IPictureHeaderSyntaxIsRecognised) {
    const IHeader cases[] = {
        {},
        {.distance = 0x80, .lowDelay = true},
        {.distance = 0xFF, .qp = 63, .loopFilterParams = true},
        {.timeCode = true, .distance = 1, .lowDelay = true, .qp = 0, .loopFilterParams = true},
    };
    for (const IHeader& h : cases) {
        for (bool marker : {false, true}) {
            SequenceHeader seq{};
            seq.low_delay = h.lowDelay;
            const PictureHeader pic = ParseI(IPictureUnit(h, marker), seq);
            EXPECT_EQ(pic.markerSyntax, marker) << h.distance;
            EXPECT_EQ(pic.picture_distance, h.distance);
            EXPECT_EQ(pic.time_code, h.timeCode ? 0x123456u : 0u);
            EXPECT_EQ(pic.bbv_check_times, h.lowDelay ? 3u : 0u);
            EXPECT_EQ(pic.picture_qp, h.qp);
            EXPECT_EQ(pic.progressive_frame, 1u);
            EXPECT_EQ(pic.beta_offset, h.loopFilterParams ? 3 : 0);
        }
    }
    // Without a slice after it and with broken stuffing: the compact syntax.
    std::vector<uint8_t> unit = IPictureUnit({}, true);
    unit.erase(unit.end() - 6, unit.end());
    unit.back() |= 0x01;
    EXPECT_FALSE(ParseI(unit, SequenceHeader{}).markerSyntax);
}

// Here the compact parse also ends at the stuffing: it reads progressive_frame
// = 0 and so one more bit. A progressive sequence rules that parse out.
TEST(Headers, ProgressiveSequenceSettlesATie) {
    const std::vector<uint8_t> unit = {
        0, 0, 1, kIPictureCode, 0xFF, 0xFF, 0x40, 0x35, 0x70, 0x20, 0, 0, 1, 0, 0xEB, 0x89};
    for (uint32_t progressive : {1u, 0u}) {
        SequenceHeader seq{};
        seq.progressive_sequence = progressive;
        const PictureHeader pic = ParseI(unit, seq);
        EXPECT_EQ(pic.markerSyntax, progressive == 1);
        EXPECT_EQ(pic.progressive_frame, progressive);
    }
    // In an interlaced sequence the tie goes to the syntax the stream's
    // previous I picture used.
    for (bool previous : {false, true}) {
        PictureHeader pic{};
        pic.markerSyntax = previous;
        const PaddedUnit padded(unit);
        BitReader br = padded.Reader();
        ParseIPictureHeader(br, SequenceHeader{}, pic);
        EXPECT_EQ(pic.markerSyntax, previous);
    }
}

TEST(Headers, PbPictureHeader) {
    struct Case {
        uint32_t codingType, progressive, structure;
        bool readsReferenceFlag;
    };
    // Interlaced only: progressive P and B frames are in the conformance streams.
    const Case cases[] = {
        {1, 0, 1, true},
        {2, 0, 1, false},  // a B frame has no picture_reference_flag
        {2, 0, 0, true},   // a B field has
    };
    for (const Case& c : cases) {
        BitWriter w = StartCode(kPbPictureCode);
        w.Bits(0x1234, 16).Bits(c.codingType, 2).Bits(77, 8).Bit(c.progressive);
        w.Bits(c.structure, c.progressive ? 0 : 1).Bits(0, !c.progressive && !c.structure);
        w.Bits(0, 3).Bits(33, 6).Bits(1, c.readsReferenceFlag).Bits(0, 4).Bit(1).Bit(1);
        PictureHeader pic{};
        pic.advanced_pred_mode_disable = 1;  // kept unless the header carries it
        pic.picture_reference_flag = 7;
        const PaddedUnit unit(w.Stuffing().Data());
        BitReader br = unit.Reader();
        ParsePbPictureHeader(br, SequenceHeader{}, pic);
        EXPECT_EQ(pic.picture_distance, 77u);
        EXPECT_EQ(pic.picture_structure, c.structure);
        EXPECT_EQ(pic.advanced_pred_mode_disable, c.structure == 0 ? 0u : 1u);
        EXPECT_EQ(pic.picture_reference_flag, c.readsReferenceFlag ? 1u : 0u);
        EXPECT_EQ(pic.picture_qp, 33u);
        EXPECT_EQ(pic.loop_filter_disable, 1u);
        EXPECT_EQ(pic.pictureType, c.codingType == 1 ? PictureType::P : PictureType::B);
    }
}

// A fixed picture QP and frames of every type are in the conformance streams.
TEST(Headers, SliceHeaderReadsOnlyWhatThePictureAsksFor) {
    struct Case {
        uint32_t height;
        PictureType type;
        uint32_t structure, firstMacroblock, bitsRead;
    };
    const Case cases[] = {
        {288, PictureType::I, 0, 197, 7},                  // first field: stops after the QP
        {288, PictureType::I, 0, 198, 7 + 1 + 64 + 8},     // second field: weighting too
        {2801, PictureType::P, 1, 0, 3 + 7 + 1 + 64 + 8},  // tall: position extension
    };
    const PaddedUnit ones(std::vector<uint8_t>(16, 0xFF));
    for (const Case& c : cases) {
        SequenceHeader seq{};
        seq.vertical_size = c.height;
        PictureHeader pic{};
        pic.picture_structure = c.structure;
        pic.pictureType = c.type;
        SliceHeader slice{};
        BitReader br = ones.Reader();
        ParseSliceHeader(br, seq, pic, 22, 18, c.firstMacroblock, slice);
        EXPECT_EQ(br.pos, c.bitsRead) << c.firstMacroblock;
        EXPECT_EQ(slice.fixed_slice_qp, 1u);
        EXPECT_EQ(slice.mb_weighting_flag, c.bitsRead > 64 ? 255u : 0u);
    }
}

}  // namespace
}  // namespace avs::test
