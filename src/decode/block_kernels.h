// Kernel family: dequantise + inverse transform, and writing reconstructed
// 8x8 blocks (prediction + residual, clipped) into a plane.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

struct KernelTable;

// Dequantises the 64 coefficients of block (row-major) with qp (0..63) and
// inverse-transforms them in place; every result lies in -256..255.
using DequantIdctFn = void (*)(int16_t* block, int qp);
// dst[r*pitch + c] = clip(pred[8r + c] + residual[8r + c]) for the whole 8x8 block.
using StoreLumaBlockFn = void (*)(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                                  const int16_t* residual);
// As StoreLumaBlock; the residual is added only when coded is non-zero.
using StoreChromaBlockFn = void (*)(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                                    const int16_t* residual, int coded);

// The plain kernels: the definition of every result.
void DequantIdctPlain(int16_t* block, int qp);
void StoreLumaBlockPlain(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                         const int16_t* residual);
void StoreChromaBlockPlain(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                           const int16_t* residual, int coded);

// The residual of a block whose only non-zero coefficient is its DC, which
// all 64 samples share: DequantIdctPlain's result, computed once.
int16_t DcOnlyResidual(int16_t dc, int qp);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallBlockKernels(KernelTable& table, uint32_t features);

}  // namespace avs
