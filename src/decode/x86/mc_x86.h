// Processor-specific motion-compensation kernels for x86. Each installer
// overwrites only the slots it has variants for; every variant gives the same
// bytes as the plain kernel of its slot.
#pragma once

namespace avs {

struct KernelTable;

// All 16 McLumaAdd and all 16 McLumaPredict slots.
void InstallMcLumaSse2(KernelTable& table);
// The four chroma sizes and McChromaBi4x4.
void InstallMcChromaSse2(KernelTable& table);

}  // namespace avs
