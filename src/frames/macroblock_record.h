// The per-macroblock records a frame keeps: the macroblock layers fill them,
// and intra prediction, vector prediction, direct mode of later pictures and
// the loop filter read them.
#pragma once

#include <cstdint>
#include <cstring>

namespace avs {

struct MotionVector {
    int32_t x;  // quarter luma samples, right is positive
    int32_t y;  // quarter luma samples, down is positive
    friend bool operator==(const MotionVector&, const MotionVector&) = default;
};

// A vector as one word: equal words are equal vectors, compared in one step.
inline uint64_t VectorBits(const MotionVector& v) {
    uint64_t bits;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The small fields are bytes (every value fits: types up to 87, QPs up to
// 63): records are read for every neighbour and co-located macroblock, and
// the fewer cache lines they take, the better.
struct MacroblockInfo {
    int8_t mbType;
    int8_t blockPredDir[4];
    int8_t partitionShape;  // B: 0 16x16, 1 16x8, 2 8x16, 3 8x8
    int8_t lumaPredMode[4];
    int8_t chromaPredMode;
    int8_t refIdx[4];
    int8_t cbp;
    int8_t qp;
    // Slices cover whole macroblock rows; a neighbour with another slice
    // number (an earlier slice) is treated like one outside the picture.
    int32_t sliceNumber;
    MotionVector mv[4];          // P: per partition; B: forward, per 8x8 block
    MotionVector mvBackward[4];  // B: per 8x8 block
};

// IntraModeMap: (2*mbWidth + 4) entries per row, 2*mbHeight + 6 rows; the entry
// of luma 8x8 block (bx, by) is at row by + 1, column bx + 1. Row 0 and
// column 0 are the unavailable margin.
inline constexpr int32_t kModeUnavailable = -1;

inline uint32_t IntraModeMapStride(uint32_t mbWidth) {
    return 2 * mbWidth + 4;
}
inline uint32_t IntraModeMapRows(uint32_t mbHeight) {
    return 2 * mbHeight + 6;
}
inline int32_t& IntraModeAt(int32_t* map, uint32_t mbWidth, int bx, int by) {
    return map[(by + 1) * static_cast<int>(IntraModeMapStride(mbWidth)) + bx + 1];
}

}  // namespace avs
