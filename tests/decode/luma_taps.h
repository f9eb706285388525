// Luma interpolation evaluated directly from its one-dimensional tap sets, for
// tests: independent of how the kernels arrange the arithmetic.
#pragma once

#include <algorithm>

namespace avs::test {

// Taps on offsets -2..3 of fractions 0..3 and the shift that removes their scale.
inline constexpr int kLumaTaps[4][6] = {
    {0, 0, 1, 0, 0, 0}, {-1, -2, 96, 42, -7, 0}, {0, -1, 5, 5, -1, 0}, {0, -7, 42, 96, -2, -1}};
inline constexpr int kLumaTapShift[4] = {0, 7, 3, 7};

// The predicted sample at integer position (0, 0) of `s(dx, dy)` and fraction
// (fx, fy): the product of two tap sets, or for the diagonal quarters the
// rounded mean of the nearest whole sample and the centre half-sample.
template <class Sample>
int LumaByTaps(Sample s, int fx, int fy) {
    auto taps = [&](int tx, int ty) {
        int sum = 0;
        for (int j = 0; j < 6; ++j) {
            for (int i = 0; i < 6; ++i)
                sum += kLumaTaps[tx][i] * kLumaTaps[ty][j] * s(i - 2, j - 2);
        }
        return sum;
    };
    if (fx % 2 == 1 && fy % 2 == 1) {
        return std::clamp((64 * s(fx == 3, fy == 3) + taps(2, 2) + 64) >> 7, 0, 255);
    }
    const int shift = kLumaTapShift[fx] + kLumaTapShift[fy];
    return std::clamp((taps(fx, fy) + ((1 << shift) >> 1)) >> shift, 0, 255);
}

}  // namespace avs::test
