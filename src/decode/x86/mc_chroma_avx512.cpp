// AVX-512 chroma kernels for 8-wide blocks: four block rows per register.
// As in the AVX2 kernels, each row is shuffled into its sample pairs once and
// one multiply-add of bytes per row weights them: the top rows' pairs by
// ((8-ax)(8-ay), ax(8-ay)), the bottom rows' by ((8-ax)ay, ax*ay). The
// registers of bottom rows are those of the top rows moved up by one row.
// Reads 16 samples of each row. The 4-wide slots keep their AVX2 kernels.
#include "decode/kernel_table.h"
#include "decode/x86/avx512.h"
#include "decode/x86/mc_chroma_weights.h"
#include "decode/x86/mc_x86.h"

#define AVS_INLINE inline __attribute__((always_inline))
#define AVS_UNROLL _Pragma("GCC unroll 8")

namespace avs {
namespace {

struct Weights {
    __m512i top;
    __m512i bottom;
    // ax and ay lie in 0..7.
    Weights(int ax, int ay)
        : top(_mm512_set1_epi16(static_cast<int16_t>(x86::kChromaPairWeights[8 * ay + ax].top))),
          bottom(_mm512_set1_epi16(
              static_cast<int16_t>(x86::kChromaPairWeights[8 * ay + ax].bottom))) {}
};

AVS_INLINE __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Rows r .. r + 3 from p (rows of `pitch`), one per 128-bit lane, as the
// pairs (0,1), (1,2) .. (7,8) of each.
AVS_INLINE __m512i PairRows(const uint8_t* p, ptrdiff_t pitch) {
    const __m256i upper =
        _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p)), Load16(p + pitch), 1);
    const __m256i lower = _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p + 2 * pitch)),
                                                  Load16(p + 3 * pitch), 1);
    const __m512i order =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8));
    return _mm512_shuffle_epi8(_mm512_inserti64x4(_mm512_castsi256_si512(upper), lower, 1), order);
}

// Predicted rows 4i .. 4i + 3 (16-bit, one row per 128-bit lane) of an
// 8-wide block of H rows.
template <int H>
AVS_INLINE void Predict8(const uint8_t* ref, ptrdiff_t pitch, const Weights& w,
                         __m512i (&out)[H / 4]) {
    __m512i top[H / 4 + 1];
    AVS_UNROLL
    for (int i = 0; i < H / 4; ++i) top[i] = PairRows(ref + 4 * i * pitch, pitch);
    // Only row H of the last group is used.
    top[H / 4] = _mm512_castsi128_si512(_mm_shuffle_epi8(
        Load16(ref + H * pitch), _mm_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8)));
    AVS_UNROLL
    for (int i = 0; i < H / 4; ++i) {
        const __m512i bottom = _mm512_alignr_epi64(top[i + 1], top[i], 2);  // rows 4i + 1 ..
        const __m512i sum = _mm512_add_epi16(_mm512_maddubs_epi16(top[i], w.top),
                                             _mm512_maddubs_epi16(bottom, w.bottom));
        out[i] = _mm512_srli_epi16(_mm512_add_epi16(sum, _mm512_set1_epi16(32)), 6);
    }
}

// Row K (low 64 bits of lane K) and, of an 8-row block, row K + 4 (high 64 bits).
template <int H, int K>
AVS_INLINE void StoreLane(uint8_t* dst, ptrdiff_t pitch, __m512i packed) {
    const __m128i lane = _mm512_extracti32x4_epi32(packed, K);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + K * pitch), lane);
    if constexpr (H == 8) {
        _mm_storeh_pd(reinterpret_cast<double*>(dst + (K + 4) * pitch), _mm_castsi128_pd(lane));
    }
}

// Adds the residual (rows 4i .. 4i + 3, which are contiguous; saturation
// cannot change the clipped result), clips and stores the block's rows.
template <int H>
AVS_INLINE void Store8(uint8_t* dst, ptrdiff_t pitch, const __m512i (&pred)[H / 4],
                       const int16_t* residual) {
    __m512i sum[H / 4];
    AVS_UNROLL
    for (int i = 0; i < H / 4; ++i)
        sum[i] = _mm512_adds_epi16(pred[i], _mm512_loadu_si512(residual + 32 * i));
    const __m512i packed = _mm512_packus_epi16(sum[0], sum[H / 4 - 1]);
    StoreLane<H, 0>(dst, pitch, packed);
    StoreLane<H, 1>(dst, pitch, packed);
    StoreLane<H, 2>(dst, pitch, packed);
    StoreLane<H, 3>(dst, pitch, packed);
}

template <int H>
void McChroma8Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                     const int16_t* residual, int ax, int ay) {
    __m512i pred[H / 4];
    Predict8<H>(ref, refPitch, Weights(ax, ay), pred);
    Store8<H>(dst, dstPitch, pred, residual);
}

void McChromaBi8x8Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0, const uint8_t* ref1,
                         ptrdiff_t refPitch, const int16_t* residual, int ax0, int ay0, int ax1,
                         int ay1) {
    __m512i p0[2], p1[2];
    Predict8<8>(ref0, refPitch, Weights(ax0, ay0), p0);
    Predict8<8>(ref1, refPitch, Weights(ax1, ay1), p1);
    // _mm512_avg_epu16 is exactly (a + b + 1) >> 1.
    const __m512i pred[2] = {_mm512_avg_epu16(p0[0], p1[0]), _mm512_avg_epu16(p0[1], p1[1])};
    Store8<8>(dst, dstPitch, pred, residual);
}

}  // namespace

void InstallMcChromaAvx512(KernelTable& table) {
    table.McChroma8x8 = McChroma8Avx512<8>;
    table.McChroma8x4 = McChroma8Avx512<4>;
    table.McChromaBi8x8 = McChromaBi8x8Avx512;
}

}  // namespace avs
