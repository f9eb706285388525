// The bit reader at its limits: the longest field at any bit position, and
// reads past the unit's end. Ordinary fields and codes are read by every
// conformance stream.
#include "bitstream/bit_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace avs {
namespace {

// A unit of `bytes` followed by the zero padding every unit carries.
std::vector<uint8_t> Padded(std::vector<uint8_t> bytes) {
    bytes.resize(bytes.size() + kUnitPadding, 0);
    return bytes;
}

TEST(BitReader, LongestFieldFromAnyBitPosition) {
    const std::vector<uint8_t> bytes = {0xA5, 0x5A, 0xF0, 0x0F, 0x81};
    const auto buf = Padded(bytes);
    uint64_t all = 0;
    for (uint8_t b : bytes) all = all << 8 | b;
    for (uint32_t pos = 0; pos < 16; ++pos) {
        BitReader br(buf.data(), 5);
        br.pos = pos;
        EXPECT_EQ(br.ReadBits(0), 0u);
        EXPECT_EQ(br.ReadBits(25), (all >> (40 - 25 - pos)) & 0x1FFFFFF) << pos;
        EXPECT_EQ(br.pos, pos + 25);
    }
}

TEST(BitReader, ReadsPastTheUnitSeeZerosAndStayInside) {
    auto buf = Padded({0xFF});
    BitReader br(buf.data(), 1);
    EXPECT_EQ(br.ReadBits(8), 0xFFu);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(br.ReadBits(32), 0u);
    EXPECT_EQ(br.CountLeadingZeros(), 32);
    EXPECT_EQ(br.ReadUe(), 0x7FFFFFFFu);
}

}  // namespace
}  // namespace avs
