// The residual of one macroblock: the coefficients of its coded blocks,
// dequantised and inverse-transformed in place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bitstream/bit_reader.h"
#include "decode/macroblock.h"
#include "decode/slice.h"

namespace avs {

// Zeroes `Bytes` bytes in pieces of at most 64: the compiler stores each
// piece with a few vector moves, where a larger memset became rep stos, whose
// start-up costs more than these small clears.
template <size_t Bytes>
inline void ZeroInPieces(void* p) {
    char* bytes = static_cast<char*>(p);
    for (size_t offset = 0; offset < Bytes; offset += 64) {
        std::memset(bytes + offset, 0, std::min<size_t>(64, Bytes - offset));
    }
}

// Zeroes only the blocks whose cbp bit is set: after a macroblock that started
// from all-zero blocks, this is all the next one needs. Inline: most
// macroblocks have few coded blocks or none.
inline void ClearCodedResidual(MacroblockResidual& residual, uint32_t cbp) {
    if (cbp == 0) return;
    for (uint32_t k = 0; k < 6; ++k) {
        if (cbp & (1u << k)) ZeroInPieces<sizeof residual.cb>(residual.Block(k));
    }
}

// Reads the coefficients of the blocks whose cbp bit is set: luma blocks 0..3
// with the intra or inter tables, then Cb and Cr; notes the blocks that hold
// only a DC coefficient (residual.dcOnly) for InverseTransformResidual.
void ReadResidualCoefficients(BitReader& br, uint32_t cbp, bool intra, const uint8_t* scan,
                              MacroblockResidual& residual);

// The macroblock's QP (ReadQpDelta), then its coefficients as above.
void ReadQpAndCoefficients(BitReader& br, const PictureHeader& picture, SliceState& slice,
                           bool intra, MacroblockInfo& mb, MacroblockResidual& residual);

// Dequantises and transforms the coded blocks: luma with the macroblock's QP,
// Cb and Cr with its chroma QP. Uncoded blocks are zero and stay zero. Blocks noted as DC-only
// are filled with their one value instead of being transformed.
void TransformCodedResidual(MacroblockResidual& residual, uint32_t cbp, int qp);

// TransformCodedResidual, inline for the skipped and uncoded macroblocks
// (cbp 0), which have nothing to transform and nothing noted either.
inline void InverseTransformResidual(MacroblockResidual& residual, uint32_t cbp, int qp) {
    if (cbp != 0) TransformCodedResidual(residual, cbp, qp);
}

}  // namespace avs
