// SSE2 chroma interpolation. The bilinear sum is split into a horizontal pass
// per row, ((8-ax)*s0 + ax*s1), and a vertical one, which is the same sum
// regrouped: every term stays below 16320, so 16-bit lanes hold it exactly.
// 8-wide blocks put one row in a register, 4-wide blocks two rows.
#include <emmintrin.h>

#include <cstring>

#include "decode/kernel_table.h"
#include "decode/x86/mc_x86.h"

#define AVS_INLINE inline __attribute__((always_inline))
#define AVS_UNROLL _Pragma("GCC unroll 16")

namespace avs {
namespace {

AVS_INLINE __m128i Widen(__m128i bytes) {
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

AVS_INLINE __m128i Load8(const uint8_t* p) {
    return Widen(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

AVS_INLINE __m128i Load4(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

// Four samples of row p and four of row p + pitch, widened.
AVS_INLINE __m128i Load4x2(const uint8_t* p, ptrdiff_t pitch) {
    return Widen(_mm_unpacklo_epi32(Load4(p), Load4(p + pitch)));
}

struct Weights {
    __m128i left, right, top, bottom;
    Weights(int ax, int ay)
        : left(_mm_set1_epi16(static_cast<int16_t>(8 - ax))),
          right(_mm_set1_epi16(static_cast<int16_t>(ax))),
          top(_mm_set1_epi16(static_cast<int16_t>(8 - ay))),
          bottom(_mm_set1_epi16(static_cast<int16_t>(ay))) {}

    AVS_INLINE __m128i Horizontal(__m128i s0, __m128i s1) const {
        return _mm_add_epi16(_mm_mullo_epi16(s0, left), _mm_mullo_epi16(s1, right));
    }
    AVS_INLINE __m128i Vertical(__m128i upper, __m128i lower) const {
        const __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(upper, top), _mm_mullo_epi16(lower, bottom));
        return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(32)), 6);
    }
};

// Predicted rows of an 8-wide block, one row per register.
template <int H>
AVS_INLINE void Predict8(const uint8_t* ref, ptrdiff_t pitch, const Weights& w, __m128i (&out)[H]) {
    __m128i upper = w.Horizontal(Load8(ref), Load8(ref + 1));
    AVS_UNROLL
    for (int r = 0; r < H; ++r) {
        ref += pitch;
        const __m128i lower = w.Horizontal(Load8(ref), Load8(ref + 1));
        out[r] = w.Vertical(upper, lower);
        upper = lower;
    }
}

// Predicted rows of a 4-wide block, rows 2i and 2i + 1 in register i.
template <int H>
AVS_INLINE void Predict4(const uint8_t* ref, ptrdiff_t pitch, const Weights& w,
                         __m128i (&out)[H / 2]) {
    AVS_UNROLL
    for (int i = 0; i < H / 2; ++i, ref += 2 * pitch) {
        const __m128i upper = w.Horizontal(Load4x2(ref, pitch), Load4x2(ref + 1, pitch));
        const __m128i lower =
            w.Horizontal(Load4x2(ref + pitch, pitch), Load4x2(ref + pitch + 1, pitch));
        out[i] = w.Vertical(upper, lower);
    }
}

AVS_INLINE __m128i Residual4x2(const int16_t* residual) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(residual)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(residual + 8)));
}

// Prediction plus residual (saturation cannot change the clipped result).
AVS_INLINE __m128i AddResidual(__m128i pred, __m128i residual) {
    return _mm_packus_epi16(_mm_adds_epi16(pred, residual), _mm_setzero_si128());
}

AVS_INLINE void Store4x2(uint8_t* dst, ptrdiff_t pitch, __m128i packed) {
    const int32_t first = _mm_cvtsi128_si32(packed);
    const int32_t second = _mm_cvtsi128_si32(_mm_srli_si128(packed, 4));
    std::memcpy(dst, &first, 4);
    std::memcpy(dst + pitch, &second, 4);
}

template <int W, int H>
void McChromaSse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref, ptrdiff_t refPitch,
                  const int16_t* residual, int ax, int ay) {
    const Weights w(ax, ay);
    if constexpr (W == 8) {
        __m128i rows[H];
        Predict8<H>(ref, refPitch, w, rows);
        AVS_UNROLL
        for (int r = 0; r < H; ++r) {
            const __m128i res = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + 8 * r));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * dstPitch),
                             AddResidual(rows[r], res));
        }
    } else {
        __m128i pairs[H / 2];
        Predict4<H>(ref, refPitch, w, pairs);
        AVS_UNROLL
        for (int i = 0; i < H / 2; ++i) {
            Store4x2(dst + 2 * i * dstPitch, dstPitch,
                     AddResidual(pairs[i], Residual4x2(residual + 16 * i)));
        }
    }
}

// The rounded average of two predictions (_mm_avg_epu16 is exactly
// (a + b + 1) >> 1) plus the residual.
AVS_INLINE __m128i Average(__m128i p0, __m128i p1, __m128i residual) {
    return AddResidual(_mm_avg_epu16(p0, p1), residual);
}

template <int W>
void McChromaBiSse2(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* ref0, const uint8_t* ref1,
                    ptrdiff_t refPitch, const int16_t* residual, int ax0, int ay0, int ax1,
                    int ay1) {
    const Weights w0(ax0, ay0);
    const Weights w1(ax1, ay1);
    if constexpr (W == 8) {
        __m128i p0[8], p1[8];
        Predict8<8>(ref0, refPitch, w0, p0);
        Predict8<8>(ref1, refPitch, w1, p1);
        AVS_UNROLL
        for (int r = 0; r < 8; ++r) {
            const __m128i res = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + 8 * r));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * dstPitch),
                             Average(p0[r], p1[r], res));
        }
    } else {
        __m128i p0[2], p1[2];
        Predict4<4>(ref0, refPitch, w0, p0);
        Predict4<4>(ref1, refPitch, w1, p1);
        AVS_UNROLL
        for (int i = 0; i < 2; ++i) {
            Store4x2(dst + 2 * i * dstPitch, dstPitch,
                     Average(p0[i], p1[i], Residual4x2(residual + 16 * i)));
        }
    }
}

}  // namespace

void InstallMcChromaSse2(KernelTable& table) {
    table.McChroma8x8 = McChromaSse2<8, 8>;
    table.McChroma8x4 = McChromaSse2<8, 4>;
    table.McChroma4x8 = McChromaSse2<4, 8>;
    table.McChroma4x4 = McChromaSse2<4, 4>;
    table.McChromaBi8x8 = McChromaBiSse2<8>;
    table.McChromaBi4x4 = McChromaBiSse2<4>;
}

}  // namespace avs
