// The residual of one macroblock: the coefficients of its coded blocks,
// dequantised and inverse-transformed in the macroblock's working buffers.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/macroblock.h"

namespace avs {

// Zeroes the six coefficient blocks (before every macroblock).
void ClearResidual(MacroblockBuffers& buffers);

// Reads the coefficients of the blocks whose cbp bit is set: luma blocks 0..3
// with the intra or inter tables, then Cb and Cr.
void ReadResidualCoefficients(BitReader& br, uint32_t cbp, bool intra, const uint8_t* scan,
                              MacroblockBuffers& buffers);

// Dequantises and transforms the coded blocks with the macroblock's QP (Cb and
// Cr included). Uncoded blocks are zero and stay zero.
void InverseTransformResidual(MacroblockBuffers& buffers, uint32_t cbp, int qp);

}  // namespace avs
