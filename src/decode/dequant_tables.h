// Quantiser tables. Dequantisation scale and shift per QP (0..63):
// c' = (c * scale + 2^(shift-2)) >> (shift - 1).
#pragma once

#include <cstdint>

namespace avs {

inline constexpr uint16_t kDequantScale[64] = {
    32768, 36061, 38968, 42495, 46341, 50535, 55437, 60424,  //
    32932, 35734, 38968, 42495, 46177, 50535, 55109, 59933,  //
    65535, 35734, 38968, 42577, 46341, 50617, 55027, 60097,  //
    32809, 35734, 38968, 42454, 46382, 50576, 55109, 60056,  //
    65535, 35734, 38968, 42495, 46320, 50515, 55109, 60076,  //
    65535, 35744, 38968, 42495, 46341, 50535, 55099, 60087,  //
    65535, 35734, 38973, 42500, 46341, 50535, 55109, 60097,  //
    32771, 35734, 38965, 42497, 46341, 50535, 55109, 60099};

inline constexpr uint8_t kDequantShift[64] = {
    15, 15, 15, 15, 15, 15, 15, 15, 14, 14, 14, 14, 14, 14, 14, 14,  //
    14, 13, 13, 13, 13, 13, 13, 13, 12, 12, 12, 12, 12, 12, 12, 12,  //
    12, 11, 11, 11, 11, 11, 11, 11, 11, 10, 10, 10, 10, 10, 10, 10,  //
    10, 9,  9,  9,  9,  9,  9,  9,  8,  8,  8,  8,  8,  8,  8,  8};

// QPs from anywhere are bounded to the tables before use.
inline int BoundQp(int qp) {
    return qp < 0 ? 0 : qp > 63 ? 63 : qp;
}

// The chroma QP of a macroblock QP: the same up to 41, then rising at half
// the rate and less. Cb and Cr blocks are dequantised with it, and chroma
// edges of the loop filter take their thresholds from it.
inline constexpr uint8_t kChromaQp[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,  //
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,  //
    32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 42, 43, 43, 44, 44,  //
    45, 45, 46, 46, 47, 47, 48, 48, 48, 49, 49, 49, 50, 50, 50, 51};

inline int ChromaQp(int qp) {
    return kChromaQp[BoundQp(qp)];
}

// One quantised coefficient at a QP of 0..63; the result wraps to 16 bits.
inline int16_t Dequantise(int16_t c, int qp) {
    const int shift = kDequantShift[qp];
    return static_cast<int16_t>((c * kDequantScale[qp] + (1 << (shift - 2))) >> (shift - 1));
}

// The column pass saturates its sums here so that (sum + 64) >> 7 stays in -256..255.
inline constexpr int32_t kColumnSumMin = -32768;
inline constexpr int32_t kColumnSumMax = 32703;

}  // namespace avs
