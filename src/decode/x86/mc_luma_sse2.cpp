// SSE2 luma kernels: one 8-sample block row per register. A 16x16 macroblock
// is predicted as its four 8x8 blocks.
#include <emmintrin.h>

#include "decode/kernel_table.h"
#include "decode/x86/mc_luma_rows.h"
#include "decode/x86/mc_x86.h"

namespace avs {
namespace {

// The 16-bit lane operations of x86::PredictLumaRows on 8-lane registers.
struct Sse2 {
    using Reg = __m128i;
    // Eight samples starting at p, widened to 16 bits.
    static AVS_INLINE Reg Load(const uint8_t* p, ptrdiff_t) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                 _mm_setzero_si128());
    }
    static AVS_INLINE Reg Set(int v) { return _mm_set1_epi16(static_cast<int16_t>(v)); }
    static AVS_INLINE Reg Set32(int v) { return _mm_set1_epi32(v); }
    static AVS_INLINE Reg Add(Reg a, Reg b) { return _mm_add_epi16(a, b); }
    static AVS_INLINE Reg Sub(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
    static AVS_INLINE Reg Mul(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
    static AVS_INLINE Reg Shl(Reg a, int n) { return _mm_slli_epi16(a, n); }
    static AVS_INLINE Reg Sar(Reg a, int n) { return _mm_srai_epi16(a, n); }
    static AVS_INLINE Reg Shr(Reg a, int n) { return _mm_srli_epi16(a, n); }
    static AVS_INLINE Reg Add32(Reg a, Reg b) { return _mm_add_epi32(a, b); }
    static AVS_INLINE Reg Sar32(Reg a, int n) { return _mm_srai_epi32(a, n); }
    static AVS_INLINE Reg Madd(Reg a, Reg b) { return _mm_madd_epi16(a, b); }
    static AVS_INLINE Reg UnpackLo(Reg a, Reg b) { return _mm_unpacklo_epi16(a, b); }
    static AVS_INLINE Reg UnpackHi(Reg a, Reg b) { return _mm_unpackhi_epi16(a, b); }
    static AVS_INLINE Reg Pack32(Reg a, Reg b) { return _mm_packs_epi32(a, b); }
};

AVS_INLINE __m128i LoadRows8(const uint8_t* p, ptrdiff_t pitch) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + pitch)));
}

AVS_INLINE void StoreRows8(uint8_t* p, ptrdiff_t pitch, __m128i rows) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), rows);
    _mm_storeh_pd(reinterpret_cast<double*>(p + pitch), _mm_castsi128_pd(rows));
}

// One 8x8 block: the prediction clipped, averaged with `pred` when AVG,
// plus the residual when there is one (clipping again), stored.
template <bool AVG, int FX, int FY>
AVS_INLINE void Block8(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                       const uint8_t* pred, ptrdiff_t predPitch, const int16_t* residual) {
    __m128i rows[8];
    x86::PredictLumaRows<Sse2, FX, FY>(ref, refPitch, rows);
    const __m128i zero = _mm_setzero_si128();
    AVS_UNROLL
    for (int r = 0; r < 8; r += 2) {
        __m128i packed = _mm_packus_epi16(rows[r], rows[r + 1]);
        if constexpr (AVG)
            packed = _mm_avg_epu8(packed, LoadRows8(pred + r * predPitch, predPitch));
        if (residual != nullptr) {
            // Saturation cannot change the outcome: the clip maps every
            // saturated sum to the same 0 or 255.
            const __m128i* res = reinterpret_cast<const __m128i*>(residual + 8 * r);
            packed = _mm_packus_epi16(
                _mm_adds_epi16(_mm_unpacklo_epi8(packed, zero), _mm_loadu_si128(res)),
                _mm_adds_epi16(_mm_unpackhi_epi8(packed, zero), _mm_loadu_si128(res + 1)));
        }
        StoreRows8(dst + r * dstPitch, dstPitch, packed);
    }
}

// The blocks of a W x W area (W 8 or 16): block k covers rows 8*(k / (W/8)),
// columns 8*(k % (W/8)), and its residual is the k-th 8x8 block.
template <int W, bool AVG, int FX, int FY>
AVS_INLINE void Area(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                     const uint8_t* pred, const int16_t* residual) {
    constexpr int kBlocks = (W / 8) * (W / 8);
#pragma GCC unroll 1
    for (int k = 0; k < kBlocks; ++k) {
        const int x = 8 * (k % (W / 8));
        const int y = 8 * (k / (W / 8));
        Block8<AVG, FX, FY>(dst + y * dstPitch + x, dstPitch, ref + y * refPitch + x, refPitch,
                            AVG ? pred + y * W + x : nullptr, W,
                            residual != nullptr ? residual + 64 * k : nullptr);
    }
}

template <int W, int FX, int FY>
void McLumaAddSse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                   const int16_t* residual) {
    Area<W, false, FX, FY>(dst, dstPitch, ref, refPitch, nullptr, residual);
}

template <int W, int FX, int FY>
void McLumaAvgAddSse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                      const uint8_t* pred, const int16_t* residual) {
    Area<W, true, FX, FY>(dst, dstPitch, ref, refPitch, pred, residual);
}

template <int W, int FX>
void InstallColumn(KernelTable& table, int size) {
    table.McLumaAdd[size][FX][0] = McLumaAddSse2<W, FX, 0>;
    table.McLumaAdd[size][FX][1] = McLumaAddSse2<W, FX, 1>;
    table.McLumaAdd[size][FX][2] = McLumaAddSse2<W, FX, 2>;
    table.McLumaAdd[size][FX][3] = McLumaAddSse2<W, FX, 3>;
    table.McLumaAvgAdd[size][FX][0] = McLumaAvgAddSse2<W, FX, 0>;
    table.McLumaAvgAdd[size][FX][1] = McLumaAvgAddSse2<W, FX, 1>;
    table.McLumaAvgAdd[size][FX][2] = McLumaAvgAddSse2<W, FX, 2>;
    table.McLumaAvgAdd[size][FX][3] = McLumaAvgAddSse2<W, FX, 3>;
}

template <int W>
void InstallSize(KernelTable& table, int size) {
    InstallColumn<W, 0>(table, size);
    InstallColumn<W, 1>(table, size);
    InstallColumn<W, 2>(table, size);
    InstallColumn<W, 3>(table, size);
}

}  // namespace

void InstallMcLumaSse2(KernelTable& table) {
    InstallSize<8>(table, kLuma8x8);
    InstallSize<16>(table, kLuma16x16);
}

}  // namespace avs
