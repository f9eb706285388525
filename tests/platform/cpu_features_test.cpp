#include "platform/cpu_features.h"

#include <gtest/gtest.h>

#include <cstring>

namespace avs {
namespace {

constexpr uint32_t B(int n) {
    return 1u << n;
}

CpuidReport Report(const char* vendor, uint32_t edx, uint32_t ecx = 0,
                   uint32_t maxExtended = 0x80000008u, uint32_t extendedEdx = 0,
                   uint32_t signature = 0x306A9) {
    CpuidReport r{};
    r.maxStandardLeaf = 0xD;
    std::memcpy(r.vendor, vendor, sizeof r.vendor);
    r.signature = signature;
    r.leaf1Edx = edx;
    r.leaf1Ecx = ecx;
    r.maxExtendedLeaf = maxExtended;
    r.extendedLeaf1Edx = extendedEdx;
    return r;
}

constexpr const char* kAmd = "AuthenticAMD";
constexpr const char* kIntel = "GenuineIntel";
constexpr uint32_t kBase = cpu::kAlways | cpu::kHasStandardLeaf1 | cpu::kHasExtendedLeaves;

TEST(CpuFeatures, ConditionsOfEveryBit) {
    struct Case {
        const char* what;
        CpuidReport report;
        uint32_t expected;
    };
    CpuidReport noLeaves = Report(kIntel, ~0u, ~0u);
    noLeaves.maxStandardLeaf = 0;
    const Case cases[] = {
        {"highest leaf 0", noLeaves, cpu::kAlways},
        {"no extended leaves", Report(kIntel, B(26), 0, 0x80000000u, ~0u),
         cpu::kAlways | cpu::kHasStandardLeaf1 | cpu::kSse2},
        {"leaf 1 edx", Report(kIntel, B(4) | B(23) | B(15) | B(12) | B(28)),
         kBase | cpu::kTsc | cpu::kMmx | cpu::kCmov | cpu::kMtrr | cpu::kHyperThreading},
        {"sse sets both bits, sse2 not", Report(kIntel, B(25)),
         kBase | cpu::kSse | cpu::kSseInteger},
        {"sse3 and sse4.1", Report(kIntel, 0, B(0) | B(19)), kBase | cpu::kSse3 | cpu::kSse41},
        {"3DNow! on any vendor", Report(kIntel, 0, 0, 0x80000001u, B(31)), kBase | cpu::k3dNow},
        {"AMD MMX extensions without extended 3DNow!", Report(kAmd, 0, 0, 0x80000001u, B(22)),
         kBase | cpu::kSseInteger},
        {"AMD MMX extensions ignored with extended 3DNow!",
         Report(kAmd, 0, 0, 0x80000001u, B(22) | B(30)), kBase | cpu::k3dNowExt},
        {"extended 3DNow! only on AMD", Report(kIntel, 0, 0, 0x80000001u, B(22) | B(30)), kBase},
        {"AMD 0x588", Report(kAmd, 0, 0, 0x80000001u, 0, 0x588), kBase | cpu::kAmdK6Family},
        {"AMD 0x5FF", Report(kAmd, 0, 0, 0x80000001u, 0, 0x5FF), kBase | cpu::kAmdK6Family},
        {"AMD 0x587", Report(kAmd, 0, 0, 0x80000001u, 0, 0x587), kBase},
        {"AMD 0x600", Report(kAmd, 0, 0, 0x80000001u, 0, 0x600), kBase},
        {"AMD 0x1588 (family bits above 12)", Report(kAmd, 0, 0, 0x80000001u, 0, 0x1588),
         kBase | cpu::kAmdK6Family},
        {"Intel 0x588", Report(kIntel, 0, 0, 0x80000001u, 0, 0x588), kBase},
        {"AMD without extended leaves", Report(kAmd, 0, 0, 0x80000000u, B(30), 0x588),
         cpu::kAlways | cpu::kHasStandardLeaf1},
    };
    for (const Case& c : cases) EXPECT_EQ(CondenseCpuFeatures(c.report), c.expected) << c.what;
}

TEST(CpuFeatures, Avx2NeedsEveryPieceAndTheOsSavingYmm) {
    CpuidReport r = Report(kIntel, 0, B(12) | B(27) | B(28));
    r.leaf7Ebx = B(3) | B(5) | B(8);
    r.extendedLeaf1Ecx = B(5);
    r.enabledStateMask = 0x7;
    EXPECT_TRUE(CondenseCpuFeatures(r) & cpu::kAvx2);
    struct Knockout {
        const char* what;
        uint32_t CpuidReport::*reg;
        uint32_t bit;
    };
    const Knockout knockouts[] = {
        {"FMA", &CpuidReport::leaf1Ecx, B(12)},          {"OSXSAVE", &CpuidReport::leaf1Ecx, B(27)},
        {"AVX", &CpuidReport::leaf1Ecx, B(28)},          {"BMI1", &CpuidReport::leaf7Ebx, B(3)},
        {"AVX2", &CpuidReport::leaf7Ebx, B(5)},          {"BMI2", &CpuidReport::leaf7Ebx, B(8)},
        {"LZCNT", &CpuidReport::extendedLeaf1Ecx, B(5)},
    };
    for (const Knockout& k : knockouts) {
        CpuidReport without = r;
        without.*k.reg &= ~k.bit;
        EXPECT_FALSE(CondenseCpuFeatures(without) & cpu::kAvx2) << k.what;
    }
    r.enabledStateMask = 0x3;  // the OS does not save the upper YMM halves
    EXPECT_FALSE(CondenseCpuFeatures(r) & cpu::kAvx2);
}

TEST(CpuFeatures, ThisMachine) {
    const uint32_t f = DetectCpuFeatures();
    EXPECT_TRUE(f & cpu::kAlways);
#if defined(__x86_64__)
    EXPECT_TRUE(f & cpu::kSse2);  // every x86-64 processor has SSE2
#endif
    EXPECT_EQ(DetectCpuFeatures(), f);
}

}  // namespace
}  // namespace avs
