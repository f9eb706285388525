// One output conversion: the kernel chosen for the output mode and the
// implementation level, and the worker pool it may use.
#pragma once

#include <cstdint>

#include "convert/conversion_params.h"

namespace avs {

class ConverterPool;

struct ColourConverter {
    // The band kernel for (layout, mode, level); the workers call whatever it
    // holds when their band runs.
    BandKernelFn bandKernel = nullptr;
    uint32_t sourceLayout = 0;
    uint32_t mode = 0;
    int level = 0;
    bool threadsAllowed = false;
    // Borrowed for the conversion; null converts everything on the caller's
    // thread.
    ConverterPool* pool = nullptr;
    uint32_t features = 0;  // CpuFeatures word
};

// Chooses the kernels for a mode (source layout 0 only) with the level the
// processor features allow. False when the mode has no kernel.
bool ConfigureConverter(ColourConverter& converter, uint32_t sourceLayout, uint32_t mode,
                        bool allowThreads);

// Converts every row that `block` describes. A configured converter only.
void RunConversion(ColourConverter& converter, ConversionParams& block);

// The implementation level `block` allows on a processor with `features`:
// 3 (SSE2) with source and destination pointers aligned to 16 and pitches to
// 32, 2 (SSE integer) with pointers aligned to 8 and pitches to 16, 1 (MMX)
// with both aligned to 8, else 0. Destination pitches count pixels except in
// the planar mode.
int CheckLevel(const ConversionParams& block, uint32_t mode, uint32_t features);

}  // namespace avs
