// SSE2 edge filters; byte for byte the results of the plain kernels. Sixteen
// positions are filtered at once (see loop_filter_xmm.h): a luma edge, or the
// same chroma edge of Cb and Cr. The normal filter widens the positions to
// 16-bit lanes in two halves.
#include <emmintrin.h>

#include "decode/kernel_table.h"
#include "decode/loop_filter_kernels.h"
#include "decode/x86/loop_filter_x86.h"
#include "decode/x86/loop_filter_xmm.h"

namespace avs {
namespace {

using namespace xmm;

struct NormalInHalves {
    static NormalBytes Filter(const Across& s, const EdgeThresholds& t) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo[6] = {_mm_unpacklo_epi8(s.p2, zero), _mm_unpacklo_epi8(s.p1, zero),
                               _mm_unpacklo_epi8(s.p0, zero), _mm_unpacklo_epi8(s.q0, zero),
                               _mm_unpacklo_epi8(s.q1, zero), _mm_unpacklo_epi8(s.q2, zero)};
        const __m128i hi[6] = {_mm_unpackhi_epi8(s.p2, zero), _mm_unpackhi_epi8(s.p1, zero),
                               _mm_unpackhi_epi8(s.p0, zero), _mm_unpackhi_epi8(s.q0, zero),
                               _mm_unpackhi_epi8(s.q1, zero), _mm_unpackhi_epi8(s.q2, zero)};
        const Normal16 a = NormalFilter16(lo, t);
        const Normal16 b = NormalFilter16(hi, t);
        return {_mm_packus_epi16(a.p1, b.p1), _mm_packus_epi16(a.p0, b.p0),
                _mm_packus_epi16(a.q0, b.q0), _mm_packus_epi16(a.q1, b.q1)};
    }
};

void FilterLumaEdgeV(uint8_t* edge, ptrdiff_t pitch, const uint8_t (&bs)[2],
                     const EdgeThresholds& t) {
    if (!(bs[0] | bs[1])) return;
    uint8_t* bottom = edge + 8 * pitch;
    Across s = TransposeColumns(edge, bottom, pitch);
    FilterAcross<true, NormalInHalves>(s, LumaStrengths(bs), t);
    WriteColumns(edge, bottom, pitch, s);
}

void FilterLumaEdgeH(uint8_t* edge, ptrdiff_t pitch, const uint8_t (&bs)[2],
                     const EdgeThresholds& t) {
    if (!(bs[0] | bs[1])) return;
    auto row = [&](int i) { return reinterpret_cast<__m128i*>(edge + i * pitch); };
    Across s = {_mm_loadu_si128(row(-3)), _mm_loadu_si128(row(-2)), _mm_loadu_si128(row(-1)),
                _mm_loadu_si128(row(0)),  _mm_loadu_si128(row(1)),  _mm_loadu_si128(row(2))};
    FilterAcross<true, NormalInHalves>(s, LumaStrengths(bs), t);
    _mm_storeu_si128(row(-2), s.p1);
    _mm_storeu_si128(row(-1), s.p0);
    _mm_storeu_si128(row(0), s.q0);
    _mm_storeu_si128(row(1), s.q1);
}

void FilterLumaMacroblockSse2(uint8_t* mb, ptrdiff_t pitch, MacroblockEdgeStrengths bs,
                              const MacroblockEdgeThresholds& t) {
    FilterLumaEdgeV(mb, pitch, bs.left, t.left);
    FilterLumaEdgeV(mb + 8, pitch, bs.innerV, t.inner);
    FilterLumaEdgeH(mb, pitch, bs.top, t.top);
    FilterLumaEdgeH(mb + 8 * pitch, pitch, bs.innerH, t.inner);
}

// Cb and Cr together. Vertical edge: rows 0..7 are Cb, 8..15 Cr. Horizontal
// edge: Cb in the low eight lanes, Cr in the high eight.
void FilterChromaMacroblockSse2(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch,
                                MacroblockEdgeStrengths bs, const MacroblockEdgeThresholds& t) {
    if (bs.left[0] | bs.left[1]) {
        Across s = TransposeColumns(cb, cr, pitch);
        FilterAcross<false, NormalInHalves>(s, ChromaStrengths(bs.left), t.left);
        WriteColumns(cb, cr, pitch, s);
    }
    if (!(bs.top[0] | bs.top[1])) return;
    Across s = ChromaRows(cb, cr, pitch);
    FilterAcross<false, NormalInHalves>(s, ChromaStrengths(bs.top), t.top);
    WriteChromaRows(cb, cr, pitch, s);
}

}  // namespace

void InstallLoopFilterKernelsSse2(KernelTable& table) {
    table.FilterLumaMacroblock = FilterLumaMacroblockSse2;
    table.FilterChromaMacroblock = FilterChromaMacroblockSse2;
}

}  // namespace avs
