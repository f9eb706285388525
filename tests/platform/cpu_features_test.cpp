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

// The bits that install kernels: SSE2 (conversion and decoding) and SSE4.1
// (decoding). The older bits only choose among conversion levels that hold
// the same kernels.
TEST(CpuFeatures, ConditionsOfTheKernelBits) {
    const struct {
        Regs regs;
        uint32_t expected;
    } cases[] = {
        {{.edx = ~0u, .ecx = ~0u, .maxStandard = 0}, cpu::kAlways},
        {{.edx = B(26), .extendedEdx = ~0u, .maxExtended = 0x80000000u},
         cpu::kAlways | cpu::kHasStandardLeaf1 | cpu::kSse2},
        {{.ecx = B(19)}, kBase | cpu::kSse41},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CondenseCpuFeatures(Report(c.regs)), c.expected) << std::hex << c.expected;
    }
}

// Each vector level needs every piece its kernel files are compiled for, and
// the OS saving the registers it uses; AVX-512 needs all of AVX2's too.
TEST(CpuFeatures, VectorLevelsNeedEveryPieceAndTheOsSavingTheirRegisters) {
    constexpr uint32_t kBoth = cpu::kAvx2 | cpu::kAvx512;
    CpuidReport full = Report({.ecx = B(12) | B(27) | B(28)});
    full.leaf7Ebx = B(3) | B(5) | B(8) | B(16) | B(17) | B(30) | B(31);
    full.extendedLeaf1Ecx = B(5);
    full.enabledStateMask = 0xE7;
    EXPECT_EQ(CondenseCpuFeatures(full) & kBoth, kBoth);
    const struct {
        uint32_t CpuidReport::*reg;
        uint32_t bit;
        uint32_t left;  // the levels that remain without it
    } pieces[] = {
        {&CpuidReport::leaf1Ecx, B(12), 0},          {&CpuidReport::leaf1Ecx, B(27), 0},
        {&CpuidReport::leaf1Ecx, B(28), 0},          {&CpuidReport::leaf7Ebx, B(3), 0},
        {&CpuidReport::leaf7Ebx, B(5), 0},           {&CpuidReport::leaf7Ebx, B(8), 0},
        {&CpuidReport::extendedLeaf1Ecx, B(5), 0},   {&CpuidReport::leaf7Ebx, B(16), cpu::kAvx2},
        {&CpuidReport::leaf7Ebx, B(17), cpu::kAvx2}, {&CpuidReport::leaf7Ebx, B(30), cpu::kAvx2},
        {&CpuidReport::leaf7Ebx, B(31), cpu::kAvx2}};
    for (const auto& p : pieces) {
        CpuidReport without = full;
        without.*p.reg &= ~p.bit;
        EXPECT_EQ(CondenseCpuFeatures(without) & kBoth, p.left) << p.bit;
    }
    // Register state the OS leaves out: the upper ZMM halves, the mask
    // registers, everything beyond YMM, the upper YMM halves.
    const struct {
        uint64_t mask;
        uint32_t left;
    } states[] = {{0xA7, cpu::kAvx2}, {0xC7, cpu::kAvx2}, {0x7, cpu::kAvx2}, {0xE3, 0}};
    for (const auto& s : states) {
        full.enabledStateMask = s.mask;
        EXPECT_EQ(CondenseCpuFeatures(full) & kBoth, s.left) << s.mask;
    }
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
