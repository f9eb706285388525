// Processor-specific edge filters (each file compiled with its own target flags).
#pragma once

namespace avs {

struct KernelTable;

// Replaces the four edge-filter slots with SSE2 kernels.
void InstallLoopFilterKernelsSse2(KernelTable& table);

}  // namespace avs
