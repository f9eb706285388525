// SSE4.1 intra prediction; byte for byte the results of the plain kernels.
// The reference samples are gathered straight into registers (a line built
// byte by byte in memory and read back as a vector would stall the load), the
// [1, 2, 1] filter runs on sixteen samples at once in its exact form as two
// byte averages, and every mode writes the 8x8 prediction as four stores of
// two rows, most of them one byte shuffle each.
#include <smmintrin.h>

#include "decode/intra_prediction.h"
#include "decode/kernel_table.h"
#include "decode/x86/intra_prediction_x86.h"

namespace avs {
namespace {

// (a + b) >> 1: the rounding average minus the bit it rounded up.
inline __m128i FloorAverage(__m128i a, __m128i b) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// A line of reference samples from the corner outwards: bytes 0..15 in `lo`
// (byte 0 the corner), samples 16 and 17 in the low bytes of `hi`.
struct Line {
    __m128i lo, hi;
};

// Samples 1..16 of the line after the [1, 2, 1] filter: (a + 2b + c + 2) >> 2
// is exactly the rounding average of b and (a + c) >> 1.
inline __m128i SmoothLine(const Line& l) {
    const __m128i at = _mm_or_si128(_mm_srli_si128(l.lo, 1), _mm_slli_si128(l.hi, 15));
    const __m128i after = _mm_or_si128(_mm_srli_si128(l.lo, 2), _mm_slli_si128(l.hi, 14));
    return _mm_avg_epu8(at, FloorAverage(l.lo, after));
}

inline __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Eight samples down a column as one vector's low bytes (row 0 lowest). The
// loads are independent and merged pairwise, so the vector is ready soon
// after the last load; inserting them one by one would chain eight inserts
// behind the store that wrote the column a block earlier.
inline __m128i Column8(const uint8_t* column, ptrdiff_t pitch) {
    uint64_t v[8];
    for (int i = 0; i < 8; ++i) v[i] = column[i * pitch];
    const uint64_t low = (v[0] | v[1] << 8) | (v[2] | v[3] << 8) << 16;
    const uint64_t high = (v[4] | v[5] << 8) | (v[6] | v[7] << 8) << 16;
    return _mm_set_epi64x(0, static_cast<int64_t>(low | high << 32));
}

inline __m128i Pattern(char b0, char b1, char b2, char b3, char b4, char b5, char b6, char b7,
                       char b8, char b9, char b10, char b11, char b12, char b13, char b14,
                       char b15) {
    return _mm_setr_epi8(b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15);
}

// Stores four vectors of two rows each.
inline void StoreRows(uint8_t* pred, __m128i r01, __m128i r23, __m128i r45, __m128i r67) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pred), r01);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pred + 16), r23);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pred + 32), r45);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pred + 48), r67);
}

inline void StoreSame(uint8_t* pred, __m128i twoRows) {
    StoreRows(pred, twoRows, twoRows, twoRows, twoRows);
}

// Row y is byte y of `column`, repeated.
inline void StoreColumnRows(uint8_t* pred, __m128i column) {
    StoreRows(pred,
              _mm_shuffle_epi8(column, Pattern(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1)),
              _mm_shuffle_epi8(column, Pattern(2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3)),
              _mm_shuffle_epi8(column, Pattern(4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5)),
              _mm_shuffle_epi8(column, Pattern(6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7)));
}

// Row y, sample x is (top[x] + column[y]) >> 1.
inline void StoreAverageRows(uint8_t* pred, __m128i top, __m128i column) {
    const __m128i t = _mm_unpacklo_epi64(top, top);
    auto rows = [&](char y) {
        const char z = static_cast<char>(y + 1);
        return FloorAverage(
            t, _mm_shuffle_epi8(column, Pattern(y, y, y, y, y, y, y, y, z, z, z, z, z, z, z, z)));
    };
    StoreRows(pred, rows(0), rows(2), rows(4), rows(6));
}

// The DC mode of luma and chroma: `top` and `left` hold the filtered samples
// 1..8 of each edge.
inline void StoreDc(uint8_t* pred, bool up, bool left, __m128i top, __m128i column) {
    if (up && left) {
        StoreAverageRows(pred, top, column);
    } else if (up) {
        StoreSame(pred, _mm_unpacklo_epi64(top, top));
    } else if (left) {
        StoreColumnRows(pred, column);
    } else {
        StoreSame(pred, _mm_set1_epi8(static_cast<char>(128)));
    }
}

bool PredictIntraLumaSse41(const uint8_t* block, ptrdiff_t pitch, int mode, LumaNeighbours n,
                           uint8_t* pred) {
    const uint8_t* above = block - pitch;
    const uint8_t* column = block - 1;
    if (mode == kLumaVertical || mode == kLumaHorizontal) {
        if (!(mode == kLumaVertical ? n.up : n.left)) {
            StoreSame(pred, _mm_setzero_si128());
            return false;
        }
        if (mode == kLumaVertical) {
            const __m128i row = Load8(above);
            StoreSame(pred, _mm_unpacklo_epi64(row, row));
        } else {
            StoreColumnRows(pred, Column8(column, pitch));
        }
        return true;
    }

    const int r1 = n.up ? above[0] : 0;
    const int c1 = n.left ? column[0] : 0;
    const int corner = n.up && n.left ? above[-1] : n.up ? r1 : c1;
    // Lines: the corner, then samples 1..17 of the row above or the column to
    // the left; missing edges are 0, samples beyond 8 repeat sample 8 when
    // their blocks are not there, and sample 17 repeats sample 16.
    Line top = {_mm_cvtsi32_si128(corner), _mm_setzero_si128()};
    if (n.up) {
        const __m128i r = n.upRight ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(above))
                                    : _mm_unpacklo_epi64(
                                          Load8(above), _mm_set1_epi8(static_cast<char>(above[7])));
        top.lo = _mm_or_si128(_mm_slli_si128(r, 1), top.lo);
        top.hi = _mm_set1_epi8(static_cast<char>(n.upRight ? above[15] : above[7]));
    }
    Line left = {_mm_cvtsi32_si128(corner), _mm_setzero_si128()};
    if (n.left) {
        // c[1..16] in bytes 0..15.
        const __m128i upper = Column8(column, pitch);
        const __m128i c = _mm_unpacklo_epi64(
            upper, n.downLeft ? Column8(column + 8 * pitch, pitch)
                              : _mm_set1_epi8(static_cast<char>(column[7 * pitch])));
        left.lo = _mm_or_si128(_mm_slli_si128(c, 1), left.lo);
        left.hi = _mm_shuffle_epi8(c, _mm_set1_epi8(15));
    }
    const __m128i ft = SmoothLine(top);   // r'[1..16]
    const __m128i fl = SmoothLine(left);  // c'[1..16]

    if (mode == kLumaDc) {
        StoreDc(pred, n.up, n.left, ft, fl);
    } else if (mode == kLumaDownLeft) {
        // Row y, sample x: (r'[x + y + 2] + c'[x + y + 2]) >> 1, byte x + y + 1 of g.
        const __m128i g = FloorAverage(ft, fl);
        StoreRows(
            pred, _mm_shuffle_epi8(g, Pattern(1, 2, 3, 4, 5, 6, 7, 8, 2, 3, 4, 5, 6, 7, 8, 9)),
            _mm_shuffle_epi8(g, Pattern(3, 4, 5, 6, 7, 8, 9, 10, 4, 5, 6, 7, 8, 9, 10, 11)),
            _mm_shuffle_epi8(g, Pattern(5, 6, 7, 8, 9, 10, 11, 12, 6, 7, 8, 9, 10, 11, 12, 13)),
            _mm_shuffle_epi8(g,
                             Pattern(7, 8, 9, 10, 11, 12, 13, 14, 8, 9, 10, 11, 12, 13, 14, 15)));
    } else {
        // Down-right: the filtered samples c'[8] .. c'[1], corner', r'[1] .. r'[7]
        // in one vector; row y starts at byte 8 - y.
        const int cornerFiltered = (c1 + 2 * corner + r1 + 2) >> 2;
        const __m128i reversedLeft =
            _mm_shuffle_epi8(fl, Pattern(7, 6, 5, 4, 3, 2, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1));
        const __m128i d =
            _mm_insert_epi8(_mm_or_si128(reversedLeft, _mm_slli_si128(ft, 9)), cornerFiltered, 8);
        StoreRows(
            pred,
            _mm_shuffle_epi8(d, Pattern(8, 9, 10, 11, 12, 13, 14, 15, 7, 8, 9, 10, 11, 12, 13, 14)),
            _mm_shuffle_epi8(d, Pattern(6, 7, 8, 9, 10, 11, 12, 13, 5, 6, 7, 8, 9, 10, 11, 12)),
            _mm_shuffle_epi8(d, Pattern(4, 5, 6, 7, 8, 9, 10, 11, 3, 4, 5, 6, 7, 8, 9, 10)),
            _mm_shuffle_epi8(d, Pattern(2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8)));
    }
    return true;
}

// The plane mode: clip((a + (x - 3) b + (y - 3) c + 16) / 32). Every sum fits
// 16 bits, and for a negative sum the division and the shift both clip to 0.
void StorePlane(uint8_t* pred, const uint8_t* above, const uint8_t* column, ptrdiff_t pitch) {
    auto t = [&](int i) { return static_cast<int>(above[i]); };
    auto l = [&](int j) { return static_cast<int>(column[j * pitch]); };
    const int corner = above[-1];
    const int h = 4 * (t(7) - corner) + 3 * (t(6) - t(0)) + 2 * (t(5) - t(1)) + (t(4) - t(2));
    const int v = 4 * (l(7) - corner) + 3 * (l(6) - l(0)) + 2 * (l(5) - l(1)) + (l(4) - l(2));
    const int a = 16 * (t(7) + l(7));
    const int b = (17 * h + 16) >> 5;
    const int c = (17 * v + 16) >> 5;
    const __m128i xb = _mm_mullo_epi16(_mm_set1_epi16(static_cast<int16_t>(b)),
                                       _mm_setr_epi16(-3, -2, -1, 0, 1, 2, 3, 4));
    auto row = [&](int y) {
        const __m128i sum =
            _mm_add_epi16(xb, _mm_set1_epi16(static_cast<int16_t>(a + 16 + (y - 3) * c)));
        return _mm_srai_epi16(sum, 5);
    };
    StoreRows(pred, _mm_packus_epi16(row(0), row(1)), _mm_packus_epi16(row(2), row(3)),
              _mm_packus_epi16(row(4), row(5)), _mm_packus_epi16(row(6), row(7)));
}

bool PredictIntraChromaSse41(const uint8_t* block, ptrdiff_t pitch, int mode, ChromaNeighbours n,
                             uint8_t* pred) {
    const uint8_t* above = block - pitch;
    const uint8_t* column = block - 1;
    switch (mode) {
        case kChromaHorizontal:
            if (!n.left) return false;
            StoreColumnRows(pred, Column8(column, pitch));
            return true;
        case kChromaVertical: {
            if (!n.up) return false;
            const __m128i row = Load8(above);
            StoreSame(pred, _mm_unpacklo_epi64(row, row));
            return true;
        }
        case kChromaDc:
            break;
        case kChromaPlane:
            if (!n.up || !n.left) return false;
            StorePlane(pred, above, column, pitch);
            return true;
        default:
            return false;
    }

    // Lines as for luma, nine samples long: sample 9 repeats sample 8 unless
    // the row above goes on.
    const int corner = n.up && n.left ? above[-1] : n.up ? above[0] : n.left ? column[0] : 0;
    Line top = {_mm_cvtsi32_si128(corner), _mm_setzero_si128()};
    if (n.up) {
        const __m128i t = _mm_insert_epi8(Load8(above), n.upRight ? above[8] : above[7], 8);
        top.lo = _mm_or_si128(_mm_slli_si128(t, 1), top.lo);
    }
    Line left = {_mm_cvtsi32_si128(corner), _mm_setzero_si128()};
    if (n.left) {
        // l[0..7] in bytes 1..8, and l[7] again beyond.
        const __m128i l = _mm_shuffle_epi8(
            Column8(column, pitch), Pattern(0, 1, 2, 3, 4, 5, 6, 7, 7, -1, -1, -1, -1, -1, -1, -1));
        left.lo = _mm_or_si128(_mm_slli_si128(l, 1), left.lo);
    }
    StoreDc(pred, n.up, n.left, SmoothLine(top), SmoothLine(left));
    return true;
}

}  // namespace

void InstallIntraKernelsSse41(KernelTable& table) {
    table.PredictIntraLuma = PredictIntraLumaSse41;
    table.PredictIntraChroma = PredictIntraChromaSse41;
}

}  // namespace avs
