// The bit reader at its limits: the longest field at any bit position, the
// variable-length codes, and reads past the unit's end.
#include "bitstream/bit_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/bit_writer.h"

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

// ue and se codes of every length class, then cbp codes mapped through the
// intra and inter tables (codes from 64 on give the first row).
TEST(BitReader, ExpGolombAndCbpCodes) {
    const uint32_t ue[] = {0, 1, 2, 3, 4, 6, 7, 254, 255, 65534, 0x7FFFFFFE};
    const int32_t se[] = {0, 1, -1, 2, -2, 127, -128, 32767, -32768};
    struct Cbp {
        uint32_t code;
        bool intra;
        uint32_t cbp;
    };
    const Cbp cbp[] = {
        {0, true, 63}, {1, false, 15}, {0, false, 0}, {63, false, 38}, {64, true, 63}};
    test::BitWriter w;
    for (uint32_t v : ue) w.Ue(v);
    for (int32_t v : se) w.Se(v);
    for (const Cbp& c : cbp) w.Ue(c.code);
    const std::vector<uint8_t> buf = w.Unit();
    BitReader br(buf.data(), w.ByteCount());
    for (uint32_t v : ue) EXPECT_EQ(br.ReadUe(), v);
    for (int32_t v : se) EXPECT_EQ(br.ReadSe(), v);
    for (const Cbp& c : cbp) EXPECT_EQ(ReadCbp(br, c.intra), c.cbp) << c.code << c.intra;
    EXPECT_EQ(br.pos, w.BitCount());
}

}  // namespace
}  // namespace avs
