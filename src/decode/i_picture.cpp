// PLACEHOLDER: replaced by the I-picture work. Fills the picture with grey.
#include <cstring>

#include "decode/pictures.h"

namespace avs {

int DecodeIPicture(DecoderContext&, BitReader&, DecodedFrame& frame) {
    frame.pictureType = PictureType::I;
    std::memset(frame.lumaPlane, 128, static_cast<size_t>(frame.lumaPitch) * 16 * frame.mbHeight);
    std::memset(frame.cbPlane, 128, static_cast<size_t>(frame.chromaPitch) * 8 * frame.mbHeight);
    std::memset(frame.crPlane, 128, static_cast<size_t>(frame.chromaPitch) * 8 * frame.mbHeight);
    return 0;
}

}  // namespace avs
