// Picture decoding routines: every macroblock of one picture, then the loop filter.
#pragma once

#include <cstdint>

#include "api/decoder.h"
#include "bitstream/bit_reader.h"
#include "frames/frame.h"

namespace avs {

// The reader stands just behind the picture header. Macroblocks that the
// unit's data does not reach are filled with 128.
int DecodeIPicture(DecoderContext& ctx, BitReader& br, DecodedFrame& frame);
// The frame is the queue's newest entry. Returns -1 when a partition refers
// to a reference the queue does not hold (the driver then drops the picture).
int DecodePPicture(DecoderContext& ctx, BitReader& br, DecodedFrame& frame);
// Both references exist and have the frame's size.
int DecodeBPicture(DecoderContext& ctx, BitReader& br, DecodedFrame& frame,
                   const DecodedFrame& backward, const DecodedFrame& forward);

}  // namespace avs
