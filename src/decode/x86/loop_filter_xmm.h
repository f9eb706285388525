// Edge filtering of sixteen positions in one 128-bit register, shared by the
// SSE2 and AVX2 kernel files (each includes it and gets its own copy: all of
// it lies in an unnamed namespace). Byte for byte the results of the plain
// kernels: the decisions and the strong filter work on bytes, as every strong
// tap (a + 2b + c + 2) >> 2 is an exact pair of byte averages; only the
// normal filter needs signed sums, and a file chooses how it widens them (the
// `Normal` policy of FilterAcross). Vertical edges are transposed in and out
// as bytes.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decode/loop_filter_kernels.h"

namespace avs {
namespace {
namespace xmm {

// The six samples across the edge at sixteen positions, one byte each.
struct Across {
    __m128i p2, p1, p0, q0, q1, q2;
};

// Which positions take the strong and which the normal filter.
struct LaneStrengths {
    __m128i strong, normal;
    bool anyStrong, anyNormal;
};

// `perLane` holds each position's strength.
inline LaneStrengths StrengthsOf(__m128i perLane) {
    const __m128i strong = _mm_cmpeq_epi8(perLane, _mm_set1_epi8(2));
    const __m128i normal = _mm_cmpeq_epi8(perLane, _mm_set1_epi8(1));
    return {strong, normal, _mm_movemask_epi8(strong) != 0, _mm_movemask_epi8(normal) != 0};
}

// The strengths of an edge's two halves, bs[0] for positions 0..7 and bs[1] for 8..15.
inline LaneStrengths LumaStrengths(const uint8_t (&bs)[2]) {
    __m128i v = _mm_cvtsi32_si128(bs[0] | bs[1] << 8);
    v = _mm_unpacklo_epi8(v, v);
    v = _mm_unpacklo_epi16(v, v);
    return StrengthsOf(_mm_unpacklo_epi32(v, v));
}

// A chroma edge of Cb and Cr: bs[0] for positions 0..3 and 8..11, bs[1] for 4..7 and 12..15.
inline LaneStrengths ChromaStrengths(const uint8_t (&bs)[2]) {
    __m128i v = _mm_cvtsi32_si128(bs[0] | bs[1] << 8);
    v = _mm_unpacklo_epi8(v, v);
    v = _mm_unpacklo_epi16(v, v);
    return StrengthsOf(_mm_unpacklo_epi64(v, v));
}

inline __m128i AbsDiff(__m128i a, __m128i b) {
    return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}
// All ones where the unsigned byte a is not below t.
inline __m128i AtLeast(__m128i a, __m128i t) {
    return _mm_cmpeq_epi8(_mm_subs_epu8(t, a), _mm_setzero_si128());
}
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline __m128i Bytes(int v) {
    return _mm_set1_epi8(static_cast<char>(v));
}
// (a + b) >> 1: the rounding average minus the bit it rounded up.
inline __m128i FloorAverage(__m128i a, __m128i b) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), Bytes(1)));
}

// The normal filter on eight positions widened to 16-bit lanes: the new p1,
// p0, q0, q1 before clipping to bytes (the caller's unsigned pack clips).
struct Normal16 {
    __m128i p1, p0, q0, q1;
};

inline Normal16 NormalFilter16(const __m128i (&w)[6], const EdgeThresholds& t) {
    const __m128i p2 = w[0], p1 = w[1], p0 = w[2], q0 = w[3], q1 = w[4], q2 = w[5];
    const __m128i c = _mm_set1_epi16(static_cast<int16_t>(t.c));
    const __m128i minusC = _mm_sub_epi16(_mm_setzero_si128(), c);
    const __m128i four = _mm_set1_epi16(4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i max = _mm_set1_epi16(255);
    auto clampC = [&](__m128i v) { return _mm_min_epi16(_mm_max_epi16(v, minusC), c); };
    auto clip = [&](__m128i v) { return _mm_min_epi16(_mm_max_epi16(v, zero), max); };
    auto times3 = [](__m128i v) { return _mm_add_epi16(v, _mm_add_epi16(v, v)); };
    const __m128i d = clampC(_mm_srai_epi16(
        _mm_add_epi16(_mm_add_epi16(times3(_mm_sub_epi16(q0, p0)), _mm_sub_epi16(p1, q1)), four),
        3));
    const __m128i newP0 = clip(_mm_add_epi16(p0, d));
    const __m128i newQ0 = clip(_mm_sub_epi16(q0, d));
    const __m128i dp1 =
        clampC(_mm_srai_epi16(_mm_add_epi16(_mm_sub_epi16(times3(_mm_sub_epi16(newP0, p1)), newQ0),
                                            _mm_add_epi16(p2, four)),
                              3));
    const __m128i dq1 =
        clampC(_mm_srai_epi16(_mm_add_epi16(_mm_sub_epi16(times3(_mm_sub_epi16(q1, newQ0)), q2),
                                            _mm_add_epi16(newP0, four)),
                              3));
    return {_mm_add_epi16(p1, dp1), newP0, newQ0, _mm_sub_epi16(q1, dq1)};
}

// The normal filter's new p1, p0, q0, q1 at all sixteen positions, as bytes.
struct NormalBytes {
    __m128i p1, p0, q0, q1;
};

// Filters the sixteen positions of `s` in place: p0 and q0, and for luma p1
// and q1.
template <bool kLuma, class Normal>
[[gnu::always_inline]] inline void FilterAcross(Across& s, const LaneStrengths& st,
                                                const EdgeThresholds& t) {
    const __m128i beta = Bytes(t.beta);
    const __m128i dpq = AbsDiff(s.p0, s.q0);
    const __m128i off = _mm_or_si128(
        AtLeast(dpq, Bytes(t.alpha)),
        _mm_or_si128(AtLeast(AbsDiff(s.q0, s.q1), beta), AtLeast(AbsDiff(s.p1, s.p0), beta)));
    const __m128i flatP = _mm_andnot_si128(AtLeast(AbsDiff(s.p0, s.p2), beta), _mm_set1_epi8(-1));
    const __m128i flatQ = _mm_andnot_si128(AtLeast(AbsDiff(s.q0, s.q2), beta), _mm_set1_epi8(-1));
    __m128i p1 = s.p1, p0 = s.p0, q0 = s.q0, q1 = s.q1;

    if (st.anyStrong) {
        const __m128i lanes = _mm_andnot_si128(off, st.strong);
        const __m128i big = AtLeast(dpq, Bytes((t.alpha >> 2) + 2));
        const __m128i strongP = _mm_andnot_si128(big, flatP);
        const __m128i strongQ = _mm_andnot_si128(big, flatQ);
        const __m128i mid = FloorAverage(s.p0, s.q0);
        // (p0 + q0 + 2 q1 + 2) >> 2 and (p0 + 2 q0 + q1 + 2) >> 2, and their mirrors.
        const __m128i wideQ = _mm_avg_epu8(s.q1, mid);
        const __m128i nearQ = _mm_avg_epu8(s.q0, FloorAverage(s.p0, s.q1));
        const __m128i wideP = _mm_avg_epu8(s.p1, mid);
        const __m128i nearP = _mm_avg_epu8(s.p0, FloorAverage(s.q0, s.p1));
        q0 = Select(lanes, Select(strongQ, nearQ, wideQ), q0);
        p0 = Select(lanes, Select(strongP, nearP, wideP), p0);
        if (kLuma) {
            q1 = Select(_mm_and_si128(lanes, strongQ), wideQ, q1);
            p1 = Select(_mm_and_si128(lanes, strongP), wideP, p1);
        }
    }
    if (st.anyNormal) {
        const __m128i lanes = _mm_andnot_si128(off, st.normal);
        const NormalBytes n = Normal::Filter(s, t);
        p0 = Select(lanes, n.p0, p0);
        q0 = Select(lanes, n.q0, q0);
        if (kLuma) {
            p1 = Select(_mm_and_si128(lanes, flatP), n.p1, p1);
            q1 = Select(_mm_and_si128(lanes, flatQ), n.q1, q1);
        }
    }
    s.p1 = p1;
    s.p0 = p0;
    s.q0 = q0;
    s.q1 = q1;
}

inline __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void Store4(uint8_t* p, __m128i v) {
    const int32_t bytes = _mm_cvtsi128_si32(v);
    std::memcpy(p, &bytes, 4);
}

// The columns p2..q2 of a vertical edge of sixteen rows (0..7 from `top`,
// 8..15 from `bottom`): the eight bytes p3..q3 of each row, transposed into
// one vector per column.
inline Across TransposeColumns(const uint8_t* top, const uint8_t* bottom, ptrdiff_t pitch) {
    __m128i a[8];
    for (int i = 0; i < 4; ++i) {
        a[i] =
            _mm_unpacklo_epi8(Load8(top + 2 * i * pitch - 4), Load8(top + (2 * i + 1) * pitch - 4));
        a[i + 4] = _mm_unpacklo_epi8(Load8(bottom + 2 * i * pitch - 4),
                                     Load8(bottom + (2 * i + 1) * pitch - 4));
    }
    // b: four rows, four columns (one 32-bit lane per column).
    __m128i b[8];
    for (int i = 0; i < 4; ++i) {
        b[2 * i] = _mm_unpacklo_epi16(a[2 * i], a[2 * i + 1]);
        b[2 * i + 1] = _mm_unpackhi_epi16(a[2 * i], a[2 * i + 1]);
    }
    // c: eight rows, two columns (one 64-bit lane per column).
    __m128i c[8];
    for (int h = 0; h < 2; ++h) {
        const __m128i* q = b + 4 * h;
        c[4 * h + 0] = _mm_unpacklo_epi32(q[0], q[2]);
        c[4 * h + 1] = _mm_unpackhi_epi32(q[0], q[2]);
        c[4 * h + 2] = _mm_unpacklo_epi32(q[1], q[3]);
        c[4 * h + 3] = _mm_unpackhi_epi32(q[1], q[3]);
    }
    return {_mm_unpackhi_epi64(c[0], c[4]), _mm_unpacklo_epi64(c[1], c[5]),
            _mm_unpackhi_epi64(c[1], c[5]), _mm_unpacklo_epi64(c[2], c[6]),
            _mm_unpackhi_epi64(c[2], c[6]), _mm_unpacklo_epi64(c[3], c[7])};
}

// Writes p1..q1 of the sixteen rows back: four bytes per row.
inline void WriteColumns(uint8_t* top, uint8_t* bottom, ptrdiff_t pitch, const Across& s) {
    // One 32-bit lane per row.
    const __m128i e0 = _mm_unpacklo_epi8(s.p1, s.p0);
    const __m128i e1 = _mm_unpackhi_epi8(s.p1, s.p0);
    const __m128i e2 = _mm_unpacklo_epi8(s.q0, s.q1);
    const __m128i e3 = _mm_unpackhi_epi8(s.q0, s.q1);
    const __m128i rows[4] = {_mm_unpacklo_epi16(e0, e2), _mm_unpackhi_epi16(e0, e2),
                             _mm_unpacklo_epi16(e1, e3), _mm_unpackhi_epi16(e1, e3)};
    for (int g = 0; g < 4; ++g) {
        uint8_t* row = (g < 2 ? top : bottom) + 4 * (g & 1) * pitch - 2;
        Store4(row, rows[g]);
        Store4(row + pitch, _mm_shuffle_epi32(rows[g], 1));
        Store4(row + 2 * pitch, _mm_shuffle_epi32(rows[g], 2));
        Store4(row + 3 * pitch, _mm_shuffle_epi32(rows[g], 3));
    }
}

// The horizontal chroma edge of Cb and Cr: Cb in the low eight lanes, Cr in
// the high eight.
inline Across ChromaRows(const uint8_t* cb, const uint8_t* cr, ptrdiff_t pitch) {
    auto rows = [&](int i) {
        return _mm_unpacklo_epi64(Load8(cb + i * pitch), Load8(cr + i * pitch));
    };
    return {rows(-3), rows(-2), rows(-1), rows(0), rows(1), rows(2)};
}

inline void WriteChromaRows(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, const Across& s) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb - pitch), s.p0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr - pitch), _mm_unpackhi_epi64(s.p0, s.p0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb), s.q0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr), _mm_unpackhi_epi64(s.q0, s.q0));
}

}  // namespace xmm
}  // namespace
}  // namespace avs
