// Every conformance stream splits into the same units whatever the pieces the
// host feeds, and its I picture headers parse in the syntax the stream uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "bitstream/headers.h"
#include "bitstream/start_codes.h"
#include "bitstream/test_units.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> StreamsIn(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.path().extension() == ".avs") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool UsesMarkerSyntax(const fs::path& stream) {
    return stream.parent_path().filename() == "final";
}

void ExpectSameUnitsAndItsSyntax(const fs::path& path) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> stream = ReadFile(path);
    ASSERT_FALSE(stream.empty());
    const auto units = SplitIntoUnits(stream);
    // A conformance stream is nothing but units: sequence header first, sequence end last.
    size_t total = 0;
    for (const auto& u : units) total += u.size();
    EXPECT_EQ(total, stream.size());
    ASSERT_GE(units.size(), 3u);
    EXPECT_EQ(units.front()[3], kSequenceHeaderCode);
    EXPECT_EQ(units.back(), (std::vector<uint8_t>{0, 0, 1, kSequenceEndCode}));
    for (uint32_t seed : {1u, 2u}) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<size_t> pieceLength(1, 9000);
        ScanHost host(stream);  // each call offers again the bytes not taken
        while (!host.AtEnd()) host.Call(pieceLength(rng));
        EXPECT_TRUE(host.units == units) << "seed " << seed;
    }
    StreamHeaders headers;
    int iPictures = 0;
    for (const auto& bytes : units) {
        const PaddedUnit unit(bytes);
        BitReader br = unit.Reader();
        ASSERT_GE(ReadUnitHeader(br, headers), 0);
        if (bytes[3] != kIPictureCode && bytes[3] != kPbPictureCode) continue;
        EXPECT_EQ(headers.picture.progressive_frame, 1u);
        if (bytes[3] != kIPictureCode) continue;
        ++iPictures;
        EXPECT_EQ(headers.picture.markerSyntax, UsesMarkerSyntax(path));
        // The first slice starts right after the header's stuffing.
        br.AlignToByte();
        const auto sliceStartAt = [&](uint32_t pos) {
            BitReader at = br;
            at.pos = pos;
            const uint32_t code = at.ReadBits(32);
            return code >= 0x100 && code <= 0x1AF;
        };
        EXPECT_TRUE(sliceStartAt(br.pos) || sliceStartAt(br.pos + 8));
    }
    EXPECT_GT(iPictures, 0);
}

TEST(VectorUnits, SameUnitsInAnyPiecesAndTheStreamsIPictureSyntax) {
    for (const fs::path& p : StreamsIn(DataDir())) ExpectSameUnitsAndItsSyntax(p);
}

TEST(VectorUnits, EverySharedStreamGivesTheSameUnitsAndItsSyntax) {
    AVS_REQUIRE_SHARED_DIR();
    std::vector<fs::path> streams = StreamsIn(SharedDir() / "vectors");
    for (const fs::path& p : StreamsIn(SharedDir() / "vectors" / "final")) streams.push_back(p);
    EXPECT_EQ(std::count_if(streams.begin(), streams.end(), UsesMarkerSyntax), 2);
    for (const fs::path& p : streams) ExpectSameUnitsAndItsSyntax(p);
}

}  // namespace
}  // namespace avs::test
