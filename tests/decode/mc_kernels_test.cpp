// The motion-compensation slots: the plain luma kernels against the tap form
// of each fraction, and every processor-specific variant against the plain
// kernel, byte for byte, bytes around the destination included.
#include "decode/mc_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "decode/luma_taps.h"
#include "platform/cpu_features.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

struct Level {
    std::string name;
    uint32_t features;
};

// Every kernel level this processor can run; the first is the plain one.
std::vector<Level> Levels() {
    const uint32_t detected = DetectCpuFeatures();
    std::vector<Level> levels{{"plain", cpu::kAlways}};
    uint32_t features = cpu::kAlways;
    for (const auto& [name, feature] :
         {std::pair{"sse2", cpu::kSse2}, std::pair{"sse41", cpu::kSse41},
          std::pair{"avx2", cpu::kAvx2}}) {
        if (!(detected & feature)) break;
        features |= feature;
        levels.push_back({name, features});
    }
    return levels;
}

KernelTable TableFor(uint32_t features) {
    KernelTable table{};
    InstallMcKernels(table, features);
    return table;
}

// A reference area with room for the reads of a 16x16 block at (kAt, kAt).
constexpr int kRefSize = 40;
constexpr int kAt = 16;

constexpr int kWidths[kLumaSizes] = {8, 16};

enum class Fill { kRandom, kZero, kFull, kExtremes };

std::vector<uint8_t> MakeReference(std::mt19937& rng, Fill fill) {
    std::vector<uint8_t> ref(kRefSize * kRefSize);
    for (uint8_t& s : ref) {
        switch (fill) {
            case Fill::kRandom:
                s = static_cast<uint8_t>(rng());
                break;
            case Fill::kZero:
                s = 0;
                break;
            case Fill::kFull:
                s = 255;
                break;
            case Fill::kExtremes:  // drives every intermediate towards its bounds
                s = (rng() & 1) ? 255 : 0;
                break;
        }
    }
    return ref;
}

constexpr Fill kFills[] = {Fill::kRandom, Fill::kZero, Fill::kFull, Fill::kExtremes};

int Clip(int v) {
    return std::clamp(v, 0, 255);
}

int Expected(const std::vector<uint8_t>& ref, int fx, int fy, int c, int r) {
    return test::LumaByTaps(
        [&](int dx, int dy) { return int{ref[(kAt + r + dy) * kRefSize + kAt + c + dx]}; }, fx, fy);
}

// Residual sample (r, c) of a block of width w: 8x8 blocks in block order.
int ResidualAt(const int16_t* residual, int w, int r, int c) {
    return residual[64 * ((r / 8) * (w / 8) + c / 8) + 8 * (r % 8) + c % 8];
}

TEST(McLuma, EveryFractionMatchesItsTaps) {
    std::mt19937 rng(1);
    for (const Level& level : Levels()) {
        const KernelTable table = TableFor(level.features);
        for (Fill fill : kFills) {
            for (int trial = 0; trial < 4; ++trial) {
                const auto ref = MakeReference(rng, fill);
                const uint8_t* at = ref.data() + kAt * kRefSize + kAt;
                std::array<int16_t, 256> residual;
                for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 601) - 300);
                std::array<uint8_t, 256> other;
                for (uint8_t& v : other) v = static_cast<uint8_t>(rng());
                for (int size = 0; size < kLumaSizes; ++size) {
                    const int w = kWidths[size];
                    for (int fx = 0; fx < 4; ++fx) {
                        for (int fy = 0; fy < 4; ++fy) {
                            SCOPED_TRACE(level.name + " width " + std::to_string(w) + " fraction " +
                                         std::to_string(fx) + "," + std::to_string(fy));
                            uint8_t plain[256], added[256], averaged[256], both[256];
                            table.McLumaAdd[size][fx][fy](plain, w, at, kRefSize, nullptr);
                            table.McLumaAdd[size][fx][fy](added, w, at, kRefSize, residual.data());
                            table.McLumaAvgAdd[size][fx][fy](averaged, w, at, kRefSize,
                                                             other.data(), nullptr);
                            table.McLumaAvgAdd[size][fx][fy](both, w, at, kRefSize, other.data(),
                                                             residual.data());
                            for (int i = 0; i < w * w; ++i) {
                                const int r = i / w, c = i % w;
                                const int e = Expected(ref, fx, fy, c, r);
                                const int avg = (e + other[i] + 1) >> 1;
                                const int res = ResidualAt(residual.data(), w, r, c);
                                ASSERT_EQ(plain[i], e) << "sample " << i;
                                ASSERT_EQ(added[i], Clip(e + res)) << "sample " << i;
                                ASSERT_EQ(averaged[i], avg) << "sample " << i;
                                ASSERT_EQ(both[i], Clip(avg + res)) << "sample " << i;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(McLuma, PredictionIsClippedBeforeTheResidual) {
    // Half-sample columns 0 255 255 0 interpolate to 319: clipped to 255 first,
    // so a residual of -20 gives 235, not 299.
    std::vector<uint8_t> ref(kRefSize * kRefSize, 0);
    for (int r = 0; r < kRefSize; ++r) {
        for (int c = 0; c < kRefSize; ++c)
            ref[r * kRefSize + c] = (c % 4 == 1 || c % 4 == 2) ? 255 : 0;
    }
    const uint8_t* at = ref.data() + kAt * kRefSize + kAt + 1;  // column X = 1 (mod 4)
    std::array<int16_t, 256> residual;
    residual.fill(-20);
    for (const Level& level : Levels()) {
        for (int size = 0; size < kLumaSizes; ++size) {
            uint8_t out[256];
            TableFor(level.features).McLumaAdd[size][2][0](out, 16, at, kRefSize, residual.data());
            EXPECT_EQ(out[0], 235) << level.name;
        }
    }
}

// --- Variants against the plain kernels -------------------------------------

constexpr int kDstPitch = 32;
constexpr int kDstSize = kDstPitch * 32;
constexpr int kDstAt = 8 * kDstPitch + 8;

std::array<int16_t, 256> MakeResidual(std::mt19937& rng, int trial) {
    std::array<int16_t, 256> residual;
    for (int16_t& v : residual) {
        switch (trial % 3) {
            case 0:
                v = static_cast<int16_t>(int(rng() % 512) - 256);
                break;
            case 1:
                v = static_cast<int16_t>(rng());
                break;
            default:
                v = (rng() & 1) ? INT16_MAX : INT16_MIN;
                break;
        }
    }
    return residual;
}

// Runs `call` on a destination filled with the same guard pattern for the plain
// table and the variant table and compares the whole destination.
template <class Call>
void ExpectSameBytes(const KernelTable& plain, const KernelTable& variant, uint8_t guard,
                     Call call) {
    std::array<uint8_t, kDstSize> a;
    std::array<uint8_t, kDstSize> b;
    for (int i = 0; i < kDstSize; ++i) a[i] = b[i] = static_cast<uint8_t>(guard + 37 * i);
    call(plain, a.data() + kDstAt);
    call(variant, b.data() + kDstAt);
    ASSERT_EQ(0, std::memcmp(a.data(), b.data(), kDstSize));
}

TEST(McKernelVariants, EverySlotMatchesThePlainKernel) {
    const std::vector<Level> levels = Levels();
    const KernelTable plain = TableFor(cpu::kAlways);
    std::mt19937 rng(2);
    for (size_t l = 1; l < levels.size(); ++l) {
        const KernelTable variant = TableFor(levels[l].features);
        for (int trial = 0; trial < 48; ++trial) {
            const auto ref = MakeReference(rng, kFills[trial % 4]);
            const auto ref2 = MakeReference(rng, kFills[(trial / 4) % 4]);
            const uint8_t* at = ref.data() + kAt * kRefSize + kAt;
            const uint8_t* at2 = ref2.data() + kAt * kRefSize + kAt;
            const auto residual = MakeResidual(rng, trial);
            const uint8_t guard = static_cast<uint8_t>(rng());
            std::array<uint8_t, 256> pred;
            for (uint8_t& v : pred) v = trial % 4 == 3 ? ((rng() & 1) ? 255 : 0) : rng();
            const int ax = rng() % 8, ay = rng() % 8, bx = rng() % 8, by = rng() % 8;
            SCOPED_TRACE(levels[l].name + " trial " + std::to_string(trial));
            for (const int16_t* res : {static_cast<const int16_t*>(nullptr), residual.data()}) {
                for (int size = 0; size < kLumaSizes; ++size) {
                    for (int fx = 0; fx < 4; ++fx) {
                        for (int fy = 0; fy < 4; ++fy) {
                            SCOPED_TRACE("size " + std::to_string(size) + " fraction " +
                                         std::to_string(fx) + "," + std::to_string(fy));
                            ExpectSameBytes(
                                plain, variant, guard, [&](const KernelTable& t, uint8_t* d) {
                                    t.McLumaAdd[size][fx][fy](d, kDstPitch, at, kRefSize, res);
                                });
                            ExpectSameBytes(plain, variant, guard,
                                            [&](const KernelTable& t, uint8_t* d) {
                                                t.McLumaAvgAdd[size][fx][fy](
                                                    d, kDstPitch, at, kRefSize, pred.data(), res);
                                            });
                        }
                    }
                }
            }
            const McChromaFn KernelTable::*chroma[] = {
                &KernelTable::McChroma8x8, &KernelTable::McChroma8x4, &KernelTable::McChroma4x8,
                &KernelTable::McChroma4x4};
            for (auto slot : chroma) {
                ExpectSameBytes(plain, variant, guard, [&](const KernelTable& t, uint8_t* d) {
                    (t.*slot)(d, kDstPitch, at, kRefSize, residual.data(), ax, ay);
                });
            }
            for (auto slot : {&KernelTable::McChromaBi8x8, &KernelTable::McChromaBi4x4}) {
                ExpectSameBytes(plain, variant, guard, [&](const KernelTable& t, uint8_t* d) {
                    (t.*slot)(d, kDstPitch, at, at2, kRefSize, residual.data(), ax, ay, bx, by);
                });
            }
        }
    }
}

// Each level installs the slots it claims (a variant left out would go
// untested by the walk above and unused by the decoder).
TEST(McKernelVariants, EveryLevelReplacesItsSlots) {
    const KernelTable plain = TableFor(cpu::kAlways);
    const KernelTable sse2 = TableFor(cpu::kAlways | cpu::kSse2);
    const KernelTable avx2 = TableFor(cpu::kAlways | cpu::kSse2 | cpu::kSse41 | cpu::kAvx2);
    for (int size = 0; size < kLumaSizes; ++size) {
        for (int fx = 0; fx < 4; ++fx) {
            for (int fy = 0; fy < 4; ++fy) {
                EXPECT_NE(plain.McLumaAdd[size][fx][fy], sse2.McLumaAdd[size][fx][fy]);
                EXPECT_NE(plain.McLumaAvgAdd[size][fx][fy], sse2.McLumaAvgAdd[size][fx][fy]);
            }
        }
    }
    for (int fx = 0; fx < 4; ++fx) {
        for (int fy = 0; fy < 4; ++fy) {
            EXPECT_NE(sse2.McLumaAdd[kLuma16x16][fx][fy], avx2.McLumaAdd[kLuma16x16][fx][fy]);
            EXPECT_NE(sse2.McLumaAvgAdd[kLuma16x16][fx][fy], avx2.McLumaAvgAdd[kLuma16x16][fx][fy]);
        }
    }
    EXPECT_NE(plain.McChroma8x8, sse2.McChroma8x8);
    EXPECT_NE(plain.McChroma8x4, sse2.McChroma8x4);
    EXPECT_NE(plain.McChroma4x8, sse2.McChroma4x8);
    EXPECT_NE(plain.McChroma4x4, sse2.McChroma4x4);
    EXPECT_NE(plain.McChromaBi8x8, sse2.McChromaBi8x8);
    EXPECT_NE(plain.McChromaBi4x4, sse2.McChromaBi4x4);
    EXPECT_NE(sse2.McChroma8x8, avx2.McChroma8x8);
    EXPECT_NE(sse2.McChroma8x4, avx2.McChroma8x4);
    EXPECT_NE(sse2.McChromaBi8x8, avx2.McChromaBi8x8);
}

}  // namespace
}  // namespace avs
