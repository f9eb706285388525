// Coefficient decoding: the 2D-VLC symbols of one coded 8x8 block become 64
// quantised coefficients in raster order.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"

namespace avs {

// Raster position of each scan index: zig-zag for frame pictures, the field
// scan for field pictures (picture_structure 0).
const uint8_t* ScanOrder(uint32_t pictureStructure);

// Each decoder reads one block's symbols into `block` (64 coefficients,
// row-major), which the caller has zeroed. Returns 0, or -1 for a corrupt
// block (no end of block within 65 symbols: the block stays zero; a run past
// the last coefficient: placing stops there).
int DecodeIntraLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block);
int DecodeInterLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block);
int DecodeChromaBlock(BitReader& br, const uint8_t* scan, int16_t* block);

}  // namespace avs
