// The conversion's worker pool: which rows each band gets and on which
// thread, and a kernel that throws. (The conformance test converts every
// large picture in bands on workers, bit-exact.)
#include "convert/converter_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "convert/colour_converter.h"

namespace avs {
namespace {

// --- Which thread converts which rows ---------------------------------------

// A band kernel that records each call's block and where it ran.
struct BandCall {
    ConversionParams block;
    std::thread::id thread;
};
std::mutex gMutex;
std::vector<BandCall> gCalls;

void RecordBand(const ConversionParams& block) {
    std::lock_guard lock(gMutex);
    gCalls.push_back({block, std::this_thread::get_id()});
}

// Expected: `workers` bands of `band` rows from the top on worker threads,
// then `remainder` rows on the caller's thread. Consecutive cases with the
// same processor count share one pool, which a new row count rebuilds.
struct SplitCase {
    const char* name;
    uint32_t rows, processors;
    bool threadsAllowed;
    ptrdiff_t dstPitch;  // negative: the destination's rows go upward
    uint32_t workers, band, remainder;
};

TEST(ConverterPool, BandsGoToWorkersAndTheRemainderToTheCaller) {
    const SplitCase cases[] = {
        {"576 on 4", 576, 4, true, 16, 4, 144, 0},  // the caller only waits
        {"576 on 4, upward", 576, 4, true, -16, 4, 144, 0},
        {"100 on 4", 100, 4, true, 16, 4, 24, 4},  // bands of whole groups of 4 rows
        {"6 on 4", 6, 4, true, -16, 1, 4, 2},
        {"3 on 4", 3, 4, true, 16, 0, 0, 3},  // fewer than 4 rows: no threads
        {"single processor", 576, 1, true, 16, 0, 0, 576},
        {"threads not allowed", 576, 4, false, 16, 0, 0, 576},
    };
    std::vector<uint8_t> y(16 * 576), u(8 * 288), dst(16 * 576), dstU(8 * 288);
    std::unique_ptr<ConverterPool> pool;
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (!pool || pool->processors() != c.processors) {
            pool = std::make_unique<ConverterPool>(c.processors);
        }
        ColourConverter converter;
        converter.pool = pool.get();
        ASSERT_TRUE(ConfigureConverter(converter, 0, kModeYv12, c.threadsAllowed));
        ConversionParams block{};
        block.srcY = y.data() + 15 * (c.rows - 1);  // a negative pitch: rows go upward
        block.srcU = block.srcV = u.data();
        block.dst = dst.data() + (c.dstPitch < 0 ? 16 * (c.rows - 1) : 0);
        block.dstU = block.dstV = dstU.data();
        block.width = 16;
        block.rows = c.rows;
        block.srcYPitch = -15;
        block.srcUPitch = block.srcVPitch = 8;
        block.dstPitch = c.dstPitch;
        block.dstUPitch = block.dstVPitch = 8;
        gCalls.clear();
        // Without features the level stays 0, so RunConversion keeps this kernel.
        converter.bandKernel = RecordBand;
        RunConversion(converter, block);
        ASSERT_EQ(gCalls.size(), c.workers + (c.remainder != 0));
        // The row of the picture where a pointer of a band lies.
        const auto row = [](const uint8_t* at, const uint8_t* origin, ptrdiff_t pitch) {
            return (at - origin) / pitch;
        };
        std::sort(gCalls.begin(), gCalls.end(), [](const BandCall& a, const BandCall& b) {
            return a.block.srcY > b.block.srcY;  // from the top: the source rows go upward
        });
        for (uint32_t i = 0; i < gCalls.size(); ++i) {
            const ConversionParams& band = gCalls[i].block;
            const bool onCaller = i == c.workers;
            const ptrdiff_t first = i * c.band;
            EXPECT_EQ(row(band.srcY, block.srcY, block.srcYPitch), first) << "band " << i;
            EXPECT_EQ(band.rows, onCaller ? c.remainder : c.band) << "band " << i;
            EXPECT_EQ(row(band.srcU, block.srcU, block.srcUPitch), first / 2) << "band " << i;
            EXPECT_EQ(row(band.dst, block.dst, block.dstPitch), first) << "band " << i;
            EXPECT_EQ(row(band.dstU, block.dstU, block.dstUPitch), first / 2) << "band " << i;
            EXPECT_EQ(gCalls[i].thread == std::this_thread::get_id(), onCaller) << "band " << i;
        }
    }
}

// --- A kernel that throws ---------------------------------------------------

const uint8_t* gThrowAt = nullptr;

void ThrowOnOneBand(const ConversionParams& block) {
    if (block.srcY == gThrowAt) throw std::runtime_error("band failed");
    for (uint32_t r = 0; r < block.rows; ++r) block.dst[r * block.dstPitch] = 1;
}

TEST(ConverterPool, AKernelThatThrowsStillLetsTheRunFinish) {
    std::vector<uint8_t> y(100), dst(100, 0);
    ConverterPool pool(8);
    ConversionParams block{};
    block.srcY = block.srcU = block.srcV = y.data();
    block.dst = dst.data();
    block.rows = 100;
    block.srcYPitch = block.dstPitch = 1;
    const BandKernelFn kernel = ThrowOnOneBand;
    for (int run = 0; run < 3; ++run) {  // the workers survive it
        std::fill(dst.begin(), dst.end(), 0);
        gThrowAt = y.data() + 12 * (run + 1);  // one worker's band
        pool.RunBands(block, &kernel, false);
        for (int r = 0; r < 100; ++r) {
            const bool failedBand = r >= 12 * (run + 1) && r < 12 * (run + 2);
            EXPECT_EQ(dst[r], failedBand ? 0 : 1) << "run " << run << " row " << r;
        }
    }
    gThrowAt = y.data() + 96;  // the caller's remainder band
    std::fill(dst.begin(), dst.end(), 0);
    pool.RunBands(block, &kernel, false);
    for (int r = 0; r < 100; ++r) EXPECT_EQ(dst[r], r < 96 ? 1 : 0) << "row " << r;
}

}  // namespace
}  // namespace avs
