// Coefficient decoding: escapes on either side of MaxRun, table adaptation
// that skips tables, the field scan (every stream is progressive), a block
// filled to its last position, levels that wrap, and corrupt blocks (too many
// symbols, runs past the end, data that runs out).
#include "decode/coefficients.h"

#include <gtest/gtest.h>

#include <algorithm>
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
             int* result = nullptr, uint32_t* bitsRead = nullptr) {
    BitWriter w;
    for (const Symbol& s : symbols) w.ExpGolomb(s.code, s.order);
    const auto unit = w.Unit();
    BitReader br(unit.data(), w.ByteCount());
    Block block{};
    const int r = decode(br, scan, block.data());
    if (result) *result = r;
    if (bitsRead) *bitsRead = br.pos;
    EXPECT_EQ(br.pos, w.BitCount()) << "every symbol is consumed";
    return block;
}

// Raster position of a scan index.
int Zz(int scanIndex) {
    return kZigZagScan[scanIndex];
}

// Escapes carry the run; below MaxRun the magnitude adds RefAbsLevel. A level
// moves to the table its magnitude selects, skipping tables between.
TEST(CoefficientDecoding, EscapesAndTableAdaptationPlaceTheLevels) {
    struct Case {
        Decoder decode;
        std::vector<Symbol> symbols;
        std::vector<std::pair<int, int16_t>> coefficients;  // (scan index, level)
    };
    const Case cases[] = {
        // Escape 106 = 59 + 2 * 23 + 1: run 23 above MaxRun(0) = 22, magnitude
        // diff + 1; 5 moves to table 4 (EOB 6).
        {DecodeIntraLumaBlock, {{106, 2}, {4, 1}, {6, 2}}, {{23, 5}}},
        // Escape 59: run 0, odd so negative, diff + RefAbsLevel(0, 0) = 4; table 3 (EOB 8).
        {DecodeIntraLumaBlock, {{59, 2}, {0, 1}, {8, 2}}, {{0, -4}}},
        // Run 22 = MaxRun(0): escape 104 adds RefAbsLevel(0, 22) = 2.
        {DecodeIntraLumaBlock, {{104, 2}, {1, 1}, {8, 2}}, {{22, 3}}},
        // Level 3 (code 38) in table 0 jumps to table 3, where code 6 is (run 1, +1).
        {DecodeIntraLumaBlock, {{38, 2}, {6, 2}, {8, 2}}, {{1, 1}, {2, 3}}},
        // Inter luma table 0 uses order 3: code 27 = (run 0, -2), table 2 (EOB 2).
        {DecodeInterLumaBlock, {{27, 3}, {2, 2}}, {{0, -2}}},
        // Chroma code 2 = (run 1, +1); table 1 has order 0 and EOB 0.
        {DecodeChromaBlock, {{2, 2}, {3, 0}, {0, 0}}, {{1, 1}, {3, 1}}},
        // Chroma (run 0, -1), then escape 100 above MaxRun(1) = 19: run 20, +3; table 3.
        {DecodeChromaBlock, {{1, 2}, {100, 0}, {2, 0}, {0, 1}}, {{20, 3}, {21, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbols[0].code);
        int result = 0;
        const Block b = Decode(c.decode, c.symbols, ScanOrder(1), &result);
        Block expected{};
        int covered = 0;
        for (auto [index, level] : c.coefficients) {
            expected[Zz(index)] = level;
            covered = std::max(covered, index + 1);
        }
        EXPECT_EQ(result, covered);
        EXPECT_EQ(b, expected);
    }
}

TEST(CoefficientDecoding, FieldScanPlacesTheSameSymbolsElsewhere) {
    const std::vector<Symbol> symbols = {{38, 2}, {6, 2}, {8, 2}};
    const Block frame = Decode(DecodeIntraLumaBlock, symbols, ScanOrder(1));
    const Block field = Decode(DecodeIntraLumaBlock, symbols, ScanOrder(0));
    // Scan index 1 is raster 8 (below DC) in the field scan, 1 in zig-zag;
    // scan index 2 is raster 16 and 8.
    EXPECT_EQ(frame[1], 1);
    EXPECT_EQ(frame[8], 3);
    EXPECT_EQ(field[8], 1);
    EXPECT_EQ(field[16], 3);
    EXPECT_EQ(field[1], 0);
}

TEST(CoefficientDecoding, SixtyFourCoefficientsFillTheBlock) {
    std::vector<Symbol> symbols(64, Symbol{0, 2});  // (run 0, +1), table 0 then table 1
    symbols.push_back({8, 2});
    int result = 1;
    const Block b = Decode(DecodeIntraLumaBlock, symbols, ScanOrder(1), &result);
    EXPECT_EQ(result, 64);
    for (int16_t v : b) EXPECT_EQ(v, 1);
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

TEST(CoefficientDecoding, EscapedLevelsWrapTo16Bits) {
    // Escape (run 0, +): order-1 diff 40000 - 4 gives 40000, stored as 40000 - 65536.
    const Block b = Decode(DecodeIntraLumaBlock, {{60, 2}, {39996, 1}, {0, 2}}, ScanOrder(1));
    EXPECT_EQ(b[0], static_cast<int16_t>(40000 - 65536));
}

}  // namespace
}  // namespace avs
