// Intra macroblocks of every picture type: parsing their modes, coded block
// pattern, QP and coefficients, and their reconstruction by intra prediction
// plus residual. Every inter macroblock calls MarkInterBlocks, so that intra
// blocks beside it predict their mode as DC but still use its samples.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/macroblock.h"
#include "decode/pictures.h"
#include "frames/frame.h"

namespace avs {

// Reads the four luma modes, each from its predicted mode, into the record
// and the frame's IntraModeMap, then the chroma mode (and the unused second
// chroma mode of 4:2:2). Blocks above the slice's first row, and blocks whose
// map entry is not an intra mode, do not count for the predicted mode.
void ReadIntraModes(BitReader& br, DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                    uint32_t sliceFirstRow, uint32_t chromaFormat, MacroblockInfo& mb);

// Marks the four blocks of an inter macroblock in the IntraModeMap.
void MarkInterBlocks(DecodedFrame& frame, uint32_t mbX, uint32_t mbY);

// The I-picture macroblock layer: initialises the record, reads modes,
// coded block pattern, QP and coefficients (into the zeroed residual).
void ParseIMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                      MacroblockInfo& mb, MacroblockResidual& residual);

// An intra macroblock of a P or B picture, after its type: modes, the coded
// block pattern of row `cbpIndex` of the intra column (row 0 when the index
// is 64 or more), QP and coefficients.
void ParseIntraMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                          uint32_t cbpIndex, MacroblockInfo& mb, MacroblockResidual& residual);

// Transforms the residual, then predicts and stores the four luma blocks
// (each from the blocks written before it) and the two chroma blocks.
// Samples above the slice's first row are not used.
void ReconstructIntraMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                                const MacroblockInfo& mb, MacroblockResidual& residual,
                                IntraPrediction& pred);

}  // namespace avs
