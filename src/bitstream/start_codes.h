// Collecting whole units from input pieces of any size: start-code scanning,
// status reporting and the early look at a sequence header.
#pragma once

#include <cstdint>

#include "api/decoder.h"
#include "bitstream/bit_reader.h"

namespace avs {

// Start code values (the byte after 00 00 01).
inline constexpr uint8_t kSequenceHeaderCode = 0xB0;
inline constexpr uint8_t kSequenceEndCode = 0xB1;
inline constexpr uint8_t kUserDataCode = 0xB2;
inline constexpr uint8_t kIPictureCode = 0xB3;
inline constexpr uint8_t kExtensionCode = 0xB5;
inline constexpr uint8_t kPbPictureCode = 0xB6;
inline constexpr uint8_t kVideoEditCode = 0xB7;
inline constexpr uint8_t kLastSliceCode = 0xAF;

// Appends input, scans for one complete unit. Returns 1 (a unit is held from
// readPos, heldCount bytes), 0 (more input needed) or -1 (a start code that is
// not accepted). *taken receives the number of input bytes taken.
int32_t Parse(DecoderContext& ctx, const uint8_t* data, uint32_t count, uint32_t* taken);

// Reads the unit's start code and header for the decode driver: 0 header read
// (or a unit that carries nothing to decode), 1 sequence end, -1 unknown code.
int32_t ReadUnitHeader(DecoderContext& ctx, BitReader& br);

// True when the four bytes at the byte position p/8 rounded up form a slice start code.
bool IsSliceStart(const BitReader& br, uint32_t p);

}  // namespace avs
