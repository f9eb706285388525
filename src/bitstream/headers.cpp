#include "bitstream/headers.h"

#include "bitstream/start_codes.h"

namespace avs {
namespace {

// Units start with the 32-bit start code; every header parser begins after it.
constexpr uint32_t kHeaderStart = 32;

// Slices below this many rows need no vertical position extension.
constexpr uint32_t kMaxHeightWithoutSliceExtension = 2800;

void ReadLoopFilterFields(BitReader& br, PictureHeader& pic) {
    pic.loop_filter_parameter_flag = 0;
    pic.alpha_c_offset = 0;
    pic.beta_offset = 0;
    pic.loop_filter_disable = br.ReadBit();
    if (pic.loop_filter_disable != 0) return;
    pic.loop_filter_parameter_flag = br.ReadBit();
    if (pic.loop_filter_parameter_flag != 0) {
        pic.alpha_c_offset = br.ReadSe();
        pic.beta_offset = br.ReadSe();
    }
}

void ReadQpFields(BitReader& br, PictureHeader& pic) {
    pic.top_field_first = br.ReadBit();
    pic.repeat_first_field = br.ReadBit();
    pic.fixed_picture_qp = br.ReadBit();
    pic.picture_qp = br.ReadBits(6);
}

// The I picture header in one of its two syntaxes; `marker` adds the bit
// between time_code and picture_distance.
void ReadIPictureHeader(BitReader& br, const SequenceHeader& seq, PictureHeader& pic, bool marker) {
    br.pos = kHeaderStart;
    pic.bbv_delay = br.ReadBits(16);
    pic.time_code_flag = br.ReadBit();
    pic.time_code = pic.time_code_flag != 0 ? br.ReadBits(24) : 0;
    if (marker) br.SkipBits(1);
    pic.picture_distance = br.ReadBits(8);
    pic.bbv_check_times = seq.low_delay != 0 ? br.ReadUe() : 0;
    pic.progressive_frame = br.ReadBit();
    pic.picture_structure = pic.progressive_frame != 0 ? 1 : br.ReadBit();
    ReadQpFields(br, pic);
    pic.skip_mode_flag =
        pic.progressive_frame == 0 && pic.picture_structure == 0 ? br.ReadBit() : 0;
    br.SkipBits(4);  // reserved
    ReadLoopFilterFields(br, pic);
    pic.pictureType = PictureType::I;
    pic.markerSyntax = marker;
}

// The single bit at `pos`.
bool BitAt(const BitReader& br, uint32_t pos) {
    BitReader at = br;
    at.pos = pos;
    return at.ReadBit() != 0;
}

// True when the bits from `pos` to the next byte-aligned start code in the
// unit (or the unit's end, where the next unit's start code was) are one 1
// followed only by 0s: the stuffing that closes a header.
bool FollowedByStuffing(const BitReader& br, uint32_t pos, uint32_t unitLength) {
    const uint32_t first = pos >> 3;
    if (first >= unitLength) return false;
    const uint32_t bit = 7 - (pos & 7);
    const uint32_t byte = br.data[first];
    if (((byte >> bit) & 1) == 0 || (byte & ((1u << bit) - 1)) != 0) return false;
    // Zero bytes up to a prefix 00 00 01 that starts after the stuffing byte.
    uint32_t i = first + 1;
    while (i < unitLength && br.data[i] == 0) ++i;
    return i == unitLength || (br.data[i] == 1 && i >= first + 3);
}

}  // namespace

void ParseSequenceHeader(BitReader& br, SequenceHeader& seq) {
    br.pos = kHeaderStart;
    seq.profile_id = br.ReadBits(8);
    seq.level_id = br.ReadBits(8);
    seq.progressive_sequence = br.ReadBit();
    seq.horizontal_size = br.ReadBits(14);
    seq.vertical_size = br.ReadBits(14);
    seq.chroma_format = br.ReadBits(2);
    seq.sample_precision = br.ReadBits(3);
    seq.aspect_ratio = br.ReadBits(4);
    seq.frame_rate_code = br.ReadBits(4);
    seq.bit_rate_lower = br.ReadBits(18);
    br.SkipBits(1);  // marker
    seq.bit_rate_upper = br.ReadBits(12);
    seq.low_delay = br.ReadBit();
    br.SkipBits(1);  // marker
    seq.bbv_buffer_size = br.ReadBits(18);
}

void ParseIPictureHeader(BitReader& br, const SequenceHeader& seq, PictureHeader& pic) {
    // Streams carry one of two I picture header syntaxes: with or without a
    // marker bit before picture_distance. Parse both and keep the one that
    // ends exactly in the stuffing before the first slice and, in a
    // progressive sequence, has a progressive frame. A stream keeps one
    // syntax, so when both or neither fit, the previous I picture's choice
    // stands (the compact syntax for a stream's first picture).
    const uint32_t unitLength = br.UnitLength();
    const auto fits = [&](const PictureHeader& h, uint32_t end) {
        return FollowedByStuffing(br, end, unitLength) &&
               (seq.progressive_sequence == 0 || h.progressive_frame != 0);
    };
    PictureHeader compact = pic;
    ReadIPictureHeader(br, seq, compact, false);
    const uint32_t compactEnd = br.pos;

    PictureHeader marked = pic;
    ReadIPictureHeader(br, seq, marked, true);
    const uint32_t markedEnd = br.pos;
    const uint32_t markerPos = kHeaderStart + 17 + (marked.time_code_flag != 0 ? 24 : 0);

    const bool markerFits = BitAt(br, markerPos) && fits(marked, markedEnd);
    const bool compactFits = fits(compact, compactEnd);
    const bool useMarker = markerFits != compactFits ? markerFits : pic.markerSyntax;
    pic = useMarker ? marked : compact;
    br.pos = useMarker ? markedEnd : compactEnd;
}

void ParsePbPictureHeader(BitReader& br, const SequenceHeader& seq, PictureHeader& pic) {
    br.pos = kHeaderStart;
    pic.bbv_delay = br.ReadBits(16);
    pic.picture_coding_type = br.ReadBits(2);
    pic.picture_distance = br.ReadBits(8);
    pic.bbv_check_times = seq.low_delay != 0 ? br.ReadUe() : 0;
    pic.progressive_frame = br.ReadBit();
    pic.picture_structure = 1;
    if (pic.progressive_frame == 0) {
        pic.picture_structure = br.ReadBit();
        if (pic.picture_structure == 0) pic.advanced_pred_mode_disable = br.ReadBit();
    }
    ReadQpFields(br, pic);
    const bool bFrame = pic.picture_coding_type == 2 && pic.picture_structure == 1;
    pic.picture_reference_flag = bFrame ? 0 : br.ReadBit();
    br.SkipBits(4);  // reserved
    pic.skip_mode_flag = br.ReadBit();
    ReadLoopFilterFields(br, pic);
    pic.pictureType = pic.picture_coding_type == 1 ? PictureType::P : PictureType::B;
}

void ParseSliceHeader(BitReader& br, const SequenceHeader& seq, const PictureHeader& pic,
                      uint32_t mbWidth, uint32_t mbHeight, uint32_t firstMacroblock,
                      SliceHeader& slice) {
    slice = SliceHeader::Defaults();
    if (seq.vertical_size > kMaxHeightWithoutSliceExtension) {
        slice.slice_vertical_position_extension = br.ReadBits(3);
    }
    if (pic.fixed_picture_qp == 0) {
        slice.fixed_slice_qp = br.ReadBit();
        slice.slice_qp = br.ReadBits(6);
    }
    // Weighting is read for P and B pictures and for the second field of an
    // I field picture only.
    if (pic.pictureType == PictureType::I &&
        (pic.picture_structure != 0 || firstMacroblock < mbWidth * mbHeight / 2)) {
        return;
    }
    slice.slice_weighting_flag = br.ReadBit();
    if (slice.slice_weighting_flag == 0) return;
    for (int i = 0; i < 2; ++i) {
        slice.luma_scale[i] = br.ReadBits(8);
        slice.luma_shift[i] = br.ReadBits(8);
        slice.chroma_scale[i] = br.ReadBits(8);
        slice.chroma_shift[i] = br.ReadBits(8);
    }
    slice.mb_weighting_flag = br.ReadBits(8);
}

int32_t ReadUnitHeader(BitReader& br, StreamHeaders& headers) {
    br.pos = 0;
    const uint32_t code = br.ReadBits(32);
    headers.lastStartCode = static_cast<int32_t>(code);
    if ((code >> 8) != 1) return -1;
    switch (static_cast<uint8_t>(code)) {
        case kIPictureCode:
            ParseIPictureHeader(br, headers.sequence, headers.picture);
            return 0;
        case kPbPictureCode:
            ParsePbPictureHeader(br, headers.sequence, headers.picture);
            return 0;
        case kSequenceHeaderCode:
            ParseSequenceHeader(br, headers.sequence);
            headers.lastStartCode = -1;  // tells the driver no picture was read
            return 0;
        case kSequenceEndCode:
            return 1;
        case kUserDataCode:
        case kExtensionCode:
        case kVideoEditCode:
            return 0;
        default:
            return -1;
    }
}

}  // namespace avs
