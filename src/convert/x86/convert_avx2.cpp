// AVX2 row operations: 32 pixels (16 pairs) per step. Each 128-bit lane works
// on 16 consecutive pixels exactly as the SSE2 step does; the lanes are put
// back in memory order only at the store.
//
// Everything this file defines is its own (the anonymous namespace, the AVX2
// rows and their band instantiations): an inline function shared with other
// files could be emitted here with AVX2 instructions and chosen by the linker
// for everyone.
#include <immintrin.h>

#include "convert/x86/convert_x86.h"

namespace avs {
namespace {

inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m256i Load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void Store32(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

inline __m256i Pair(int16_t a, int16_t b) {
    return _mm256_set1_epi32(static_cast<int32_t>(
        static_cast<uint16_t>(a) | (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16)));
}

struct Sums {
    __m256i lo, hi;
};

inline Sums MulAdd(__m256i a, __m256i b, __m256i coeffs) {
    return {_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), coeffs),
            _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), coeffs)};
}

template <int Shift>
inline __m256i Channel(const Sums& even, const Sums& odd, const Sums& chroma) {
    const __m256i e =
        _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(even.lo, chroma.lo), Shift),
                           _mm256_srai_epi32(_mm256_add_epi32(even.hi, chroma.hi), Shift));
    const __m256i o =
        _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(odd.lo, chroma.lo), Shift),
                           _mm256_srai_epi32(_mm256_add_epi32(odd.hi, chroma.hi), Shift));
    const __m256i eo = _mm256_packus_epi16(e, o);
    return _mm256_unpacklo_epi8(eo, _mm256_srli_si256(eo, 8));
}

struct Bgr32 {
    __m256i b, g, r;
};

// Lane 0 holds pixels 0..15, lane 1 pixels 16..31.
inline Bgr32 Colour32(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i y16 = _mm256_set1_epi16(16);
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i ys = Load32(y);
    const __m256i yEven = _mm256_sub_epi16(_mm256_and_si256(ys, _mm256_set1_epi16(0x00FF)), y16);
    const __m256i yOdd = _mm256_sub_epi16(_mm256_srli_epi16(ys, 8), y16);
    const __m256i us = _mm256_sub_epi16(_mm256_cvtepu8_epi16(Load16(u)), c128);
    const __m256i vs = _mm256_sub_epi16(_mm256_cvtepu8_epi16(Load16(v)), c128);

    const Sums evenLuma = MulAdd(yEven, one, Pair(19077, 8192));
    const Sums oddLuma = MulAdd(yOdd, one, Pair(19077, 8192));
    const Sums evenBlue = MulAdd(yEven, one, Pair(9539, 4096));
    const Sums oddBlue = MulAdd(yOdd, one, Pair(9539, 4096));
    const Sums red = MulAdd(vs, us, Pair(26149, 0));
    const Sums green = MulAdd(vs, us, Pair(-13320, -6419));
    const Sums blue = MulAdd(vs, us, Pair(0, 16525));

    return {Channel<13>(evenBlue, oddBlue, blue), Channel<14>(evenLuma, oddLuma, green),
            Channel<14>(evenLuma, oddLuma, red)};
}

// q[k] holds pixels 4k..4k+3 in lane 0 and 16+4k..16+4k+3 in lane 1.
struct Bgra32 {
    __m256i q[4];
};

inline Bgra32 Interleave(const Bgr32& c, __m256i alpha) {
    const __m256i bgLo = _mm256_unpacklo_epi8(c.b, c.g);
    const __m256i bgHi = _mm256_unpackhi_epi8(c.b, c.g);
    const __m256i raLo = _mm256_unpacklo_epi8(c.r, alpha);
    const __m256i raHi = _mm256_unpackhi_epi8(c.r, alpha);
    return {{_mm256_unpacklo_epi16(bgLo, raLo), _mm256_unpackhi_epi16(bgLo, raLo),
             _mm256_unpacklo_epi16(bgHi, raHi), _mm256_unpackhi_epi16(bgHi, raHi)}};
}

// Low lanes of a then b, and high lanes of a then b.
inline void StoreLanes(uint8_t* first, uint8_t* second, __m256i a, __m256i b) {
    Store32(first, _mm256_permute2x128_si256(a, b, 0x20));
    Store32(second, _mm256_permute2x128_si256(a, b, 0x31));
}

inline void StorePacked(uint8_t* dst, __m256i ys, __m256i chroma, bool chromaFirst) {
    const __m256i a =
        chromaFirst ? _mm256_unpacklo_epi8(chroma, ys) : _mm256_unpacklo_epi8(ys, chroma);
    const __m256i b =
        chromaFirst ? _mm256_unpackhi_epi8(chroma, ys) : _mm256_unpackhi_epi8(ys, chroma);
    StoreLanes(dst, dst + 32, a, b);
}

// U0 V0 .. U7 V7 in lane 0 and U8 V8 .. U15 V15 in lane 1.
inline __m256i InterleaveChroma(const uint8_t* u, const uint8_t* v) {
    const __m128i us = Load16(u);
    const __m128i vs = Load16(v);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(us, vs)),
                                   _mm_unpackhi_epi8(us, vs), 1);
}

// YUY2 (luma first) or UYVY (chroma first); `tail` converts the pixels after
// the last step.
template <bool kChromaFirst, ConvertRowFn tail>
void PackedRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, uint32_t width) {
    const uint32_t pairs = width / 2;
    uint32_t i = 0;
    for (; i + 16 <= pairs; i += 16) {
        StorePacked(dst + 4 * i, Load32(y + 2 * i), InterleaveChroma(u + i, v + i), kChromaFirst);
    }
    tail(y + 2 * i, u + i, v + i, dst + 4 * i, width - 2 * i);
}

}  // namespace

void RowYuy2Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    PackedRow<false, RowYuy2Sse2>(y, u, v, dst, width);
}

void RowUyvyAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    PackedRow<true, RowUyvySse2>(y, u, v, dst, width);
}

void RowBgr4Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    const uint32_t pairs = width / 2;
    const __m256i opaque = _mm256_set1_epi8(-1);
    uint32_t i = 0;
    for (; i + 16 <= pairs; i += 16) {
        const Bgra32 p = Interleave(Colour32(y + 2 * i, u + i, v + i), opaque);
        uint8_t* out = dst + 8 * i;
        StoreLanes(out, out + 64, p.q[0], p.q[1]);
        StoreLanes(out + 32, out + 96, p.q[2], p.q[3]);
    }
    RowBgr4Sse2(y + 2 * i, u + i, v + i, dst + 8 * i, width - 2 * i);
}

void RowBgr3Avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    const uint32_t pairs = width / 2;
    // Per lane: four B, G, R, A pixels to twelve bytes at the bottom.
    const __m256i drop = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    uint32_t i = 0;
    for (; i + 16 <= pairs; i += 16) {
        const Bgra32 p = Interleave(Colour32(y + 2 * i, u + i, v + i), _mm256_setzero_si256());
        const __m256i c0 = _mm256_shuffle_epi8(p.q[0], drop);
        const __m256i c1 = _mm256_shuffle_epi8(p.q[1], drop);
        const __m256i c2 = _mm256_shuffle_epi8(p.q[2], drop);
        const __m256i c3 = _mm256_shuffle_epi8(p.q[3], drop);
        // Per lane, 48 bytes of 16 pixels in three registers.
        const __m256i o0 = _mm256_or_si256(c0, _mm256_slli_si256(c1, 12));
        const __m256i o1 = _mm256_or_si256(_mm256_srli_si256(c1, 4), _mm256_slli_si256(c2, 8));
        const __m256i o2 = _mm256_or_si256(_mm256_srli_si256(c2, 8), _mm256_slli_si256(c3, 4));
        uint8_t* out = dst + 6 * i;
        Store32(out, _mm256_permute2x128_si256(o0, o1, 0x20));
        Store32(out + 32, _mm256_permute2x128_si256(o2, o0, 0x30));
        Store32(out + 64, _mm256_permute2x128_si256(o1, o2, 0x31));
    }
    RowBgr3Sse2(y + 2 * i, u + i, v + i, dst + 6 * i, width - 2 * i);
}

void InstallConvertKernelsAvx2(ConvertKernelTable& table) {
    struct Variant {
        uint32_t mode;
        BandKernelFn band;
        ConvertRowFn row;
    };
    static constexpr Variant kVariants[] = {
        {kModeUyvy, PackedBand<RowUyvyAvx2>, RowUyvyAvx2},
        {kModeYuy2, PackedBand<RowYuy2Avx2>, RowYuy2Avx2},
        {kModeBgr4, PackedBand<RowBgr4Avx2>, RowBgr4Avx2},
        {kModeBgr3, PackedBand<RowBgr3Avx2>, RowBgr3Avx2},
    };
    for (const Variant& k : kVariants) {
        for (int level = 1; level < kLevelCount; ++level) {
            table.band[k.mode][level] = k.band;
            table.row[k.mode][level] = k.row;
        }
    }
}

}  // namespace avs
