// 8-bit samples: every stage that can leave 0..255 (residual added to a
// prediction, interpolation, filtering, colour conversion) clips the same way.
#pragma once

#include <cstdint>

namespace avs {

constexpr uint8_t ClipSample(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace avs
