// The process-wide table of per-block kernels. Every slot first gets its plain
// kernel, then the processor-specific variant the machine allows; both give
// identical bytes.
#pragma once

#include <cstdint>

#include "decode/block_kernels.h"
#include "decode/coefficients.h"
#include "decode/intra_prediction.h"
#include "decode/loop_filter_kernels.h"
#include "decode/mc_kernels.h"

namespace avs {

struct KernelTable {
    DecodeBlockFn DecodeIntraLumaBlock;
    DecodeBlockFn DecodeInterLumaBlock;
    DecodeBlockFn DecodeChromaBlock;
    DequantIdctFn DequantIdct;
    StoreLumaBlockFn StoreLumaBlock;
    StoreChromaBlockFn StoreChromaBlock;
    PredictIntraLumaFn PredictIntraLuma;
    PredictIntraChromaFn PredictIntraChroma;
    McLumaAddFn McLumaAdd[kLumaSizes][4][4];        // [size][fx][fy]
    McLumaAvgAddFn McLumaAvgAdd[kLumaSizes][4][4];  // [size][fx][fy]
    McChromaFn McChroma8x8;
    McChromaFn McChroma8x4;
    McChromaFn McChroma4x8;
    McChromaFn McChroma4x4;
    McChromaBiFn McChromaBi8x8;
    McChromaBiFn McChromaBi4x4;
    LumaMacroblockFilterFn FilterLumaMacroblock;
    ChromaMacroblockFilterFn FilterChromaMacroblock;
};

// Empty until the first decoder initialisation (or code that runs a layer on
// its own) fills it for this processor. Nothing else writes it.
extern KernelTable gKernels;

// Fills gKernels for this processor, once per process; safe from any thread.
void FillKernelTable();
// Fills `table` as the given feature word allows (tests compare levels with it).
void FillKernelTable(KernelTable& table, uint32_t features);

}  // namespace avs
