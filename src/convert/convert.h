// Output conversion of the picture buffer (planar 4:2:0, YV12 order) into the
// host's layout.
#pragma once

#include <cstdint>

#include "avsdec.h"

namespace avs {

// Converts into the host's descriptor; the FourCC is the descriptor's word 2.
void DeliverPicture(const OutputPicture& out, const uint8_t* source, uint32_t fourcc);
// Converts into one host buffer with the given pitch.
void DeliverToBuffer(uint8_t* destination, const uint8_t* source, uint32_t width,
                     uint32_t height, uint32_t fourcc, int32_t pitch);

}  // namespace avs
