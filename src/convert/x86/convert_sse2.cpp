// SSE2 row operations: 16 pixels (8 pairs) per step. The colour arithmetic is
// the plain kernel's, term for term: 16-bit differences, 32-bit sums through
// multiply-add, arithmetic shifts, and saturating packs for the clip.
#include <emmintrin.h>

#include "convert/x86/convert_x86.h"

namespace avs {
namespace {

inline __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// A multiply-add operand: a in the low 16 bits of every 32-bit lane, b above.
inline __m128i Pair(int16_t a, int16_t b) {
    return _mm_set1_epi32(static_cast<int32_t>(
        static_cast<uint16_t>(a) | (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16)));
}

// Eight 32-bit sums a[k]*ca + b[k]*cb, in two halves.
struct Sums {
    __m128i lo, hi;
};

inline Sums MulAdd(__m128i a, __m128i b, __m128i coeffs) {
    return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), coeffs),
            _mm_madd_epi16(_mm_unpackhi_epi16(a, b), coeffs)};
}

// One channel of 16 pixels in pixel order, from the luma sums of the even and
// the odd pixels and the chroma sums of their pairs.
template <int Shift>
inline __m128i Channel(const Sums& even, const Sums& odd, const Sums& chroma) {
    const __m128i e = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(even.lo, chroma.lo), Shift),
                                      _mm_srai_epi32(_mm_add_epi32(even.hi, chroma.hi), Shift));
    const __m128i o = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(odd.lo, chroma.lo), Shift),
                                      _mm_srai_epi32(_mm_add_epi32(odd.hi, chroma.hi), Shift));
    const __m128i eo = _mm_packus_epi16(e, o);  // e0..e7 o0..o7, clipped to 0..255
    return _mm_unpacklo_epi8(eo, _mm_srli_si128(eo, 8));
}

struct Bgr16 {
    __m128i b, g, r;
};

inline Bgr16 Colour16(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    const __m128i ys = Load16(y);
    const __m128i y16 = _mm_set1_epi16(16);
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i yEven = _mm_sub_epi16(_mm_and_si128(ys, _mm_set1_epi16(0x00FF)), y16);
    const __m128i yOdd = _mm_sub_epi16(_mm_srli_epi16(ys, 8), y16);
    const __m128i us = _mm_sub_epi16(_mm_unpacklo_epi8(Load8(u), zero), c128);
    const __m128i vs = _mm_sub_epi16(_mm_unpacklo_epi8(Load8(v), zero), c128);

    // Luma terms carry the rounding constants: 19077y + 8192 and 9539y + 4096.
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

// Four registers of four B, G, R, A pixels each.
struct Bgra16 {
    __m128i q[4];
};

inline Bgra16 Interleave(const Bgr16& c, __m128i alpha) {
    const __m128i bgLo = _mm_unpacklo_epi8(c.b, c.g);
    const __m128i bgHi = _mm_unpackhi_epi8(c.b, c.g);
    const __m128i raLo = _mm_unpacklo_epi8(c.r, alpha);
    const __m128i raHi = _mm_unpackhi_epi8(c.r, alpha);
    return {{_mm_unpacklo_epi16(bgLo, raLo), _mm_unpackhi_epi16(bgLo, raLo),
             _mm_unpacklo_epi16(bgHi, raHi), _mm_unpackhi_epi16(bgHi, raHi)}};
}

// Four B, G, R, x pixels to their twelve B, G, R bytes at the bottom, zeros
// above.
inline __m128i Pack3(__m128i q) {
    // Within each 64-bit half: pixel 0 stays, pixel 1 moves down one byte.
    const __m128i low = _mm_and_si128(q, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF));
    const __m128i high =
        _mm_and_si128(_mm_srli_epi64(q, 8), _mm_set_epi32(0xFFFF, 0xFF000000, 0xFFFF, 0xFF000000));
    const __m128i six = _mm_or_si128(low, high);  // six bytes at 0 and six at 8
    const __m128i upper =
        _mm_and_si128(_mm_srli_si128(six, 2), _mm_set_epi32(0, 0xFFFFFFFF, 0xFFFF0000, 0));
    return _mm_or_si128(_mm_move_epi64(six), upper);
}

inline void Store48(uint8_t* dst, const Bgra16& p) {
    const __m128i c0 = Pack3(p.q[0]);
    const __m128i c1 = Pack3(p.q[1]);
    const __m128i c2 = Pack3(p.q[2]);
    const __m128i c3 = Pack3(p.q[3]);
    Store16(dst, _mm_or_si128(c0, _mm_slli_si128(c1, 12)));
    Store16(dst + 16, _mm_or_si128(_mm_srli_si128(c1, 4), _mm_slli_si128(c2, 8)));
    Store16(dst + 32, _mm_or_si128(_mm_srli_si128(c2, 8), _mm_slli_si128(c3, 4)));
}

// The packed layouts differ only in which byte of a pair comes first: luma
// (YUY2) or chroma (UYVY). `tail` converts the pixels after the last step.
template <bool kChromaFirst, ConvertRowFn tail>
void PackedRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, uint32_t width) {
    const uint32_t pairs = width / 2;
    uint32_t i = 0;
    for (; i + 8 <= pairs; i += 8) {
        const __m128i ys = Load16(y + 2 * i);
        const __m128i uv = _mm_unpacklo_epi8(Load8(u + i), Load8(v + i));
        const __m128i first = kChromaFirst ? uv : ys;
        const __m128i second = kChromaFirst ? ys : uv;
        Store16(dst + 4 * i, _mm_unpacklo_epi8(first, second));
        Store16(dst + 4 * i + 16, _mm_unpackhi_epi8(first, second));
    }
    tail(y + 2 * i, u + i, v + i, dst + 4 * i, width - 2 * i);
}

}  // namespace

void RowYuy2Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    PackedRow<false, RowYuy2Plain>(y, u, v, dst, width);
}

void RowUyvySse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    PackedRow<true, RowUyvyPlain>(y, u, v, dst, width);
}

void RowBgr4Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    const uint32_t pairs = width / 2;
    const __m128i opaque = _mm_set1_epi8(-1);
    uint32_t i = 0;
    for (; i + 8 <= pairs; i += 8) {
        const Bgra16 p = Interleave(Colour16(y + 2 * i, u + i, v + i), opaque);
        for (int k = 0; k < 4; ++k) Store16(dst + 8 * i + 16 * k, p.q[k]);
    }
    RowBgr4Plain(y + 2 * i, u + i, v + i, dst + 8 * i, width - 2 * i);
}

void RowBgr3Sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                 uint32_t width) {
    const uint32_t pairs = width / 2;
    const __m128i zero = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 8 <= pairs; i += 8) {
        Store48(dst + 6 * i, Interleave(Colour16(y + 2 * i, u + i, v + i), zero));
    }
    RowBgr3Plain(y + 2 * i, u + i, v + i, dst + 6 * i, width - 2 * i);
}

void InstallConvertKernelsSse2(ConvertKernelTable& table) {
    struct Variant {
        uint32_t mode;
        BandKernelFn band;
        ConvertRowFn row;
    };
    static constexpr Variant kVariants[] = {
        {kModeUyvy, PackedBand<RowUyvySse2>, RowUyvySse2},
        {kModeYuy2, PackedBand<RowYuy2Sse2>, RowYuy2Sse2},
        {kModeBgr4, PackedBand<RowBgr4Sse2>, RowBgr4Sse2},
        {kModeBgr3, PackedBand<RowBgr3Sse2>, RowBgr3Sse2},
    };
    for (const Variant& k : kVariants) {
        for (int level = 1; level < kLevelCount; ++level) {
            table.band[k.mode][level] = k.band;
            table.row[k.mode][level] = k.row;
        }
    }
}

}  // namespace avs
