// Collecting whole units from input pieces of any size: start-code scanning,
// status reporting and the early look at a sequence header.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/headers.h"
#include "bitstream/status.h"
#include "platform/aligned_alloc.h"

namespace avs {

// Start code values (the byte after 00 00 01).
inline constexpr uint8_t kSequenceHeaderCode = 0xB0;
inline constexpr uint8_t kSequenceEndCode = 0xB1;
inline constexpr uint8_t kUserDataCode = 0xB2;
inline constexpr uint8_t kIPictureCode = 0xB3;
inline constexpr uint8_t kExtensionCode = 0xB5;
inline constexpr uint8_t kPbPictureCode = 0xB6;
inline constexpr uint8_t kVideoEditCode = 0xB7;

// The longest unit (with the start code after it) that can be collected.
// Fuzz builds collect less (see the root CMakeLists.txt), so that their short
// inputs can reach this limit.
#ifndef AVSDEC_INPUT_BUFFER_BYTES
#define AVSDEC_INPUT_BUFFER_BYTES 0x800000
#endif
inline constexpr uint32_t kInputBufferSize = AVSDEC_INPUT_BUFFER_BYTES;

// The bytes held between pieces: the unit being collected, from its start
// code on, or the last few bytes passed over, which may begin a start code.
// They always start at the buffer's start.
struct HeldInput {
    // kInputBufferSize bytes and kUnitPadding zero bytes behind them, so a
    // unit that ends at the buffer's end still has its padding. Null when
    // memory ran out: then nothing can be taken.
    AlignedPtr<uint8_t> buffer;
    uint32_t count = 0;

    // Drops what is held, taking the buffer first if there is none yet;
    // false when memory runs out.
    bool Reset();
    const uint8_t* Unit() const { return buffer.get(); }
};

// Appends input and scans for one complete unit. Returns 1 (a unit is held:
// input.Unit(), input.count bytes), 0 (more input needed) or -1 (a start code
// that is not accepted). *taken receives the number of input bytes taken.
// Every start code met sets the status; a sequence header's fields are read
// into `sequence` as soon as its first bytes are held.
int32_t Parse(HeldInput& input, const uint8_t* data, uint32_t count, uint32_t* taken,
              StreamStatus& status, SequenceHeader& sequence);

}  // namespace avs
