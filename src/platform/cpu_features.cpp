#include "platform/cpu_features.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define AVSDEC_X86 1
#endif

namespace avs {
namespace {

constexpr bool Bit(uint32_t reg, int n) {
    return ((reg >> n) & 1u) != 0;
}

constexpr uint32_t kExtendedBase = 0x80000000u;

// Everything the AVX2 kernel files are compiled for (AVX2, FMA, BMI1/2,
// LZCNT), and the OS saving the YMM registers across context switches.
bool CanRunAvx2Kernels(const CpuidReport& r) {
    constexpr uint64_t kXmmYmmState = 0x6;
    const bool osSavesYmm =
        Bit(r.leaf1Ecx, 27) && (r.enabledStateMask & kXmmYmmState) == kXmmYmmState;
    const bool avx = Bit(r.leaf1Ecx, 28) && Bit(r.leaf1Ecx, 12);  // AVX, FMA
    const bool leaf7 =
        Bit(r.leaf7Ebx, 5) && Bit(r.leaf7Ebx, 3) && Bit(r.leaf7Ebx, 8);  // AVX2, BMI1, BMI2
    return osSavesYmm && avx && leaf7 && Bit(r.extendedLeaf1Ecx, 5);     // LZCNT
}

// Everything the AVX-512 kernel files are compiled for (the AVX2 set plus
// AVX-512 F, DQ, BW and VL), and the OS saving the mask registers and all
// 32 ZMM registers whole.
bool CanRunAvx512Kernels(const CpuidReport& r) {
    constexpr uint64_t kZmmState = 0xE6;  // XMM, YMM, opmask, ZMM_Hi256, Hi16_ZMM
    const bool osSavesZmm = (r.enabledStateMask & kZmmState) == kZmmState;
    const bool leaf7 = Bit(r.leaf7Ebx, 16) && Bit(r.leaf7Ebx, 17) && Bit(r.leaf7Ebx, 30) &&
                       Bit(r.leaf7Ebx, 31);  // F, DQ, BW, VL
    return CanRunAvx2Kernels(r) && osSavesZmm && leaf7;
}

}  // namespace

uint32_t CondenseCpuFeatures(const CpuidReport& r) {
    if (r.maxStandardLeaf == 0) return cpu::kAlways;

    uint32_t f = cpu::kHasStandardLeaf1;
    const uint32_t edx = r.leaf1Edx;
    if (Bit(edx, 4)) f |= cpu::kTsc;
    if (Bit(edx, 23)) f |= cpu::kMmx;
    if (Bit(edx, 15)) f |= cpu::kCmov;
    if (Bit(edx, 12)) f |= cpu::kMtrr;
    if (Bit(edx, 26)) f |= cpu::kSse2;
    if (Bit(edx, 28)) f |= cpu::kHyperThreading;
    if (Bit(r.leaf1Ecx, 0)) f |= cpu::kSse3;
    if (Bit(edx, 25)) f |= cpu::kSseInteger | cpu::kSse;
    if (Bit(r.leaf1Ecx, 19)) f |= cpu::kSse41;
    if (CanRunAvx2Kernels(r)) f |= cpu::kAvx2;
    if (CanRunAvx512Kernels(r)) f |= cpu::kAvx512;

    if (r.maxExtendedLeaf <= kExtendedBase) return f | cpu::kAlways;
    f |= cpu::kHasExtendedLeaves;
    if (Bit(r.extendedLeaf1Edx, 31)) f |= cpu::k3dNow;

    if (std::memcmp(r.vendor, "AuthenticAMD", sizeof r.vendor) != 0) return f | cpu::kAlways;
    // AMD reports the SSE integer instructions on their own when it has no
    // extended 3DNow!.
    if (Bit(r.extendedLeaf1Edx, 30)) {
        f |= cpu::k3dNowExt;
    } else if (Bit(r.extendedLeaf1Edx, 22)) {
        f |= cpu::kSseInteger;
    }
    const uint32_t familyModelStepping = r.signature & 0xFFF;
    if (familyModelStepping >= 0x588 && familyModelStepping < 0x600) f |= cpu::kAmdK6Family;
    return f | cpu::kAlways;
}

uint32_t DetectCpuFeatures() {
#if defined(AVSDEC_X86)
    CpuidReport r{};
    uint32_t a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) return cpu::kAlways;
    r.maxStandardLeaf = a;
    std::memcpy(r.vendor, &b, 4);
    std::memcpy(r.vendor + 4, &d, 4);
    std::memcpy(r.vendor + 8, &c, 4);
    if (r.maxStandardLeaf == 0) return CondenseCpuFeatures(r);

    __cpuid(1, a, b, c, d);
    r.signature = a;
    r.leaf1Ecx = c;
    r.leaf1Edx = d;
    if (r.maxStandardLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        r.leaf7Ebx = b;
    }
    if (Bit(r.leaf1Ecx, 27)) {  // OSXSAVE: XGETBV may be executed
        uint32_t lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        r.enabledStateMask = (static_cast<uint64_t>(hi) << 32) | lo;
    }
    __cpuid(kExtendedBase, a, b, c, d);
    r.maxExtendedLeaf = a;
    if (r.maxExtendedLeaf > kExtendedBase) {
        __cpuid(kExtendedBase + 1, a, b, c, d);
        r.extendedLeaf1Ecx = c;
        r.extendedLeaf1Edx = d;
    }
    return CondenseCpuFeatures(r);
#else
    return cpu::kAlways;
#endif
}

}  // namespace avs
