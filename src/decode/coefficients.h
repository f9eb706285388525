// Kernel family: coefficient decoding, the 2D-VLC symbols of one coded 8x8
// block become 64 quantised coefficients in raster order.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"

namespace avs {

struct KernelTable;

// Raster position of each scan index: zig-zag for frame pictures, the field
// scan for field pictures (picture_structure 0).
const uint8_t* ScanOrder(uint32_t pictureStructure);

// Each decoder reads one block's symbols into `block` (64 coefficients,
// row-major), which the caller has zeroed. Returns how many scan positions
// the coefficients cover (the last one's scan index + 1; 1 for a block with
// only its DC coefficient, 0 for an empty block), or -1 for a corrupt block
// (no end of block within 65 symbols: the block stays zero; a run past the
// last coefficient: placing stops there).
using DecodeBlockFn = int (*)(BitReader& br, const uint8_t* scan, int16_t* block);

// The plain decoders: the definition of every result.
int DecodeIntraLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block);
int DecodeInterLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block);
int DecodeChromaBlock(BitReader& br, const uint8_t* scan, int16_t* block);

// Stores the plain decoders, then the processor-specific ones `features` allows.
void InstallCoefficientKernels(KernelTable& table, uint32_t features);

}  // namespace avs
