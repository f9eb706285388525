// The conversion kernels: colour values at the edges of the range and an odd
// last pixel or row at every level, and every processor-specific band kernel
// against the plain kernel's bytes. (Layouts and pitches are checked against
// the colour formulas by the delivery tests.)
#include "convert/convert_kernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "convert/convert_test_util.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

using test::Canvas;
using test::SourcePicture;

// The feature words whose kernels this processor can run, plain first.
struct FeatureSet {
    const char* name;
    uint32_t features;
};

std::vector<FeatureSet> RunnableFeatureSets() {
    std::vector<FeatureSet> sets = {{"plain", cpu::kAlways}};
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("sse2")) sets.push_back({"sse2", cpu::kSse2});
    if (__builtin_cpu_supports("avx2")) sets.push_back({"avx2", cpu::kSse2 | cpu::kAvx2});
#endif
    return sets;
}

struct RowMode {
    const char* name;
    uint32_t mode;
    uint32_t bytesPerPixel;  // of the packed row: 2 for 4:2:2
};
constexpr RowMode kRowModes[] = {
    {"UYVY", kModeUyvy, 2}, {"YUY2", kModeYuy2, 2}, {"BGR4", kModeBgr4, 4}, {"BGR3", kModeBgr3, 3}};

// Every level of both BGR rows, over a row long enough for every vector step
// and a tail.
TEST(ConvertKernels, ColourEdgeCasesAtEveryLevel) {
    struct Colour {
        uint8_t y, u, v, b, g, r;
    };
    const Colour cases[] = {
        {16, 128, 128, 0, 0, 0},        {235, 128, 128, 255, 255, 255},
        {128, 128, 128, 130, 130, 130}, {81, 90, 240, 0, 0, 254},
        {41, 240, 110, 255, 0, 0},      {145, 54, 34, 1, 255, 0},
        {0, 128, 128, 0, 0, 0},         {10, 128, 128, 0, 0, 0},
        {255, 128, 128, 255, 255, 255}, {240, 128, 128, 255, 255, 255},
    };
    constexpr uint32_t kWidth = 2 * 40 + 2;
    for (const FeatureSet& set : RunnableFeatureSets()) {
        ConvertKernelTable table;
        FillConvertKernels(table, set.features);
        for (int level = 0; level < kLevelCount; ++level) {
            for (const Colour& c : cases) {
                std::vector<uint8_t> y(kWidth, c.y), u(kWidth / 2, c.u), v(kWidth / 2, c.v);
                std::vector<uint8_t> bgr3(kWidth * 3), bgr4(kWidth * 4), want3, want4;
                table.row[kModeBgr3][level](y.data(), u.data(), v.data(), bgr3.data(), kWidth);
                table.row[kModeBgr4][level](y.data(), u.data(), v.data(), bgr4.data(), kWidth);
                for (uint32_t x = 0; x < kWidth; ++x) {
                    want3.insert(want3.end(), {c.b, c.g, c.r});
                    want4.insert(want4.end(), {c.b, c.g, c.r, 255});
                }
                SCOPED_TRACE(testing::Message() << set.name << " level " << level << " Y=" << +c.y
                                                << " U=" << +c.u << " V=" << +c.v);
                EXPECT_EQ(bgr3, want3);
                EXPECT_EQ(bgr4, want4);
            }
        }
    }
}

// Widths 6 and 7 both write three pairs; the seventh pixel stays untouched.
TEST(ConvertKernels, OddLastPixelIsLeftAlone) {
    const uint8_t y[] = {1, 2, 3, 4, 5, 6, 7}, u[] = {9, 9, 9, 9}, v[] = {8, 8, 8, 8};
    for (const FeatureSet& set : RunnableFeatureSets()) {
        ConvertKernelTable table;
        FillConvertKernels(table, set.features);
        for (const RowMode& m : kRowModes) {
            for (int level = 0; level < kLevelCount; ++level) {
                SCOPED_TRACE(testing::Message() << set.name << " " << m.name << " level " << level);
                std::vector<uint8_t> six(8 * m.bytesPerPixel, 0xEE), seven = six;
                table.row[m.mode][level](y, u, v, six.data(), 6);
                table.row[m.mode][level](y, u, v, seven.data(), 7);
                EXPECT_EQ(six, seven);
                for (size_t i = 6 * m.bytesPerPixel; i < six.size(); ++i) EXPECT_EQ(six[i], 0xEE);
                EXPECT_NE(six[6 * m.bytesPerPixel - 1], 0xEE);
            }
        }
    }
}

// A band of 5 rows: packed and BGR convert 4 (two chroma rows, each serving
// two picture rows); the sixth row of the destination stays untouched too.
TEST(ConvertKernels, BandOfFiveRows) {
    std::mt19937 rng(5);
    const SourcePicture pic(8, 6, 0, rng);
    ConvertKernelTable table;
    FillConvertKernels(table, cpu::kAlways);
    for (const RowMode& m : kRowModes) {
        SCOPED_TRACE(m.name);
        const ptrdiff_t rowBytes = 8 * m.bytesPerPixel;
        Canvas canvas(6, rowBytes);
        ConversionParams block = pic.Block();
        block.rows = 5;
        block.dst = canvas.Origin(6);
        block.dstPitch = rowBytes;
        table.band[m.mode][0](block);
        for (int row = 0; row < 6; ++row) {
            std::vector<uint8_t> want(rowBytes, 0xA5);
            if (row < 4) {
                table.row[m.mode][0](&pic.y[row * pic.lumaPitch],
                                     &pic.u[(row / 2) * pic.chromaPitch],
                                     &pic.v[(row / 2) * pic.chromaPitch], want.data(), 8);
            }
            EXPECT_EQ(0, std::memcmp(want.data(), block.dst + row * rowBytes, rowBytes))
                << "row " << row;
        }
    }
}

// Whole bands of every width up to 100 and a few long ones (every tail of
// every vector step), every sign of source and destination pitch, and padding
// beyond the row on both sides (unaligned rows). Bands are what the converter
// runs; each walks its level's row operation.
TEST(ConvertKernels, VariantBandsMatchPlain) {
    std::mt19937 rng(2);
    std::vector<uint32_t> widths;
    for (uint32_t w = 1; w <= 100; ++w) widths.push_back(w);
    for (uint32_t w : {127u, 128u, 129u, 719u, 720u, 1919u, 1920u}) widths.push_back(w);
    for (const FeatureSet& set : RunnableFeatureSets()) {
        ConvertKernelTable table;
        FillConvertKernels(table, set.features);
        for (const RowMode& m : kRowModes) {
            for (uint32_t width : widths) {
                for (uint32_t rows : {1u, 4u, 7u}) {
                    for (int signs = 0; signs < 4; ++signs) {
                        SourcePicture pic(width, rows, 5, rng);
                        ConversionParams block = pic.Block();
                        if (signs & 1) {  // source rows upward in memory
                            block.srcY += (rows - 1) * pic.lumaPitch;
                            block.srcU += ((rows - 1) / 2) * pic.chromaPitch;
                            block.srcV += ((rows - 1) / 2) * pic.chromaPitch;
                            block.srcYPitch = -block.srcYPitch;
                            block.srcUPitch = -block.srcUPitch;
                            block.srcVPitch = -block.srcVPitch;
                        }
                        const ptrdiff_t rowBytes = width * m.bytesPerPixel + 3;
                        Canvas want(rows, (signs & 2) ? -rowBytes : rowBytes);
                        Canvas got = want;
                        block.dstPitch = want.pitch;
                        block.dst = want.Origin(rows);
                        table.band[m.mode][0](block);
                        for (int level = 1; level < kLevelCount; ++level) {
                            std::fill(got.bytes.begin(), got.bytes.end(), 0xA5);
                            block.dst = got.Origin(rows);
                            table.band[m.mode][level](block);
                            ASSERT_EQ(want.bytes, got.bytes)
                                << set.name << " " << m.name << " level " << level << " width "
                                << width << " rows " << rows << " signs " << signs;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace avs
