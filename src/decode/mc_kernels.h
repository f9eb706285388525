// Kernel family: motion compensation. Luma kernels interpolate one 8x8 block
// at one quarter-sample fraction pair; chroma kernels are eighth-sample
// bilinear. `ref` points at the integer reference position of the block's
// top-left sample inside a bordered reference plane.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

struct KernelTable;

// Predicts 8x8 luma, adds residual (row stride 8) unless it is null, clips, stores.
using McLumaAddFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                             ptrdiff_t refPitch, const int16_t* residual);
// Predicts 8x8 luma into pred (row stride 8).
using McLumaPredictFn = void (*)(uint8_t* pred, const uint8_t* ref, ptrdiff_t refPitch);
// Predicts a chroma block at eighth-sample fraction (ax, ay), adds residual
// (row stride 8, positioned at the block), clips, stores.
using McChromaFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                            ptrdiff_t refPitch, const int16_t* residual, int ax, int ay);
// 4x4 chroma from two references (same pitch), rounded average, residual added.
using McChromaBiFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                              const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                              int ax0, int ay0, int ax1, int ay1);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallMcKernels(KernelTable& table, uint32_t features);

}  // namespace avs
