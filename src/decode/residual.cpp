#include "decode/residual.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"

namespace avs {

void ReadResidualCoefficients(BitReader& br, uint32_t cbp, bool intra, const uint8_t* scan,
                              MacroblockResidual& residual) {
    const KernelTable& kernels = gKernels;
    const DecodeBlockFn decodeLuma =
        intra ? kernels.DecodeIntraLumaBlock : kernels.DecodeInterLumaBlock;
    uint32_t dcOnly = 0;
    for (uint32_t k = 0; k < 4; ++k) {
        if (cbp & (1u << k) && decodeLuma(br, scan, residual.luma[k]) == 1) dcOnly |= 1u << k;
    }
    if (cbp & 0x10 && kernels.DecodeChromaBlock(br, scan, residual.cb) == 1) dcOnly |= 0x10;
    if (cbp & 0x20 && kernels.DecodeChromaBlock(br, scan, residual.cr) == 1) dcOnly |= 0x20;
    residual.dcOnly = dcOnly;
}

void ReadQpAndCoefficients(BitReader& br, const PictureHeader& picture, SliceState& slice,
                           bool intra, MacroblockInfo& mb, MacroblockResidual& residual) {
    ReadQpDelta(br, picture, slice, mb);
    ReadResidualCoefficients(br, static_cast<uint32_t>(mb.cbp), intra,
                             ScanOrder(picture.picture_structure), residual);
}

namespace {

inline void TransformBlock(int16_t* block, bool dcOnly, int qp, DequantIdctFn transform) {
    if (dcOnly) {
        std::fill_n(block, 64, DcOnlyResidual(block[0], qp));
    } else {
        transform(block, qp);
    }
}

}  // namespace

void TransformCodedResidual(MacroblockResidual& residual, uint32_t cbp, int qp) {
    const DequantIdctFn transform = gKernels.DequantIdct;
    const uint32_t dcOnly = residual.dcOnly & cbp;
    for (uint32_t k = 0; k < 4; ++k) {
        if (cbp & (1u << k)) TransformBlock(residual.luma[k], dcOnly & (1u << k), qp, transform);
    }
    const int chromaQp = ChromaQp(qp);
    if (cbp & 0x10) TransformBlock(residual.cb, dcOnly & 0x10, chromaQp, transform);
    if (cbp & 0x20) TransformBlock(residual.cr, dcOnly & 0x20, chromaQp, transform);
    // Used up: coefficients that reach the residual another way never meet a stale mask.
    residual.dcOnly = 0;
}

}  // namespace avs
