// Every processor-specific kernel of the block and loop-filter families gives
// the plain kernel's bytes: random inputs and extremes, with the bytes around
// each destination checked too.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/cpu_features.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

struct Level {
    const char* name;
    uint32_t features;
};
constexpr Level kLevels[] = {
    {"sse2", cpu::kAlways | cpu::kSse2},
    {"avx2", cpu::kAlways | cpu::kSse2 | cpu::kSse41 | cpu::kAvx2},
};

// One slot: runs the table's kernel on inputs drawn from `rng` (the same seed
// gives the same inputs) and returns every byte it may have touched, and more.
struct Slot {
    const char* name;
    std::function<std::vector<uint8_t>(const KernelTable&, std::mt19937&, int trial)> run;
};

int16_t Coefficient(std::mt19937& rng, int trial) {
    switch (trial % 4) {
        case 0:
            return static_cast<int16_t>(rng());  // anything
        case 1:
            return static_cast<int16_t>(static_cast<int>(rng() % 64) - 32);
        case 2:
            return rng() % 2 ? 32767 : -32768;
        default:
            return rng() % 8 ? 0 : static_cast<int16_t>(static_cast<int>(rng() % 512) - 256);
    }
}

std::vector<uint8_t> Bytes(const int16_t* v, size_t n) {
    const auto* p = reinterpret_cast<const uint8_t*>(v);
    return {p, p + 2 * n};
}

// A plane of `rows` x `pitch` bytes around the area a store or filter touches:
// smooth with steps (so that filters engage) or noise.
std::vector<uint8_t> Plane(std::mt19937& rng, int rows, int pitch, int trial) {
    std::vector<uint8_t> plane(static_cast<size_t>(rows * pitch));
    const int base = static_cast<int>(rng() % 256);
    const int noise = trial % 3 == 0 ? 256 : trial % 3 == 1 ? 3 : 12;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < pitch; ++x) {
            const int step = ((x / 8 + y / 8) % 2) * static_cast<int>(rng() % 16);
            plane[y * pitch + x] = static_cast<uint8_t>(
                std::clamp(base + step + static_cast<int>(rng() % noise) - noise / 2, 0, 255));
        }
    }
    return plane;
}

std::vector<Slot> Slots() {
    std::vector<Slot> slots;
    slots.push_back({"DequantIdct", [](const KernelTable& t, std::mt19937& rng, int trial) {
                         int16_t block[64];
                         for (int16_t& c : block) c = Coefficient(rng, trial);
                         t.DequantIdct(block, trial % 64);
                         return Bytes(block, 64);
                     }});
    auto store = [](bool chroma) {
        return [chroma](const KernelTable& t, std::mt19937& rng, int trial) {
            constexpr int kPitch = 24;
            std::vector<uint8_t> plane = Plane(rng, 12, kPitch, trial);
            uint8_t pred[64];
            int16_t residual[64];
            for (uint8_t& p : pred) p = static_cast<uint8_t>(rng());
            for (int16_t& r : residual) r = Coefficient(rng, trial);
            uint8_t* dst = plane.data() + 2 * kPitch + 8;
            if (chroma) {
                t.StoreChromaBlock(dst, kPitch, pred, residual, trial % 2);
            } else {
                t.StoreLumaBlock(dst, kPitch, pred, residual);
            }
            return plane;
        };
    };
    slots.push_back({"StoreLumaBlock", store(false)});
    slots.push_back({"StoreChromaBlock", store(true)});

    // Edge filters: the edge lies at x = 16 (vertical) or y = 16 (horizontal)
    // of 40 x 40 planes; chroma kernels filter two planes at once.
    auto edge = [](auto slot, bool vertical) {
        return [slot, vertical](const KernelTable& t, std::mt19937& rng, int trial) {
            constexpr int kPitch = 40;
            std::vector<uint8_t> a = Plane(rng, 40, kPitch, trial);
            std::vector<uint8_t> b = Plane(rng, 40, kPitch, trial + 1);
            const int qp = static_cast<int>(rng() % 64);
            const EdgeThresholds th = {std::min(qp + 10, 64), std::min(qp / 2, 27), qp / 7};
            const int bs0 = static_cast<int>(rng() % 3);
            const int bs1 = static_cast<int>(rng() % 3);
            const ptrdiff_t at = vertical ? 8 * kPitch + 16 : 16 * kPitch + 8;
            if constexpr (std::is_same_v<decltype(slot), EdgeFilterFn KernelTable::*>) {
                (t.*slot)(a.data() + at, kPitch, bs0, bs1, th);
            } else {
                (t.*slot)(a.data() + at, b.data() + at, kPitch, bs0, bs1, th);
            }
            a.insert(a.end(), b.begin(), b.end());
            return a;
        };
    };
    slots.push_back({"FilterLumaEdgeV", edge(&KernelTable::FilterLumaEdgeV, true)});
    slots.push_back({"FilterLumaEdgeH", edge(&KernelTable::FilterLumaEdgeH, false)});
    slots.push_back({"FilterChromaEdgeV", edge(&KernelTable::FilterChromaEdgeV, true)});
    slots.push_back({"FilterChromaEdgeH", edge(&KernelTable::FilterChromaEdgeH, false)});
    return slots;
}

TEST(KernelVariants, EverySlotMatchesThePlainKernel) {
    KernelTable plain{};
    FillKernelTable(plain, cpu::kAlways);
    for (const Level& level : kLevels) {
        KernelTable variant{};
        FillKernelTable(variant, level.features);
        for (const Slot& slot : Slots()) {
            for (int trial = 0; trial < 3000; ++trial) {
                std::mt19937 a(static_cast<uint32_t>(trial));
                std::mt19937 b(static_cast<uint32_t>(trial));
                ASSERT_EQ(slot.run(plain, a, trial), slot.run(variant, b, trial))
                    << slot.name << " at level " << level.name << ", trial " << trial;
            }
        }
    }
}

}  // namespace
}  // namespace avs
