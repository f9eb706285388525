#include "frames/delivery.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace avs {

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
