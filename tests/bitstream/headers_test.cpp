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

// An I picture unit: header in the compact or the marker syntax, stuffing,
// then a slice start code and a few slice bytes.
std::vector<uint8_t> IPictureUnit(const IHeader& h, bool marker) {
    BitWriter w = StartCode(kIPictureCode);
    w.Bits(0xFFFF, 16).Bit(h.timeCode);
    if (h.timeCode) w.Bits(0x123456, 24);
    if (marker) w.Bit(1);
    w.Bits(h.distance, 8);
    if (h.lowDelay) w.Ue(3);
    w.Bit(1);  // progressive_frame
    w.Bit(1).Bit(0).Bit(1).Bits(h.qp, 6);
    w.Bits(0, 4);  // reserved
    w.Bit(0).Bit(h.loopFilterParams);
    if (h.loopFilterParams) w.Se(-2).Se(3);
    w.Stuffing().Bytes({0, 0, 1, 0, 0xE5, 0x12});
    return w.Data();
}

PictureHeader ParseI(const std::vector<uint8_t>& unit, bool lowDelay, uint32_t* endPos = nullptr) {
    SequenceHeader seq{};
    seq.low_delay = lowDelay;
    PictureHeader pic{};
    const PaddedUnit padded(unit);
    BitReader br = padded.Reader();
    ParseIPictureHeader(br, seq, pic);
    if (endPos) *endPos = br.pos;
    return pic;
}

TEST(Headers, SequenceHeaderGivesSizeInMacroblocks) {
    BitWriter w = StartCode(kSequenceHeaderCode);
    w.Bits(0x20, 8).Bits(0x42, 8).Bit(1).Bits(1920, 14).Bits(1080, 14).Bits(1, 2).Bits(1, 3);
    w.Bits(3, 4).Bits(4, 4).Bits(0x3FFFF, 18).Bit(1).Bits(0xABC, 12).Bit(1).Bit(1);
    w.Bits(0x2AAAA, 18).Stuffing();
    DecoderContext ctx{};
    const PaddedUnit unit(w.Data());
    BitReader br = unit.Reader();
    EXPECT_EQ(ReadUnitHeader(ctx, br), 0);
    EXPECT_EQ(ctx.lastStartCode, -1);
    EXPECT_EQ(ctx.mbWidth, 120u);
    EXPECT_EQ(ctx.mbHeight, 68u);
    const SequenceHeader& s = ctx.sequence;
    EXPECT_EQ(s.profile_id, 0x20u);
    EXPECT_EQ(s.level_id, 0x42u);
    EXPECT_EQ(s.aspect_ratio, 3u);
    EXPECT_EQ(s.frame_rate_code, 4u);
    EXPECT_EQ(s.bit_rate_lower, 0x3FFFFu);
    EXPECT_EQ(s.bit_rate_upper, 0xABCu);
    EXPECT_EQ(s.low_delay, 1u);
    EXPECT_EQ(s.bbv_buffer_size, 0x2AAAAu);
}

// Both I picture header syntaxes are recognised by where the stuffing ends.
TEST(Headers, IPictureHeaderSyntaxIsRecognised) {
    const IHeader cases[] = {
        {},
        {.timeCode = true},
        {.distance = 0x80, .lowDelay = true},
        {.distance = 0xFF, .qp = 63, .loopFilterParams = true},
        {.timeCode = true, .distance = 1, .lowDelay = true, .qp = 0, .loopFilterParams = true},
    };
    for (const IHeader& h : cases) {
        for (bool marker : {false, true}) {
            const PictureHeader pic = ParseI(IPictureUnit(h, marker), h.lowDelay);
            EXPECT_EQ(pic.markerSyntax, marker) << h.distance;
            EXPECT_EQ(pic.picture_distance, h.distance);
            EXPECT_EQ(pic.time_code, h.timeCode ? 0x123456u : 0u);
            EXPECT_EQ(pic.picture_qp, h.qp);
            EXPECT_EQ(pic.progressive_frame, 1u);
            EXPECT_EQ(pic.picture_structure, 1u);
            EXPECT_EQ(pic.alpha_c_offset, h.loopFilterParams ? -2 : 0);
            EXPECT_EQ(pic.beta_offset, h.loopFilterParams ? 3 : 0);
            EXPECT_EQ(pic.pictureType, PictureType::I);
        }
    }
}

TEST(Headers, IPictureHeaderLeavesTheReaderAfterItsLastField) {
    uint32_t end = 0;
    ParseI(IPictureUnit({}, false), false, &end);
    // 32 start code + 16 + 1 + 8 + 1 + 9 + 4 + 2 bits.
    EXPECT_EQ(end, 73u);
    ParseI(IPictureUnit({}, true), false, &end);
    EXPECT_EQ(end, 74u);
}

// Here the compact parse also ends at the stuffing: it reads progressive_frame
// = 0 and so one more bit. A progressive sequence rules that parse out.
TEST(Headers, ProgressiveSequenceSettlesATie) {
    const PaddedUnit unit(
        {0, 0, 1, kIPictureCode, 0xFF, 0xFF, 0x40, 0x35, 0x70, 0x20, 0, 0, 1, 0, 0xEB, 0x89});
    for (uint32_t progressive : {1u, 0u}) {
        SequenceHeader seq{};
        seq.progressive_sequence = progressive;
        PictureHeader pic{};
        BitReader br = unit.Reader();
        ParseIPictureHeader(br, seq, pic);
        EXPECT_EQ(pic.markerSyntax, progressive == 1);
        EXPECT_EQ(br.pos, 74u);
        EXPECT_EQ(pic.progressive_frame, progressive);
    }
}

TEST(Headers, IPictureHeaderWithoutStuffingUsesTheCompactSyntax) {
    std::vector<uint8_t> unit = IPictureUnit({}, true);
    unit.erase(unit.end() - 6, unit.end());  // no slice follows
    unit.back() |= 0x01;                     // and the stuffing is broken
    EXPECT_FALSE(ParseI(unit, false).markerSyntax);
}

TEST(Headers, PbPictureHeader) {
    struct Case {
        uint32_t codingType;
        bool progressive;
        uint32_t structure;
        bool readsReferenceFlag;
        PictureType type;
    };
    const Case cases[] = {
        {1, true, 1, true, PictureType::P},
        {2, true, 1, false, PictureType::B},  // a B frame has no picture_reference_flag
        {2, false, 0, true, PictureType::B},
        {1, false, 1, true, PictureType::P},
    };
    for (const Case& c : cases) {
        BitWriter w = StartCode(kPbPictureCode);
        w.Bits(0x1234, 16).Bits(c.codingType, 2).Bits(77, 8).Bit(c.progressive);
        if (!c.progressive) {
            w.Bit(c.structure);
            if (c.structure == 0) w.Bit(0);  // advanced_pred_mode_disable
        }
        w.Bit(0).Bit(0).Bit(0).Bits(33, 6);
        if (c.readsReferenceFlag) w.Bit(1);
        w.Bits(0, 4).Bit(1).Bit(1).Stuffing();
        PictureHeader pic{};
        pic.advanced_pred_mode_disable = 1;  // kept unless the header carries it
        pic.picture_reference_flag = 7;
        const PaddedUnit unit(w.Data());
        BitReader br = unit.Reader();
        ParsePbPictureHeader(br, SequenceHeader{}, pic);
        EXPECT_EQ(pic.picture_distance, 77u);
        EXPECT_EQ(pic.picture_structure, c.structure);
        EXPECT_EQ(pic.advanced_pred_mode_disable, c.structure == 0 ? 0u : 1u);
        EXPECT_EQ(pic.picture_reference_flag, c.readsReferenceFlag ? 1u : 0u);
        EXPECT_EQ(pic.picture_qp, 33u);
        EXPECT_EQ(pic.skip_mode_flag, 1u);
        EXPECT_EQ(pic.loop_filter_disable, 1u);
        EXPECT_EQ(pic.pictureType, c.type);
    }
}

TEST(Headers, SliceHeaderReadsOnlyWhatThePictureAsksFor) {
    SequenceHeader seq{};
    seq.vertical_size = 288;
    PictureHeader pic{};
    pic.picture_structure = 1;
    const PaddedUnit ones(std::vector<uint8_t>(16, 0xFF));
    SliceHeader slice{};

    pic.fixed_picture_qp = 1;
    pic.pictureType = PictureType::I;
    BitReader br = ones.Reader();
    ParseSliceHeader(br, seq, pic, 22, 18, 200, slice);
    EXPECT_EQ(br.pos, 0u);
    EXPECT_EQ(slice.fixed_slice_qp, 1u);

    pic.fixed_picture_qp = 0;  // an I frame reads the QP fields and stops
    br = ones.Reader();
    ParseSliceHeader(br, seq, pic, 22, 18, 300, slice);
    EXPECT_EQ(br.pos, 7u);
    EXPECT_EQ(slice.slice_qp, 63u);
    EXPECT_EQ(slice.slice_weighting_flag, 0u);

    pic.pictureType = PictureType::P;  // P slices carry weighting
    br = ones.Reader();
    ParseSliceHeader(br, seq, pic, 22, 18, 0, slice);
    EXPECT_EQ(br.pos, 7u + 1 + 64 + 8);
    EXPECT_EQ(slice.luma_scale[1], 255u);
    EXPECT_EQ(slice.mb_weighting_flag, 255u);

    seq.vertical_size = 2801;  // tall pictures carry the position extension
    br = ones.Reader();
    ParseSliceHeader(br, seq, pic, 22, 18, 0, slice);
    EXPECT_EQ(slice.slice_vertical_position_extension, 7u);
    EXPECT_EQ(br.pos, 3u + 7 + 1 + 64 + 8);
}

TEST(Headers, UnitStartCodes) {
    struct Case {
        uint8_t code;
        int32_t result;
    };
    const Case cases[] = {{kSequenceEndCode, 1},
                          {kUserDataCode, 0},
                          {kExtensionCode, 0},
                          {kVideoEditCode, 0},
                          {0xB4, -1},
                          {0x00, -1},
                          {0xB8, -1}};
    for (const Case& c : cases) {
        DecoderContext ctx{};
        const PaddedUnit unit({0, 0, 1, c.code, 0xFF, 0xFF});
        BitReader br = unit.Reader();
        EXPECT_EQ(ReadUnitHeader(ctx, br), c.result) << int{c.code};
        EXPECT_EQ(ctx.lastStartCode, 0x100 | c.code);
    }
}

}  // namespace
}  // namespace avs::test
