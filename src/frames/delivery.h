// Copying a finished picture into the host-visible picture buffer (planar
// 4:2:0 in YV12 order).
#pragma once

#include <cstdint>

#include "frames/frame.h"

namespace avs {

// Copies frame's width x height picture into *pictureBuffer (taken from the
// heap, width*height*2 bytes, when null). Returns 0, or -2 when the buffer
// cannot be had.
int DeliverFrame(const DecodedFrame& frame, uint8_t** pictureBuffer);

}  // namespace avs
