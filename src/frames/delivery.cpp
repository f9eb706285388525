#include "frames/delivery.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "api/decoder.h"

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

int DeliverFrame(const DecodedFrame& frame, uint8_t** pictureBuffer) {
    const size_t width = frame.width;
    const size_t height = frame.height;
    const size_t lumaSize = width * height;
    if (*pictureBuffer == nullptr) {
        *pictureBuffer = static_cast<uint8_t*>(std::malloc(lumaSize * 2));
        if (*pictureBuffer == nullptr) return -2;
    }
    uint8_t* const out = *pictureBuffer;
    for (size_t r = 0; r < height; ++r) {
        std::memcpy(out + r * width, frame.lumaPlane + r * frame.lumaPitch, width);
    }
    // YV12 order. Chroma row r starts at (r * width) / 2, which for odd widths
    // is not r times the row length.
    uint8_t* const cr = out + lumaSize;
    uint8_t* const cb = cr + lumaSize / 4;
    for (size_t r = 0; r < height / 2; ++r) {
        const size_t at = r * width / 2;
        std::memcpy(cr + at, frame.crPlane + r * frame.chromaPitch, width / 2);
        std::memcpy(cb + at, frame.cbPlane + r * frame.chromaPitch, width / 2);
    }
    return 0;
}

}  // namespace avs
