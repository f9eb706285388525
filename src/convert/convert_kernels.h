// Kernel family: conversion of 4:2:0 rows into the output layouts.
//
// A band kernel converts the rows of one ConversionParams block. The packed
// and BGR band kernels walk pairs of picture rows that share one chroma row
// and call a row operation for each; an odd last row of a band is left alone.
// A row operation converts width/2 pixel pairs, each pair sharing one U and
// one V sample; an odd last pixel is left alone. The plain kernels define
// every byte; processor-specific variants give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/conversion_params.h"

namespace avs {

using ConvertRowFn = void (*)(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                              uint32_t width);

// Implementation levels: 0 is the plain code; 1 to 3 allow processor-specific
// code (see CheckLevel).
inline constexpr int kLevelCount = 4;

// The kernels for every (mode, level). Modes without a layout stay null.
struct ConvertKernelTable {
    BandKernelFn band[kModeCount][kLevelCount];
    ConvertRowFn row[kModeCount][kLevelCount];  // null for the planar mode
};

// Packed Y U Y V / U Y V Y, and B G R (255) per pixel.
void RowYuy2Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width);
void RowUyvyPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width);
void RowBgr4Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width);
void RowBgr3Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width);

// Copies `rows` Y rows and rows/2 rows of each chroma plane; no sample changes.
void PlanarCopyBand(const ConversionParams& block);

// Two picture rows per chroma row, through the row operation Row.
template <ConvertRowFn Row>
void PackedBand(const ConversionParams& block) {
    const uint32_t pairs = block.rows >> 1;
    for (uint32_t i = 0; i < pairs; ++i) {
        const ptrdiff_t top = static_cast<ptrdiff_t>(2 * i);
        const uint8_t* u = block.srcU + static_cast<ptrdiff_t>(i) * block.srcUPitch;
        const uint8_t* v = block.srcV + static_cast<ptrdiff_t>(i) * block.srcVPitch;
        Row(block.srcY + top * block.srcYPitch, u, v, block.dst + top * block.dstPitch,
            block.width);
        Row(block.srcY + (top + 1) * block.srcYPitch, u, v, block.dst + (top + 1) * block.dstPitch,
            block.width);
    }
}

// Stores the plain kernels at every level, then the processor-specific ones
// that `features` (a CpuFeatures word) allows at levels 1 to 3.
void FillConvertKernels(ConvertKernelTable& table, uint32_t features);

}  // namespace avs
