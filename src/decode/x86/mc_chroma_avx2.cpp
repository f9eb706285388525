// AVX2 chroma kernels: two 8-wide block rows, or four 4-wide ones, per
// register. Each row is shuffled into the sample pairs (s[c], s[c + 1]) once,
// and one multiply-add of bytes per row weights a pair: the top row's pair by
// ((8-ax)(8-ay), ax(8-ay)), the bottom row's by ((8-ax)ay, ax*ay). The four
// weights sum to 64, so the whole sum stays below 16320 and no 16-bit step
// saturates. 4-wide kernels read 8 samples of each row.
#include <immintrin.h>

#include <cstring>

#include "decode/kernel_table.h"
#include "decode/x86/mc_chroma_weights.h"
#include "decode/x86/mc_x86.h"

#define AVS_INLINE inline __attribute__((always_inline))
#define AVS_UNROLL _Pragma("GCC unroll 8")

namespace avs {
namespace {

struct Weights {
    __m256i top;
    __m256i bottom;
    // ax and ay lie in 0..7.
    Weights(int ax, int ay)
        : top(_mm256_set1_epi16(static_cast<int16_t>(x86::kChromaPairWeights[8 * ay + ax].top))),
          bottom(_mm256_set1_epi16(
              static_cast<int16_t>(x86::kChromaPairWeights[8 * ay + ax].bottom))) {}
};

// Bytes 0..8 of a row as the pairs (0,1), (1,2) .. (7,8).
AVS_INLINE __m256i Pairs(__m256i rows) {
    const __m256i order = _mm256_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8,  //
                                           0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8);
    return _mm256_shuffle_epi8(rows, order);
}

AVS_INLINE __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The pairs of the H + 1 rows an 8-wide block of H rows reads, as registers
// holding rows (r, r + 1) for r = 0 .. H - 1. Even r are loaded; odd r take
// the high row of r - 1 and the low row of r + 1. Reads 16 samples per row.
template <int H>
AVS_INLINE void PairRows(const uint8_t* ref, ptrdiff_t pitch, __m256i (&rows)[H + 1]) {
    AVS_UNROLL
    for (int r = 0; r < H; r += 2) {
        const __m128i upper = Load16(ref + r * pitch);
        rows[r] = Pairs(_mm256_inserti128_si256(_mm256_castsi128_si256(upper),
                                                Load16(ref + (r + 1) * pitch), 1));
    }
    rows[H] = Pairs(_mm256_castsi128_si256(Load16(ref + H * pitch)));  // only row H
    AVS_UNROLL
    for (int r = 1; r < H; r += 2)
        rows[r] = _mm256_permute2x128_si256(rows[r - 1], rows[r + 1], 0x21);
}

// Predicted rows 2i and 2i + 1 (16-bit, low and high half).
template <int H>
AVS_INLINE void Predict8(const uint8_t* ref, ptrdiff_t pitch, const Weights& w,
                         __m256i (&out)[H / 2]) {
    __m256i rows[H + 1];
    PairRows<H>(ref, pitch, rows);
    AVS_UNROLL
    for (int i = 0; i < H / 2; ++i) {
        const __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(rows[2 * i], w.top),
                                             _mm256_maddubs_epi16(rows[2 * i + 1], w.bottom));
        out[i] = _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(32)), 6);
    }
}

// Rows 2i and 2i + 1 of the residual, which are contiguous (row stride 8).
AVS_INLINE __m256i ResidualPair(const int16_t* residual, int i) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(residual + 16 * i));
}

// Adds the residual (saturation cannot change the clipped result), clips and
// stores rows 2i and 2i + 1.
AVS_INLINE void StorePair(uint8_t* dst, ptrdiff_t pitch, int i, __m256i pred, __m256i residual) {
    const __m256i sum = _mm256_adds_epi16(pred, residual);
    const __m256i packed = _mm256_packus_epi16(sum, sum);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * i * pitch),
                     _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (2 * i + 1) * pitch),
                     _mm256_extracti128_si256(packed, 1));
}

template <int H>
void McChroma8Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                   const int16_t* residual, int ax, int ay) {
    __m256i pred[H / 2];
    Predict8<H>(ref, refPitch, Weights(ax, ay), pred);
    AVS_UNROLL
    for (int i = 0; i < H / 2; ++i) StorePair(dst, dstPitch, i, pred[i], ResidualPair(residual, i));
}

void McChromaBi8x8Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0, const uint8_t* ref1,
                       ptrdiff_t refPitch, const int16_t* residual, int ax0, int ay0, int ax1,
                       int ay1) {
    __m256i p0[4], p1[4];
    Predict8<8>(ref0, refPitch, Weights(ax0, ay0), p0);
    Predict8<8>(ref1, refPitch, Weights(ax1, ay1), p1);
    AVS_UNROLL
    for (int i = 0; i < 4; ++i) {
        // _mm256_avg_epu16 is exactly (a + b + 1) >> 1.
        StorePair(dst, dstPitch, i, _mm256_avg_epu16(p0[i], p1[i]), ResidualPair(residual, i));
    }
}

// 4-wide blocks: register i holds rows 4i, 4i + 2 in its low half and
// 4i + 1, 4i + 3 in its high half (one row per 64 bits), so that rows 2 and 3
// of a residual block pair up with rows 0 and 1 without crossing halves.
AVS_INLINE __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
AVS_INLINE __m128i RowPair(const uint8_t* first, const uint8_t* second) {
    return _mm_castpd_si128(
        _mm_loadh_pd(_mm_castsi128_pd(Load8(first)), reinterpret_cast<const double*>(second)));
}
AVS_INLINE __m256i Halves(__m128i low, __m128i high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Bytes 0..4 of each 64-bit row as the pairs (0,1) .. (3,4).
AVS_INLINE __m256i Pairs4(__m256i rows) {
    const __m256i order = _mm256_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 8, 9, 9, 10, 10, 11, 11, 12,  //
                                           0, 1, 1, 2, 2, 3, 3, 4, 8, 9, 9, 10, 10, 11, 11, 12);
    return _mm256_shuffle_epi8(rows, order);
}

// Predicted rows of a 4-wide block, in the register order above.
template <int H>
AVS_INLINE void Predict4(const uint8_t* ref, ptrdiff_t pitch, const Weights& w,
                         __m256i (&out)[H / 4]) {
    auto row = [&](int r) { return ref + r * pitch; };
    __m128i odd = RowPair(row(1), row(3));  // rows 1 and 3 of the first group
    AVS_UNROLL
    for (int i = 0; i < H / 4; ++i) {
        const int r = 4 * i;
        const __m128i even = RowPair(row(r), row(r + 2));
        const __m128i nextEven = RowPair(row(r + 2), row(r + 4));
        const __m256i top = Pairs4(Halves(even, odd));
        const __m256i bottom = Pairs4(Halves(odd, nextEven));
        const __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(top, w.top),
                                             _mm256_maddubs_epi16(bottom, w.bottom));
        out[i] = _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(32)), 6);
        if (i + 1 < H / 4) odd = RowPair(row(r + 5), row(r + 7));
    }
}

// Residual rows 4i .. 4i + 3 (columns 0..3, row stride 8) in the register order above.
AVS_INLINE __m256i Residual4(const int16_t* residual, int i) {
    auto row = [&](int r) { return reinterpret_cast<const uint8_t*>(residual + 8 * (4 * i + r)); };
    return Halves(RowPair(row(0), row(2)), RowPair(row(1), row(3)));
}

// Adds the residual, clips and stores rows 4i .. 4i + 3.
AVS_INLINE void Store4(uint8_t* dst, ptrdiff_t pitch, int i, __m256i pred, __m256i residual) {
    const __m256i sum = _mm256_adds_epi16(pred, residual);
    const __m256i packed = _mm256_packus_epi16(sum, sum);
    const __m128i low = _mm256_castsi256_si128(packed);
    const __m128i high = _mm256_extracti128_si256(packed, 1);
    uint8_t* d = dst + 4 * i * pitch;
    auto put = [](uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); };
    put(d, _mm_cvtsi128_si32(low));
    put(d + pitch, _mm_cvtsi128_si32(high));
    put(d + 2 * pitch, _mm_extract_epi32(low, 1));
    put(d + 3 * pitch, _mm_extract_epi32(high, 1));
}

template <int H>
void McChroma4Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                   const int16_t* residual, int ax, int ay) {
    __m256i pred[H / 4];
    Predict4<H>(ref, refPitch, Weights(ax, ay), pred);
    AVS_UNROLL
    for (int i = 0; i < H / 4; ++i) Store4(dst, dstPitch, i, pred[i], Residual4(residual, i));
}

void McChromaBi4x4Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0, const uint8_t* ref1,
                       ptrdiff_t refPitch, const int16_t* residual, int ax0, int ay0, int ax1,
                       int ay1) {
    __m256i p0[1], p1[1];
    Predict4<4>(ref0, refPitch, Weights(ax0, ay0), p0);
    Predict4<4>(ref1, refPitch, Weights(ax1, ay1), p1);
    Store4(dst, dstPitch, 0, _mm256_avg_epu16(p0[0], p1[0]), Residual4(residual, 0));
}

}  // namespace

void InstallMcChromaAvx2(KernelTable& table) {
    table.McChroma8x8 = McChroma8Avx2<8>;
    table.McChroma8x4 = McChroma8Avx2<4>;
    table.McChroma4x8 = McChroma4Avx2<8>;
    table.McChroma4x4 = McChroma4Avx2<4>;
    table.McChromaBi8x8 = McChromaBi8x8Avx2;
    table.McChromaBi4x4 = McChromaBi4x4Avx2;
}

}  // namespace avs
