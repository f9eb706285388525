// Processor-specific motion-compensation kernels for x86. Each installer
// overwrites only the slots it has variants for; every variant gives the same
// bytes as the plain kernel of its slot.
#pragma once

namespace avs {

struct KernelTable;

// Every McLumaAdd and McLumaAvgAdd slot, both sizes.
void InstallMcLumaSse2(KernelTable& table);
// Every McLumaAdd and McLumaAvgAdd slot, both sizes.
void InstallMcLumaAvx2(KernelTable& table);
// The McLumaAdd and McLumaAvgAdd slots of the 16x16 size.
void InstallMcLumaAvx512(KernelTable& table);
// The four chroma sizes and both McChromaBi sizes.
void InstallMcChromaSse2(KernelTable& table);
// Every chroma slot.
void InstallMcChromaAvx2(KernelTable& table);
// The 8-wide chroma slots: McChroma8x8, McChroma8x4 and McChromaBi8x8.
void InstallMcChromaAvx512(KernelTable& table);

}  // namespace avs
