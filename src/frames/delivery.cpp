#include "frames/delivery.h"

#include <cstdlib>
#include <cstring>

namespace avs {

size_t PictureBufferBytes(uint32_t width, uint32_t height) {
    return size_t{width} * height * 2;
}

int DeliverFrame(DecodedFrame& frame, PictureBuffer& picture) {
    if (!picture.handedOver && frame.width % 2 == 0) {
        // Our own copy is not needed: the frame's planes stay as they are
        // until another picture is delivered.
        picture.Release();
        picture.Show(frame);
        return 0;
    }
    picture.Unshow();
    const size_t width = frame.width;
    const size_t height = frame.height;
    const size_t lumaSize = width * height;
    const size_t needed = PictureBufferBytes(frame.width, frame.height);
    if (picture.data == nullptr || picture.bytes < needed) {
        picture.Release();
        picture.data = static_cast<uint8_t*>(std::malloc(needed));
        if (picture.data == nullptr) return -2;
        picture.bytes = needed;
    }
    picture.width = frame.width;
    picture.height = frame.height;
    uint8_t* const out = picture.data;
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
