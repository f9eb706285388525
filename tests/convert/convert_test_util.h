// Pictures and reference values shared by the conversion tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "convert/conversion_params.h"

namespace avs::test {

inline std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> bytes(n);
    // Extremes often, so that every clip is exercised.
    std::uniform_int_distribution<int> pick(0, 15);
    std::uniform_int_distribution<int> any(0, 255);
    for (uint8_t& b : bytes) {
        const int k = pick(rng);
        b = static_cast<uint8_t>(k == 0 ? 0 : k == 1 ? 255 : any(rng));
    }
    return bytes;
}

// B, G, R of one pixel, straight from the BT.601 fixed-point formulas.
inline std::array<uint8_t, 3> ReferenceBgr(int ySample, int uSample, int vSample) {
    const int y = ySample - 16, u = uSample - 128, v = vSample - 128;
    const auto clip = [](int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
    return {clip((9539 * y + 16525 * u + 4096) >> 13),
            clip((19077 * y - 13320 * v - 6419 * u + 8192) >> 14),
            clip((19077 * y + 26149 * v + 8192) >> 14)};
}

// A 4:2:0 source picture with row padding, and the block that describes it.
struct SourcePicture {
    uint32_t width = 0, height = 0;
    ptrdiff_t lumaPitch = 0, chromaPitch = 0;
    std::vector<uint8_t> y, u, v;

    SourcePicture(uint32_t w, uint32_t h, ptrdiff_t padding, std::mt19937& rng)
        : width(w), height(h), lumaPitch(w + padding), chromaPitch(w / 2 + padding) {
        y = RandomBytes(static_cast<size_t>(lumaPitch) * h, rng);
        u = RandomBytes(static_cast<size_t>(chromaPitch) * (h / 2 + 1), rng);
        v = RandomBytes(static_cast<size_t>(chromaPitch) * (h / 2 + 1), rng);
    }

    ConversionParams Block() const {
        ConversionParams block{};
        block.srcY = y.data();
        block.srcU = u.data();
        block.srcV = v.data();
        block.width = width;
        block.rows = height;
        block.srcYPitch = lumaPitch;
        block.srcUPitch = chromaPitch;
        block.srcVPitch = chromaPitch;
        return block;
    }
};

// A destination of `rows` rows of `pitch` bytes (either sign) with guard bytes
// on both sides; everything starts as the fill byte.
struct Canvas {
    static constexpr size_t kGuard = 64;
    std::vector<uint8_t> bytes;
    ptrdiff_t pitch;

    Canvas(size_t rows, ptrdiff_t signedPitch, uint8_t fill = 0xA5)
        : bytes(2 * kGuard + rows * static_cast<size_t>(std::abs(signedPitch)), fill),
          pitch(signedPitch) {}
    // Row 0 of the picture: the first row in memory for a positive pitch, the
    // last for a negative one.
    uint8_t* Origin(size_t rows) {
        uint8_t* first = bytes.data() + kGuard;
        return pitch >= 0 ? first : first + (rows - 1) * static_cast<size_t>(-pitch);
    }
};

}  // namespace avs::test
