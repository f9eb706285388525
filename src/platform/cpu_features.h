// The processor feature word: CPUID condensed into one 32-bit value.
#pragma once

#include <cstdint>

namespace avs {

namespace cpu {
inline constexpr uint32_t kAlways = 0x1;
inline constexpr uint32_t kHasStandardLeaf1 = 0x2;
inline constexpr uint32_t kHasExtendedLeaves = 0x4;
inline constexpr uint32_t kTsc = 0x10;
inline constexpr uint32_t kMmx = 0x20;
inline constexpr uint32_t kCmov = 0x40;
inline constexpr uint32_t k3dNow = 0x80;
inline constexpr uint32_t k3dNowExt = 0x100;
inline constexpr uint32_t kSseInteger = 0x200;
inline constexpr uint32_t kSse = 0x400;
inline constexpr uint32_t kAmdK6Family = 0x800;
inline constexpr uint32_t kMtrr = 0x1000;
inline constexpr uint32_t kSse2 = 0x2000;
inline constexpr uint32_t kHyperThreading = 0x4000;
inline constexpr uint32_t kSse3 = 0x8000;
// Beyond the classic word: used only to choose our own newer kernels.
inline constexpr uint32_t kSse41 = 0x10000;
inline constexpr uint32_t kAvx2 = 0x20000;
inline constexpr uint32_t kAvx512 = 0x40000;  // F, DQ, BW and VL, with everything kAvx2 needs
}  // namespace cpu

// What CPUID (and XGETBV) reported, as plain register values.
struct CpuidReport {
    uint32_t maxStandardLeaf;  // leaf 0 EAX
    char vendor[12];           // leaf 0 EBX, EDX, ECX
    uint32_t signature;        // leaf 1 EAX
    uint32_t leaf1Ecx;
    uint32_t leaf1Edx;
    uint32_t leaf7Ebx;          // 0 when leaf 7 is not there
    uint32_t maxExtendedLeaf;   // leaf 0x80000000 EAX
    uint32_t extendedLeaf1Ecx;  // leaf 0x80000001, 0 when it is not there
    uint32_t extendedLeaf1Edx;
    uint64_t enabledStateMask;  // XGETBV(0); 0 when the OS does not enable XSAVE
};

// Condenses a report into the feature word; no instruction is executed, so
// tests can pin every rule.
uint32_t CondenseCpuFeatures(const CpuidReport& report);

// Executes CPUID on every call; any processor other than x86 gives kAlways.
uint32_t DetectCpuFeatures();

}  // namespace avs
