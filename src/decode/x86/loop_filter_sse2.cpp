// SSE2 edge filters; byte for byte the results of the plain kernels. Eight
// positions along an edge are filtered at once in 16-bit lanes; vertical
// edges are transposed in and out.
#include <emmintrin.h>

#include "decode/loop_filter_kernels.h"
#include "decode/x86/loop_filter_x86.h"
#include "decode/x86/transpose_sse2.h"
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

inline __m128i Widen(__m128i bytes) {
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}
inline __m128i Load8(const uint8_t* p) {
    return Widen(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline void Store8(uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
}

// A vertical edge of eight rows: p3..q3 of every row, transposed so that each
// vector holds one column.
template <bool kLuma>
inline void FilterColumns(uint8_t* edge, ptrdiff_t pitch, int bsA, int bsB,
                          const EdgeThresholds& t) {
    uint8_t* base = edge - 4;
    __m128i r[8];
    for (int i = 0; i < 8; ++i) r[i] = Load8(base + i * pitch);
    Transpose8x8Epi16(r);
    Across s{r[1], r[2], r[3], r[4], r[5], r[6]};
    FilterLanes<kLuma>(s, bsA, bsB, t);
    r[2] = s.p1;
    r[3] = s.p0;
    r[4] = s.q0;
    r[5] = s.q1;
    Transpose8x8Epi16(r);
    for (int i = 0; i < 8; ++i) Store8(base + i * pitch, r[i]);
}

void FilterLumaEdgeVSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (bs0) FilterColumns<true>(edge, pitch, bs0, bs0, t);
    if (bs1) FilterColumns<true>(edge + 8 * pitch, pitch, bs1, bs1, t);
}

void FilterLumaEdgeHSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (!(bs0 | bs1)) return;
    __m128i rows[6];
    for (int i = 0; i < 6; ++i) {
        rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(edge + (i - 3) * pitch));
    }
    const __m128i zero = _mm_setzero_si128();
    Across lo{_mm_unpacklo_epi8(rows[0], zero), _mm_unpacklo_epi8(rows[1], zero),
              _mm_unpacklo_epi8(rows[2], zero), _mm_unpacklo_epi8(rows[3], zero),
              _mm_unpacklo_epi8(rows[4], zero), _mm_unpacklo_epi8(rows[5], zero)};
    Across hi{_mm_unpackhi_epi8(rows[0], zero), _mm_unpackhi_epi8(rows[1], zero),
              _mm_unpackhi_epi8(rows[2], zero), _mm_unpackhi_epi8(rows[3], zero),
              _mm_unpackhi_epi8(rows[4], zero), _mm_unpackhi_epi8(rows[5], zero)};
    if (bs0) FilterLanes<true>(lo, bs0, bs0, t);
    if (bs1) FilterLanes<true>(hi, bs1, bs1, t);
    const __m128i out[4] = {_mm_packus_epi16(lo.p1, hi.p1), _mm_packus_epi16(lo.p0, hi.p0),
                            _mm_packus_epi16(lo.q0, hi.q0), _mm_packus_epi16(lo.q1, hi.q1)};
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(edge + (i - 2) * pitch), out[i]);
    }
}

void FilterChromaEdgeVSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (bs0 | bs1) FilterColumns<false>(edge, pitch, bs0, bs1, t);
}

void FilterChromaEdgeHSse2(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t) {
    if (!(bs0 | bs1)) return;
    Across s{Load8(edge - 3 * pitch), Load8(edge - 2 * pitch), Load8(edge - pitch), Load8(edge),
             Load8(edge + pitch),     Load8(edge + 2 * pitch)};
    FilterLanes<false>(s, bs0, bs1, t);
    Store8(edge - pitch, s.p0);
    Store8(edge, s.q0);
}

}  // namespace

void InstallLoopFilterKernelsSse2(KernelTable& table) {
    table.FilterLumaEdgeV = FilterLumaEdgeVSse2;
    table.FilterLumaEdgeH = FilterLumaEdgeHSse2;
    table.FilterChromaEdgeV = FilterChromaEdgeVSse2;
    table.FilterChromaEdgeH = FilterChromaEdgeHSse2;
}

}  // namespace avs
