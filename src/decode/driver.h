// The decode driver: one complete unit becomes decoder state or a picture.
#pragma once

#include <cstdint>

#include "api/decoder.h"

namespace avs {

// Decode results: the kind of unit, OR kDelivered when a picture was delivered.
inline constexpr int32_t kResultNothing = 0;
inline constexpr int32_t kResultSequenceEnd = 1;
inline constexpr int32_t kResultIPicture = 2;
inline constexpr int32_t kResultPPicture = 3;
inline constexpr int32_t kResultBPicture = 4;
inline constexpr int32_t kResultNoMemory = -1;

// Decodes `unit` (length bytes, followed by kUnitPadding writable bytes that the
// driver zeroes before reading). Delivers into ctx.pictureBuffer.
int32_t DecodeUnit(DecoderContext& ctx, uint8_t* unit, uint32_t length);

}  // namespace avs
