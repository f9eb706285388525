// Every processor-specific kernel gives the plain kernel's bytes: coefficient
// decoding, transform, stores, intra prediction, motion compensation and the
// loop filter, on random inputs and extremes, with the bytes around each
// destination checked too.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "decode/kernel_table.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

struct Level {
    const char* name;
    uint32_t features;
};

// Every level above the plain one that this processor can run.
std::vector<Level> Levels() {
    const uint32_t detected = DetectCpuFeatures();
    std::vector<Level> levels;
    uint32_t features = cpu::kAlways;
    for (const Level& l : {Level{"sse2", cpu::kSse2}, Level{"sse41", cpu::kSse41},
                           Level{"avx2", cpu::kAvx2}, Level{"avx512", cpu::kAvx512}}) {
        if (!(detected & l.features)) break;
        features |= l.features;
        levels.push_back({l.name, features});
    }
    return levels;
}

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

// A plane of `rows` x `pitch` bytes around the area a kernel reads or writes:
// smooth with steps (so that filters engage), noise, or only 0 and 255 (which
// drives every intermediate of the interpolations towards its bounds).
std::vector<uint8_t> Plane(std::mt19937& rng, int rows, int pitch, int trial) {
    std::vector<uint8_t> plane(static_cast<size_t>(rows * pitch));
    const int base = static_cast<int>(rng() % 256);
    const int noise = trial % 4 == 0 ? 256 : trial % 4 == 1 ? 3 : 12;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < pitch; ++x) {
            if (trial % 4 == 3) {
                plane[y * pitch + x] = rng() % 2 ? 255 : 0;
                continue;
            }
            const int step = ((x / 8 + y / 8) % 2) * static_cast<int>(rng() % 16);
            plane[y * pitch + x] = static_cast<uint8_t>(
                std::clamp(base + step + static_cast<int>(rng() % noise) - noise / 2, 0, 255));
        }
    }
    return plane;
}

std::vector<Slot> Slots() {
    std::vector<Slot> slots;
    // Coefficient decoders, on units whose bits are ones with a chosen
    // probability (mostly short codes and ends of block, or long codes and
    // escapes) and that may end inside the block: the coefficients, the
    // result and the position where the reader stops.
    auto coefficients = [](DecodeBlockFn KernelTable::*slot) {
        return [slot](const KernelTable& t, std::mt19937& rng, int trial) {
            const uint32_t length = 8 + rng() % 248;
            std::vector<uint8_t> unit(256 + kUnitPadding, 0);
            const uint32_t ones = 100 + 30 * static_cast<uint32_t>(trial % 6);  // of 256
            for (uint32_t i = 0; i < length; ++i) {
                for (int k = 0; k < 8; ++k)
                    unit[i] = static_cast<uint8_t>(unit[i] << 1 | (rng() % 256 < ones));
            }
            BitReader br(unit.data(), length);
            br.pos = rng() % 64;
            int16_t block[64] = {};
            const int result = (t.*slot)(br, ScanOrder(trial % 2), block);
            const int32_t tail[2] = {result, static_cast<int32_t>(br.pos)};
            std::vector<uint8_t> out(sizeof block + sizeof tail);
            std::memcpy(out.data(), block, sizeof block);
            std::memcpy(out.data() + sizeof block, tail, sizeof tail);
            return out;
        };
    };
    slots.push_back({"DecodeIntraLumaBlock", coefficients(&KernelTable::DecodeIntraLumaBlock)});
    slots.push_back({"DecodeInterLumaBlock", coefficients(&KernelTable::DecodeInterLumaBlock)});
    slots.push_back({"DecodeChromaBlock", coefficients(&KernelTable::DecodeChromaBlock)});

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

    // Intra prediction of a block at (16, 16) of a 40 x 40 plane: every mode
    // (and modes that only corrupt streams carry), every set of neighbours.
    auto intra = [](bool chroma) {
        return [chroma](const KernelTable& t, std::mt19937& rng, int trial) {
            std::vector<uint8_t> plane = Plane(rng, 40, 40, trial);
            const int mode = static_cast<int>(rng() % 6);
            const uint32_t mask = rng();
            std::vector<uint8_t> pred(64);
            for (uint8_t& p : pred) p = static_cast<uint8_t>(rng());
            const uint8_t* block = plane.data() + 16 * 40 + 16;
            const bool ok =
                chroma ? t.PredictIntraChroma(block, 40, mode,
                                              {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0},
                                              pred.data())
                       : t.PredictIntraLuma(
                             block, 40, mode % 5,
                             {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0},
                             pred.data());
            pred.push_back(ok);
            return pred;
        };
    };
    slots.push_back({"PredictIntraLuma", intra(false)});
    slots.push_back({"PredictIntraChroma", intra(true)});

    // Macroblock filters: the macroblock lies at (16, 16) of 40 x 40 planes
    // (chroma: both planes, each block at (16, 16)), with every combination
    // of strengths and edges left out at the picture's border.
    auto strengths = [](std::mt19937& rng) {
        MacroblockEdgeStrengths bs{};
        for (uint8_t* half : {&bs.left[0], &bs.left[1], &bs.innerV[0], &bs.innerV[1], &bs.top[0],
                              &bs.top[1], &bs.innerH[0], &bs.innerH[1]}) {
            *half = static_cast<uint8_t>(rng() % 3);
        }
        return bs;
    };
    // Each edge its own thresholds: the outer edges average QPs with a neighbour.
    auto thresholds = [](std::mt19937& rng) {
        auto edge = [&] {
            const int qp = static_cast<int>(rng() % 64);
            return EdgeThresholds{std::min(qp + 10, 64), std::min(qp / 2, 27), qp / 7};
        };
        return MacroblockEdgeThresholds{edge(), edge(), edge()};
    };
    constexpr int kPitch = 40;
    constexpr ptrdiff_t kAt = 16 * kPitch + 16;
    slots.push_back(
        {"FilterLumaMacroblock", [=](const KernelTable& t, std::mt19937& rng, int trial) {
             std::vector<uint8_t> plane = Plane(rng, 40, kPitch, trial);
             const MacroblockEdgeStrengths bs = strengths(rng);
             t.FilterLumaMacroblock(plane.data() + kAt, kPitch, bs, thresholds(rng));
             return plane;
         }});
    slots.push_back(
        {"FilterChromaMacroblock", [=](const KernelTable& t, std::mt19937& rng, int trial) {
             std::vector<uint8_t> cb = Plane(rng, 40, kPitch, trial);
             std::vector<uint8_t> cr = Plane(rng, 40, kPitch, trial + 1);
             const MacroblockEdgeStrengths bs = strengths(rng);
             t.FilterChromaMacroblock(cb.data() + kAt, cr.data() + kAt, kPitch, bs,
                                      thresholds(rng));
             cb.insert(cb.end(), cr.begin(), cr.end());
             return cb;
         }});

    // Motion compensation from 40 x 40 references at (16, 16) into a 32 x 32
    // destination at (8, 8): any size and fraction, with or without residual,
    // alone or averaged with another prediction.
    slots.push_back({"McLuma", [](const KernelTable& t, std::mt19937& rng, int trial) {
                         const std::vector<uint8_t> ref = Plane(rng, 40, 40, trial);
                         std::vector<uint8_t> dst = Plane(rng, 32, 32, trial);
                         uint8_t other[256];
                         int16_t residual[256];
                         for (uint8_t& p : other) p = trial % 4 == 3 ? (rng() % 2) * 255 : rng();
                         for (int16_t& r : residual) r = Coefficient(rng, trial);
                         const int size = rng() % kLumaSizes, fx = rng() % 4, fy = rng() % 4;
                         const int16_t* res = rng() % 2 ? residual : nullptr;
                         uint8_t* d = dst.data() + 8 * 32 + 8;
                         const uint8_t* r = ref.data() + 16 * 40 + 16;
                         if (rng() % 2) {
                             t.McLumaAdd[size][fx][fy](d, 32, r, 40, res);
                         } else {
                             t.McLumaAvgAdd[size][fx][fy](d, 32, r, 40, other, res);
                         }
                         return dst;
                     }});
    slots.push_back({"McChroma", [](const KernelTable& t, std::mt19937& rng, int trial) {
                         const std::vector<uint8_t> ref0 = Plane(rng, 40, 40, trial);
                         const std::vector<uint8_t> ref1 = Plane(rng, 40, 40, trial / 4);
                         std::vector<uint8_t> dst = Plane(rng, 32, 32, trial);
                         int16_t residual[64];
                         for (int16_t& r : residual) r = Coefficient(rng, trial);
                         const int ax = rng() % 8, ay = rng() % 8, bx = rng() % 8, by = rng() % 8;
                         uint8_t* d = dst.data() + 8 * 32 + 8;
                         const uint8_t* r0 = ref0.data() + 16 * 40 + 16;
                         const uint8_t* r1 = ref1.data() + 16 * 40 + 16;
                         const McChromaFn single[] = {t.McChroma8x8, t.McChroma8x4, t.McChroma4x8,
                                                      t.McChroma4x4};
                         const McChromaBiFn bi[] = {t.McChromaBi8x8, t.McChromaBi4x4};
                         const unsigned shape = rng() % 6;
                         if (shape < 4) {
                             single[shape](d, 32, r0, 40, residual, ax, ay);
                         } else {
                             bi[shape - 4](d, 32, r0, r1, 40, residual, ax, ay, bx, by);
                         }
                         return dst;
                     }});
    return slots;
}

TEST(KernelVariants, EverySlotMatchesThePlainKernel) {
    KernelTable plain{};
    FillKernelTable(plain, cpu::kAlways);
    for (const Level& level : Levels()) {
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
