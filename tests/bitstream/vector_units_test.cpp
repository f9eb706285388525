// Every conformance stream splits into the same units whatever the pieces the
// host feeds, and its picture headers parse in the syntax the stream uses.
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
using Units = std::vector<std::vector<uint8_t>>;

std::vector<fs::path> StreamsIn(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (e.path().extension() == ".avs") out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<fs::path> SharedStreams() {
    std::vector<fs::path> out = StreamsIn(SharedDir() / "vectors");
    for (const fs::path& p : StreamsIn(SharedDir() / "vectors" / "final")) out.push_back(p);
    return out;
}

bool UsesMarkerSyntax(const fs::path& stream) {
    return stream.parent_path().filename() == "final";
}

Units FeedInRandomPieces(const std::vector<uint8_t>& stream, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> pieceLength(1, 9000);
    ScanHost host(stream);
    while (!host.AtEnd()) host.Call(pieceLength(rng));
    return host.units;
}

void ExpectSameUnitsWhateverThePieces(const fs::path& path) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> stream = ReadFile(path);
    ASSERT_FALSE(stream.empty());
    ScanHost whole(stream);
    whole.Call(stream.size());
    const Units& units = whole.units;
    // A conformance stream is nothing but units: sequence header first, sequence end last.
    size_t total = 0;
    for (const auto& u : units) total += u.size();
    EXPECT_EQ(total, stream.size());
    ASSERT_GE(units.size(), 3u);
    EXPECT_EQ(units.front()[3], kSequenceHeaderCode);
    EXPECT_EQ(units.back(), (std::vector<uint8_t>{0, 0, 1, kSequenceEndCode}));
    for (uint32_t seed : {1u, 2u}) EXPECT_TRUE(FeedInRandomPieces(stream, seed) == units) << seed;
}

void ExpectPictureHeaderSyntax(const fs::path& path) {
    SCOPED_TRACE(path.string());
    ScanHost host(ReadFile(path));
    host.Call(SIZE_MAX);
    DecoderContext ctx{};
    int iPictures = 0;
    for (const auto& bytes : host.units) {
        const PaddedUnit unit(bytes);
        BitReader br = unit.Reader();
        ASSERT_GE(ReadUnitHeader(ctx, br), 0);
        if (bytes[3] != kIPictureCode && bytes[3] != kPbPictureCode) continue;
        EXPECT_EQ(ctx.picture.progressive_frame, 1u);
        EXPECT_LE(br.pos, unit.length * 8);
        if (bytes[3] != kIPictureCode) continue;
        ++iPictures;
        EXPECT_EQ(ctx.picture.markerSyntax, UsesMarkerSyntax(path));
        // The first slice starts right after the header's stuffing.
        br.AlignToByte();
        EXPECT_TRUE(IsSliceStart(br, br.pos) || IsSliceStart(br, br.pos + 8));
    }
    EXPECT_GT(iPictures, 0);
}

TEST(VectorUnits, SmallStreamsGiveTheSameUnitsFedWholeOrInPieces) {
    for (const fs::path& p : StreamsIn(DataDir())) ExpectSameUnitsWhateverThePieces(p);
}

TEST(VectorUnits, EveryStreamGivesTheSameUnitsFedWholeOrInPieces) {
    AVS_REQUIRE_SHARED_DIR();
    for (const fs::path& p : SharedStreams()) ExpectSameUnitsWhateverThePieces(p);
}

TEST(VectorUnits, IPictureHeadersUseTheStreamsSyntax) {
    for (const fs::path& p : StreamsIn(DataDir())) ExpectPictureHeaderSyntax(p);
}

TEST(VectorUnits, IPictureHeadersOfEveryStreamUseItsSyntax) {
    AVS_REQUIRE_SHARED_DIR();
    const std::vector<fs::path> streams = SharedStreams();
    EXPECT_EQ(std::count_if(streams.begin(), streams.end(), UsesMarkerSyntax), 2);
    for (const fs::path& p : streams) ExpectPictureHeaderSyntax(p);
}

}  // namespace
}  // namespace avs::test
