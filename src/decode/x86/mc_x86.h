// Processor-specific motion-compensation kernels for x86. Each installer
// overwrites only the slots it has variants for; every variant gives the same
// bytes as the plain kernel of its slot.
#pragma once

namespace avs {

struct KernelTable;

// All 16 McLumaAdd and all 16 McLumaPredict slots.
void InstallMcKernelsSse2(KernelTable& table);

}  // namespace avs
