#include "decode/loop_filter_kernels.h"

#include <cstdlib>

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"
#include "platform/sample.h"

#if defined(__x86_64__) || defined(__i386__)
#include "decode/x86/loop_filter_x86.h"
#endif

namespace avs {
namespace {

inline int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// One run of positions that share a strength. `s` addresses q0 of the first
// position, `step` moves along the edge, `across` from q0 to q1.
template <bool kLuma, int kStrength>
void FilterRun(uint8_t* s, ptrdiff_t step, ptrdiff_t across, int count, EdgeThresholds t) {
    const int smallLimit = (t.alpha >> 2) + 2;
    for (int i = 0; i < count; ++i, s += step) {
        const int p0 = s[-across], p1 = s[-2 * across], p2 = s[-3 * across];
        const int q0 = s[0], q1 = s[across], q2 = s[2 * across];
        if (std::abs(p0 - q0) >= t.alpha || std::abs(q0 - q1) >= t.beta ||
            std::abs(p1 - p0) >= t.beta) {
            continue;
        }
        const bool flatP = std::abs(p0 - p2) < t.beta;
        const bool flatQ = std::abs(q0 - q2) < t.beta;
        if constexpr (kStrength == 2) {
            const bool small = std::abs(p0 - q0) < smallLimit;
            if (flatQ && small) {
                s[0] = static_cast<uint8_t>((p0 + 2 * q0 + q1 + 2) >> 2);
                if (kLuma) s[across] = static_cast<uint8_t>((p0 + 2 * q1 + q0 + 2) >> 2);
            } else {
                s[0] = static_cast<uint8_t>((p0 + 2 * q1 + q0 + 2) >> 2);
            }
            if (flatP && small) {
                s[-across] = static_cast<uint8_t>((p1 + 2 * p0 + q0 + 2) >> 2);
                if (kLuma) s[-2 * across] = static_cast<uint8_t>((2 * p1 + p0 + q0 + 2) >> 2);
            } else {
                s[-across] = static_cast<uint8_t>((p0 + 2 * p1 + q0 + 2) >> 2);
            }
        } else {
            const int d = Clamp((3 * (q0 - p0) + p1 - q1 + 4) >> 3, -t.c, t.c);
            const int P0 = ClipSample(p0 + d);
            const int Q0 = ClipSample(q0 - d);
            s[-across] = static_cast<uint8_t>(P0);
            s[0] = static_cast<uint8_t>(Q0);
            if (kLuma) {
                if (flatP) {
                    s[-2 * across] = static_cast<uint8_t>(
                        ClipSample(p1 + Clamp((3 * (P0 - p1) - Q0 + p2 + 4) >> 3, -t.c, t.c)));
                }
                if (flatQ) {
                    s[across] = static_cast<uint8_t>(
                        ClipSample(q1 - Clamp((3 * (q1 - Q0) - q2 + P0 + 4) >> 3, -t.c, t.c)));
                }
            }
        }
    }
}

template <bool kLuma>
void FilterHalf(uint8_t* s, ptrdiff_t step, ptrdiff_t across, int strength, EdgeThresholds t) {
    constexpr int kHalf = kLuma ? 8 : 4;
    if (strength == 2) {
        FilterRun<kLuma, 2>(s, step, across, kHalf, t);
    } else if (strength == 1) {
        FilterRun<kLuma, 1>(s, step, across, kHalf, t);
    }
}

template <bool kLuma>
void FilterEdge(uint8_t* edge, ptrdiff_t step, ptrdiff_t across, int bs0, int bs1,
                EdgeThresholds t) {
    constexpr int kHalf = kLuma ? 8 : 4;
    FilterHalf<kLuma>(edge, step, across, bs0, t);
    FilterHalf<kLuma>(edge + kHalf * step, step, across, bs1, t);
}

}  // namespace

void FilterLumaEdgeVPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    FilterEdge<true>(edge, pitch, 1, bs0, bs1, t);
}
void FilterLumaEdgeHPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    FilterEdge<true>(edge, 1, pitch, bs0, bs1, t);
}
void FilterChromaEdgeVPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t) {
    FilterEdge<false>(cb, pitch, 1, bs0, bs1, t);
    FilterEdge<false>(cr, pitch, 1, bs0, bs1, t);
}
void FilterChromaEdgeHPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t) {
    FilterEdge<false>(cb, 1, pitch, bs0, bs1, t);
    FilterEdge<false>(cr, 1, pitch, bs0, bs1, t);
}

void FilterLumaMacroblockPlain(uint8_t* mb, ptrdiff_t pitch, MacroblockEdgeStrengths bs,
                               const MacroblockEdgeThresholds& t) {
    FilterLumaEdgeVPlain(mb, pitch, bs.left[0], bs.left[1], t.left);
    FilterLumaEdgeVPlain(mb + 8, pitch, bs.innerV[0], bs.innerV[1], t.inner);
    FilterLumaEdgeHPlain(mb, pitch, bs.top[0], bs.top[1], t.top);
    FilterLumaEdgeHPlain(mb + 8 * pitch, pitch, bs.innerH[0], bs.innerH[1], t.inner);
}

void FilterChromaMacroblockPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch,
                                 MacroblockEdgeStrengths bs, const MacroblockEdgeThresholds& t) {
    FilterChromaEdgeVPlain(cb, cr, pitch, bs.left[0], bs.left[1], t.left);
    FilterChromaEdgeHPlain(cb, cr, pitch, bs.top[0], bs.top[1], t.top);
}

void InstallLoopFilterKernels(KernelTable& table, uint32_t features) {
    table.FilterLumaMacroblock = FilterLumaMacroblockPlain;
    table.FilterChromaMacroblock = FilterChromaMacroblockPlain;
#if defined(__x86_64__) || defined(__i386__)
    if (features & cpu::kSse2) InstallLoopFilterKernelsSse2(table);
    if (features & cpu::kAvx2) InstallLoopFilterKernelsAvx2(table);
#else
    (void)features;
#endif
}

}  // namespace avs
