// Intra prediction against its definition read literally: r[i] at (x + i - 1,
// y - 1), c[j] at (x - 1, y + j - 1), missing edges 0, filtered as one line.
// Every mode, luma and chroma, with and without each neighbour; a mode that
// needs a missing neighbour, or does not exist, is refused.
#include "decode/intra_prediction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace avs {
namespace {

using Pred = std::array<uint8_t, 64>;
constexpr int kPitch = 48;
constexpr int kAt = 16 * kPitch + 16;  // the block's top-left sample inside a 48 x 48 plane

// Refused luma predicts 0 and reports false.
Pred DefinitionLuma(const uint8_t* b, int mode, LumaNeighbours n, bool* ok) {
    auto at = [&](int x, int y) { return static_cast<int>(b[y * kPitch + x]); };
    int r[19] = {}, c[19] = {};
    if (n.up) {
        for (int i = 1; i <= 16; ++i) r[i] = i <= 8 || n.upRight ? at(i - 1, -1) : r[8];
        r[17] = r[18] = r[16];
    }
    if (n.left) {
        for (int j = 1; j <= 16; ++j) c[j] = j <= 8 || n.downLeft ? at(-1, j - 1) : c[8];
        c[17] = c[18] = c[16];
    }
    r[0] = c[0] = n.up && n.left ? at(-1, -1) : n.up ? r[1] : n.left ? c[1] : 0;
    // One line c[17] .. c[1], r[0], r[1] .. r[17], filtered as a whole.
    auto line = [&](int k) { return k < 0 ? c[-k] : r[k]; };
    auto filtered = [&](int k) { return (line(k - 1) + 2 * line(k) + line(k + 1) + 2) >> 2; };
    int rf[17], cf[17];
    for (int i = 0; i <= 16; ++i) rf[i] = filtered(i);
    for (int j = 1; j <= 16; ++j) cf[j] = filtered(-j);
    cf[0] = rf[0];
    Pred p{};
    *ok = mode <= 4 && !(mode == 0 && !n.up) && !(mode == 1 && !n.left);
    for (int i = 0; *ok && i < 64; ++i) {
        const int x = i % 8, y = i / 8;
        const int dc = n.up && n.left ? (rf[x + 1] + cf[y + 1]) >> 1
                       : n.up         ? rf[x + 1]
                       : n.left       ? cf[y + 1]
                                      : 128;
        const int values[] = {r[x + 1], c[y + 1], dc, (rf[x + y + 2] + cf[x + y + 2]) >> 1,
                              x > y    ? rf[x - y]
                              : x == y ? rf[0]
                                       : cf[y - x]};
        p[i] = static_cast<uint8_t>(values[mode]);
    }
    return p;
}

// Refused chroma leaves the prediction as it was.
Pred DefinitionChroma(const uint8_t* b, int mode, ChromaNeighbours n, const Pred& before,
                      bool* ok) {
    auto at = [&](int x, int y) { return static_cast<int>(b[y * kPitch + x]); };
    int t[9] = {}, l[9] = {};
    for (int i = 0; n.up && i < 8; ++i) t[i] = at(i, -1);
    for (int j = 0; n.left && j < 8; ++j) l[j] = at(-1, j);
    t[8] = n.up && n.upRight ? at(8, -1) : t[7];
    l[8] = l[7];
    const int corner = n.up && n.left ? at(-1, -1) : n.up ? t[0] : n.left ? l[0] : 0;
    int tf[8], lf[8];
    for (int i = 0; i < 8; ++i) tf[i] = ((i ? t[i - 1] : corner) + 2 * t[i] + t[i + 1] + 2) >> 2;
    for (int j = 0; j < 8; ++j) lf[j] = ((j ? l[j - 1] : corner) + 2 * l[j] + l[j + 1] + 2) >> 2;
    *ok = mode <= 3 && !(mode == 1 && !n.left) && !(mode == 2 && !n.up) &&
          !(mode == 3 && !(n.up && n.left));
    if (!*ok) return before;
    const int h = 4 * (t[7] - corner) + 3 * (t[6] - t[0]) + 2 * (t[5] - t[1]) + (t[4] - t[2]);
    const int v = 4 * (l[7] - corner) + 3 * (l[6] - l[0]) + 2 * (l[5] - l[1]) + (l[4] - l[2]);
    Pred p{};
    for (int i = 0; i < 64; ++i) {
        const int x = i % 8, y = i / 8;
        const int dc = n.up && n.left ? (tf[x] + lf[y]) >> 1 : n.up ? tf[x] : n.left ? lf[y] : 128;
        const int plane = 16 * (t[7] + l[7]) + (x - 3) * ((17 * h + 16) >> 5) +
                          (y - 3) * ((17 * v + 16) >> 5) + 16;
        const int values[] = {dc, l[y], t[x], std::clamp(plane / 32, 0, 255)};
        p[i] = static_cast<uint8_t>(values[mode]);
    }
    return p;
}

TEST(IntraPrediction, EveryModeWithAndWithoutEachNeighbour) {
    std::mt19937 rng(1);
    std::vector<uint8_t> plane(kPitch * kPitch);
    for (int chroma = 0; chroma <= 1; ++chroma) {
        for (int mode = 0; mode <= 4; ++mode) {  // chroma mode 4 does not exist
            for (int mask = 0; mask < (chroma ? 8 : 16); ++mask) {
                for (int trial = 0; trial < 20; ++trial) {
                    // Smooth surroundings half the time keep the plane mode inside 0..255.
                    for (size_t i = 0; i < plane.size(); ++i) {
                        plane[i] =
                            static_cast<uint8_t>(trial % 2 ? rng() : 60 + i % kPitch + i / kPitch);
                    }
                    const uint8_t* at = plane.data() + kAt;
                    Pred before, got, expected;
                    before.fill(77);
                    got = before;
                    bool ok = false, expectedOk = false;
                    if (chroma) {
                        const ChromaNeighbours n{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
                        expected = DefinitionChroma(at, mode, n, before, &expectedOk);
                        ok = PredictIntraChromaPlain(at, kPitch, mode, n, got.data());
                    } else {
                        const LumaNeighbours n{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0,
                                               (mask & 8) != 0};
                        expected = DefinitionLuma(at, mode, n, &expectedOk);
                        ok = PredictIntraLumaPlain(at, kPitch, mode, n, got.data());
                    }
                    ASSERT_EQ(ok, expectedOk) << chroma << " mode " << mode << " mask " << mask;
                    ASSERT_EQ(got, expected) << chroma << " mode " << mode << " mask " << mask;
                }
            }
        }
    }
}

}  // namespace
}  // namespace avs
