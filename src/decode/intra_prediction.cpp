#include "decode/intra_prediction.h"

#include <cstring>

namespace avs {
namespace {

// [1, 2, 1] smoothing of line[first..last]; every value from the unfiltered line.
template <int N>
inline void Smooth(const int (&line)[N], int (&out)[N], int first, int last) {
    for (int k = first; k <= last; ++k) out[k] = (line[k - 1] + 2 * line[k] + line[k + 1] + 2) >> 2;
}

inline uint8_t Clip255(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Luma reference line: index kCorner + i holds r[i] (the row above, r[0] the
// corner), index kCorner - j holds c[j] (the column to the left); both edges
// run to 17, the filter's padding beside sample 16.
constexpr int kCorner = 17;
constexpr int kLumaLine = 2 * kCorner + 1;

}  // namespace

bool PredictLuma8x8(const uint8_t* block, ptrdiff_t pitch, int mode, LumaNeighbours n,
                    uint8_t* pred) {
    int line[kLumaLine] = {};  // missing edges read as 0
    if (n.up) {
        const uint8_t* above = block - pitch;
        for (int i = 0; i < 8; ++i) line[kCorner + 1 + i] = above[i];
        for (int i = 8; i < 16; ++i) line[kCorner + 1 + i] = n.upRight ? above[i] : above[7];
        line[kCorner + 17] = line[kCorner + 16];
    }
    if (n.left) {
        const uint8_t* column = block - 1;
        for (int j = 0; j < 8; ++j) line[kCorner - 1 - j] = column[j * pitch];
        for (int j = 8; j < 16; ++j) {
            line[kCorner - 1 - j] = n.downLeft ? column[j * pitch] : column[7 * pitch];
        }
        line[kCorner - 17] = line[kCorner - 16];
    }
    line[kCorner] = n.up && n.left ? block[-pitch - 1]
                    : n.up         ? line[kCorner + 1]
                    : n.left       ? line[kCorner - 1]
                                   : 0;

    switch (mode) {
        case kLumaVertical:
            if (!n.up) break;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x)
                    pred[8 * y + x] = static_cast<uint8_t>(line[kCorner + 1 + x]);
            }
            return true;
        case kLumaHorizontal:
            if (!n.left) break;
            for (int y = 0; y < 8; ++y) std::memset(pred + 8 * y, line[kCorner - 1 - y], 8);
            return true;
        default:
            break;
    }
    if (mode == kLumaVertical || mode == kLumaHorizontal) {
        std::memset(pred, 0, 64);
        return false;
    }

    int f[kLumaLine];
    Smooth(line, f, 1, kLumaLine - 2);
    const int* top = f + kCorner + 1;   // top[x] = r'[x + 1]
    const int* left = f + kCorner - 1;  // left[-y] = c'[y + 1]
    switch (mode) {
        case kLumaDc:
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    const int v = n.up && n.left ? (top[x] + left[-y]) >> 1
                                  : n.up         ? top[x]
                                  : n.left       ? left[-y]
                                                 : 128;
                    pred[8 * y + x] = static_cast<uint8_t>(v);
                }
            }
            break;
        case kLumaDownLeft:
            // (r'[x + y + 2] + c'[x + y + 2]) >> 1
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    pred[8 * y + x] = static_cast<uint8_t>(
                        (f[kCorner + x + y + 2] + f[kCorner - x - y - 2]) >> 1);
                }
            }
            break;
        default:  // down-right: r'[x - y] above the diagonal, c'[y - x] below, the corner on it
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x)
                    pred[8 * y + x] = static_cast<uint8_t>(f[kCorner + x - y]);
            }
            break;
    }
    return true;
}

bool PredictChroma8x8(const uint8_t* block, ptrdiff_t pitch, int mode, ChromaNeighbours n,
                      uint8_t* pred) {
    // Line: [pad l7] l7 .. l0, corner, t0 .. t7, [t8]. t[i] at kTop + i, l[j] at kLeft - j.
    constexpr int kLeft = 8;
    constexpr int kCornerAt = 9;
    constexpr int kTop = 10;
    int line[19] = {};
    if (n.up) {
        const uint8_t* above = block - pitch;
        for (int i = 0; i < 8; ++i) line[kTop + i] = above[i];
        line[kTop + 8] = n.upRight ? above[8] : above[7];
    }
    if (n.left) {
        for (int j = 0; j < 8; ++j) line[kLeft - j] = block[j * pitch - 1];
        line[0] = line[1];
    }
    line[kCornerAt] = n.up && n.left ? block[-pitch - 1]
                      : n.up         ? line[kTop]
                      : n.left       ? line[kLeft]
                                     : 0;
    const int* t = line + kTop;
    const int corner = line[kCornerAt];

    switch (mode) {
        case kChromaDc: {
            int f[19];
            Smooth(line, f, 1, 17);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    const int v = n.up && n.left ? (f[kTop + x] + f[kLeft - y]) >> 1
                                  : n.up         ? f[kTop + x]
                                  : n.left       ? f[kLeft - y]
                                                 : 128;
                    pred[8 * y + x] = static_cast<uint8_t>(v);
                }
            }
            return true;
        }
        case kChromaHorizontal:
            if (!n.left) return false;
            for (int y = 0; y < 8; ++y) std::memset(pred + 8 * y, line[kLeft - y], 8);
            return true;
        case kChromaVertical:
            if (!n.up) return false;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) pred[8 * y + x] = static_cast<uint8_t>(t[x]);
            }
            return true;
        case kChromaPlane: {
            if (!n.up || !n.left) return false;
            auto l = [&](int j) { return line[kLeft - j]; };
            const int h =
                4 * (t[7] - corner) + 3 * (t[6] - t[0]) + 2 * (t[5] - t[1]) + (t[4] - t[2]);
            const int v =
                4 * (l(7) - corner) + 3 * (l(6) - l(0)) + 2 * (l(5) - l(1)) + (l(4) - l(2));
            const int a = 16 * (t[7] + l(7));
            const int b = (17 * h + 16) >> 5;
            const int c = (17 * v + 16) >> 5;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    // Division, not shift: the result truncates toward zero.
                    pred[8 * y + x] = Clip255((a + (x - 3) * b + (y - 3) * c + 16) / 32);
                }
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace avs
