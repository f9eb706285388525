// Processor-specific coefficient decoders (each file compiled with its own target flags).
#pragma once

namespace avs {

struct KernelTable;

// Replaces the three block decoders with builds of the same loop that use
// LZCNT and BMI2 (every processor with the AVX2 feature has them).
void InstallCoefficientKernelsAvx2(KernelTable& table);
// The same loop, writing levels straight into scan order and permuting them
// to raster order at the end of block.
void InstallCoefficientKernelsAvx512(KernelTable& table);

}  // namespace avs
