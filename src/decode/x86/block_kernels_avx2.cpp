// AVX2 dequantisation + inverse transform; byte for byte the results of the
// plain kernel. Each 256-bit vector holds a row from the top half of the
// block in its low lane and the row four below in its high lane, so that
// after one in-lane byte shuffle per vector the coefficient pairs the
// butterfly multiplies together, (0, 4), (2, 6), (1, 3) and (5, 7), line up
// for 32-bit multiply-adds on all eight rows at once. The second pass gets
// the same layout from the first pass's results by the same shuffles.
#include <immintrin.h>

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "decode/x86/block_kernels_x86.h"

namespace avs {
namespace {

inline __m256i Pair(int16_t a, int16_t b) {
    return _mm256_set1_epi32(
        static_cast<int32_t>(static_cast<uint16_t>(a)) |
        static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

// The four pair vectors of eight rows: pairs[0] holds (in[0], in[4]) of each
// row, pairs[1] (in[2], in[6]), pairs[2] (in[1], in[3]), pairs[3] (in[5],
// in[7]); rows 0..3 in the low lane, 4..7 in the high lane. rows[k] holds
// rows k and k + 4.
struct Pairs {
    __m256i v[4];
};

inline Pairs PairUp(const __m256i (&rows)[4]) {
    const __m256i order = _mm256_setr_epi8(0, 1, 8, 9, 4, 5, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,  //
                                           0, 1, 8, 9, 4, 5, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    __m256i s[4];
    for (int k = 0; k < 4; ++k) s[k] = _mm256_shuffle_epi8(rows[k], order);
    const __m256i a = _mm256_unpacklo_epi32(s[0], s[1]);
    const __m256i b = _mm256_unpacklo_epi32(s[2], s[3]);
    const __m256i c = _mm256_unpackhi_epi32(s[0], s[1]);
    const __m256i d = _mm256_unpackhi_epi32(s[2], s[3]);
    return {{_mm256_unpacklo_epi64(a, b), _mm256_unpackhi_epi64(a, b), _mm256_unpacklo_epi64(c, d),
             _mm256_unpackhi_epi64(c, d)}};
}

// The 8-point transform of eight rows: out[j] (32-bit, rows 0..3 in the low
// lane, 4..7 in the high lane) is sum_i in[i] * T[i][j].
inline void Transform8(const Pairs& p, __m256i (&out)[8]) {
    const __m256i e0 = _mm256_madd_epi16(p.v[0], Pair(8, 8));
    const __m256i e1 = _mm256_madd_epi16(p.v[0], Pair(8, -8));
    const __m256i f0 = _mm256_madd_epi16(p.v[1], Pair(10, 4));
    const __m256i f1 = _mm256_madd_epi16(p.v[1], Pair(4, -10));
    const __m256i even[4] = {_mm256_add_epi32(e0, f0), _mm256_add_epi32(e1, f1),
                             _mm256_sub_epi32(e1, f1), _mm256_sub_epi32(e0, f0)};
    const __m256i odd[4] = {
        _mm256_add_epi32(_mm256_madd_epi16(p.v[2], Pair(10, 9)),
                         _mm256_madd_epi16(p.v[3], Pair(6, 2))),
        _mm256_add_epi32(_mm256_madd_epi16(p.v[2], Pair(9, -2)),
                         _mm256_madd_epi16(p.v[3], Pair(-10, -6))),
        _mm256_add_epi32(_mm256_madd_epi16(p.v[2], Pair(6, -10)),
                         _mm256_madd_epi16(p.v[3], Pair(2, 9))),
        _mm256_add_epi32(_mm256_madd_epi16(p.v[2], Pair(2, -6)),
                         _mm256_madd_epi16(p.v[3], Pair(9, -10))),
    };
    for (int j = 0; j < 4; ++j) {
        out[j] = _mm256_add_epi32(even[j], odd[j]);
        out[7 - j] = _mm256_sub_epi32(even[j], odd[j]);
    }
}

// (x + 4) >> 3 wrapped to 16 bits: bits 3..18 of x + 4, moved to the top and
// shifted back with their sign.
inline __m256i RoundWrap(__m256i x) {
    return _mm256_srai_epi32(_mm256_slli_epi32(_mm256_add_epi32(x, _mm256_set1_epi32(4)), 13), 16);
}

// Two 32-bit vectors laid out as Transform8's outputs, as one vector of 16-bit
// values: a's eight in the low lane, b's in the high lane.
inline __m256i Join(__m256i a, __m256i b) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
}

void DequantIdctAvx2(int16_t* block, int qp) {
    qp = BoundQp(qp);
    const __m256i scale = _mm256_set1_epi16(static_cast<int16_t>(kDequantScale[qp]));
    const int shift = kDequantShift[qp];
    const __m256i round = _mm256_set1_epi32(1 << (shift - 2));
    const __m128i count = _mm_cvtsi32_si128(shift - 1);
    auto row = [&](int r) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
    };
    __m256i rows[4];
    for (int k = 0; k < 4; ++k) {
        const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(row(k)), row(k + 4), 1);
        // Signed coefficient times unsigned scale, as 32-bit products; the
        // dequantised value wraps to 16 bits.
        const __m256i lo = _mm256_mullo_epi16(x, scale);
        const __m256i hi = _mm256_sub_epi16(_mm256_mulhi_epu16(x, scale),
                                            _mm256_and_si256(scale, _mm256_srai_epi16(x, 15)));
        auto wrap = [&](__m256i product) {
            const __m256i v = _mm256_sra_epi32(_mm256_add_epi32(product, round), count);
            return _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16);
        };
        rows[k] = _mm256_packs_epi32(wrap(_mm256_unpacklo_epi16(lo, hi)),
                                     wrap(_mm256_unpackhi_epi16(lo, hi)));
    }

    // Row pass: out[j] holds result j of every row, that is column j.
    __m256i out[8];
    Transform8(PairUp(rows), out);
    // Columns j and j + 4 are rows of the transposed block: the column pass
    // pairs them up as the row pass paired up rows.
    for (int k = 0; k < 4; ++k) rows[k] = Join(RoundWrap(out[k]), RoundWrap(out[k + 4]));
    Transform8(PairUp(rows), out);

    // out[j] now holds row j. The saturating pack clamps at -32768 (the lower
    // bound); the upper bound 32703 keeps sum + 64 inside 16 bits.
    const __m256i maxSum = _mm256_set1_epi16(static_cast<int16_t>(kColumnSumMax));
    const __m256i bias = _mm256_set1_epi16(64);
    for (int j = 0; j < 8; j += 2) {
        const __m256i sum = _mm256_min_epi16(Join(out[j], out[j + 1]), maxSum);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * j),
                            _mm256_srai_epi16(_mm256_add_epi16(sum, bias), 7));
    }
}

}  // namespace

void InstallBlockKernelsAvx2(KernelTable& table) {
    table.DequantIdct = DequantIdctAvx2;
}

}  // namespace avs
