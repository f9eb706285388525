// Processor-specific edge filters (each file compiled with its own target flags).
#pragma once

namespace avs {

struct KernelTable;

// Replace the macroblock filter slots with SSE2 kernels.
void InstallLoopFilterKernelsSse2(KernelTable& table);
// Replace the macroblock filter slots with AVX2 kernels (luma: the two edges
// of each direction together).
void InstallLoopFilterKernelsAvx2(KernelTable& table);

}  // namespace avs
