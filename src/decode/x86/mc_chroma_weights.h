// The byte weights of the eighth-sample bilinear chroma filter for the
// multiply-add kernels, one entry per fraction pair (ay * 8 + ax): the top
// row's sample pair (s[c], s[c + 1]) is weighted ((8-ax)(8-ay), ax(8-ay)),
// the bottom row's ((8-ax)ay, ax*ay), each pair as one 16-bit lane with its
// first weight in the low byte. A table, so that a kernel broadcasts its
// weights from memory instead of computing them.
#pragma once

#include <array>
#include <cstdint>

namespace avs::x86 {

struct ChromaPairWeights {
    uint16_t top;
    uint16_t bottom;
};

constexpr std::array<ChromaPairWeights, 64> MakeChromaPairWeights() {
    std::array<ChromaPairWeights, 64> w{};
    for (int ay = 0; ay < 8; ++ay) {
        for (int ax = 0; ax < 8; ++ax) {
            auto pair = [](int first, int second) {
                return static_cast<uint16_t>(second << 8 | first);
            };
            w[ay * 8 + ax] = {pair((8 - ax) * (8 - ay), ax * (8 - ay)),
                              pair((8 - ax) * ay, ax * ay)};
        }
    }
    return w;
}

inline constexpr std::array<ChromaPairWeights, 64> kChromaPairWeights = MakeChromaPairWeights();

}  // namespace avs::x86
