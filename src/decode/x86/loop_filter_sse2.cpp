// SSE2 edge filters; byte for byte the results of the plain kernels. Sixteen
// positions are filtered at once in two vectors of 16-bit lanes: a luma edge,
// or the same chroma edge of Cb and Cr. Vertical edges are transposed in and
// out as bytes.
#include <emmintrin.h>

#include <cstring>

#include "decode/loop_filter_kernels.h"
#include "decode/x86/loop_filter_x86.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

// The six samples across the edge at eight positions (16-bit lanes, 0..255).
struct Across {
    __m128i p2, p1, p0, q0, q1, q2;
};

inline __m128i AbsDiff(__m128i a, __m128i b) {
    return _mm_or_si128(_mm_subs_epu16(a, b), _mm_subs_epu16(b, a));
}
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline __m128i Clip255(__m128i v) {
    return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255));
}
// Lanes 0..3 take strength a, lanes 4..7 strength b.
inline __m128i LanesWith(int strength, int a, int b) {
    return _mm_set_epi64x(b == strength ? -1 : 0, a == strength ? -1 : 0);
}

template <bool kLuma>
inline void FilterLanes(Across& s, int bsA, int bsB, const EdgeThresholds& t) {
    const __m128i beta = _mm_set1_epi16(static_cast<int16_t>(t.beta));
    const __m128i dpq = AbsDiff(s.p0, s.q0);
    const __m128i on =
        _mm_and_si128(_mm_cmplt_epi16(dpq, _mm_set1_epi16(static_cast<int16_t>(t.alpha))),
                      _mm_and_si128(_mm_cmplt_epi16(AbsDiff(s.q0, s.q1), beta),
                                    _mm_cmplt_epi16(AbsDiff(s.p1, s.p0), beta)));
    const __m128i flatP = _mm_cmplt_epi16(AbsDiff(s.p0, s.p2), beta);
    const __m128i flatQ = _mm_cmplt_epi16(AbsDiff(s.q0, s.q2), beta);
    const __m128i two = _mm_set1_epi16(2);
    __m128i p1 = s.p1, p0 = s.p0, q0 = s.q0, q1 = s.q1;

    if (bsA == 2 || bsB == 2) {
        const __m128i lanes = _mm_and_si128(on, LanesWith(2, bsA, bsB));
        const __m128i small =
            _mm_cmplt_epi16(dpq, _mm_set1_epi16(static_cast<int16_t>((t.alpha >> 2) + 2)));
        const __m128i strongP = _mm_and_si128(flatP, small);
        const __m128i strongQ = _mm_and_si128(flatQ, small);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(s.p0, s.q0), two);
        // (p0 + 2 q1 + q0 + 2) >> 2 and (p0 + 2 q0 + q1 + 2) >> 2, and their mirrors.
        const __m128i wideQ = _mm_srli_epi16(_mm_add_epi16(sum, _mm_add_epi16(s.q1, s.q1)), 2);
        const __m128i nearQ = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sum, s.q0), s.q1), 2);
        const __m128i wideP = _mm_srli_epi16(_mm_add_epi16(sum, _mm_add_epi16(s.p1, s.p1)), 2);
        const __m128i nearP = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sum, s.p0), s.p1), 2);
        q0 = Select(lanes, Select(strongQ, nearQ, wideQ), q0);
        p0 = Select(lanes, Select(strongP, nearP, wideP), p0);
        if (kLuma) {
            q1 = Select(_mm_and_si128(lanes, strongQ), wideQ, q1);
            p1 = Select(_mm_and_si128(lanes, strongP), wideP, p1);
        }
    }
    if (bsA == 1 || bsB == 1) {
        const __m128i lanes = _mm_and_si128(on, LanesWith(1, bsA, bsB));
        const __m128i c = _mm_set1_epi16(static_cast<int16_t>(t.c));
        const __m128i minusC = _mm_sub_epi16(_mm_setzero_si128(), c);
        const __m128i four = _mm_set1_epi16(4);
        auto clampC = [&](__m128i v) { return _mm_min_epi16(_mm_max_epi16(v, minusC), c); };
        const __m128i dq = _mm_sub_epi16(s.q0, s.p0);
        const __m128i d = clampC(_mm_srai_epi16(
            _mm_add_epi16(
                _mm_add_epi16(_mm_add_epi16(dq, _mm_add_epi16(dq, dq)), _mm_sub_epi16(s.p1, s.q1)),
                four),
            3));
        const __m128i newP0 = Clip255(_mm_add_epi16(s.p0, d));
        const __m128i newQ0 = Clip255(_mm_sub_epi16(s.q0, d));
        p0 = Select(lanes, newP0, p0);
        q0 = Select(lanes, newQ0, q0);
        if (kLuma) {
            const __m128i a = _mm_sub_epi16(newP0, s.p1);
            const __m128i dp1 = clampC(_mm_srai_epi16(
                _mm_add_epi16(_mm_sub_epi16(_mm_add_epi16(a, _mm_add_epi16(a, a)), newQ0),
                              _mm_add_epi16(s.p2, four)),
                3));
            const __m128i b = _mm_sub_epi16(s.q1, newQ0);
            const __m128i dq1 = clampC(_mm_srai_epi16(
                _mm_add_epi16(_mm_sub_epi16(_mm_add_epi16(b, _mm_add_epi16(b, b)), s.q2),
                              _mm_add_epi16(newP0, four)),
                3));
            p1 = Select(_mm_and_si128(lanes, flatP), Clip255(_mm_add_epi16(s.p1, dp1)), p1);
            q1 = Select(_mm_and_si128(lanes, flatQ), Clip255(_mm_sub_epi16(s.q1, dq1)), q1);
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

// The six samples of sixteen positions, widened: lo holds positions 0..7, hi 8..15.
struct Across16 {
    Across lo, hi;
};

// rows[i] holds p2, p1, p0, q0, q1, q2 for i = 0..5, one byte per position.
inline Across16 Widen(const __m128i rows[6]) {
    const __m128i zero = _mm_setzero_si128();
    Across16 s;
    __m128i* lo[6] = {&s.lo.p2, &s.lo.p1, &s.lo.p0, &s.lo.q0, &s.lo.q1, &s.lo.q2};
    __m128i* hi[6] = {&s.hi.p2, &s.hi.p1, &s.hi.p0, &s.hi.q0, &s.hi.q1, &s.hi.q2};
    for (int i = 0; i < 6; ++i) {
        *lo[i] = _mm_unpacklo_epi8(rows[i], zero);
        *hi[i] = _mm_unpackhi_epi8(rows[i], zero);
    }
    return s;
}

// A vertical edge of sixteen rows (0..7 from `top`, 8..15 from `bottom`):
// the eight bytes p3..q3 of each row are transposed into one vector per
// column, filtered, and p1..q1 are written back.
template <bool kLuma>
inline void FilterColumns(uint8_t* top, uint8_t* bottom, ptrdiff_t pitch, int bsTopA, int bsTopB,
                          int bsBottomA, int bsBottomB, const EdgeThresholds& t) {
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
    // Columns p2..q2 (1..6) of all sixteen rows.
    const __m128i columns[6] = {
        _mm_unpackhi_epi64(c[0], c[4]), _mm_unpacklo_epi64(c[1], c[5]),
        _mm_unpackhi_epi64(c[1], c[5]), _mm_unpacklo_epi64(c[2], c[6]),
        _mm_unpackhi_epi64(c[2], c[6]), _mm_unpacklo_epi64(c[3], c[7]),
    };
    Across16 s = Widen(columns);
    if (bsTopA | bsTopB) FilterLanes<kLuma>(s.lo, bsTopA, bsTopB, t);
    if (bsBottomA | bsBottomB) FilterLanes<kLuma>(s.hi, bsBottomA, bsBottomB, t);

    // Back to rows: four bytes p1 p0 q0 q1 per row, one 32-bit lane per row.
    const __m128i p1 = _mm_packus_epi16(s.lo.p1, s.hi.p1);
    const __m128i p0 = _mm_packus_epi16(s.lo.p0, s.hi.p0);
    const __m128i q0 = _mm_packus_epi16(s.lo.q0, s.hi.q0);
    const __m128i q1 = _mm_packus_epi16(s.lo.q1, s.hi.q1);
    const __m128i e0 = _mm_unpacklo_epi8(p1, p0);
    const __m128i e1 = _mm_unpackhi_epi8(p1, p0);
    const __m128i e2 = _mm_unpacklo_epi8(q0, q1);
    const __m128i e3 = _mm_unpackhi_epi8(q0, q1);
    __m128i rows[4] = {_mm_unpacklo_epi16(e0, e2), _mm_unpackhi_epi16(e0, e2),
                       _mm_unpacklo_epi16(e1, e3), _mm_unpackhi_epi16(e1, e3)};
    for (int g = 0; g < 4; ++g) {
        uint8_t* row = (g < 2 ? top : bottom) + 4 * (g & 1) * pitch - 2;
        for (int r = 0; r < 4; ++r, row += pitch) {
            const int32_t bytes = _mm_cvtsi128_si32(rows[g]);
            std::memcpy(row, &bytes, 4);
            rows[g] = _mm_srli_si128(rows[g], 4);
        }
    }
}

void FilterLumaEdgeVSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (bs0 | bs1) FilterColumns<true>(edge, edge + 8 * pitch, pitch, bs0, bs0, bs1, bs1, t);
}

void FilterLumaEdgeHSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (!(bs0 | bs1)) return;
    __m128i rows[6];
    for (int i = 0; i < 6; ++i) {
        rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(edge + (i - 3) * pitch));
    }
    Across16 s = Widen(rows);
    if (bs0) FilterLanes<true>(s.lo, bs0, bs0, t);
    if (bs1) FilterLanes<true>(s.hi, bs1, bs1, t);
    const __m128i out[4] = {_mm_packus_epi16(s.lo.p1, s.hi.p1), _mm_packus_epi16(s.lo.p0, s.hi.p0),
                            _mm_packus_epi16(s.lo.q0, s.hi.q0), _mm_packus_epi16(s.lo.q1, s.hi.q1)};
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(edge + (i - 2) * pitch), out[i]);
    }
}

// Cb and Cr together: rows 0..7 of the vertical edge are Cb, 8..15 Cr.
void FilterChromaEdgeVSse2(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                           EdgeThresholds t) {
    if (bs0 | bs1) FilterColumns<false>(cb, cr, pitch, bs0, bs1, bs0, bs1, t);
}

// Cb in the low eight lanes, Cr in the high eight.
void FilterChromaEdgeHSse2(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                           EdgeThresholds t) {
    if (!(bs0 | bs1)) return;
    __m128i rows[6];
    for (int i = 0; i < 6; ++i) {
        rows[i] = _mm_unpacklo_epi64(Load8(cb + (i - 3) * pitch), Load8(cr + (i - 3) * pitch));
    }
    Across16 s = Widen(rows);
    FilterLanes<false>(s.lo, bs0, bs1, t);
    FilterLanes<false>(s.hi, bs0, bs1, t);
    const __m128i p0 = _mm_packus_epi16(s.lo.p0, s.hi.p0);
    const __m128i q0 = _mm_packus_epi16(s.lo.q0, s.hi.q0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb - pitch), p0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr - pitch), _mm_unpackhi_epi64(p0, p0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cb), q0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cr), _mm_unpackhi_epi64(q0, q0));
}

}  // namespace

void InstallLoopFilterKernelsSse2(KernelTable& table) {
    table.FilterLumaEdgeV = FilterLumaEdgeVSse2;
    table.FilterLumaEdgeH = FilterLumaEdgeHSse2;
    table.FilterChromaEdgeV = FilterChromaEdgeVSse2;
    table.FilterChromaEdgeH = FilterChromaEdgeHSse2;
}

}  // namespace avs
