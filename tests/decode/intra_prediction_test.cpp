#include "decode/intra_prediction.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "decode/macroblock.h"

namespace avs {
namespace {

using Pred = std::array<uint8_t, 64>;
constexpr int kPitch = 48;
constexpr int kAt = 16 * kPitch + 16;  // the block's top-left sample inside a 48 x 48 plane

std::vector<uint8_t> RandomPlane(uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> plane(kPitch * kPitch);
    for (uint8_t& s : plane) s = static_cast<uint8_t>(rng());
    return plane;
}

// Luma prediction read straight from its definition: r[i] at (x + i - 1, y - 1),
// c[j] at (x - 1, y + j - 1), unavailable edges 0, filtered as one line.
Pred DefinitionLuma(const uint8_t* b, int mode, LumaNeighbours n, bool* ok) {
    auto at = [&](int x, int y) { return static_cast<int>(b[y * kPitch + x]); };
    int r[19] = {}, c[19] = {};
    if (n.up) {
        for (int i = 1; i <= 8; ++i) r[i] = at(i - 1, -1);
        for (int i = 9; i <= 16; ++i) r[i] = n.upRight ? at(i - 1, -1) : r[8];
        r[17] = r[18] = r[16];
    }
    if (n.left) {
        for (int j = 1; j <= 8; ++j) c[j] = at(-1, j - 1);
        for (int j = 9; j <= 16; ++j) c[j] = n.downLeft ? at(-1, j - 1) : c[8];
        c[17] = c[18] = c[16];
    }
    r[0] = n.up && n.left ? at(-1, -1) : n.up ? r[1] : n.left ? c[1] : 0;
    c[0] = r[0];
    // Line c[17], c[16] .. c[1], r[0], r[1] .. r[16], r[17].
    std::vector<int> line;
    for (int j = 17; j >= 1; --j) line.push_back(c[j]);
    for (int i = 0; i <= 17; ++i) line.push_back(r[i]);
    int rf[17], cf[17];
    auto filtered = [&](size_t k) { return (line[k - 1] + 2 * line[k] + line[k + 1] + 2) >> 2; };
    for (int i = 0; i <= 16; ++i) rf[i] = filtered(17 + i);
    for (int j = 1; j <= 16; ++j) cf[j] = filtered(17 - j);
    cf[0] = rf[0];
    Pred p{};
    *ok = !(mode == 0 && !n.up) && !(mode == 1 && !n.left);
    if (!*ok) return p;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int v = 0;
            switch (mode) {
                case 0:
                    v = r[x + 1];
                    break;
                case 1:
                    v = c[y + 1];
                    break;
                case 2:
                    v = n.up && n.left ? (rf[x + 1] + cf[y + 1]) >> 1
                        : n.up         ? rf[x + 1]
                        : n.left       ? cf[y + 1]
                                       : 128;
                    break;
                case 3:
                    v = (rf[x + y + 2] + cf[x + y + 2]) >> 1;
                    break;
                default:
                    v = x > y ? rf[x - y] : x == y ? rf[0] : cf[y - x];
                    break;
            }
            p[8 * y + x] = static_cast<uint8_t>(v);
        }
    }
    return p;
}

TEST(IntraLuma, EveryModeWithAndWithoutEachNeighbour) {
    for (int mode = 0; mode <= 4; ++mode) {
        for (int mask = 0; mask < 16; ++mask) {
            const LumaNeighbours n{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0,
                                   (mask & 8) != 0};
            for (uint32_t seed = 0; seed < 20; ++seed) {
                const std::vector<uint8_t> plane = RandomPlane(seed);
                bool expectedOk = false;
                const Pred expected = DefinitionLuma(plane.data() + kAt, mode, n, &expectedOk);
                Pred got;
                got.fill(77);
                const bool ok =
                    PredictIntraLumaPlain(plane.data() + kAt, kPitch, mode, n, got.data());
                ASSERT_EQ(ok, expectedOk) << "mode " << mode << " neighbours " << mask;
                ASSERT_EQ(got, expected) << "mode " << mode << " neighbours " << mask;
            }
        }
    }
}

TEST(IntraLuma, KnownPictures) {
    std::vector<uint8_t> plane(kPitch * kPitch, 0);
    Pred p;
    // Nothing around: DC is 128.
    PredictIntraLumaPlain(plane.data() + kAt, kPitch, kLumaDc, {false, false, false, false},
                          p.data());
    for (uint8_t v : p) EXPECT_EQ(v, 128);
    // Only the left column: every row is constant, its filtered sample.
    for (int y = 0; y < 16; ++y) plane[(16 + y) * kPitch + 15] = static_cast<uint8_t>(10 * y);
    PredictIntraLumaPlain(plane.data() + kAt, kPitch, kLumaDc, {false, true, false, false},
                          p.data());
    for (int y = 0; y < 8; ++y) {
        for (int x = 1; x < 8; ++x) EXPECT_EQ(p[8 * y + x], p[8 * y]);
    }
    EXPECT_EQ(p[0], (0 + 2 * 0 + 10 + 2) >> 2);  // the corner stands in as c[1] = 0
    EXPECT_EQ(p[8 * 3], 30);                     // a ramp stays a ramp
    // Down-left reads the up-right samples only when they are available.
    std::fill(plane.begin(), plane.end(), 50);
    for (int x = 0; x < 16; ++x) plane[15 * kPitch + 16 + x] = x < 8 ? 100 : 200;
    PredictIntraLumaPlain(plane.data() + kAt, kPitch, kLumaDownLeft, {true, true, true, false},
                          p.data());
    EXPECT_EQ(p[63], (200 + 50) >> 1);
    PredictIntraLumaPlain(plane.data() + kAt, kPitch, kLumaDownLeft, {true, true, false, false},
                          p.data());
    EXPECT_EQ(p[63], (100 + 50) >> 1);
}

Pred DefinitionChroma(const uint8_t* b, int mode, ChromaNeighbours n, const Pred& before) {
    auto at = [&](int x, int y) { return static_cast<int>(b[y * kPitch + x]); };
    int t[9] = {}, l[9] = {};
    if (n.up) {
        for (int i = 0; i < 8; ++i) t[i] = at(i, -1);
        t[8] = n.upRight ? at(8, -1) : t[7];
    }
    if (n.left) {
        for (int j = 0; j < 8; ++j) l[j] = at(-1, j);
        l[8] = l[7];
    }
    const int corner = n.up && n.left ? at(-1, -1) : n.up ? t[0] : n.left ? l[0] : 0;
    int tf[8], lf[8];
    for (int i = 0; i < 8; ++i) tf[i] = ((i ? t[i - 1] : corner) + 2 * t[i] + t[i + 1] + 2) >> 2;
    for (int j = 0; j < 8; ++j) lf[j] = ((j ? l[j - 1] : corner) + 2 * l[j] + l[j + 1] + 2) >> 2;
    if ((mode == 1 && !n.left) || (mode == 2 && !n.up) || (mode == 3 && !(n.up && n.left))) {
        return before;
    }
    const int h = 4 * (t[7] - corner) + 3 * (t[6] - t[0]) + 2 * (t[5] - t[1]) + (t[4] - t[2]);
    const int v = 4 * (l[7] - corner) + 3 * (l[6] - l[0]) + 2 * (l[5] - l[1]) + (l[4] - l[2]);
    Pred p{};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int s = 0;
            switch (mode) {
                case 0:
                    s = n.up && n.left ? (tf[x] + lf[y]) >> 1 : n.up ? tf[x] : n.left ? lf[y] : 128;
                    break;
                case 1:
                    s = l[y];
                    break;
                case 2:
                    s = t[x];
                    break;
                default: {
                    const int q = 16 * (t[7] + l[7]) + (x - 3) * ((17 * h + 16) >> 5) +
                                  (y - 3) * ((17 * v + 16) >> 5) + 16;
                    s = std::clamp(q / 32, 0, 255);
                }
            }
            p[8 * y + x] = static_cast<uint8_t>(s);
        }
    }
    return p;
}

TEST(IntraChroma, EveryModeWithAndWithoutEachNeighbour) {
    for (int mode = 0; mode <= 3; ++mode) {
        for (int mask = 0; mask < 8; ++mask) {
            const ChromaNeighbours n{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
            for (uint32_t seed = 0; seed < 20; ++seed) {
                std::vector<uint8_t> plane = RandomPlane(seed);
                if (seed % 2) {  // smooth surroundings keep the plane mode inside 0..255
                    for (size_t i = 0; i < plane.size(); ++i) {
                        plane[i] = static_cast<uint8_t>(60 + (i % kPitch) + (i / kPitch));
                    }
                }
                Pred before;
                before.fill(77);
                const Pred expected = DefinitionChroma(plane.data() + kAt, mode, n, before);
                Pred got = before;
                PredictIntraChromaPlain(plane.data() + kAt, kPitch, mode, n, got.data());
                ASSERT_EQ(got, expected) << "mode " << mode << " neighbours " << mask;
            }
        }
    }
}

TEST(IntraChroma, FlatNeighbourhoodAndTheSampleAboveRight) {
    std::vector<uint8_t> plane(kPitch * kPitch, 90);
    Pred p;
    PredictIntraChromaPlain(plane.data() + kAt, kPitch, kChromaPlane, {true, true, true}, p.data());
    for (uint8_t v : p) EXPECT_EQ(v, 90);
    // The sample right of the row above enters t'[7] only when it is there.
    plane[15 * kPitch + 24] = 190;
    PredictIntraChromaPlain(plane.data() + kAt, kPitch, kChromaDc, {true, false, true}, p.data());
    EXPECT_EQ(p[7], (90 + 2 * 90 + 190 + 2) >> 2);
    PredictIntraChromaPlain(plane.data() + kAt, kPitch, kChromaDc, {true, false, false}, p.data());
    EXPECT_EQ(p[7], 90);
    // A mode number above 3 predicts nothing.
    p.fill(5);
    EXPECT_FALSE(
        PredictIntraChromaPlain(plane.data() + kAt, kPitch, 4, {true, true, true}, p.data()));
    EXPECT_EQ(p[0], 5);
}

TEST(IntraModes, PredictedAndCodedModes) {
    EXPECT_EQ(PredictedLumaMode(kModeUnavailable, 0), kLumaDc);
    EXPECT_EQ(PredictedLumaMode(3, kModeUnavailable), kLumaDc);
    EXPECT_EQ(PredictedLumaMode(kModeInterBlock, 0), kLumaDc);  // inter neighbours count as missing
    EXPECT_EQ(PredictedLumaMode(4, 1), 1);
    EXPECT_EQ(PredictedLumaMode(0, 4), 0);
    EXPECT_EQ(DecodedLumaMode(3, 1, 0), 3);  // flag set: the predicted mode
    EXPECT_EQ(DecodedLumaMode(0, 0, 0), 1);  // coded values skip the predicted mode
    EXPECT_EQ(DecodedLumaMode(4, 0, 3), 3);
    EXPECT_EQ(DecodedLumaMode(3, 0, 3), 4);
}

}  // namespace
}  // namespace avs
