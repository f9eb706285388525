#include "convert/colour_converter.h"

#include <gtest/gtest.h>

#include "platform/cpu_features.h"

namespace avs {
namespace {

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

// Every level gives the plain kernel's bytes from any address (see the
// kernel variant test), so the level decides speed only: pictures of the
// usual sizes, in buffers aligned as hosts allocate them, keep the
// processor's kernels (level 0 is the plain code).
TEST(ColourConverter, UsualPicturesKeepTheProcessorsKernels) {
    constexpr uint32_t kAll = cpu::kMmx | cpu::kSseInteger | cpu::kSse | cpu::kSse2;
    const uintptr_t a = 0x10000;  // aligned to 64
    ConversionParams bottomUp = Block(a, a, 1920, 24);
    bottomUp.dst += 1079 * 5760;
    bottomUp.dstPitch = -5760;
    ConversionParams planar = Block(a, a, 720, 12);
    planar.dstU = planar.dst + 720 * 16;
    planar.dstV = planar.dstU + 180 * 16;
    planar.dstUPitch = planar.dstVPitch = 360;
    EXPECT_GT(CheckLevel(Block(a, a, 1920, 16), kModeYuy2, kAll), 0);
    EXPECT_GT(CheckLevel(Block(a, a, 720, 32), kModeBgr4, kAll), 0);
    EXPECT_GT(CheckLevel(bottomUp, kModeBgr3, kAll), 0);
    EXPECT_GT(CheckLevel(planar, kModeYv12, kAll), 0);
}

}  // namespace
}  // namespace avs
