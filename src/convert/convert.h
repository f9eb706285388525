// Output conversion of the picture buffer (planar 4:2:0, YV12 order) into the
// host's layout: "YV12", "YUY2", "UYVY", "BGR3" or "BGR4". Any other FourCC
// writes nothing. Rows are converted in bands on the process-wide workers
// (convert/shared_pool.h) and both calls return when every row is written.
#pragma once

#include <cstdint>

#include "avsdec.h"

namespace avs {

// Converts into the host's descriptor; the FourCC is the descriptor's word 2.
// The descriptor's width and height must not exceed the picture's. A positive
// BGR pitch writes the picture bottom-up. A descriptor with a null plane, or
// a pitch that cannot hold a row or spans more than kMaxOutputBytes, gets
// nothing written.
void DeliverPicture(const OutputPicture& out, const uint8_t* source, uint32_t fourcc);
// Converts into one host buffer with the given pitch. "YV12" is written
// top-down with |pitch| whatever its sign; a positive BGR pitch writes the
// picture bottom-up. Writes nothing when BufferBytes is 0.
void DeliverToBuffer(uint8_t* destination, const uint8_t* source, uint32_t width, uint32_t height,
                     uint32_t fourcc, int32_t pitch);

// Bytes that DeliverToBuffer writes from its destination: |pitch| x height,
// and for "YV12" the two chroma planes placed after them. 0 when it writes
// nothing: another layout, a pitch that cannot hold a row, or more than
// kMaxOutputBytes.
uint32_t BufferBytes(uint32_t fourcc, uint32_t width, uint32_t height, int32_t pitch);

// No plane of any real picture comes near this; a larger one is a bad pitch.
inline constexpr int64_t kMaxOutputBytes = INT32_MAX;

}  // namespace avs
