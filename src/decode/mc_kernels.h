// Kernel family: motion compensation. Luma kernels interpolate one block at one
// quarter-sample fraction pair; chroma kernels are eighth-sample bilinear.
// `ref` points at the integer reference position of the block's top-left
// sample inside a bordered reference plane.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

struct KernelTable;

// Luma kernels come in two sizes: an 8x8 block, and a whole 16x16 macroblock
// whose four blocks share one vector (one call instead of four). A 16x16
// kernel's residual is the macroblock's four 8x8 residual blocks in block
// order, each with row stride 8.
inline constexpr int kLuma8x8 = 0;
inline constexpr int kLuma16x16 = 1;
inline constexpr int kLumaSizes = 2;

// Predicts luma, adds the residual unless it is null, clips, stores. With a
// destination pitch equal to the block width and no residual this is the plain
// prediction, as the first half of a bi-directional block needs it.
using McLumaAddFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                             ptrdiff_t refPitch, const int16_t* residual);
// Predicts luma, takes the rounded average (pred + p + 1) >> 1 with `pred` (row
// stride = block width), adds the residual unless it is null, clips, stores.
using McLumaAvgAddFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                                ptrdiff_t refPitch, const uint8_t* pred, const int16_t* residual);
// Predicts a chroma block at eighth-sample fraction (ax, ay), adds residual
// (row stride 8, positioned at the block), clips, stores. A block of W x H
// reads rows 0..H; 8-wide kernels may read 16 samples of each row, 4-wide
// ones 8 (the reference margins cover that).
using McChromaFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                            ptrdiff_t refPitch, const int16_t* residual, int ax, int ay);
// Chroma from two references (same pitch), rounded average, then as McChromaFn.
using McChromaBiFn = void (*)(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0,
                              const uint8_t* ref1, ptrdiff_t refPitch, const int16_t* residual,
                              int ax0, int ay0, int ax1, int ay1);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallMcKernels(KernelTable& table, uint32_t features);

}  // namespace avs
