// SSE2 dequantisation + inverse transform and block stores; byte for byte the
// results of the plain kernels.
#include <emmintrin.h>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "decode/x86/block_kernels_x86.h"
#include "decode/x86/transpose_sse2.h"

namespace avs {
namespace {

inline __m128i Pair(int16_t a, int16_t b) {
    return _mm_set1_epi32(
        static_cast<int32_t>(static_cast<uint16_t>(a)) |
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

// The 8-point transform on eight vectors at once: x[i] holds input i of eight
// independent transforms; out[j] (32-bit, lanes 0..3 in lo, 4..7 in hi) is
// sum_i x[i] * T[i][j].
struct Sums {
    __m128i lo[8];
    __m128i hi[8];
};

inline void Transform8(const __m128i x[8], Sums& s) {
    const __m128i p04l = _mm_unpacklo_epi16(x[0], x[4]), p04h = _mm_unpackhi_epi16(x[0], x[4]);
    const __m128i p26l = _mm_unpacklo_epi16(x[2], x[6]), p26h = _mm_unpackhi_epi16(x[2], x[6]);
    const __m128i p13l = _mm_unpacklo_epi16(x[1], x[3]), p13h = _mm_unpackhi_epi16(x[1], x[3]);
    const __m128i p57l = _mm_unpacklo_epi16(x[5], x[7]), p57h = _mm_unpackhi_epi16(x[5], x[7]);

    const __m128i k88 = Pair(8, 8), k8m8 = Pair(8, -8);
    const __m128i k10_4 = Pair(10, 4), k4_m10 = Pair(4, -10);
    const __m128i k10_9 = Pair(10, 9), k6_2 = Pair(6, 2);
    const __m128i k9_m2 = Pair(9, -2), km10_m6 = Pair(-10, -6);
    const __m128i k6_m10 = Pair(6, -10), k2_9 = Pair(2, 9);
    const __m128i k2_m6 = Pair(2, -6), k9_m10 = Pair(9, -10);

    auto half = [&](__m128i p04, __m128i p26, __m128i p13, __m128i p57, __m128i* out) {
        const __m128i e0 = _mm_madd_epi16(p04, k88);
        const __m128i e1 = _mm_madd_epi16(p04, k8m8);
        const __m128i f0 = _mm_madd_epi16(p26, k10_4);
        const __m128i f1 = _mm_madd_epi16(p26, k4_m10);
        const __m128i even[4] = {_mm_add_epi32(e0, f0), _mm_add_epi32(e1, f1),
                                 _mm_sub_epi32(e1, f1), _mm_sub_epi32(e0, f0)};
        const __m128i odd[4] = {
            _mm_add_epi32(_mm_madd_epi16(p13, k10_9), _mm_madd_epi16(p57, k6_2)),
            _mm_add_epi32(_mm_madd_epi16(p13, k9_m2), _mm_madd_epi16(p57, km10_m6)),
            _mm_add_epi32(_mm_madd_epi16(p13, k6_m10), _mm_madd_epi16(p57, k2_9)),
            _mm_add_epi32(_mm_madd_epi16(p13, k2_m6), _mm_madd_epi16(p57, k9_m10)),
        };
        for (int j = 0; j < 4; ++j) {
            out[j] = _mm_add_epi32(even[j], odd[j]);
            out[7 - j] = _mm_sub_epi32(even[j], odd[j]);
        }
    };
    half(p04l, p26l, p13l, p57l, s.lo);
    half(p04h, p26h, p13h, p57h, s.hi);
}

// Low 16 bits of each 32-bit lane, packed (wrapping, not saturating).
inline __m128i PackWrap(__m128i lo, __m128i hi) {
    lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
    hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
    return _mm_packs_epi32(lo, hi);
}

void DequantIdctSse2(int16_t* block, int qp) {
    __m128i x[8];
    __m128i any = _mm_setzero_si128();
    for (int r = 0; r < 8; ++r) {
        x[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
        any = _mm_or_si128(any, x[r]);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF) return;

    qp = BoundQp(qp);
    const __m128i scale = _mm_set1_epi16(static_cast<int16_t>(kDequantScale[qp]));
    const int shift = kDequantShift[qp];
    const __m128i round = _mm_set1_epi32(1 << (shift - 2));
    const __m128i count = _mm_cvtsi32_si128(shift - 1);
    for (int r = 0; r < 8; ++r) {
        // Signed coefficient times unsigned scale, as 32-bit products.
        const __m128i lo = _mm_mullo_epi16(x[r], scale);
        const __m128i hi = _mm_sub_epi16(_mm_mulhi_epu16(x[r], scale),
                                         _mm_and_si128(scale, _mm_srai_epi16(x[r], 15)));
        const __m128i p0 = _mm_sra_epi32(_mm_add_epi32(_mm_unpacklo_epi16(lo, hi), round), count);
        const __m128i p1 = _mm_sra_epi32(_mm_add_epi32(_mm_unpackhi_epi16(lo, hi), round), count);
        x[r] = PackWrap(p0, p1);
    }

    // Row pass on the transposed block: x[i] holds coefficient i of every row.
    Transpose8x8Epi16(x);
    Sums s;
    Transform8(x, s);
    const __m128i four = _mm_set1_epi32(4);
    for (int j = 0; j < 8; ++j) {
        x[j] = PackWrap(_mm_srai_epi32(_mm_add_epi32(s.lo[j], four), 3),
                        _mm_srai_epi32(_mm_add_epi32(s.hi[j], four), 3));
    }
    // x[j] holds column j of the row-pass result; back to rows for the column pass.
    Transpose8x8Epi16(x);
    Transform8(x, s);
    const __m128i maxSum = _mm_set1_epi16(static_cast<int16_t>(kColumnSumMax));
    const __m128i bias = _mm_set1_epi16(64);
    for (int j = 0; j < 8; ++j) {
        // The saturating pack clamps at -32768 (the lower bound); the upper
        // bound 32703 keeps sum + 64 inside 16 bits.
        const __m128i sum = _mm_min_epi16(_mm_packs_epi32(s.lo[j], s.hi[j]), maxSum);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * j),
                         _mm_srai_epi16(_mm_add_epi16(sum, bias), 7));
    }
}

// Prediction plus residual, clipped: a saturating 16-bit add keeps the side
// of 0..255 that the exact sum lies on, so the unsigned pack clips exactly.
inline void StoreRows(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred, const int16_t* residual) {
    const __m128i zero = _mm_setzero_si128();
    for (int r = 0; r < 8; r += 2) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pred + 8 * r));
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + 8 * r));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + 8 * r + 8));
        const __m128i s0 = _mm_adds_epi16(_mm_unpacklo_epi8(p, zero), r0);
        const __m128i s1 = _mm_adds_epi16(_mm_unpackhi_epi8(p, zero), r1);
        const __m128i out = _mm_packus_epi16(s0, s1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * pitch), out);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (r + 1) * pitch),
                         _mm_unpackhi_epi64(out, out));
    }
}

void StoreLumaBlockSse2(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                        const int16_t* residual) {
    StoreRows(dst, pitch, pred, residual);
}

void StoreChromaBlockSse2(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                          const int16_t* residual, int coded) {
    if (coded) {
        StoreRows(dst, pitch, pred, residual);
        return;
    }
    for (int r = 0; r < 8; r += 2) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pred + 8 * r));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * pitch), p);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (r + 1) * pitch),
                         _mm_unpackhi_epi64(p, p));
    }
}

}  // namespace

void InstallBlockKernelsSse2(KernelTable& table) {
    table.DequantIdct = DequantIdctSse2;
    table.StoreLumaBlock = StoreLumaBlockSse2;
    table.StoreChromaBlock = StoreChromaBlockSse2;
}

}  // namespace avs
