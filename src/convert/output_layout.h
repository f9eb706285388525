// The output layouts a host can name by FourCC: their sizes and default
// pitches. Five of them can be converted to ("YV12", "YUY2", "UYVY", "BGR3",
// "BGR4"); a few more are known only to the size and pitch rules.
#pragma once

#include <cstdint>

#include "avsdec.h"

namespace avs {

inline constexpr uint32_t kFourccYV12 = AVS_FOURCC_YV12;
inline constexpr uint32_t kFourccYUY2 = AVS_FOURCC_YUY2;
inline constexpr uint32_t kFourccUYVY = AVS_FOURCC_UYVY;
inline constexpr uint32_t kFourccBGR3 = AVS_FOURCC_BGR3;
inline constexpr uint32_t kFourccBGR4 = AVS_FOURCC_BGR4;
inline constexpr uint32_t kFourccYUYV = AVS_FOURCC('Y', 'U', 'Y', 'V');
inline constexpr uint32_t kFourccBGRA = AVS_FOURCC('B', 'G', 'R', 'A');
inline constexpr uint32_t kFourccG565 = AVS_FOURCC('G', '5', '6', '5');
inline constexpr uint32_t kFourccG555 = AVS_FOURCC('G', '5', '5', '5');

// Twice the bytes per pixel of an output FourCC; 0 for unknown ones.
uint32_t OutputSizeFactor(uint32_t fourcc);
// The pitch a conversion into one host buffer uses until the host sets one:
// the row length, negative for the BGR layouts (rows top-down).
int32_t OutputPitch(uint32_t width, uint32_t fourcc);

}  // namespace avs
