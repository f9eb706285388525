// Luma interpolation of every fraction pair, written once over a lane type `V`
// whose register holds one block row of 16-bit samples (8 in an SSE2
// register, 16 in an AVX2 one), or two rows that lie a fixed distance apart
// (an AVX-512 register: a row of the macroblock's upper half and the row
// eight below it). The arithmetic is that of the plain kernels, rearranged so
// that each intermediate fits its lanes exactly.
//
// `V` provides the 16-bit lane operations below; V::Load(s, p) reads the row
// at s (and the row its register pairs with, p being the reference pitch).
// A `V` may also let rows be filtered horizontally straight from their bytes
// (see HasRowFilters). Each including file defines its own `V` in an
// anonymous namespace, so every instantiation stays inside the file that
// compiled it with its own target flags.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/x86/mc_luma_row_bytes.h"

#define AVS_INLINE inline __attribute__((always_inline))
#define AVS_UNROLL _Pragma("GCC unroll 24")

namespace avs::x86 {

// V::LaneBytes(s, p) gives the bytes that the rows of a register filter
// horizontally (see mc_luma_row_bytes.h), and V::Pair(bytes, pair) one tap
// pair's 16-bit sums.
template <class V>
concept HasRowFilters = requires(const uint8_t* s, ptrdiff_t p, typename V::Reg r) {
    V::LaneBytes(s, p);
    V::Pair(r, kHalfPairs[0]);
};

template <class V>
struct LumaTaps {
    using R = typename V::Reg;

    // The half-sample taps (-1, 5, 5, -1). On samples the result lies in
    // -510..2550; applied once more to those it lies in -10200..26520, so the
    // centre value j also fits 16 bits.
    static AVS_INLINE R Half(R a, R b, R c, R d) {
        const R bc = V::Add(b, c);
        return V::Sub(V::Add(bc, V::Shl(bc, 2)), V::Add(a, d));
    }

    // Horizontal half-sample h of the row at s (s points at column X).
    static AVS_INLINE R HalfRow(const uint8_t* s, ptrdiff_t p) {
        if constexpr (HasRowFilters<V>) {
            const R bytes = V::LaneBytes(s, p);
            return V::Add(V::Pair(bytes, kHalfPairs[0]), V::Pair(bytes, kHalfPairs[1]));
        } else {
            return Half(V::Load(s - 1, p), V::Load(s, p), V::Load(s + 1, p), V::Load(s + 2, p));
        }
    }

    // (v + 2^(n-1)) >> n for a half-sample sum.
    static AVS_INLINE R Round(R v, int n) { return V::Sar(V::Add(v, V::Set(1 << (n - 1))), n); }

    // A multiplier in every lane, hidden from the compiler, which would
    // otherwise turn each multiply into a longer chain of shifts and adds.
    static AVS_INLINE R Multiplier(int w) {
        R m = V::Set(w);
        __asm__("" : "+v"(m));
        return m;
    }

    // One-dimensional quarter sum: taps (-1, -2, 96, 42, -7) on a..e. The sum
    // lies in -2550..35190; it is returned less 16384, which fits 16-bit lanes
    // (the wrapping arithmetic lands on the exact value).
    static constexpr int kQuarterBias = 16384;
    static AVS_INLINE R QuarterSum(R a, R b, R c, R d, R e) {
        const R pos = V::Add(V::Mul(c, Multiplier(96)), V::Mul(d, Multiplier(42)));
        const R neg = V::Add(V::Add(a, V::Shl(b, 1)), V::Mul(e, Multiplier(7)));
        return V::Sub(V::Sub(pos, neg), V::Set(kQuarterBias));
    }

    // The horizontal quarter sum (less its bias) of the row at s for fraction
    // FX, 1 or 3: the taps run right for 1 and left for 3.
    template <int FX>
    static AVS_INLINE R QuarterRowSum(const uint8_t* s, ptrdiff_t p) {
        if constexpr (HasRowFilters<V>) {
            const R bytes = V::LaneBytes(s, p);
            const TapPair(&pairs)[3] = kQuarterPairs[FX == 1 ? 0 : 1];
            const R sum = V::Add(V::Add(V::Pair(bytes, pairs[0]), V::Pair(bytes, pairs[1])),
                                 V::Pair(bytes, pairs[2]));
            return V::Sub(sum, V::Set(kQuarterBias));
        } else if constexpr (FX == 1) {
            return QuarterSum(V::Load(s - 2, p), V::Load(s - 1, p), V::Load(s, p),
                              V::Load(s + 1, p), V::Load(s + 2, p));
        } else {
            return QuarterSum(V::Load(s + 3, p), V::Load(s + 2, p), V::Load(s + 1, p),
                              V::Load(s, p), V::Load(s - 1, p));
        }
    }

    // The quarter position of a quarter sum: (sum + 64) >> 7. Biased by
    // 20 * 128 the sum is a valid unsigned 16-bit value, so a logical shift
    // and removing the bias give the arithmetic result exactly.
    static AVS_INLINE R QuarterOf(R sumLessBias) {
        const R sum = V::Add(sumLessBias, V::Set(kQuarterBias + 64 + 20 * 128));
        return V::Sub(V::Shr(sum, 7), V::Set(20));
    }

    // A weight pair for Madd on interleaved (first, second) lanes.
    static AVS_INLINE R Weights(int first, int second) {
        return V::Set32(static_cast<int>(static_cast<uint32_t>(second) << 16 |
                                         static_cast<uint32_t>(first & 0xFFFF)));
    }

    // (x0*w0 + x1*w1 + y0*v0 + y1*v1 + round) >> 10 in 32-bit lanes, where
    // (w0, w1) and (v0, v1) are Weights; packed back to 16 bits.
    static AVS_INLINE R WeightedSum(R x0, R x1, R y0, R y1, R wx, R wy, int round) {
        const R r = V::Set32(round);
        const R lo = V::Add32(V::Madd(V::UnpackLo(x0, x1), wx),
                              V::Add32(V::Madd(V::UnpackLo(y0, y1), wy), r));
        const R hi = V::Add32(V::Madd(V::UnpackHi(x0, x1), wx),
                              V::Add32(V::Madd(V::UnpackHi(y0, y1), wy), r));
        return V::Pack32(V::Sar32(lo, 10), V::Sar32(hi, 10));
    }

    // The vertical half taps (-1, 5, 5, -1) on four quarter sums less their
    // bias, plus 512, shifted by 10; the taps add back 8 times the bias.
    static AVS_INLINE R HalfOfQuarters(R q0, R q1, R q2, R q3) {
        return WeightedSum(q0, q1, q2, q3, Weights(-1, 5), Weights(5, -1), 8 * kQuarterBias + 512);
    }

    // Quarter position between half positions: (j0*wj0 + j1*wj1 + m0*wm0 +
    // m1*wm1 + 512) >> 10 (the sum reaches 357000).
    static AVS_INLINE R Mixed(R j0, R j1, R m0, R m1, R wj, R wm) {
        return WeightedSum(j0, j1, m0, m1, wj, wm, 512);
    }

    // Diagonal quarter: (64 * s + j + 64) >> 7. The sum lies in -10136..42904,
    // biased by 80 * 128 as in QuarterOf.
    static AVS_INLINE R Diagonal(R s, R j) {
        const R sum = V::Add(V::Add(V::Shl(s, 6), j), V::Set(64 + 80 * 128));
        return V::Sub(V::Shr(sum, 7), V::Set(80));
    }
};

// p + step, through a value the compiler cannot follow: it would otherwise
// compute every row address of an unrolled loop at its start and run out of
// registers to keep them in. (Pointer arithmetic only: the same code at
// every processor level.)
template <class T>
AVS_INLINE T* Step(T* p, ptrdiff_t step) {
    p += step;
    __asm__("" : "+r"(p));
    return p;
}

// The Rows prediction rows of fraction (FX, FY), in 16-bit lanes, not yet
// clipped. `s` points at the block's integer position.
template <class V, int FX, int FY, int Rows>
AVS_INLINE void PredictLumaRows(const uint8_t* s, ptrdiff_t p, typename V::Reg (&out)[Rows]) {
    using T = LumaTaps<V>;
    using R = typename V::Reg;
    if constexpr (FY == 0) {
        AVS_UNROLL
        for (int r = 0; r < Rows; ++r, s += p) {
            if constexpr (FX == 0) {
                out[r] = V::Load(s, p);
            } else if constexpr (FX == 2) {
                out[r] = T::Round(T::HalfRow(s, p), 3);
            } else {
                out[r] = T::QuarterOf(T::template QuarterRowSum<FX>(s, p));
            }
        }
    } else if constexpr (FX == 0) {
        R row[Rows + 5];  // rows Y-2 .. Y+Rows+2
        AVS_UNROLL
        for (int t = 0; t < Rows + 5; ++t) row[t] = V::Load(s + (t - 2) * p, p);
        AVS_UNROLL
        for (int r = 0; r < Rows; ++r) {
            const R* w = row + r;  // w[k] is row Y+r+k-2
            if constexpr (FY == 2) {
                out[r] = T::Round(T::Half(w[1], w[2], w[3], w[4]), 3);
            } else if constexpr (FY == 1) {
                out[r] = T::QuarterOf(T::QuarterSum(w[0], w[1], w[2], w[3], w[4]));
            } else {
                out[r] = T::QuarterOf(T::QuarterSum(w[5], w[4], w[3], w[2], w[1]));
            }
        }
    } else if constexpr (FX == 2) {
        R h[Rows + 5];  // h of rows Y-2 .. Y+Rows+2
        AVS_UNROLL
        for (int t = 0; t < Rows + 5; ++t) h[t] = T::HalfRow(s + (t - 2) * p, p);
        // j of row Y+u from h of rows Y+u-1 .. Y+u+2.
        auto j = [&h](int u) { return T::Half(h[u + 1], h[u + 2], h[u + 3], h[u + 4]); };
        AVS_UNROLL
        for (int r = 0; r < Rows; ++r) {
            if constexpr (FY == 2) {
                out[r] = T::Round(j(r), 6);
            } else if constexpr (FY == 1) {
                out[r] = T::Mixed(j(r - 1), j(r), h[r + 2], h[r + 3], T::Weights(1, 7),
                                  T::Weights(56, 8));
            } else {
                out[r] = T::Mixed(j(r), j(r + 1), h[r + 2], h[r + 3], T::Weights(7, 1),
                                  T::Weights(8, 56));
            }
        }
    } else if constexpr (FY == 2) {
        // FX 1 or 3: the taps are separable, so the horizontal quarter sum of
        // each row goes through the vertical half taps.
        R q[Rows + 3];  // rows Y-1 .. Y+Rows+1
        AVS_UNROLL
        for (int t = 0; t < Rows + 3; ++t) q[t] = T::template QuarterRowSum<FX>(s + (t - 1) * p, p);
        AVS_UNROLL
        for (int r = 0; r < Rows; ++r)
            out[r] = T::HalfOfQuarters(q[r], q[r + 1], q[r + 2], q[r + 3]);
    } else {
        // Diagonal quarters.
        constexpr int kDx = FX == 3 ? 1 : 0;
        constexpr int kDy = FY == 3 ? 1 : 0;
        R h[Rows + 3];  // h of rows Y-1 .. Y+Rows+1
        AVS_UNROLL
        for (int t = 0; t < Rows + 3; ++t) h[t] = T::HalfRow(s + (t - 1) * p, p);
        AVS_UNROLL
        for (int r = 0; r < Rows; ++r) {
            const R j = T::Half(h[r], h[r + 1], h[r + 2], h[r + 3]);
            out[r] = T::Diagonal(V::Load(s + (r + kDy) * p + kDx, p), j);
        }
    }
}

}  // namespace avs::x86
