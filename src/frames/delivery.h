// Copying a finished picture into the host-visible picture buffer (planar
// 4:2:0 in YV12 order), and the default output pitch.
#pragma once

#include <cstdint>

#include "frames/frame.h"

namespace avs {

// Twice the bytes per pixel of an output FourCC; 0 for unknown ones.
uint32_t OutputSizeFactor(uint32_t fourcc);
// The pitch request 1 uses until the host sets one.
int32_t OutputPitch(uint32_t width, uint32_t fourcc);

// Copies frame's width x height picture into *pictureBuffer (taken from the
// heap, width*height*2 bytes, when null). Returns 0, or -2 when the buffer
// cannot be had.
int DeliverFrame(const DecodedFrame& frame, uint8_t** pictureBuffer);

}  // namespace avs
