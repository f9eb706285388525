// Coefficient decoding where the conformance streams do not reach: the field
// scan, a block filled to its last position, levels that wrap, and corrupt
// blocks (too many symbols, runs past the end, data that runs out). (Escapes
// and table adaptation are in every stream.)
#include "decode/coefficients.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "decode/coefficient_tables.h"
#include "support/bit_writer.h"

namespace avs {
namespace {

using test::BitWriter;
using Block = std::array<int16_t, 64>;
using Decoder = int (*)(BitReader&, const uint8_t*, int16_t*);

struct Symbol {
    uint32_t code;
    int order;
};

// Decodes the given symbols (code numbers with their Exp-Golomb orders).
Block Decode(Decoder decode, const std::vector<Symbol>& symbols, const uint8_t* scan,
             int* result = nullptr) {
    BitWriter w;
    for (const Symbol& s : symbols) w.ExpGolomb(s.code, s.order);
    const auto unit = w.Unit();
    BitReader br(unit.data(), w.ByteCount());
    Block block{};
    const int r = decode(br, scan, block.data());
    if (result) *result = r;
    EXPECT_EQ(br.pos, w.BitCount()) << "every symbol is consumed";
    return block;
}

// Raster position of a scan index.
int Zz(int scanIndex) {
    return kZigZagScan[scanIndex];
}

// Blocks no conformance stream holds: the field scan (every stream is
// progressive), an escaped level that wraps to 16 bits, and a block filled to
// its last position.
TEST(CoefficientDecoding, BlocksAtTheLimitsPlaceTheirLevels) {
    struct Case {
        const char* what;
        uint32_t pictureStructure;
        std::vector<Symbol> symbols;
        std::vector<std::pair<int, int16_t>> levels;  // (raster position, level)
        int result;
    };
    std::vector<Symbol> full(64, Symbol{0, 2});  // (run 0, +1), table 0 then table 1
    full.push_back({8, 2});
    std::vector<std::pair<int, int16_t>> ones;
    for (int i = 0; i < 64; ++i) ones.push_back({i, 1});
    const Case cases[] = {
        // Level 3 (code 38) in table 0 jumps to table 3, where code 6 is (run 1, +1):
        // scan indices 1 and 2 are raster 8 (below DC) and 16 in the field scan.
        {"field scan", 0, {{38, 2}, {6, 2}, {8, 2}}, {{8, 1}, {16, 3}}, 3},
        // Escape (run 0, +): order-1 diff 40000 - 4 gives 40000, stored as 40000 - 65536.
        {"wrapped level",
         1,
         {{60, 2}, {39996, 1}, {0, 2}},
         {{0, static_cast<int16_t>(40000 - 65536)}},
         1},
        {"64 coefficients", 1, full, ones, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int result = 0;
        const Block b =
            Decode(DecodeIntraLumaBlock, c.symbols, ScanOrder(c.pictureStructure), &result);
        Block expected{};
        for (auto [position, level] : c.levels) expected[position] = level;
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(b, expected);
    }
}

TEST(CoefficientDecoding, CorruptBlocksStayBounded) {
    // 65 symbols without an end of block: the block stays zero.
    std::vector<Symbol> symbols(65, Symbol{0, 2});
    int result = 0;
    Block b = Decode(DecodeIntraLumaBlock, symbols, ScanOrder(1), &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(b, Block{});

    // Runs that carry the position past 63: the pairs placed before stay.
    // Three escapes of run 30 (code 120, magnitude 0 + 1), then (run 0, +1):
    // placed from the last pair at 0, 31, 62, and 93 stops.
    const Symbol run30 = {120, 2};
    const Symbol diff0 = {0, 1};
    symbols = {run30, diff0, run30, diff0, run30, diff0, {0, 2}, {8, 2}};
    b = Decode(DecodeIntraLumaBlock, symbols, ScanOrder(1), &result);
    EXPECT_EQ(result, -1);
    Block expected{};
    expected[Zz(0)] = expected[Zz(31)] = expected[Zz(62)] = 1;
    EXPECT_EQ(b, expected);
}

TEST(CoefficientDecoding, ZeroDataEndsWithoutLeavingTheUnit) {
    // All-zero data (a truncated unit): prefixes are cut, no end of block is
    // found, and the reader moves a bounded distance.
    const std::vector<uint8_t> unit(kUnitPadding + 4, 0);
    for (Decoder decode : {DecodeIntraLumaBlock, DecodeInterLumaBlock, DecodeChromaBlock}) {
        BitReader br(unit.data(), 4);
        Block b{};
        EXPECT_EQ(decode(br, ScanOrder(1), b.data()), -1);
        EXPECT_EQ(b, Block{});
        EXPECT_LE(br.pos, 65u * 2 * 53);
    }
}

}  // namespace
}  // namespace avs
