#include "convert/colour_converter.h"

#include <gtest/gtest.h>

#include "convert/convert_kernels.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

constexpr uint32_t kAllLevels = cpu::kMmx | cpu::kSseInteger | cpu::kSse | cpu::kSse2;

// A block for a width x 16 picture at the given addresses.
ConversionParams Block(uintptr_t src, uintptr_t dst, uint32_t width, uint32_t bitsPerPixel) {
    ConversionParams block{};
    block.srcY = reinterpret_cast<const uint8_t*>(src);
    block.srcV = block.srcY + width * 16;
    block.srcU = block.srcV + width * 4;
    block.dst = reinterpret_cast<uint8_t*>(dst);
    block.width = width;
    block.rows = 16;
    block.srcYPitch = width;
    block.srcUPitch = block.srcVPitch = width / 2;
    block.dstPitch = static_cast<ptrdiff_t>(width) * bitsPerPixel / 8;
    block.bitsPerPixel = bitsPerPixel;
    return block;
}

struct LevelCase {
    const char* name;
    ConversionParams block;
    uint32_t mode;
    uint32_t features;
    int want;
};

// Levels 1 to 3 install the same variants, which give the plain kernel's
// bytes from any address: the level decides speed only, so the cases are
// those that must get the variants or fall back to the plain kernel.
TEST(ColourConverter, LevelFollowsAlignmentAndFeatures) {
    const uintptr_t a = 0x10000;  // aligned to 64
    ConversionParams bottomUp = Block(a, a, 1920, 24);
    bottomUp.dst += 1079 * 5760;
    bottomUp.dstPitch = -5760;  // -1920 pixels
    ConversionParams planar = Block(a, a, 1280, 12);
    planar.dstU = planar.dst + 1280 * 16;
    planar.dstV = planar.dstU + 320 * 16;
    planar.dstUPitch = planar.dstVPitch = 640;
    ConversionParams planarOddChroma = planar;
    planarOddChroma.dstVPitch = 648;
    const LevelCase cases[] = {
        {"1920 YUY2, all aligned", Block(a, a, 1920, 16), kModeYuy2, kAllLevels, 3},
        {"1920 BGR3 bottom-up", bottomUp, kModeBgr3, kAllLevels, 3},
        {"no features", Block(a, a, 1920, 16), kModeYuy2, 0, 0},
        // 360 is a multiple of 8 but not of 16.
        {"720 wide", Block(a, a, 720, 16), kModeYuy2, kAllLevels, 1},
        {"odd destination", Block(a, a + 1, 1920, 16), kModeYuy2, kAllLevels, 0},
        {"planar chroma pitch 648", planarOddChroma, kModeYv12, kAllLevels, 1},
    };
    for (const LevelCase& c : cases) {
        EXPECT_EQ(CheckLevel(c.block, c.mode, c.features), c.want) << c.name;
    }
}

// A block that allows a lower level than the provisional one gets that
// level's kernel before it runs.
TEST(ColourConverter, RunReselectsForTheBlocksLevel) {
    ColourConverter converter;
    converter.features = cpu::kSse2 | cpu::kMmx;
    ASSERT_TRUE(ConfigureConverter(converter, 0, kModeBgr4, false));
    ASSERT_EQ(converter.level, 3);
    std::vector<uint8_t> src(7 * 2 * 2, 128), dst(7 * 4 * 2 + 1);
    ConversionParams block{};
    block.srcY = src.data() + 1;
    block.srcU = block.srcV = src.data();
    block.dst = dst.data() + 1;
    block.width = 7;
    block.rows = 2;
    block.srcYPitch = 7;
    block.dstPitch = 28;
    block.bitsPerPixel = 32;
    RunConversion(converter, block);
    EXPECT_EQ(converter.level, 0);
    ConvertKernelTable table;
    FillConvertKernels(table, converter.features);
    EXPECT_EQ(converter.bandKernel, table.band[kModeBgr4][0]);
    EXPECT_EQ(dst[1 + 3], 255);
}

}  // namespace
}  // namespace avs
