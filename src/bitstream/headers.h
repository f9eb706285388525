// Sequence, picture and slice headers: plain records of the syntax elements,
// under their names in the video standard, and their parsers.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"

namespace avs {

// The thirteen sequence fields, in the order the host's sequence query copies them.
struct SequenceHeader {
    uint32_t profile_id;  // 0 means no sequence header has been read yet
    uint32_t level_id;
    uint32_t progressive_sequence;
    uint32_t horizontal_size;
    uint32_t vertical_size;
    uint32_t chroma_format;
    uint32_t sample_precision;
    uint32_t aspect_ratio;
    uint32_t frame_rate_code;
    uint32_t bit_rate_lower;
    uint32_t bit_rate_upper;
    uint32_t low_delay;
    uint32_t bbv_buffer_size;
};
static_assert(sizeof(SequenceHeader) == 13 * 4);

enum class PictureType : int32_t { I = 0, P = 1, B = 2 };

// The current picture's header, shared by I and PB pictures. Fields a header
// does not carry keep their previous values.
struct PictureHeader {
    uint32_t bbv_delay;
    uint32_t time_code_flag;
    uint32_t time_code;
    uint32_t picture_distance;
    uint32_t bbv_check_times;
    uint32_t progressive_frame;
    uint32_t picture_structure;  // 1 frame picture, 0 field picture
    uint32_t top_field_first;
    uint32_t repeat_first_field;
    uint32_t fixed_picture_qp;
    uint32_t picture_qp;
    uint32_t skip_mode_flag;
    uint32_t loop_filter_disable;
    uint32_t loop_filter_parameter_flag;
    int32_t alpha_c_offset;
    int32_t beta_offset;
    uint32_t picture_coding_type;  // PB pictures: 1 P, 2 B
    uint32_t advanced_pred_mode_disable;
    uint32_t picture_reference_flag;
    PictureType pictureType;
    // Which I picture header syntax the last I picture used (true: with the
    // marker bit between time_code and picture_distance).
    bool markerSyntax;
};

struct SliceHeader {
    uint32_t slice_vertical_position_extension;
    uint32_t fixed_slice_qp;
    uint32_t slice_qp;
    uint32_t slice_weighting_flag;
    uint32_t luma_scale[2];
    uint32_t luma_shift[2];
    uint32_t chroma_scale[2];
    uint32_t chroma_shift[2];
    uint32_t mb_weighting_flag;
    uint32_t reserved;

    // The values in force before a picture's first slice header.
    static SliceHeader Defaults() {
        SliceHeader s{};
        s.fixed_slice_qp = 1;
        return s;
    }
};

// The headers in force: the sequence's, and the last picture's.
struct StreamHeaders {
    SequenceHeader sequence{};  // profile_id 0: no sequence header read yet
    PictureHeader picture{};
    // The start code of the last unit read (0x1B3, say); -1 when there was
    // none or the last unit was a sequence header.
    int32_t lastStartCode = -1;
};

// Reads a unit's start code and the header it introduces. Returns 0 (a header
// was read, or the unit carries nothing to decode), 1 (a sequence end) or -1
// (a start code no unit begins with).
int32_t ReadUnitHeader(BitReader& br, StreamHeaders& headers);

// Parsers. Each starts at bit 32 of the unit (just after its start code)
// and leaves the reader just after the last field it read.
void ParseSequenceHeader(BitReader& br, SequenceHeader& seq);
void ParseIPictureHeader(BitReader& br, const SequenceHeader& seq, PictureHeader& pic);
void ParsePbPictureHeader(BitReader& br, const SequenceHeader& seq, PictureHeader& pic);
// The reader stands just after the slice start code. firstMacroblock is the
// raster index of the slice's first macroblock.
void ParseSliceHeader(BitReader& br, const SequenceHeader& seq, const PictureHeader& pic,
                      uint32_t mbWidth, uint32_t mbHeight, uint32_t firstMacroblock,
                      SliceHeader& slice);

}  // namespace avs
