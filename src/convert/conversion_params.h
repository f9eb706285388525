// The description of one conversion, or of one band of it, that every band
// kernel takes; and the output modes it can describe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

// Output modes: the index of a layout in the kernel selection.
inline constexpr uint32_t kModeUyvy = 0;
inline constexpr uint32_t kModeYuy2 = 2;
inline constexpr uint32_t kModeYv12 = 4;  // the only planar mode
inline constexpr uint32_t kModeBgr4 = 8;
inline constexpr uint32_t kModeBgr3 = 9;
inline constexpr uint32_t kModeCount = 14;

// Twenty words, in this order. Source planes are 4:2:0: U and V have half the
// width and half the rows of Y. A negative destination pitch makes successive
// rows go upward in memory.
struct ConversionParams {
    const uint8_t* srcY;    // 0
    const uint8_t* srcU;    // 1
    const uint8_t* srcV;    // 2
    uint8_t* dst;           // 3: the only plane of packed and BGR output; Y of planar output
    uint8_t* dstU;          // 4: planar output only
    uint8_t* dstV;          // 5: planar output only
    uint32_t width;         // 6: pixels
    uint32_t rows;          // 7: rows to convert
    ptrdiff_t srcYPitch;    // 8
    ptrdiff_t srcUPitch;    // 9
    ptrdiff_t srcVPitch;    // 10
    ptrdiff_t dstPitch;     // 11: bytes
    ptrdiff_t dstUPitch;    // 12: planar output only
    ptrdiff_t dstVPitch;    // 13: planar output only
    uintptr_t reserved;     // 14: 0
    uint8_t* scratch[3];    // 15..17: null on every delivery path
    uint32_t flags;         // 18: 0 on every delivery path
    uint32_t bitsPerPixel;  // 19: of the output layout
};

// Converts the rows that `block` describes.
using BandKernelFn = void (*)(const ConversionParams& block);

}  // namespace avs
