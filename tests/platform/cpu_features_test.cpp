#include "platform/cpu_features.h"

#include <gtest/gtest.h>

#include <cstring>

namespace avs {
namespace {

constexpr uint32_t B(int n) {
    return 1u << n;
}
constexpr uint32_t kBase = cpu::kAlways | cpu::kHasStandardLeaf1 | cpu::kHasExtendedLeaves;

struct Regs {
    const char* vendor = "GenuineIntel";
    uint32_t edx = 0, ecx = 0, extendedEdx = 0, signature = 0x306A9;
    uint32_t maxExtended = 0x80000001u, maxStandard = 0xD;
};

CpuidReport Report(const Regs& r) {
    CpuidReport c{};
    c.maxStandardLeaf = r.maxStandard;
    std::memcpy(c.vendor, r.vendor, sizeof c.vendor);
    c.signature = r.signature;
    c.leaf1Edx = r.edx;
    c.leaf1Ecx = r.ecx;
    c.maxExtendedLeaf = r.maxExtended;
    c.extendedLeaf1Edx = r.extendedEdx;
    return c;
}

// The bits the kernel levels depend on (the conversion's MMX, SSE integer and
// SSE2 levels; the decoder's SSE2, SSE4.1 and AVX2 kernels).
TEST(CpuFeatures, ConditionsOfTheKernelBits) {
    const char* amd = "AuthenticAMD";
    const struct {
        Regs regs;
        uint32_t expected;
    } cases[] = {
        {{.edx = ~0u, .ecx = ~0u, .maxStandard = 0}, cpu::kAlways},
        {{.edx = B(26), .extendedEdx = ~0u, .maxExtended = 0x80000000u},
         cpu::kAlways | cpu::kHasStandardLeaf1 | cpu::kSse2},
        {{.edx = B(23)}, kBase | cpu::kMmx},
        {{.edx = B(25)}, kBase | cpu::kSse | cpu::kSseInteger},
        {{.ecx = B(0) | B(19)}, kBase | cpu::kSse3 | cpu::kSse41},
        {{.vendor = amd, .extendedEdx = B(22)}, kBase | cpu::kSseInteger},
        {{.extendedEdx = B(22)}, kBase},  // only on that vendor's processors
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CondenseCpuFeatures(Report(c.regs)), c.expected) << std::hex << c.expected;
    }
}

TEST(CpuFeatures, Avx2NeedsEveryPieceAndTheOsSavingYmm) {
    CpuidReport full = Report({.ecx = B(12) | B(27) | B(28)});
    full.leaf7Ebx = B(3) | B(5) | B(8);
    full.extendedLeaf1Ecx = B(5);
    full.enabledStateMask = 0x7;
    EXPECT_TRUE(CondenseCpuFeatures(full) & cpu::kAvx2);
    const struct {
        uint32_t CpuidReport::*reg;
        uint32_t bit;
    } pieces[] = {{&CpuidReport::leaf1Ecx, B(12)},       {&CpuidReport::leaf1Ecx, B(27)},
                  {&CpuidReport::leaf1Ecx, B(28)},       {&CpuidReport::leaf7Ebx, B(3)},
                  {&CpuidReport::leaf7Ebx, B(5)},        {&CpuidReport::leaf7Ebx, B(8)},
                  {&CpuidReport::extendedLeaf1Ecx, B(5)}};
    for (const auto& p : pieces) {
        CpuidReport without = full;
        without.*p.reg &= ~p.bit;
        EXPECT_FALSE(CondenseCpuFeatures(without) & cpu::kAvx2) << p.bit;
    }
    full.enabledStateMask = 0x3;  // the OS does not save the upper YMM halves
    EXPECT_FALSE(CondenseCpuFeatures(full) & cpu::kAvx2);
}

TEST(CpuFeatures, ThisMachine) {
    const uint32_t f = DetectCpuFeatures();
    EXPECT_TRUE(f & cpu::kAlways);
#if defined(__x86_64__)
    EXPECT_TRUE(f & cpu::kSse2);  // every x86-64 processor has it
#endif
}

}  // namespace
}  // namespace avs
