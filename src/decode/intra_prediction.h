// Kernel family: intra prediction of 8x8 luma and chroma blocks from the
// reconstructed samples around them; and the predicted luma mode.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

struct KernelTable;

// Luma modes.
inline constexpr int kLumaVertical = 0;
inline constexpr int kLumaHorizontal = 1;
inline constexpr int kLumaDc = 2;
inline constexpr int kLumaDownLeft = 3;
inline constexpr int kLumaDownRight = 4;
// Chroma modes.
inline constexpr int kChromaDc = 0;
inline constexpr int kChromaHorizontal = 1;
inline constexpr int kChromaVertical = 2;
inline constexpr int kChromaPlane = 3;

// Neighbours of a luma block whose samples may be used: decoded, inside the
// picture and inside the current slice.
struct LumaNeighbours {
    bool up;        // the row above (and, with left, the corner)
    bool left;      // the column to the left
    bool upRight;   // the eight samples above and to the right
    bool downLeft;  // the eight samples left of and below the block
};

// Neighbours of a chroma block.
struct ChromaNeighbours {
    bool up;
    bool left;
    bool upRight;  // the sample right of the row above, which the filter uses
};

// Predicts the 8x8 luma block whose top-left sample is `block` into `pred`
// (row stride 8). A vertical or horizontal mode without its neighbour (a
// corrupt stream) predicts 0 and returns false.
using PredictIntraLumaFn = bool (*)(const uint8_t* block, ptrdiff_t pitch, int mode,
                                    LumaNeighbours n, uint8_t* pred);
// Predicts an 8x8 chroma block. A mode without its neighbours, or a mode
// above 3 (both only in corrupt streams), leaves `pred` as it was and
// returns false.
using PredictIntraChromaFn = bool (*)(const uint8_t* block, ptrdiff_t pitch, int mode,
                                      ChromaNeighbours n, uint8_t* pred);

// The plain kernels: the definition of every result.
bool PredictIntraLumaPlain(const uint8_t* block, ptrdiff_t pitch, int mode, LumaNeighbours n,
                           uint8_t* pred);
bool PredictIntraChromaPlain(const uint8_t* block, ptrdiff_t pitch, int mode, ChromaNeighbours n,
                             uint8_t* pred);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallIntraKernels(KernelTable& table, uint32_t features);

// The most probable luma mode from the modes of the blocks above and to the
// left; a neighbour that is missing or not intra (a map value outside 0..4)
// gives DC.
inline int PredictedLumaMode(int32_t up, int32_t left) {
    const bool usable = static_cast<uint32_t>(up) <= 4 && static_cast<uint32_t>(left) <= 4;
    return usable ? (up < left ? up : left) : kLumaDc;
}

// The mode an intra block codes: the predicted one (flag 1) or a 2-bit value
// that skips over it.
inline int DecodedLumaMode(int predicted, uint32_t flag, uint32_t coded) {
    if (flag) return predicted;
    const int m = static_cast<int>(coded);
    return m < predicted ? m : m + 1;
}

}  // namespace avs
