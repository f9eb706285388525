// Bit-level reading of a unit: fixed-width fields most significant bit first,
// Exp-Golomb codes and the coded-block-pattern code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace avs {

// Every unit handed to a parser is followed by at least kUnitPadding zero
// bytes inside its allocation, so a reader may load eight bytes at any byte
// position up to `limit` without leaving the buffer.
inline constexpr uint32_t kUnitPadding = 64;

// Reads a unit whose bytes start at `data`. `pos` is the bit position
// (0 = top bit of data[0]). Loads are clamped to `limit`, the last byte index
// at which an eight-byte load still lies in the zero padding, so a corrupt
// unit that reads on and on sees zeros and never leaves its buffer.
struct BitReader {
    const uint8_t* data = nullptr;
    uint32_t pos = 0;
    uint32_t limit = 0;

    BitReader() = default;
    // `length` is the unit's length; data[length .. length + kUnitPadding) must be zero.
    BitReader(const uint8_t* unit, uint32_t length)
        : data(unit), pos(0), limit(length + kUnitPadding - 8) {}

    // The 64 bits that start at the current position (fewer valid bits past the unit end).
    // Always inlined: files built for newer processors use it too, and an
    // out-of-line copy from one of them must never be the one others call.
    [[gnu::always_inline]] uint64_t Peek64() const {
        // Past the limit every byte loaded is padding (zero), whatever the shift.
        uint64_t w;
        std::memcpy(&w, data + std::min(pos >> 3, limit), sizeof w);
        return __builtin_bswap64(w) << (pos & 7);
    }

    // Fixed-width unsigned field of n bits, 0 <= n <= 32.
    uint32_t ReadBits(int n) {
        if (n == 0) return 0;
        const uint32_t v = static_cast<uint32_t>(Peek64() >> (64 - n));
        pos += static_cast<uint32_t>(n);
        return v;
    }

    uint32_t ReadBit() { return ReadBits(1); }

    void SkipBits(uint32_t n) { pos += n; }

    // Zero bits before the next 1; consumes them and the 1. A run longer than
    // 32 bits (only in corrupt data) stops after 32 zeros without a 1.
    int CountLeadingZeros() {
        const uint64_t w = Peek64();
        const uint64_t top = w >> 32;
        if (top == 0) {
            pos += 32;
            return 32;
        }
        const int z = __builtin_clzll(top) - 32;
        pos += static_cast<uint32_t>(z + 1);
        return z;
    }

    // ue(v). Corrupt codes longer than 31 bits saturate instead of overflowing.
    uint32_t ReadUe() {
        const int z = std::min(CountLeadingZeros(), 31);
        return ((1u << z) - 1u) + ReadBits(z);
    }

    // se(v): code numbers 0, 1, 2, 3, 4 give 0, 1, -1, 2, -2.
    int32_t ReadSe() {
        const uint32_t k = ReadUe() + 1u;  // wraps only for the saturated corrupt code
        const int32_t half = static_cast<int32_t>(k >> 1);
        return (k & 1u) ? -half : half;
    }

    // Advances to the next multiple of 8 (no-op when aligned).
    void AlignToByte() { pos = (pos + 7u) & ~7u; }
    uint32_t BytePosition() const { return pos >> 3; }
    // The `length` the reader was built with.
    uint32_t UnitLength() const { return limit + 8 - kUnitPadding; }
};

// Coded block pattern per code number: column 0 for intra macroblocks, 1 for inter.
inline constexpr uint8_t kCbpMap[64][2] = {
    {63, 0},  {15, 15}, {31, 63}, {47, 31}, {0, 16},  {14, 32}, {13, 47}, {11, 13},
    {7, 14},  {5, 11},  {10, 12}, {8, 5},   {12, 10}, {61, 7},  {4, 48},  {55, 3},
    {1, 2},   {2, 8},   {59, 4},  {3, 1},   {62, 61}, {9, 55},  {6, 59},  {29, 62},
    {45, 29}, {51, 27}, {23, 23}, {39, 19}, {27, 30}, {46, 28}, {53, 9},  {30, 6},
    {43, 60}, {37, 21}, {60, 44}, {16, 26}, {21, 51}, {28, 35}, {19, 18}, {35, 20},
    {42, 24}, {26, 53}, {44, 17}, {32, 37}, {58, 39}, {24, 45}, {20, 58}, {17, 43},
    {18, 42}, {48, 46}, {22, 36}, {33, 33}, {25, 34}, {49, 40}, {40, 52}, {36, 49},
    {34, 50}, {50, 56}, {52, 25}, {54, 22}, {41, 54}, {56, 57}, {38, 41}, {57, 38},
};

// The coded block pattern code: one ue(v) mapped through kCbpMap; code numbers
// of 64 and above give row 0.
inline uint32_t ReadCbp(BitReader& br, bool intra) {
    uint32_t code = br.ReadUe();
    if (code >= 64) code = 0;
    return kCbpMap[code][intra ? 0 : 1];
}

}  // namespace avs
