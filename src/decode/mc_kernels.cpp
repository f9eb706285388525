// The plain motion-compensation kernels: the definition of every MC slot.
#include "decode/mc_kernels.h"

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"
#include "platform/sample.h"

#if defined(__x86_64__) || defined(__i386__)
#include "decode/x86/mc_x86.h"
#define AVS_MC_X86 1
#endif

namespace avs {
namespace {

// Half-sample filters (-1, 5, 5, -1) at 8 times sample scale: h lies between
// columns X and X+1, v between rows Y and Y+1. `s` points at (X, Y).
inline int H(const uint8_t* s) {
    return -s[-1] + 5 * s[0] + 5 * s[1] - s[2];
}
inline int V(const uint8_t* s, ptrdiff_t p) {
    return -s[-p] + 5 * s[0] + 5 * s[p] - s[2 * p];
}
// The centre half-sample at 64 times scale, never rounded in between.
inline int J(const uint8_t* s, ptrdiff_t p) {
    return -H(s - p) + 5 * H(s) + 5 * H(s + p) - H(s + 2 * p);
}

// One predicted luma sample at fraction (FX, FY), before clipping. The quarter
// positions next to a half position weight (half, sample-or-half, half,
// sample-or-half) by (1, 7, 7, 1) at a common scale.
template <int FX, int FY>
inline int Interpolate(const uint8_t* s, ptrdiff_t p) {
    if constexpr (FX == 0 && FY == 0) {
        return s[0];
    } else if constexpr (FX == 2 && FY == 0) {
        return (H(s) + 4) >> 3;
    } else if constexpr (FX == 0 && FY == 2) {
        return (V(s, p) + 4) >> 3;
    } else if constexpr (FX == 2 && FY == 2) {
        return (J(s, p) + 32) >> 6;
    } else if constexpr (FX == 1 && FY == 0) {
        return (H(s - 1) + 56 * s[0] + 7 * H(s) + 8 * s[1] + 64) >> 7;
    } else if constexpr (FX == 3 && FY == 0) {
        return (8 * s[0] + 7 * H(s) + 56 * s[1] + H(s + 1) + 64) >> 7;
    } else if constexpr (FX == 0 && FY == 1) {
        return (V(s - p, p) + 56 * s[0] + 7 * V(s, p) + 8 * s[p] + 64) >> 7;
    } else if constexpr (FX == 0 && FY == 3) {
        return (8 * s[0] + 7 * V(s, p) + 56 * s[p] + V(s + p, p) + 64) >> 7;
    } else if constexpr (FX == 2 && FY == 1) {
        return (J(s - p, p) + 56 * H(s) + 7 * J(s, p) + 8 * H(s + p) + 512) >> 10;
    } else if constexpr (FX == 2 && FY == 3) {
        return (8 * H(s) + 7 * J(s, p) + 56 * H(s + p) + J(s + p, p) + 512) >> 10;
    } else if constexpr (FX == 1 && FY == 2) {
        return (J(s - 1, p) + 56 * V(s, p) + 7 * J(s, p) + 8 * V(s + 1, p) + 512) >> 10;
    } else if constexpr (FX == 3 && FY == 2) {
        return (8 * V(s, p) + 7 * J(s, p) + 56 * V(s + 1, p) + J(s + 1, p) + 512) >> 10;
    } else {
        // Diagonal quarters: the rounded mean of the nearest whole sample and
        // the unrounded centre value.
        constexpr int kDx = FX == 3 ? 1 : 0;
        constexpr int kDy = FY == 3 ? 1 : 0;
        return (64 * s[kDy * p + kDx] + J(s, p) + 64) >> 7;
    }
}

// Residual sample (r, c) of a W x W luma area made of 8x8 blocks in block order.
template <int W>
inline int ResidualAt(const int16_t* residual, int r, int c) {
    return residual[64 * ((r >> 3) * (W / 8) + (c >> 3)) + 8 * (r & 7) + (c & 7)];
}

// The prediction is clipped before it is averaged and before the residual is
// added.
template <int W, int FX, int FY>
void McLumaAddPlain(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                    const int16_t* residual) {
    for (int r = 0; r < W; ++r) {
        for (int c = 0; c < W; ++c) {
            const int p = ClipSample(Interpolate<FX, FY>(ref + c, refPitch));
            dst[c] =
                static_cast<uint8_t>(residual ? ClipSample(p + ResidualAt<W>(residual, r, c)) : p);
        }
        dst += dstPitch;
        ref += refPitch;
    }
}

template <int W, int FX, int FY>
void McLumaAvgAddPlain(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                       const uint8_t* pred, const int16_t* residual) {
    for (int r = 0; r < W; ++r) {
        for (int c = 0; c < W; ++c) {
            const int p =
                (pred[W * r + c] + ClipSample(Interpolate<FX, FY>(ref + c, refPitch)) + 1) >> 1;
            dst[c] =
                static_cast<uint8_t>(residual ? ClipSample(p + ResidualAt<W>(residual, r, c)) : p);
        }
        dst += dstPitch;
        ref += refPitch;
    }
}

// Eighth-sample bilinear weights of one chroma block.
struct BilinearWeights {
    int w00, w01, w10, w11;
    BilinearWeights(int ax, int ay)
        : w00((8 - ax) * (8 - ay)), w01(ax * (8 - ay)), w10((8 - ax) * ay), w11(ax * ay) {}
    int At(const uint8_t* s, ptrdiff_t p) const {
        return (w00 * s[0] + w01 * s[1] + w10 * s[p] + w11 * s[p + 1] + 32) >> 6;
    }
};

template <int W, int H>
void McChromaPlain(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                   const int16_t* residual, int ax, int ay) {
    const BilinearWeights w(ax, ay);
    for (int r = 0; r < H; ++r) {
        for (int c = 0; c < W; ++c) {
            dst[c] = static_cast<uint8_t>(ClipSample(w.At(ref + c, refPitch) + residual[c]));
        }
        dst += dstPitch;
        ref += refPitch;
        residual += 8;
    }
}

template <int W, int H>
void McChromaBiPlain(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0, const uint8_t* ref1,
                     ptrdiff_t refPitch, const int16_t* residual, int ax0, int ay0, int ax1,
                     int ay1) {
    const BilinearWeights w0(ax0, ay0);
    const BilinearWeights w1(ax1, ay1);
    for (int r = 0; r < H; ++r) {
        for (int c = 0; c < W; ++c) {
            const int p = (w0.At(ref0 + c, refPitch) + w1.At(ref1 + c, refPitch) + 1) >> 1;
            dst[c] = static_cast<uint8_t>(ClipSample(p + residual[8 * r + c]));
        }
        dst += dstPitch;
        ref0 += refPitch;
        ref1 += refPitch;
    }
}

template <int W, int FX>
void InstallPlainColumn(KernelTable& table, int size) {
    table.McLumaAdd[size][FX][0] = McLumaAddPlain<W, FX, 0>;
    table.McLumaAdd[size][FX][1] = McLumaAddPlain<W, FX, 1>;
    table.McLumaAdd[size][FX][2] = McLumaAddPlain<W, FX, 2>;
    table.McLumaAdd[size][FX][3] = McLumaAddPlain<W, FX, 3>;
    table.McLumaAvgAdd[size][FX][0] = McLumaAvgAddPlain<W, FX, 0>;
    table.McLumaAvgAdd[size][FX][1] = McLumaAvgAddPlain<W, FX, 1>;
    table.McLumaAvgAdd[size][FX][2] = McLumaAvgAddPlain<W, FX, 2>;
    table.McLumaAvgAdd[size][FX][3] = McLumaAvgAddPlain<W, FX, 3>;
}

template <int W>
void InstallPlainLuma(KernelTable& table, int size) {
    InstallPlainColumn<W, 0>(table, size);
    InstallPlainColumn<W, 1>(table, size);
    InstallPlainColumn<W, 2>(table, size);
    InstallPlainColumn<W, 3>(table, size);
}

}  // namespace

void InstallMcKernels(KernelTable& table, uint32_t features) {
    InstallPlainLuma<8>(table, kLuma8x8);
    InstallPlainLuma<16>(table, kLuma16x16);
    table.McChroma8x8 = McChromaPlain<8, 8>;
    table.McChroma8x4 = McChromaPlain<8, 4>;
    table.McChroma4x8 = McChromaPlain<4, 8>;
    table.McChroma4x4 = McChromaPlain<4, 4>;
    table.McChromaBi8x8 = McChromaBiPlain<8, 8>;
    table.McChromaBi4x4 = McChromaBiPlain<4, 4>;
#ifdef AVS_MC_X86
    if (features & cpu::kSse2) {
        InstallMcLumaSse2(table);
        InstallMcChromaSse2(table);
    }
    if ((features & cpu::kSse2) && (features & cpu::kAvx2)) {
        InstallMcLumaAvx2(table);
        InstallMcChromaAvx2(table);
    }
    if ((features & cpu::kSse2) && (features & cpu::kAvx512)) {
        InstallMcLumaAvx512(table);
        InstallMcChromaAvx512(table);
    }
#else
    (void)features;
#endif
}

}  // namespace avs
