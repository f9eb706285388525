// Every processor-specific band kernel against the plain kernel's bytes. What
// the kernels write (colours at the ends of the range, odd last pixels and
// rows, layouts and pitches) is checked against its definition by the
// delivery tests.
#include "convert/convert_kernels.h"

#include <gtest/gtest.h>

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
