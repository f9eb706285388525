// AVX-512 luma kernels for whole 16x16 macroblocks: a register holds a row of
// the macroblock's upper half and the row eight below it, so the vertical
// taps of both halves run in one instruction and each computes two macroblock
// rows where the AVX2 kernels compute one. The 8x8 slots keep their SSE2 kernels.
#include "decode/kernel_table.h"
#include "decode/x86/avx512.h"
#include "decode/x86/mc_luma_rows.h"
#include "decode/x86/mc_x86.h"

namespace avs {
namespace {

constexpr int kHalfRows = 8;

// The 16-bit lane operations of x86::PredictLumaRows on 32-lane registers:
// row r in the low 256 bits, row r + 8 in the high ones. Unpacking and
// packing work within 128-bit lanes, so WeightedSum keeps every lane in place.
struct Avx512 {
    using Reg = __m512i;
    // Sixteen samples starting at s and sixteen eight rows below, widened.
    static AVS_INLINE Reg Load(const uint8_t* s, ptrdiff_t pitch) {
        const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i lower =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + kHalfRows * pitch));
        return _mm512_cvtepu8_epi16(
            _mm256_inserti128_si256(_mm256_castsi128_si256(upper), lower, 1));
    }
    static AVS_INLINE Reg Set(int v) { return _mm512_set1_epi16(static_cast<int16_t>(v)); }
    static AVS_INLINE Reg Set32(int v) { return _mm512_set1_epi32(v); }
    static AVS_INLINE Reg Add(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
    static AVS_INLINE Reg Sub(Reg a, Reg b) { return _mm512_sub_epi16(a, b); }
    static AVS_INLINE Reg Mul(Reg a, Reg b) { return _mm512_mullo_epi16(a, b); }
    static AVS_INLINE Reg Shl(Reg a, int n) { return _mm512_slli_epi16(a, n); }
    static AVS_INLINE Reg Sar(Reg a, int n) { return _mm512_srai_epi16(a, n); }
    static AVS_INLINE Reg Shr(Reg a, int n) { return _mm512_srli_epi16(a, n); }
    static AVS_INLINE Reg Add32(Reg a, Reg b) { return _mm512_add_epi32(a, b); }
    static AVS_INLINE Reg Sar32(Reg a, int n) { return _mm512_srai_epi32(a, n); }
    static AVS_INLINE Reg Madd(Reg a, Reg b) { return _mm512_madd_epi16(a, b); }
    static AVS_INLINE Reg UnpackLo(Reg a, Reg b) { return _mm512_unpacklo_epi16(a, b); }
    static AVS_INLINE Reg UnpackHi(Reg a, Reg b) { return _mm512_unpackhi_epi16(a, b); }
    static AVS_INLINE Reg Pack32(Reg a, Reg b) { return _mm512_packs_epi32(a, b); }

    // The row filters, from the bytes of four lanes: columns 0..7 and 8..15
    // of the row at s, then of the row eight below.
    static AVS_INLINE Reg LaneBytes(const uint8_t* s, ptrdiff_t pitch) {
        auto at = [](const uint8_t* q) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        };
        const uint8_t* lower = s + kHalfRows * pitch;
        const __m256i upper =
            _mm256_inserti128_si256(_mm256_castsi128_si256(at(s - 2)), at(s + 6), 1);
        return _mm512_inserti64x4(
            _mm512_castsi256_si512(upper),
            _mm256_inserti128_si256(_mm256_castsi128_si256(at(lower - 2)), at(lower + 6), 1), 1);
    }
    static AVS_INLINE Reg Pair(Reg bytes, const x86::TapPair& p) {
        return _mm512_maddubs_epi16(
            _mm512_shuffle_epi8(bytes, _mm512_broadcast_i32x4(x86::PairOrder(p))),
            _mm512_set1_epi16(x86::PairWeights(p)));
    }
};

// Packing two registers of rows (r, r + 8) and (r + 1, r + 9) gives, in
// 64-bit pieces, the left halves of rows r and r + 1, their right halves,
// then the same for rows r + 8 and r + 9: that is, rows r and r + 1 of the
// residual blocks 0, 1, 2 and 3 in turn, as the residual lies in memory.
// Swapping the middle pieces of each 256-bit half gives rows r, r + 1, r + 8,
// r + 9 whole, the order of the prediction buffer and of the stores.
AVS_INLINE __m512i BlockOrderToRows(__m512i v) {
    return _mm512_permutex_epi64(v, 0xD8);
}

// Rows r and r + 1 of two residual blocks, one after the other.
AVS_INLINE __m512i ResidualRows(const int16_t* first, const int16_t* second) {
    return _mm512_inserti64x4(
        _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(first))),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(second)), 1);
}

// Rows r, r + 1, r + 8 and r + 9 of a 16-wide area at p, in that order.
AVS_INLINE __m512i LoadRows(const uint8_t* p, ptrdiff_t pitch) {
    auto row = [&](int i) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i * pitch));
    };
    const __m256i upper = _mm256_inserti128_si256(_mm256_castsi128_si256(row(0)), row(1), 1);
    const __m256i lower = _mm256_inserti128_si256(_mm256_castsi128_si256(row(8)), row(9), 1);
    return _mm512_inserti64x4(_mm512_castsi256_si512(upper), lower, 1);
}

AVS_INLINE void StoreRows(uint8_t* p, ptrdiff_t pitch, __m512i rows) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_castsi512_si128(rows));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + pitch), _mm512_extracti32x4_epi32(rows, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8 * pitch), _mm512_extracti32x4_epi32(rows, 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 9 * pitch), _mm512_extracti32x4_epi32(rows, 3));
}

// Rows r and r + 1 of the prediction buffer (row stride 16), then r + 8 and r + 9.
AVS_INLINE __m512i PredRows(const uint8_t* pred) {
    return _mm512_inserti64x4(
        _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pred))),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pred + 8 * 16)), 1);
}

// The macroblock: the prediction clipped, averaged with `pred` (row stride
// 16) when AVG, plus the residual when there is one (clipping again), stored.
template <bool AVG, int FX, int FY>
AVS_INLINE void Macroblock(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                           const uint8_t* pred, const int16_t* residual) {
    // At a whole-sample position the prediction is the reference itself.
    constexpr bool kWhole = FX == 0 && FY == 0;
    [[maybe_unused]] __m512i rows[kHalfRows];
    if constexpr (!kWhole) x86::PredictLumaRows<Avx512, FX, FY>(ref, refPitch, rows);
    if (kWhole && residual == nullptr) {
        // Row by row: nothing to widen or to reorder.
        AVS_UNROLL
        for (int r = 0; r < 16;
             ++r, dst = x86::Step(dst, dstPitch), ref = x86::Step(ref, refPitch)) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ref));
            if constexpr (AVG)
                v = _mm_avg_epu8(v,
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(pred + 16 * r)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
        }
        return;
    }
    if (residual == nullptr) {
        AVS_UNROLL
        for (int r = 0; r < kHalfRows;
             r += 2, dst = x86::Step(dst, 2 * dstPitch), ref = x86::Step(ref, 2 * refPitch)) {
            __m512i v = kWhole ? LoadRows(ref, refPitch)
                               : BlockOrderToRows(_mm512_packus_epi16(rows[r], rows[r + 1]));
            if constexpr (AVG) v = _mm512_avg_epu8(v, PredRows(pred + 16 * r));
            StoreRows(dst, dstPitch, v);
        }
        return;
    }
    // The 64-bit pieces of the sums with the residual, after packing, in
    // the order rows r, r + 1, r + 8, r + 9.
    const __m512i sumsToRows = _mm512_setr_epi64(0, 4, 2, 6, 1, 5, 3, 7);
    AVS_UNROLL
    for (int r = 0; r < kHalfRows;
         r += 2, dst = x86::Step(dst, 2 * dstPitch), ref = x86::Step(ref, 2 * refPitch)) {
        __m512i v = kWhole ? BlockOrderToRows(LoadRows(ref, refPitch))
                           : _mm512_packus_epi16(rows[r], rows[r + 1]);
        if constexpr (AVG) v = _mm512_avg_epu8(v, BlockOrderToRows(PredRows(pred + 16 * r)));
        // Saturation cannot change the outcome: the clip maps every
        // saturated sum to the same 0 or 255.
        const int16_t* res = residual + 8 * r;
        const __m512i upper = _mm512_adds_epi16(_mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)),
                                                ResidualRows(res, res + 64));
        const __m512i lower =
            _mm512_adds_epi16(_mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1)),
                              ResidualRows(res + 128, res + 192));
        StoreRows(dst, dstPitch,
                  _mm512_permutexvar_epi64(sumsToRows, _mm512_packus_epi16(upper, lower)));
    }
}

template <int FX, int FY>
void McLumaAdd16x16Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                          const int16_t* residual) {
    Macroblock<false, FX, FY>(dst, dstPitch, ref, refPitch, nullptr, residual);
}

template <int FX, int FY>
void McLumaAvgAdd16x16Avx512(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref,
                             ptrdiff_t refPitch, const uint8_t* pred, const int16_t* residual) {
    Macroblock<true, FX, FY>(dst, dstPitch, ref, refPitch, pred, residual);
}

template <int FX>
void InstallColumn(KernelTable& table) {
    table.McLumaAdd[kLuma16x16][FX][0] = McLumaAdd16x16Avx512<FX, 0>;
    table.McLumaAdd[kLuma16x16][FX][1] = McLumaAdd16x16Avx512<FX, 1>;
    table.McLumaAdd[kLuma16x16][FX][2] = McLumaAdd16x16Avx512<FX, 2>;
    table.McLumaAdd[kLuma16x16][FX][3] = McLumaAdd16x16Avx512<FX, 3>;
    table.McLumaAvgAdd[kLuma16x16][FX][0] = McLumaAvgAdd16x16Avx512<FX, 0>;
    table.McLumaAvgAdd[kLuma16x16][FX][1] = McLumaAvgAdd16x16Avx512<FX, 1>;
    table.McLumaAvgAdd[kLuma16x16][FX][2] = McLumaAvgAdd16x16Avx512<FX, 2>;
    table.McLumaAvgAdd[kLuma16x16][FX][3] = McLumaAvgAdd16x16Avx512<FX, 3>;
}

}  // namespace

void InstallMcLumaAvx512(KernelTable& table) {
    InstallColumn<0>(table);
    InstallColumn<1>(table);
    InstallColumn<2>(table);
    InstallColumn<3>(table);
}

}  // namespace avs
