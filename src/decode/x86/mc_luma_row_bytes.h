// Byte orders and weights for filtering luma rows horizontally straight from
// their bytes: a byte shuffle lines up the sample pairs that one
// multiply-add of unsigned samples by signed weights sums, in every 128-bit
// lane, for the lane's eight output columns. A lane's bytes start two samples
// left of its first output column (c), so byte j + 2 + k is sample c + j + k.
//
// Each pair's weights keep its sum inside 16 bits (96 * 255 - 2 * 0 at most),
// so the saturating multiply-add is exact; 16-bit sums of the pairs wrap as
// the word-wise filters of mc_luma_rows.h do.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace avs::x86 {

// One tap pair: bytes (K0, K1) weighted (W0, W1); K1 < 0 is a zero byte.
struct TapPair {
    int k0, k1, w0, w1;
};

// The half-sample taps (-1, 5, 5, -1) on samples c - 1 .. c + 2.
inline constexpr TapPair kHalfPairs[2] = {{1, 2, -1, 5}, {3, 4, 5, -1}};
// The quarter taps (-1, -2, 96, 42, -7) on samples c - 2 .. c + 2 (fraction
// 1), and mirrored on c + 3 .. c - 1 (fraction 3).
inline constexpr TapPair kQuarterPairs[2][3] = {{{1, 2, -2, 96}, {3, 4, 42, -7}, {0, -1, -1, 0}},
                                                {{1, 2, -7, 42}, {3, 4, 96, -2}, {5, -1, -1, 0}}};

// Byte i of the shuffle that gathers pair P for the lane's eight columns.
constexpr char PairOrderByte(const TapPair& p, int i) {
    const int k = i % 2 == 0 ? p.k0 : p.k1;
    return static_cast<char>(k < 0 ? -128 : k + i / 2);
}

// The weights of pair P as one 16-bit lane (first weight in the low byte).
constexpr int16_t PairWeights(const TapPair& p) {
    return static_cast<int16_t>((p.w1 << 8) | (p.w0 & 0xFF));
}

namespace {  // each kernel file keeps its own copy, built with its own flags

// The shuffle of pair P for one 128-bit lane (every lane repeats it).
inline __attribute__((always_inline)) __m128i PairOrder(const TapPair& p) {
    return _mm_setr_epi8(
        PairOrderByte(p, 0), PairOrderByte(p, 1), PairOrderByte(p, 2), PairOrderByte(p, 3),
        PairOrderByte(p, 4), PairOrderByte(p, 5), PairOrderByte(p, 6), PairOrderByte(p, 7),
        PairOrderByte(p, 8), PairOrderByte(p, 9), PairOrderByte(p, 10), PairOrderByte(p, 11),
        PairOrderByte(p, 12), PairOrderByte(p, 13), PairOrderByte(p, 14), PairOrderByte(p, 15));
}

}  // namespace

}  // namespace avs::x86
