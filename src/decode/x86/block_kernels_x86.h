// Processor-specific block kernels (each file compiled with its own target flags).
#pragma once

namespace avs {

struct KernelTable;

// Replaces DequantIdct, StoreLumaBlock and StoreChromaBlock with SSE2 kernels.
void InstallBlockKernelsSse2(KernelTable& table);
// Replaces DequantIdct with an AVX2 kernel.
void InstallBlockKernelsAvx2(KernelTable& table);

}  // namespace avs
