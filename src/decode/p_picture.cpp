// PLACEHOLDER: P pictures are not decoded yet; the driver drops them.
#include "decode/pictures.h"

namespace avs {

int DecodePPicture(DecoderContext&, BitReader&, DecodedFrame& frame) {
    frame.pictureType = PictureType::P;
    return -1;
}

}  // namespace avs
