// PLACEHOLDER: B pictures are not decoded yet.
#include "decode/pictures.h"

namespace avs {

int DecodeBPicture(DecoderContext&, BitReader&, DecodedFrame& frame, const DecodedFrame&,
                   const DecodedFrame&) {
    frame.pictureType = PictureType::B;
    return 0;
}

}  // namespace avs
