#include "decode/intra_prediction.h"

#include <cstring>

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"
#include "platform/sample.h"

#if defined(__x86_64__) || defined(__i386__)
#include "decode/x86/intra_prediction_x86.h"
#endif

namespace avs {
namespace {

// [1, 2, 1] smoothing of line[first..last]; every value from the unfiltered line.
// Pointers, not array references: GCC folds the identical luma and chroma
// copies of a per-length template into one, then takes the longer line's
// length for the shorter one and warns of reads outside it.
inline void Smooth(const uint8_t* line, uint8_t* out, int first, int last) {
    for (int k = first; k <= last; ++k) {
        out[k] = static_cast<uint8_t>((line[k - 1] + 2 * line[k] + line[k + 1] + 2) >> 2);
    }
}

inline void FillRows(uint8_t* pred, const uint8_t* row) {
    for (int y = 0; y < 8; ++y) std::memcpy(pred + 8 * y, row, 8);
}

inline void FillColumns(uint8_t* pred, const uint8_t* column, int step) {
    for (int y = 0; y < 8; ++y) std::memset(pred + 8 * y, column[y * step], 8);
}

// Per-sample average of a row and a column: (row[x] + column[y * step]) >> 1.
inline void FillAverage(uint8_t* pred, const uint8_t* row, const uint8_t* column, int step) {
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            pred[8 * y + x] = static_cast<uint8_t>((row[x] + column[y * step]) >> 1);
        }
    }
}

// Luma reference line: index kCorner + i holds r[i] (the row above, r[0] the
// corner), index kCorner - j holds c[j] (the column to the left); both edges
// run to 17, the filter's padding beside sample 16.
constexpr int kCorner = 17;
constexpr int kLumaLine = 2 * kCorner + 1;

}  // namespace

bool PredictIntraLumaPlain(const uint8_t* block, ptrdiff_t pitch, int mode, LumaNeighbours n,
                           uint8_t* pred) {
    if (mode == kLumaVertical || mode == kLumaHorizontal) {
        const bool available = mode == kLumaVertical ? n.up : n.left;
        if (!available) {
            std::memset(pred, 0, 64);
            return false;
        }
        if (mode == kLumaVertical) {
            FillRows(pred, block - pitch);
        } else {
            FillColumns(pred, block - 1, static_cast<int>(pitch));
        }
        return true;
    }

    uint8_t line[kLumaLine] = {};  // missing edges read as 0
    if (n.up) {
        const uint8_t* above = block - pitch;
        std::memcpy(line + kCorner + 1, above, 8);
        if (n.upRight) {
            std::memcpy(line + kCorner + 9, above + 8, 8);
        } else {
            std::memset(line + kCorner + 9, above[7], 8);
        }
        line[kCorner + 17] = line[kCorner + 16];
    }
    if (n.left) {
        const uint8_t* column = block - 1;
        for (int j = 0; j < 8; ++j) line[kCorner - 1 - j] = column[j * pitch];
        if (n.downLeft) {
            for (int j = 8; j < 16; ++j) line[kCorner - 1 - j] = column[j * pitch];
        } else {
            std::memset(line + kCorner - 16, line[kCorner - 8], 8);
        }
        line[kCorner - 17] = line[kCorner - 16];
    }
    line[kCorner] = n.up && n.left ? block[-pitch - 1]
                    : n.up         ? line[kCorner + 1]
                    : n.left       ? line[kCorner - 1]
                                   : 0;

    uint8_t f[kLumaLine];
    Smooth(line, f, 1, kLumaLine - 2);
    if (mode == kLumaDc) {
        // Rows from r'[1..8], columns from c'[1..8] (c'[y + 1] at kCorner - 1 - y).
        const uint8_t* top = f + kCorner + 1;
        const uint8_t* left = f + kCorner - 1;
        if (n.up && n.left) {
            FillAverage(pred, top, left, -1);
        } else if (n.up) {
            FillRows(pred, top);
        } else if (n.left) {
            FillColumns(pred, left, -1);
        } else {
            std::memset(pred, 128, 64);
        }
    } else if (mode == kLumaDownLeft) {
        // (r'[x + y + 2] + c'[x + y + 2]) >> 1
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                pred[8 * y + x] =
                    static_cast<uint8_t>((f[kCorner + 2 + x + y] + f[kCorner - 2 - x - y]) >> 1);
            }
        }
    } else {
        // Down-right: r'[x - y] above the diagonal, c'[y - x] below, the corner on it.
        for (int y = 0; y < 8; ++y) std::memcpy(pred + 8 * y, f + kCorner - y, 8);
    }
    return true;
}

bool PredictIntraChromaPlain(const uint8_t* block, ptrdiff_t pitch, int mode, ChromaNeighbours n,
                             uint8_t* pred) {
    switch (mode) {
        case kChromaHorizontal:
            if (!n.left) return false;
            FillColumns(pred, block - 1, static_cast<int>(pitch));
            return true;
        case kChromaVertical:
            if (!n.up) return false;
            FillRows(pred, block - pitch);
            return true;
        case kChromaDc:
        case kChromaPlane:
            break;
        default:
            return false;
    }

    // Line: [pad l7] l7 .. l0, corner, t0 .. t7, [t8]. t[i] at kTop + i, l[j] at kLeft - j.
    constexpr int kLeft = 8;
    constexpr int kCornerAt = 9;
    constexpr int kTop = 10;
    uint8_t line[19] = {};
    if (n.up) {
        const uint8_t* above = block - pitch;
        std::memcpy(line + kTop, above, 8);
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

    if (mode == kChromaDc) {
        uint8_t f[19];
        Smooth(line, f, 1, 17);
        const uint8_t* top = f + kTop;
        const uint8_t* left = f + kLeft;
        if (n.up && n.left) {
            FillAverage(pred, top, left, -1);
        } else if (n.up) {
            FillRows(pred, top);
        } else if (n.left) {
            FillColumns(pred, left, -1);
        } else {
            std::memset(pred, 128, 64);
        }
        return true;
    }

    if (!n.up || !n.left) return false;
    const uint8_t* t = line + kTop;
    auto l = [&](int j) { return static_cast<int>(line[kLeft - j]); };
    const int corner = line[kCornerAt];
    const int h = 4 * (t[7] - corner) + 3 * (t[6] - t[0]) + 2 * (t[5] - t[1]) + (t[4] - t[2]);
    const int v = 4 * (l(7) - corner) + 3 * (l(6) - l(0)) + 2 * (l(5) - l(1)) + (l(4) - l(2));
    const int a = 16 * (t[7] + l(7));
    const int b = (17 * h + 16) >> 5;
    const int c = (17 * v + 16) >> 5;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            // Division, not shift: the result truncates toward zero.
            pred[8 * y + x] = ClipSample((a + (x - 3) * b + (y - 3) * c + 16) / 32);
        }
    }
    return true;
}

void InstallIntraKernels(KernelTable& table, uint32_t features) {
    table.PredictIntraLuma = PredictIntraLumaPlain;
    table.PredictIntraChroma = PredictIntraChromaPlain;
#if defined(__x86_64__) || defined(__i386__)
    if (features & cpu::kSse41) InstallIntraKernelsSse41(table);
#else
    (void)features;
#endif
}

}  // namespace avs
