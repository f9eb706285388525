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

TEST(BitReader, FieldsAcrossByteBoundaries) {
    auto buf = Padded({0xA5, 0x5A, 0xF0, 0x0F, 0x81});
    BitReader br(buf.data(), 5);
    EXPECT_EQ(br.ReadBits(0), 0u);
    EXPECT_EQ(br.pos, 0u);
    EXPECT_EQ(br.ReadBits(3), 0x5u);   // 101
    EXPECT_EQ(br.ReadBits(7), 0x15u);  // 0010101 across the first boundary
    br.pos = 7;
    EXPECT_EQ(br.ReadBits(25), 0x15AF00Fu);  // 25 bits from position 7 are exact
}

TEST(BitReader, ExpGolombCodes) {
    // 1 010 011 00100 00101 -> ue 0 1 2 3 4, packed MSB first.
    auto buf = Padded({0b10100110, 0b01000010, 0b10000000});
    BitReader br(buf.data(), 3);
    const uint32_t expected[] = {0, 1, 2, 3, 4};
    for (uint32_t e : expected) EXPECT_EQ(br.ReadUe(), e);
    BitReader se(buf.data(), 3);
    const int32_t signedExpected[] = {0, 1, -1, 2, -2};
    for (int32_t e : signedExpected) EXPECT_EQ(se.ReadSe(), e);
}

TEST(BitReader, ReadsPastTheUnitSeeZerosAndStayInside) {
    auto buf = Padded({0xFF});
    BitReader br(buf.data(), 1);
    EXPECT_EQ(br.ReadBits(8), 0xFFu);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(br.ReadBits(32), 0u);
    EXPECT_EQ(br.CountLeadingZeros(), 32);
    EXPECT_EQ(br.ReadUe(), 0x7FFFFFFFu);
}

TEST(BitReader, CbpCodes) {
    auto buf = Padded({0b10100000});  // ue 0, ue 1
    BitReader br(buf.data(), 1);
    EXPECT_EQ(ReadCbp(br, true), 63u);
    EXPECT_EQ(ReadCbp(br, false), 15u);
    BitReader inter(buf.data(), 1);
    EXPECT_EQ(ReadCbp(inter, false), 0u);
}

}  // namespace
}  // namespace avs
