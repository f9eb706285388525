#include "decode/residual.h"

#include <cstring>

#include "decode/coefficients.h"
#include "platform/kernel_table.h"

namespace avs {

void ClearResidual(MacroblockBuffers& buffers) {
    std::memset(buffers.luma, 0, sizeof buffers.luma);
    std::memset(buffers.cb, 0, sizeof buffers.cb);
    std::memset(buffers.cr, 0, sizeof buffers.cr);
}

void ClearCodedResidual(MacroblockBuffers& buffers, uint32_t cbp) {
    for (int k = 0; k < 4; ++k) {
        if (cbp & (1u << k)) std::memset(buffers.luma[k], 0, sizeof buffers.luma[k]);
    }
    if (cbp & 0x10) std::memset(buffers.cb, 0, sizeof buffers.cb);
    if (cbp & 0x20) std::memset(buffers.cr, 0, sizeof buffers.cr);
}

void ReadResidualCoefficients(BitReader& br, uint32_t cbp, bool intra, const uint8_t* scan,
                              MacroblockBuffers& buffers) {
    const auto decodeLuma = intra ? DecodeIntraLumaBlock : DecodeInterLumaBlock;
    for (int k = 0; k < 4; ++k) {
        if (cbp & (1u << k)) decodeLuma(br, scan, buffers.luma[k]);
    }
    if (cbp & 0x10) DecodeChromaBlock(br, scan, buffers.cb);
    if (cbp & 0x20) DecodeChromaBlock(br, scan, buffers.cr);
}

void InverseTransformResidual(MacroblockBuffers& buffers, uint32_t cbp, int qp) {
    const DequantIdctFn transform = gKernels.DequantIdct;
    for (int k = 0; k < 4; ++k) {
        if (cbp & (1u << k)) transform(buffers.luma[k], qp);
    }
    if (cbp & 0x10) transform(buffers.cb, qp);
    if (cbp & 0x20) transform(buffers.cr, qp);
}

}  // namespace avs
