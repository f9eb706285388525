// AVX2 luma kernels. A 16x16 macroblock has one 16-sample row per register,
// so each instruction works on a macroblock row where the SSE2 kernels work
// on a block row; an 8x8 block has rows r and r + 4 in one register.
#include <immintrin.h>

#include "decode/kernel_table.h"
#include "decode/x86/mc_luma_rows.h"
#include "decode/x86/mc_x86.h"

namespace avs {
namespace {

// The 16-bit lane operations of x86::PredictLumaRows on 16-lane registers:
// sixteen samples of one row (kLowerRow 0), or eight of a row in the low half
// and eight of the row kLowerRow below in the high half. Unpacking and
// packing work within 128-bit halves, so WeightedSum's unpack, multiply-add
// and pack keep every lane in place.
template <int kLowerRow>
struct Avx2 {
    using Reg = __m256i;
    static AVS_INLINE Reg Load(const uint8_t* p, ptrdiff_t pitch) {
        if constexpr (kLowerRow == 0) {
            return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        } else {
            const __m128i upper = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
            return _mm256_cvtepu8_epi16(_mm_castpd_si128(_mm_loadh_pd(
                _mm_castsi128_pd(upper), reinterpret_cast<const double*>(p + kLowerRow * pitch))));
        }
    }
    static AVS_INLINE Reg Set(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
    static AVS_INLINE Reg Set32(int v) { return _mm256_set1_epi32(v); }
    static AVS_INLINE Reg Add(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    static AVS_INLINE Reg Sub(Reg a, Reg b) { return _mm256_sub_epi16(a, b); }
    static AVS_INLINE Reg Mul(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
    static AVS_INLINE Reg Shl(Reg a, int n) { return _mm256_slli_epi16(a, n); }
    static AVS_INLINE Reg Sar(Reg a, int n) { return _mm256_srai_epi16(a, n); }
    static AVS_INLINE Reg Shr(Reg a, int n) { return _mm256_srli_epi16(a, n); }
    static AVS_INLINE Reg Add32(Reg a, Reg b) { return _mm256_add_epi32(a, b); }
    static AVS_INLINE Reg Sar32(Reg a, int n) { return _mm256_srai_epi32(a, n); }
    static AVS_INLINE Reg Madd(Reg a, Reg b) { return _mm256_madd_epi16(a, b); }
    static AVS_INLINE Reg UnpackLo(Reg a, Reg b) { return _mm256_unpacklo_epi16(a, b); }
    static AVS_INLINE Reg UnpackHi(Reg a, Reg b) { return _mm256_unpackhi_epi16(a, b); }
    static AVS_INLINE Reg Pack32(Reg a, Reg b) { return _mm256_packs_epi32(a, b); }

    // The row filters, from the bytes of two lanes: columns 0..7 and 8..15,
    // or columns 0..7 of both rows.
    static AVS_INLINE Reg LaneBytes(const uint8_t* s, ptrdiff_t pitch) {
        const uint8_t* high = kLowerRow == 0 ? s + 8 : s + kLowerRow * pitch;
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s - 2))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(high - 2)), 1);
    }
    static AVS_INLINE Reg Pair(Reg bytes, const x86::TapPair& p) {
        return _mm256_maddubs_epi16(
            _mm256_shuffle_epi8(bytes, _mm256_broadcastsi128_si256(x86::PairOrder(p))),
            _mm256_set1_epi16(x86::PairWeights(p)));
    }
};

// Packing rows r and r + 1 gives, in 64-bit pieces, their left halves, then
// their right halves: rows r and r + 1 of the left residual block of their
// block row in the low 128 bits and of the right one in the high 128 bits,
// as the residual lies in memory. Swapping the middle pieces gives rows r
// and r + 1 whole, the order of the prediction buffer and of the stores.
AVS_INLINE __m256i BlockOrderToRows(__m256i v) {
    return _mm256_permute4x64_epi64(v, 0xD8);
}

// Rows r and r + 1 of a 16-wide area at p: r in the low half, r + 1 in the high half.
AVS_INLINE __m256i LoadRows(const uint8_t* p, ptrdiff_t pitch) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pitch)), 1);
}

// The macroblock: the prediction clipped, averaged with `pred` (row stride
// 16) when AVG, plus the residual when there is one (clipping again), stored.
template <bool AVG, int FX, int FY>
AVS_INLINE void Macroblock(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                           const uint8_t* pred, const int16_t* residual) {
    // At a whole-sample position the prediction is the reference itself.
    constexpr bool kWhole = FX == 0 && FY == 0;
    [[maybe_unused]] __m256i rows[16];
    if constexpr (!kWhole) x86::PredictLumaRows<Avx2<0>, FX, FY>(ref, refPitch, rows);
    AVS_UNROLL
    for (int r = 0; r < 16;
         r += 2, dst = x86::Step(dst, 2 * dstPitch), ref = x86::Step(ref, 2 * refPitch)) {
        __m256i packed;  // rows r and r + 1 whole
        if (residual == nullptr) {
            packed = kWhole ? LoadRows(ref, refPitch)
                            : BlockOrderToRows(_mm256_packus_epi16(rows[r], rows[r + 1]));
            if constexpr (AVG) {
                packed = _mm256_avg_epu8(
                    packed, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pred + 16 * r)));
            }
        } else {
            __m256i blocks = kWhole ? BlockOrderToRows(LoadRows(ref, refPitch))
                                    : _mm256_packus_epi16(rows[r], rows[r + 1]);
            if constexpr (AVG) {
                blocks =
                    _mm256_avg_epu8(blocks, BlockOrderToRows(_mm256_loadu_si256(
                                                reinterpret_cast<const __m256i*>(pred + 16 * r))));
            }
            // Saturation cannot change the outcome: the clip maps every
            // saturated sum to the same 0 or 255.
            const int16_t* left = residual + 128 * (r >> 3) + 8 * (r & 7);
            const __m256i sumLeft =
                _mm256_adds_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(blocks)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(left)));
            const __m256i sumRight =
                _mm256_adds_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(blocks, 1)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(left + 64)));
            packed = _mm256_packus_epi16(sumLeft, sumRight);  // row r low, r + 1 high
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + dstPitch),
                         _mm256_extracti128_si256(packed, 1));
    }
}

// Rows r, r + 1 (low half) and r + 4, r + 5 (high half) of an 8-wide area
// with row stride `pitch`.
AVS_INLINE __m256i LoadBlockRows(const uint8_t* p, ptrdiff_t pitch) {
    auto pair = [pitch](const uint8_t* q) {
        return _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q))),
                         reinterpret_cast<const double*>(q + pitch)));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(pair(p)), pair(p + 4 * pitch), 1);
}

// An 8x8 block, as Macroblock. Packing the registers of rows (r, r + 4) and
// (r + 1, r + 5) gives rows r, r + 1 in the low half and r + 4, r + 5 in the
// high half: the order of the residual and of `pred` (row stride 8).
template <bool AVG, int FX, int FY>
AVS_INLINE void Block(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                      const uint8_t* pred, const int16_t* residual) {
    constexpr bool kWhole = FX == 0 && FY == 0;
    [[maybe_unused]] __m256i rows[4];
    if constexpr (!kWhole) x86::PredictLumaRows<Avx2<4>, FX, FY>(ref, refPitch, rows);
    AVS_UNROLL
    for (int r = 0; r < 4;
         r += 2, dst = x86::Step(dst, 2 * dstPitch), ref = x86::Step(ref, 2 * refPitch)) {
        __m256i packed =
            kWhole ? LoadBlockRows(ref, refPitch) : _mm256_packus_epi16(rows[r], rows[r + 1]);
        if constexpr (AVG) packed = _mm256_avg_epu8(packed, LoadBlockRows(pred + 8 * r, 8));
        __m128i upper = _mm256_castsi256_si128(packed);       // rows r, r + 1
        __m128i lower = _mm256_extracti128_si256(packed, 1);  // rows r + 4, r + 5
        if (residual != nullptr) {
            // Saturation cannot change the outcome: the clip maps every
            // saturated sum to the same 0 or 255.
            const __m256i* res = reinterpret_cast<const __m256i*>(residual + 8 * r);
            const __m256i sumUpper =
                _mm256_adds_epi16(_mm256_cvtepu8_epi16(upper), _mm256_loadu_si256(res));
            const __m256i sumLower =
                _mm256_adds_epi16(_mm256_cvtepu8_epi16(lower), _mm256_loadu_si256(res + 2));
            // Per half: rows r and r + 4 (low), r + 1 and r + 5 (high).
            const __m256i sums = _mm256_packus_epi16(sumUpper, sumLower);
            const __m128i low = _mm256_castsi256_si128(sums);
            const __m128i high = _mm256_extracti128_si256(sums, 1);
            upper = _mm_unpacklo_epi64(low, high);
            lower = _mm_unpackhi_epi64(low, high);
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), upper);
        _mm_storeh_pd(reinterpret_cast<double*>(dst + dstPitch), _mm_castsi128_pd(upper));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 4 * dstPitch), lower);
        _mm_storeh_pd(reinterpret_cast<double*>(dst + 5 * dstPitch), _mm_castsi128_pd(lower));
    }
}

template <int FX, int FY>
void McLumaAdd8x8Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                      const int16_t* residual) {
    Block<false, FX, FY>(dst, dstPitch, ref, refPitch, nullptr, residual);
}

template <int FX, int FY>
void McLumaAvgAdd8x8Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                         const uint8_t* pred, const int16_t* residual) {
    Block<true, FX, FY>(dst, dstPitch, ref, refPitch, pred, residual);
}

template <int FX, int FY>
void McLumaAdd16x16Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                        const int16_t* residual) {
    Macroblock<false, FX, FY>(dst, dstPitch, ref, refPitch, nullptr, residual);
}

template <int FX, int FY>
void McLumaAvgAdd16x16Avx2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                           const uint8_t* pred, const int16_t* residual) {
    Macroblock<true, FX, FY>(dst, dstPitch, ref, refPitch, pred, residual);
}

template <int FX>
void InstallColumn(KernelTable& table) {
    table.McLumaAdd[kLuma16x16][FX][0] = McLumaAdd16x16Avx2<FX, 0>;
    table.McLumaAdd[kLuma16x16][FX][1] = McLumaAdd16x16Avx2<FX, 1>;
    table.McLumaAdd[kLuma16x16][FX][2] = McLumaAdd16x16Avx2<FX, 2>;
    table.McLumaAdd[kLuma16x16][FX][3] = McLumaAdd16x16Avx2<FX, 3>;
    table.McLumaAvgAdd[kLuma16x16][FX][0] = McLumaAvgAdd16x16Avx2<FX, 0>;
    table.McLumaAvgAdd[kLuma16x16][FX][1] = McLumaAvgAdd16x16Avx2<FX, 1>;
    table.McLumaAvgAdd[kLuma16x16][FX][2] = McLumaAvgAdd16x16Avx2<FX, 2>;
    table.McLumaAvgAdd[kLuma16x16][FX][3] = McLumaAvgAdd16x16Avx2<FX, 3>;
    table.McLumaAdd[kLuma8x8][FX][0] = McLumaAdd8x8Avx2<FX, 0>;
    table.McLumaAdd[kLuma8x8][FX][1] = McLumaAdd8x8Avx2<FX, 1>;
    table.McLumaAdd[kLuma8x8][FX][2] = McLumaAdd8x8Avx2<FX, 2>;
    table.McLumaAdd[kLuma8x8][FX][3] = McLumaAdd8x8Avx2<FX, 3>;
    table.McLumaAvgAdd[kLuma8x8][FX][0] = McLumaAvgAdd8x8Avx2<FX, 0>;
    table.McLumaAvgAdd[kLuma8x8][FX][1] = McLumaAvgAdd8x8Avx2<FX, 1>;
    table.McLumaAvgAdd[kLuma8x8][FX][2] = McLumaAvgAdd8x8Avx2<FX, 2>;
    table.McLumaAvgAdd[kLuma8x8][FX][3] = McLumaAvgAdd8x8Avx2<FX, 3>;
}

}  // namespace

void InstallMcLumaAvx2(KernelTable& table) {
    InstallColumn<0>(table);
    InstallColumn<1>(table);
    InstallColumn<2>(table);
    InstallColumn<3>(table);
}

}  // namespace avs
