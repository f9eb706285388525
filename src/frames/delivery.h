// Delivering a finished picture to the host: its frame is shown in place, or
// copied into the picture buffer (planar 4:2:0 in YV12 order).
#pragma once

#include <cstddef>
#include <cstdint>

#include "frames/frame.h"
#include "frames/frame_store.h"

namespace avs {

// Bytes of a picture buffer for a width x height picture: what a delivery
// takes from the heap, and what a host's buffer (request 0x101) must have.
size_t PictureBufferBytes(uint32_t width, uint32_t height);

// Makes frame's width x height picture the one the picture buffer holds.
// The frame is shown in place, without a copy, unless the host handed over a
// buffer (it reads the copies there) or the width is odd (the copy's chroma
// rows do not lie at a fixed pitch, and conversions read them as they lie).
// A copy goes into the buffer; one that is null or has fewer than
// PictureBufferBytes is released and replaced by one from the heap, so no
// more is ever written than the buffer is known to have. Returns 0, or -2
// when the buffer cannot be had.
int DeliverFrame(DecodedFrame& frame, PictureBuffer& picture);

}  // namespace avs
