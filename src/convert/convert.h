// Output conversion of a delivered picture (planar 4:2:0) into the host's
// layout: "YV12", "YUY2", "UYVY", "BGR3" or "BGR4". Any other FourCC writes
// nothing. Large pictures are converted in bands on workers
// (convert/shared_pool.h), others on the caller's thread; both calls return
// when every row is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "avsdec.h"

namespace avs {

// The picture a conversion reads: a luma plane and two half-size chroma
// planes of width / 2 samples a row.
struct SourcePicture {
    const uint8_t* y;
    const uint8_t* cb;
    const uint8_t* cr;
    ptrdiff_t lumaPitch;
    ptrdiff_t chromaPitch;
    uint32_t width;
    uint32_t height;
};

// A picture held in one buffer without padding: luma rows of `width` bytes,
// then the Cr and the Cb plane with rows of width / 2 bytes (YV12 order).
SourcePicture PackedSource(const uint8_t* buffer, uint32_t width, uint32_t height);

// Converts into the host's descriptor; the FourCC is the descriptor's word 2.
// The descriptor's width and height must not exceed the picture's. A positive
// BGR pitch writes the picture bottom-up. A descriptor with a null plane, or
// a pitch that cannot hold a row or spans more than kMaxOutputBytes, gets
// nothing written.
void DeliverPicture(const OutputPicture& out, const SourcePicture& source, uint32_t fourcc);
// Converts into one host buffer with the given pitch. "YV12" is written
// top-down with |pitch| whatever its sign; a positive BGR pitch writes the
// picture bottom-up. Writes nothing when BufferBytes is 0.
void DeliverToBuffer(uint8_t* destination, const SourcePicture& source, uint32_t fourcc,
                     int32_t pitch);

// Bytes that DeliverToBuffer writes from its destination: |pitch| x height,
// and for "YV12" the two chroma planes placed after them. 0 when it writes
// nothing: another layout, a pitch that cannot hold a row, or more than
// kMaxOutputBytes.
uint32_t BufferBytes(uint32_t fourcc, uint32_t width, uint32_t height, int32_t pitch);

// Whether pictures can be converted to this layout (one of the five above).
bool IsConvertibleFourcc(uint32_t fourcc);

// No plane of any real picture comes near this; a larger one is a bad pitch.
inline constexpr int64_t kMaxOutputBytes = INT32_MAX;

}  // namespace avs
