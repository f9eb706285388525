// The conversion's worker pool: which rows each band gets and on which
// thread, bands converting the same bytes as one pass, and a kernel that
// throws.
#include "convert/converter_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "convert/colour_converter.h"
#include "convert/convert_kernels.h"
#include "convert/convert_test_util.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

// --- Which thread converts which rows ---------------------------------------

// A band kernel that records the rows each call was given and where it ran.
struct BandCall {
    ptrdiff_t firstRow;
    uint32_t rows;
    ptrdiff_t chromaRow, dstRow, dstChromaRow;
    std::thread::id thread;
};

struct Recorder {
    std::mutex mutex;
    const uint8_t* srcY = nullptr;
    const uint8_t* srcU = nullptr;
    const uint8_t* dst = nullptr;
    const uint8_t* dstU = nullptr;
    std::vector<BandCall> calls;
} gRecorder;

void RecordBand(const ConversionParams& block) {
    std::lock_guard lock(gRecorder.mutex);
    gRecorder.calls.push_back({(block.srcY - gRecorder.srcY) / block.srcYPitch, block.rows,
                               (block.srcU - gRecorder.srcU) / block.srcUPitch,
                               (block.dst - gRecorder.dst) / block.dstPitch,
                               (block.dstU - gRecorder.dstU) / block.dstUPitch,
                               std::this_thread::get_id()});
}

// Expected: `workers` bands of `band` rows from the top on worker threads,
// then `remainder` rows on the caller's thread.
struct SplitCase {
    const char* name;
    uint32_t rows, processors;
    bool threadsAllowed;
    uint32_t workers, band, remainder;
};

TEST(ConverterPool, BandsGoToWorkersAndTheRemainderToTheCaller) {
    const SplitCase cases[] = {
        {"576 on 4", 576, 4, true, 4, 144, 0},  // the caller only waits
        {"100 on 8", 100, 8, true, 8, 12, 4},
        {"6 on 2", 6, 2, true, 1, 4, 2},
        {"3 on 2", 3, 2, true, 0, 0, 3},  // fewer than 4 rows: no threads
        {"1088 on 3", 1088, 3, true, 3, 360, 8},
        {"single processor", 576, 1, true, 0, 0, 576},
        {"threads not allowed", 576, 4, false, 0, 0, 576},
    };
    std::vector<uint8_t> y(16 * 576), u(8 * 288), dst(16 * 576), dstU(8 * 288);
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConverterPool pool(c.processors);
        ColourConverter converter;
        converter.pool = &pool;
        ASSERT_TRUE(ConfigureConverter(converter, 0, kModeYv12, c.threadsAllowed));
        ConversionParams block{};
        block.srcY = y.data() + 15 * 575;  // a negative pitch: rows go upward
        block.srcU = block.srcV = u.data();
        block.dst = dst.data();
        block.dstU = block.dstV = dstU.data();
        block.width = 16;
        block.rows = c.rows;
        block.srcYPitch = -15;
        block.srcUPitch = block.srcVPitch = 8;
        block.dstPitch = 16;
        block.dstUPitch = block.dstVPitch = 8;
        gRecorder.srcY = block.srcY;
        gRecorder.srcU = block.srcU;
        gRecorder.dst = block.dst;
        gRecorder.dstU = block.dstU;
        gRecorder.calls.clear();
        // Without features the level stays 0, so RunConversion keeps this kernel.
        converter.bandKernel = RecordBand;
        RunConversion(converter, block);
        ASSERT_EQ(gRecorder.calls.size(), c.workers + (c.remainder != 0));
        std::sort(gRecorder.calls.begin(), gRecorder.calls.end(),
                  [](const BandCall& a, const BandCall& b) { return a.firstRow < b.firstRow; });
        for (uint32_t i = 0; i < gRecorder.calls.size(); ++i) {
            const BandCall& call = gRecorder.calls[i];
            const bool onCaller = i == c.workers;
            const ptrdiff_t first = i * c.band;
            EXPECT_EQ(call.firstRow, first) << "band " << i;
            EXPECT_EQ(call.rows, onCaller ? c.remainder : c.band) << "band " << i;
            EXPECT_EQ(call.chromaRow, first / 2) << "band " << i;
            EXPECT_EQ(call.dstRow, first) << "band " << i;
            EXPECT_EQ(call.dstChromaRow, first / 2) << "band " << i;
            EXPECT_EQ(call.thread == std::this_thread::get_id(), onCaller) << "band " << i;
        }
    }
}

// Every layout, split among 2 to 8 processors (changing row counts rebuild
// the pool; the same count reuses it), with both signs of destination pitch.
TEST(ConverterPool, BandsConvertTheSameBytesAsOnePass) {
    struct Mode {
        uint32_t mode, bitsPerPixel;
    };
    const Mode modes[] = {
        {kModeUyvy, 16}, {kModeYuy2, 16}, {kModeYv12, 12}, {kModeBgr4, 32}, {kModeBgr3, 24}};
    std::mt19937 rng(3);
    for (const Mode& m : modes) {
        for (uint32_t processors : {2u, 3u, 4u, 8u}) {
            ConverterPool pool(processors);
            for (uint32_t rows : {576u, 100u, 6u, 3u, 17u, 576u, 34u}) {
                for (ptrdiff_t sign : {1, -1}) {
                    SCOPED_TRACE(testing::Message() << "mode " << m.mode << ", " << rows
                                                    << " rows on " << processors << ", " << sign);
                    const test::SourcePicture pic(22, rows, 2, rng);
                    ColourConverter converter;
                    converter.features = DetectCpuFeatures();
                    converter.pool = &pool;
                    ASSERT_TRUE(ConfigureConverter(converter, 0, m.mode, false));
                    using test::Canvas;
                    const ptrdiff_t pitch =
                        sign * static_cast<ptrdiff_t>(22 * m.bitsPerPixel / 8 + 7);
                    std::vector<Canvas> want = {Canvas(rows, pitch), Canvas(rows / 2 + 1, 14),
                                                Canvas(rows / 2 + 1, 14)};
                    std::vector<Canvas> got = want;
                    for (std::vector<Canvas>* d : {&want, &got}) {  // one pass, then bands
                        ConversionParams block = pic.Block();
                        block.bitsPerPixel = m.bitsPerPixel;
                        block.dst = (*d)[0].Origin(rows);
                        block.dstPitch = pitch;
                        block.dstU = (*d)[1].Origin(rows / 2 + 1);
                        block.dstV = (*d)[2].Origin(rows / 2 + 1);
                        block.dstUPitch = block.dstVPitch = 14;
                        RunConversion(converter, block);
                        converter.threadsAllowed = true;
                    }
                    for (int plane = 0; plane < 3; ++plane) {
                        EXPECT_EQ(want[plane].bytes, got[plane].bytes) << "plane " << plane;
                    }
                }
            }
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
