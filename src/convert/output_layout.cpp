#include "convert/output_layout.h"

#include <algorithm>

namespace avs {

uint32_t OutputSizeFactor(uint32_t fourcc) {
    switch (fourcc) {
        case kFourccYV12:
            return 3;
        case kFourccYUY2:
        case kFourccYUYV:
        case kFourccUYVY:
        case kFourccG565:
            return 4;
        case kFourccBGR3:
            return 6;
        case kFourccBGR4:
        case kFourccBGRA:
            return 8;
        default:
            return 0;
    }
}

int32_t OutputPitch(uint32_t width, uint32_t fourcc) {
    // Widths are 14-bit fields; the clamp only keeps absurd ones in range.
    const int64_t clamped = std::min<int64_t>(width, INT32_MAX / 4);
    const auto bytes = static_cast<int32_t>(OutputSizeFactor(fourcc) * clamped / 2);
    switch (fourcc) {
        case kFourccBGR3:
        case kFourccBGR4:
        case kFourccBGRA:
        case kFourccG565:
        case kFourccG555:
            return -bytes;  // rows top-down from the given address
        case kFourccYV12:
            return static_cast<int32_t>(clamped);
        default:
            return bytes;
    }
}

}  // namespace avs
