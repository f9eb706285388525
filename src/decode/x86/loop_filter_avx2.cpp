// AVX2 macroblock filters; byte for byte the results of the plain kernels.
// Luma: the two vertical edges of a macroblock (x = 0 and x = 8) read and
// write disjoint samples, and so do the two horizontal ones (y = 0 and
// y = 8): each pair is filtered at once, one edge in each 128-bit lane, with
// the byte arithmetic of loop_filter_xmm.h. Chroma: the sixteen positions of
// loop_filter_xmm.h, with the normal filter's 16-bit sums in one register
// and only p0 and q0 written back.
#include <immintrin.h>

#include <cstring>

#include "decode/kernel_table.h"
#include "decode/loop_filter_kernels.h"
#include "decode/x86/loop_filter_x86.h"
#include "decode/x86/loop_filter_xmm.h"

namespace avs {
namespace {

// The six samples across two edges at sixteen positions each, one byte each.
struct Across {
    __m256i p2, p1, p0, q0, q1, q2;
};

struct LaneStrengths {
    __m256i strong, normal;
    bool anyStrong, anyNormal;
};

// The strengths of two edges: the halves of the low lane's edge in bytes 0
// and 1 of `halves`, those of the high lane's edge in bytes 2 and 3; each
// half covers eight positions.
inline LaneStrengths StrengthsOf(uint32_t halves) {
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,  //
                                            2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
    const __m256i perLane =
        _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int32_t>(halves)), spread);
    const __m256i strong = _mm256_cmpeq_epi8(perLane, _mm256_set1_epi8(2));
    const __m256i normal = _mm256_cmpeq_epi8(perLane, _mm256_set1_epi8(1));
    return {strong, normal, _mm256_movemask_epi8(strong) != 0, _mm256_movemask_epi8(normal) != 0};
}

inline uint32_t Halves(const uint8_t (&a)[2], const uint8_t (&b)[2]) {
    return a[0] | a[1] << 8 | b[0] << 16 | static_cast<uint32_t>(b[1]) << 24;
}

// The thresholds of two edges, the low lane's and the high lane's: an outer
// edge of the macroblock and an inner one need not share them.
struct LaneThresholds {
    __m256i alpha, beta, small;  // bytes; small = (alpha >> 2) + 2
    __m256i c;                   // 16-bit lanes, as the normal filter widens them
};

inline __m256i LanePair8(int low, int high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi8(static_cast<char>(low))),
                                   _mm_set1_epi8(static_cast<char>(high)), 1);
}

inline LaneThresholds ThresholdsOf(const EdgeThresholds& low, const EdgeThresholds& high) {
    return {
        LanePair8(low.alpha, high.alpha), LanePair8(low.beta, high.beta),
        LanePair8((low.alpha >> 2) + 2, (high.alpha >> 2) + 2),
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi16(static_cast<int16_t>(low.c))),
                                _mm_set1_epi16(static_cast<int16_t>(high.c)), 1)};
}

inline __m256i AbsDiff(__m256i a, __m256i b) {
    return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}
// All ones where the unsigned byte a is not below t.
inline __m256i AtLeast(__m256i a, __m256i t) {
    return _mm256_cmpeq_epi8(_mm256_subs_epu8(t, a), _mm256_setzero_si256());
}
inline __m256i Select(__m256i mask, __m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, mask);
}
inline __m256i Bytes(int v) {
    return _mm256_set1_epi8(static_cast<char>(v));
}
inline __m256i FloorAverage(__m256i a, __m256i b) {
    return _mm256_sub_epi8(_mm256_avg_epu8(a, b),
                           _mm256_and_si256(_mm256_xor_si256(a, b), Bytes(1)));
}

struct Normal16 {
    __m256i p1, p0, q0, q1;
};

// The normal filter on 16-bit lanes: the new p1, p0, q0, q1 before clipping
// to bytes (the caller's unsigned pack clips).
inline Normal16 NormalFilter16(const __m256i (&w)[6], __m256i c) {
    const __m256i p2 = w[0], p1 = w[1], p0 = w[2], q0 = w[3], q1 = w[4], q2 = w[5];
    const __m256i minusC = _mm256_sub_epi16(_mm256_setzero_si256(), c);
    const __m256i four = _mm256_set1_epi16(4);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i max = _mm256_set1_epi16(255);
    auto clampC = [&](__m256i v) { return _mm256_min_epi16(_mm256_max_epi16(v, minusC), c); };
    auto clip = [&](__m256i v) { return _mm256_min_epi16(_mm256_max_epi16(v, zero), max); };
    auto times3 = [](__m256i v) { return _mm256_add_epi16(v, _mm256_add_epi16(v, v)); };
    const __m256i d = clampC(_mm256_srai_epi16(
        _mm256_add_epi16(
            _mm256_add_epi16(times3(_mm256_sub_epi16(q0, p0)), _mm256_sub_epi16(p1, q1)), four),
        3));
    const __m256i newP0 = clip(_mm256_add_epi16(p0, d));
    const __m256i newQ0 = clip(_mm256_sub_epi16(q0, d));
    const __m256i dp1 = clampC(_mm256_srai_epi16(
        _mm256_add_epi16(_mm256_sub_epi16(times3(_mm256_sub_epi16(newP0, p1)), newQ0),
                         _mm256_add_epi16(p2, four)),
        3));
    const __m256i dq1 = clampC(_mm256_srai_epi16(
        _mm256_add_epi16(_mm256_sub_epi16(times3(_mm256_sub_epi16(q1, newQ0)), q2),
                         _mm256_add_epi16(newP0, four)),
        3));
    return {_mm256_add_epi16(p1, dp1), newP0, newQ0, _mm256_sub_epi16(q1, dq1)};
}

// Filters p1, p0, q0 and q1 of both edges in place.
[[gnu::always_inline]] inline void FilterAcross(Across& s, const LaneStrengths& st,
                                                const LaneThresholds& t) {
    const __m256i beta = t.beta;
    const __m256i dpq = AbsDiff(s.p0, s.q0);
    const __m256i off = _mm256_or_si256(
        AtLeast(dpq, t.alpha),
        _mm256_or_si256(AtLeast(AbsDiff(s.q0, s.q1), beta), AtLeast(AbsDiff(s.p1, s.p0), beta)));
    const __m256i notFlatP = AtLeast(AbsDiff(s.p0, s.p2), beta);
    const __m256i notFlatQ = AtLeast(AbsDiff(s.q0, s.q2), beta);
    __m256i p1 = s.p1, p0 = s.p0, q0 = s.q0, q1 = s.q1;

    if (st.anyStrong) {
        const __m256i lanes = _mm256_andnot_si256(off, st.strong);
        const __m256i big = AtLeast(dpq, t.small);
        const __m256i weakP = _mm256_or_si256(big, notFlatP);
        const __m256i weakQ = _mm256_or_si256(big, notFlatQ);
        const __m256i mid = FloorAverage(s.p0, s.q0);
        const __m256i wideQ = _mm256_avg_epu8(s.q1, mid);
        const __m256i nearQ = _mm256_avg_epu8(s.q0, FloorAverage(s.p0, s.q1));
        const __m256i wideP = _mm256_avg_epu8(s.p1, mid);
        const __m256i nearP = _mm256_avg_epu8(s.p0, FloorAverage(s.q0, s.p1));
        q0 = Select(lanes, Select(weakQ, wideQ, nearQ), q0);
        p0 = Select(lanes, Select(weakP, wideP, nearP), p0);
        q1 = Select(_mm256_andnot_si256(weakQ, lanes), wideQ, q1);
        p1 = Select(_mm256_andnot_si256(weakP, lanes), wideP, p1);
    }
    if (st.anyNormal) {
        const __m256i lanes = _mm256_andnot_si256(off, st.normal);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i lo[6] = {_mm256_unpacklo_epi8(s.p2, zero), _mm256_unpacklo_epi8(s.p1, zero),
                               _mm256_unpacklo_epi8(s.p0, zero), _mm256_unpacklo_epi8(s.q0, zero),
                               _mm256_unpacklo_epi8(s.q1, zero), _mm256_unpacklo_epi8(s.q2, zero)};
        const __m256i hi[6] = {_mm256_unpackhi_epi8(s.p2, zero), _mm256_unpackhi_epi8(s.p1, zero),
                               _mm256_unpackhi_epi8(s.p0, zero), _mm256_unpackhi_epi8(s.q0, zero),
                               _mm256_unpackhi_epi8(s.q1, zero), _mm256_unpackhi_epi8(s.q2, zero)};
        const Normal16 a = NormalFilter16(lo, t.c);
        const Normal16 b = NormalFilter16(hi, t.c);
        p0 = Select(lanes, _mm256_packus_epi16(a.p0, b.p0), p0);
        q0 = Select(lanes, _mm256_packus_epi16(a.q0, b.q0), q0);
        p1 = Select(_mm256_andnot_si256(notFlatP, lanes), _mm256_packus_epi16(a.p1, b.p1), p1);
        q1 = Select(_mm256_andnot_si256(notFlatQ, lanes), _mm256_packus_epi16(a.q1, b.q1), q1);
    }
    s.p1 = p1;
    s.p0 = p0;
    s.q0 = q0;
    s.q1 = q1;
}

inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
template <int kIndex>
inline void Store4(uint8_t* p, __m128i v) {
    const int32_t bytes = _mm_extract_epi32(v, kIndex);
    std::memcpy(p, &bytes, 4);
}

// Both vertical edges. Each row's bytes x - 4 .. x + 3 go to the low lane and
// x + 4 .. x + 11 to the high lane; the lanes are transposed as the SSE2
// kernel transposes one edge, into one vector per column of both edges.
void FilterVerticalEdges(uint8_t* mb, ptrdiff_t pitch, uint32_t halves, const LaneThresholds& t) {
    const LaneStrengths st = StrengthsOf(halves);
    auto row = [&](int r) {
        return _mm256_permute4x64_epi64(_mm256_castsi128_si256(Load16(mb + r * pitch - 4)), 0x50);
    };
    __m256i a[8];
    for (int i = 0; i < 8; ++i) a[i] = _mm256_unpacklo_epi8(row(2 * i), row(2 * i + 1));
    __m256i b[8];
    for (int i = 0; i < 4; ++i) {
        b[2 * i] = _mm256_unpacklo_epi16(a[2 * i], a[2 * i + 1]);
        b[2 * i + 1] = _mm256_unpackhi_epi16(a[2 * i], a[2 * i + 1]);
    }
    __m256i c[8];
    for (int h = 0; h < 2; ++h) {
        const __m256i* q = b + 4 * h;
        c[4 * h + 0] = _mm256_unpacklo_epi32(q[0], q[2]);
        c[4 * h + 1] = _mm256_unpackhi_epi32(q[0], q[2]);
        c[4 * h + 2] = _mm256_unpacklo_epi32(q[1], q[3]);
        c[4 * h + 3] = _mm256_unpackhi_epi32(q[1], q[3]);
    }
    Across s = {_mm256_unpackhi_epi64(c[0], c[4]), _mm256_unpacklo_epi64(c[1], c[5]),
                _mm256_unpackhi_epi64(c[1], c[5]), _mm256_unpacklo_epi64(c[2], c[6]),
                _mm256_unpackhi_epi64(c[2], c[6]), _mm256_unpacklo_epi64(c[3], c[7])};
    FilterAcross(s, st, t);

    // Back to rows: four bytes p1 p0 q0 q1 per row, one 32-bit lane per row.
    const __m256i e0 = _mm256_unpacklo_epi8(s.p1, s.p0);
    const __m256i e1 = _mm256_unpackhi_epi8(s.p1, s.p0);
    const __m256i e2 = _mm256_unpacklo_epi8(s.q0, s.q1);
    const __m256i e3 = _mm256_unpackhi_epi8(s.q0, s.q1);
    const __m256i rows[4] = {_mm256_unpacklo_epi16(e0, e2), _mm256_unpackhi_epi16(e0, e2),
                             _mm256_unpacklo_epi16(e1, e3), _mm256_unpackhi_epi16(e1, e3)};
    // An edge with strengths 0 kept its samples: only filtered ones are stored.
    auto store = [&](int lane, uint8_t* at) {
        for (int g = 0; g < 4; ++g) {
            const __m128i v =
                lane == 0 ? _mm256_castsi256_si128(rows[g]) : _mm256_extracti128_si256(rows[g], 1);
            uint8_t* p = at + 4 * g * pitch;
            Store4<0>(p, v);
            Store4<1>(p + pitch, v);
            Store4<2>(p + 2 * pitch, v);
            Store4<3>(p + 3 * pitch, v);
        }
    };
    if (halves & 0xFFFF) store(0, mb - 2);
    if (halves >> 16) store(1, mb + 6);
}

// Both horizontal edges: rows around y = 0 in the low lane, around y = 8 in the high one.
void FilterHorizontalEdges(uint8_t* mb, ptrdiff_t pitch, uint32_t halves, const LaneThresholds& t) {
    const LaneStrengths st = StrengthsOf(halves);
    auto rows = [&](int i) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(mb + i * pitch)),
                                       Load16(mb + (i + 8) * pitch), 1);
    };
    Across s = {rows(-3), rows(-2), rows(-1), rows(0), rows(1), rows(2)};
    FilterAcross(s, st, t);
    const __m256i out[4] = {s.p1, s.p0, s.q0, s.q1};
    if (halves & 0xFFFF) {
        for (int i = 0; i < 4; ++i) Store16(mb + (i - 2) * pitch, _mm256_castsi256_si128(out[i]));
    }
    if (halves >> 16) {
        for (int i = 0; i < 4; ++i)
            Store16(mb + (i + 6) * pitch, _mm256_extracti128_si256(out[i], 1));
    }
}

void FilterLumaMacroblockAvx2(uint8_t* mb, ptrdiff_t pitch, MacroblockEdgeStrengths bs,
                              const MacroblockEdgeThresholds& t) {
    if (const uint32_t v = Halves(bs.left, bs.innerV)) {
        FilterVerticalEdges(mb, pitch, v, ThresholdsOf(t.left, t.inner));
    }
    if (const uint32_t h = Halves(bs.top, bs.innerH)) {
        FilterHorizontalEdges(mb, pitch, h, ThresholdsOf(t.top, t.inner));
    }
}

// The normal filter of sixteen chroma positions: widened into one register.
struct NormalInOneRegister {
    static xmm::NormalBytes Filter(const xmm::Across& s, const EdgeThresholds& t) {
        const __m256i w[6] = {_mm256_cvtepu8_epi16(s.p2), _mm256_cvtepu8_epi16(s.p1),
                              _mm256_cvtepu8_epi16(s.p0), _mm256_cvtepu8_epi16(s.q0),
                              _mm256_cvtepu8_epi16(s.q1), _mm256_cvtepu8_epi16(s.q2)};
        const Normal16 n = NormalFilter16(w, _mm256_set1_epi16(static_cast<int16_t>(t.c)));
        auto bytes = [](__m256i v) {
            return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        };
        return {bytes(n.p1), bytes(n.p0), bytes(n.q0), bytes(n.q1)};
    }
};

// Rows 0..7 of `top` and `bottom`: the two bytes p0 q0 of each (lanes 0..7
// of `s`, then 8..15).
inline void WriteP0Q0(uint8_t* top, uint8_t* bottom, ptrdiff_t pitch, const xmm::Across& s) {
    const __m128i upper = _mm_unpacklo_epi8(s.p0, s.q0);
    const __m128i lower = _mm_unpackhi_epi8(s.p0, s.q0);
    auto put = [pitch](uint8_t* p, int r, int bytes) {
        const auto v = static_cast<uint16_t>(bytes);
        std::memcpy(p + r * pitch - 1, &v, 2);
    };
    put(top, 0, _mm_extract_epi16(upper, 0));
    put(top, 1, _mm_extract_epi16(upper, 1));
    put(top, 2, _mm_extract_epi16(upper, 2));
    put(top, 3, _mm_extract_epi16(upper, 3));
    put(top, 4, _mm_extract_epi16(upper, 4));
    put(top, 5, _mm_extract_epi16(upper, 5));
    put(top, 6, _mm_extract_epi16(upper, 6));
    put(top, 7, _mm_extract_epi16(upper, 7));
    put(bottom, 0, _mm_extract_epi16(lower, 0));
    put(bottom, 1, _mm_extract_epi16(lower, 1));
    put(bottom, 2, _mm_extract_epi16(lower, 2));
    put(bottom, 3, _mm_extract_epi16(lower, 3));
    put(bottom, 4, _mm_extract_epi16(lower, 4));
    put(bottom, 5, _mm_extract_epi16(lower, 5));
    put(bottom, 6, _mm_extract_epi16(lower, 6));
    put(bottom, 7, _mm_extract_epi16(lower, 7));
}

// Cb and Cr together. Vertical edge: rows 0..7 are Cb, 8..15 Cr. Horizontal
// edge: Cb in the low eight lanes, Cr in the high eight.
void FilterChromaMacroblockAvx2(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch,
                                MacroblockEdgeStrengths bs, const MacroblockEdgeThresholds& t) {
    if (bs.left[0] | bs.left[1]) {
        xmm::Across s = xmm::TransposeColumns(cb, cr, pitch);
        xmm::FilterAcross<false, NormalInOneRegister>(s, xmm::ChromaStrengths(bs.left), t.left);
        WriteP0Q0(cb, cr, pitch, s);
    }
    if (!(bs.top[0] | bs.top[1])) return;
    xmm::Across s = xmm::ChromaRows(cb, cr, pitch);
    xmm::FilterAcross<false, NormalInOneRegister>(s, xmm::ChromaStrengths(bs.top), t.top);
    xmm::WriteChromaRows(cb, cr, pitch, s);
}

}  // namespace

void InstallLoopFilterKernelsAvx2(KernelTable& table) {
    table.FilterLumaMacroblock = FilterLumaMacroblockAvx2;
    table.FilterChromaMacroblock = FilterChromaMacroblockAvx2;
}

}  // namespace avs
