// SSE2 luma interpolation: one block row per register, eight 16-bit lanes.
// Every fraction pair gets its own kernel; the arithmetic is that of the plain
// kernels, rearranged so that each intermediate fits its lanes exactly.
#include <emmintrin.h>

#include "decode/x86/mc_x86.h"
#include "platform/kernel_table.h"

#define AVS_INLINE inline __attribute__((always_inline))
#define AVS_UNROLL _Pragma("GCC unroll 16")

namespace avs {
namespace {

// Eight samples starting at p, widened to 16 bits.
AVS_INLINE __m128i Load8(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
}

// The half-sample taps (-1, 5, 5, -1). On samples the result lies in
// -510..2550; applied once more to those it lies in -10200..26520, so the
// centre value j also fits 16 bits.
AVS_INLINE __m128i Half(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i bc = _mm_add_epi16(b, c);
    return _mm_sub_epi16(_mm_add_epi16(bc, _mm_slli_epi16(bc, 2)), _mm_add_epi16(a, d));
}

// Horizontal half-sample h of the row at s (s points at column X).
AVS_INLINE __m128i HalfRow(const uint8_t* s) {
    return Half(Load8(s - 1), Load8(s), Load8(s + 1), Load8(s + 2));
}

// One-dimensional quarter sum: taps (-1, -2, 96, 42, -7) on a..e. The sum
// lies in -2550..35190; it is returned less 16384, which fits 16-bit lanes
// (the wrapping arithmetic lands on the exact value).
constexpr int kQuarterBias = 16384;
AVS_INLINE __m128i QuarterSum(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e) {
    const __m128i pos = _mm_add_epi16(_mm_mullo_epi16(c, _mm_set1_epi16(96)),
                                      _mm_mullo_epi16(d, _mm_set1_epi16(42)));
    const __m128i neg = _mm_add_epi16(_mm_add_epi16(a, _mm_slli_epi16(b, 1)),
                                      _mm_mullo_epi16(e, _mm_set1_epi16(7)));
    return _mm_sub_epi16(_mm_sub_epi16(pos, neg), _mm_set1_epi16(kQuarterBias));
}

// The quarter position itself: (sum + 64) >> 7. Biased by 20 * 128 the sum
// is a valid unsigned 16-bit value, so a logical shift and removing the bias
// give the arithmetic result exactly.
AVS_INLINE __m128i Quarter(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e) {
    const __m128i sum =
        _mm_add_epi16(QuarterSum(a, b, c, d, e), _mm_set1_epi16(kQuarterBias + 64 + 20 * 128));
    return _mm_sub_epi16(_mm_srli_epi16(sum, 7), _mm_set1_epi16(20));
}

// The vertical half taps (-1, 5, 5, -1) on four unbiased quarter sums, plus
// 512, shifted by 10, in 32-bit lanes; the taps add back 8 times the bias.
AVS_INLINE __m128i HalfOfQuarters(__m128i q0, __m128i q1, __m128i q2, __m128i q3) {
    const __m128i w01 = _mm_set1_epi32(5 << 16 | 0xFFFF);  // (-1, 5)
    const __m128i w23 = _mm_set1_epi32(-1 * 65536 + 5);    // (5, -1)
    const __m128i round = _mm_set1_epi32(8 * kQuarterBias + 512);
    __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(q0, q1), w01),
                               _mm_madd_epi16(_mm_unpacklo_epi16(q2, q3), w23));
    __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(q0, q1), w01),
                               _mm_madd_epi16(_mm_unpackhi_epi16(q2, q3), w23));
    lo = _mm_srai_epi32(_mm_add_epi32(lo, round), 10);
    hi = _mm_srai_epi32(_mm_add_epi32(hi, round), 10);
    return _mm_packs_epi32(lo, hi);
}

// Diagonal quarter: (64 * s + j + 64) >> 7. The sum lies in -10136..42904,
// biased by 80 * 128 as in Quarter.
AVS_INLINE __m128i Diagonal(__m128i s, __m128i j) {
    const __m128i sum =
        _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(s, 6), j), _mm_set1_epi16(64 + 80 * 128));
    return _mm_sub_epi16(_mm_srli_epi16(sum, 7), _mm_set1_epi16(80));
}

// A weight pair for _mm_madd_epi16 on interleaved (first, second) lanes.
AVS_INLINE __m128i Weights(int first, int second) {
    return _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(second) << 16 |
                                           static_cast<uint32_t>(first & 0xFFFF)));
}

// Quarter position between half positions: (j0*wj0 + j1*wj1 + m0*wm0 +
// m1*wm1 + 512) >> 10, formed in 32-bit lanes (the sum reaches 357000).
AVS_INLINE __m128i Mixed(__m128i j0, __m128i j1, __m128i m0, __m128i m1, __m128i wj, __m128i wm) {
    const __m128i round = _mm_set1_epi32(512);
    __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(j0, j1), wj),
                               _mm_madd_epi16(_mm_unpacklo_epi16(m0, m1), wm));
    __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(j0, j1), wj),
                               _mm_madd_epi16(_mm_unpackhi_epi16(m0, m1), wm));
    lo = _mm_srai_epi32(_mm_add_epi32(lo, round), 10);
    hi = _mm_srai_epi32(_mm_add_epi32(hi, round), 10);
    return _mm_packs_epi32(lo, hi);
}

// Lanes K..K+7 of the 16 lanes lo:hi.
template <int K>
AVS_INLINE __m128i Columns(__m128i lo, __m128i hi) {
    if constexpr (K == 0) {
        return lo;
    } else {
        return _mm_or_si128(_mm_srli_si128(lo, 2 * K), _mm_slli_si128(hi, 16 - 2 * K));
    }
}

// The eight prediction rows of fraction (FX, FY), in 16-bit lanes, not yet
// clipped. `s` points at the block's integer position.
template <int FX, int FY>
AVS_INLINE void PredictRows(const uint8_t* s, ptrdiff_t p, __m128i (&out)[8]) {
    if constexpr (FY == 0) {
        AVS_UNROLL
        for (int r = 0; r < 8; ++r, s += p) {
            if constexpr (FX == 0) {
                out[r] = Load8(s);
            } else if constexpr (FX == 2) {
                out[r] = _mm_srai_epi16(_mm_add_epi16(HalfRow(s), _mm_set1_epi16(4)), 3);
            } else if constexpr (FX == 1) {
                out[r] = Quarter(Load8(s - 2), Load8(s - 1), Load8(s), Load8(s + 1), Load8(s + 2));
            } else {
                out[r] = Quarter(Load8(s + 3), Load8(s + 2), Load8(s + 1), Load8(s), Load8(s - 1));
            }
        }
    } else if constexpr (FX == 0) {
        __m128i row[13];  // rows Y-2 .. Y+10
        AVS_UNROLL
        for (int t = 0; t < 13; ++t) row[t] = Load8(s + (t - 2) * p);
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) {
            const __m128i* w = row + r;  // w[k] is row Y+r+k-2
            if constexpr (FY == 2) {
                out[r] = _mm_srai_epi16(
                    _mm_add_epi16(Half(w[1], w[2], w[3], w[4]), _mm_set1_epi16(4)), 3);
            } else if constexpr (FY == 1) {
                out[r] = Quarter(w[0], w[1], w[2], w[3], w[4]);
            } else {
                out[r] = Quarter(w[5], w[4], w[3], w[2], w[1]);
            }
        }
    } else if constexpr (FX == 2) {
        __m128i h[13];  // h of rows Y-2 .. Y+10
        AVS_UNROLL
        for (int t = 0; t < 13; ++t) h[t] = HalfRow(s + (t - 2) * p);
        // j of row Y+u from h of rows Y+u-1 .. Y+u+2.
        auto j = [&h](int u) { return Half(h[u + 1], h[u + 2], h[u + 3], h[u + 4]); };
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) {
            if constexpr (FY == 2) {
                out[r] = _mm_srai_epi16(_mm_add_epi16(j(r), _mm_set1_epi16(32)), 6);
            } else if constexpr (FY == 1) {
                out[r] = Mixed(j(r - 1), j(r), h[r + 2], h[r + 3], Weights(1, 7), Weights(56, 8));
            } else {
                out[r] = Mixed(j(r), j(r + 1), h[r + 2], h[r + 3], Weights(7, 1), Weights(8, 56));
            }
        }
    } else if constexpr (FY == 2) {
        // FX 1 or 3: the taps are separable, so the horizontal quarter sum of
        // each row goes through the vertical half taps.
        __m128i q[11];  // rows Y-1 .. Y+9
        AVS_UNROLL
        for (int t = 0; t < 11; ++t) {
            const uint8_t* row = s + (t - 1) * p;
            q[t] = FX == 1 ? QuarterSum(Load8(row - 2), Load8(row - 1), Load8(row), Load8(row + 1),
                                        Load8(row + 2))
                           : QuarterSum(Load8(row + 3), Load8(row + 2), Load8(row + 1), Load8(row),
                                        Load8(row - 1));
        }
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) out[r] = HalfOfQuarters(q[r], q[r + 1], q[r + 2], q[r + 3]);
    } else {
        // Diagonal quarters.
        constexpr int kDx = FX == 3 ? 1 : 0;
        constexpr int kDy = FY == 3 ? 1 : 0;
        __m128i h[11];  // h of rows Y-1 .. Y+9
        AVS_UNROLL
        for (int t = 0; t < 11; ++t) h[t] = HalfRow(s + (t - 1) * p);
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) {
            const __m128i j = Half(h[r], h[r + 1], h[r + 2], h[r + 3]);
            out[r] = Diagonal(Load8(s + (r + kDy) * p + kDx), j);
        }
    }
}

// Clips the rows, adds the residual when there is one (clipping again), and
// stores the 8x8 block.
AVS_INLINE void StoreRows(uint8_t* dst, ptrdiff_t pitch, __m128i (&rows)[8],
                          const int16_t* residual) {
    if (residual != nullptr) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i max = _mm_set1_epi16(255);
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) {
            const __m128i pred = _mm_max_epi16(_mm_min_epi16(rows[r], max), zero);
            // Saturation cannot change the outcome: the clip below maps every
            // saturated sum to the same 0 or 255.
            rows[r] = _mm_adds_epi16(
                pred, _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + 8 * r)));
        }
    }
    AVS_UNROLL
    for (int r = 0; r < 8; r += 2) {
        const __m128i packed = _mm_packus_epi16(rows[r], rows[r + 1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * pitch), packed);
        _mm_storeh_pd(reinterpret_cast<double*>(dst + (r + 1) * pitch), _mm_castsi128_pd(packed));
    }
}

template <int FX, int FY>
void McLumaAddSse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                   const int16_t* residual) {
    __m128i rows[8];
    PredictRows<FX, FY>(ref, refPitch, rows);
    StoreRows(dst, dstPitch, rows, residual);
}

template <int FX, int FY>
void McLumaPredictSse2(uint8_t* pred, const uint8_t* ref, ptrdiff_t refPitch) {
    __m128i rows[8];
    PredictRows<FX, FY>(ref, refPitch, rows);
    AVS_UNROLL
    for (int r = 0; r < 8; r += 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pred + 8 * r),
                         _mm_packus_epi16(rows[r], rows[r + 1]));
    }
}

template <int FX>
void InstallColumn(KernelTable& table) {
    table.McLumaAdd[FX][0] = McLumaAddSse2<FX, 0>;
    table.McLumaAdd[FX][1] = McLumaAddSse2<FX, 1>;
    table.McLumaAdd[FX][2] = McLumaAddSse2<FX, 2>;
    table.McLumaAdd[FX][3] = McLumaAddSse2<FX, 3>;
    table.McLumaPredict[FX][0] = McLumaPredictSse2<FX, 0>;
    table.McLumaPredict[FX][1] = McLumaPredictSse2<FX, 1>;
    table.McLumaPredict[FX][2] = McLumaPredictSse2<FX, 2>;
    table.McLumaPredict[FX][3] = McLumaPredictSse2<FX, 3>;
}

}  // namespace

void InstallMcLumaSse2(KernelTable& table) {
    InstallColumn<0>(table);
    InstallColumn<1>(table);
    InstallColumn<2>(table);
    InstallColumn<3>(table);
}

}  // namespace avs
