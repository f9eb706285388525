// Intra macroblocks of every picture type: their modes, and their
// reconstruction by intra prediction plus residual.
//
// A P or B layer decodes an intra macroblock with ReadIntraModes (after its
// type), its own coded block pattern and QP, ReadResidualCoefficients (intra
// tables) and InverseTransformResidual (residual.h), then
// ReconstructIntraMacroblock. Every inter macroblock calls MarkInterBlocks, so
// that intra blocks beside it predict their mode as DC but still use its samples.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/macroblock.h"
#include "decode/pictures.h"
#include "decode/slice.h"
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

// Predicts and stores the four luma blocks (each from the blocks written
// before it) and the two chroma blocks; the residuals are in `buffers`.
// Samples above the slice's first row are not used.
void ReconstructIntraMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                                uint32_t sliceFirstRow, const MacroblockInfo& mb,
                                MacroblockBuffers& buffers);

// The I-picture macroblock layer: initialises the record, reads modes,
// coded block pattern, QP and coefficients (into the cleared buffers).
void DecodeIMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                       MacroblockInfo& mb);

}  // namespace avs
