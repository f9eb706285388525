// I-picture streams through the public C interface, fed whole and in random
// pieces: every picture bit-exact, and corrupt streams give the same pictures
// run after run.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/decode_stream.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

// DISABLED_ until the output conversion is in main: request 1 is how the
// pictures leave the library. (The prefix sits on the instantiation so that
// ctest sees it too.)
class IVectors : public ::testing::TestWithParam<const char*> {};

TEST_P(IVectors, DecodeBitExactly) {
    const std::filesystem::path stream = GetParam();
    std::filesystem::path dir = DataDir();
    if (!std::filesystem::exists(dir / stream)) {
        AVS_REQUIRE_SHARED_DIR();
        dir = SharedDir() / "vectors";
    }
    const std::vector<uint8_t> bytes = ReadFile(dir / stream);
    std::filesystem::path md5 = dir / stream;
    md5.replace_extension().replace_extension(".md5");  // f_i_qcif.final.avs -> f_i_qcif.md5
    const std::vector<std::string> expected = ReadMd5Lines(md5);
    ASSERT_FALSE(bytes.empty()) << stream;
    ASSERT_FALSE(expected.empty()) << md5;
    EXPECT_EQ(DecodeMd5Lines(bytes, Feeding::Whole), expected);
    EXPECT_EQ(DecodeMd5Lines(bytes, Feeding::RandomPieces, 3), expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, IVectors,
                         ::testing::Values("i_qcif_q20.avs", "i_cif_nolf.avs", "i_cif_lowqp.avs",
                                           "i_1080.avs", "final/f_i_qcif.final.avs"));

TEST(IVectorsCorrupt, GiveTheSamePicturesEveryRun) {
    const std::vector<uint8_t> stream = ReadFile(DataDir() / "i_qcif_q20.avs");
    ASSERT_FALSE(stream.empty());
    std::mt19937 rng(5);
    for (int trial = 0; trial < 8; ++trial) {
        std::vector<uint8_t> corrupt(stream.begin(), stream.begin() + rng() % stream.size());
        for (int k = trial; k > 0; --k) {
            corrupt[rng() % corrupt.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        const auto first = DecodeMd5Lines(corrupt, Feeding::Whole);
        EXPECT_EQ(DecodeMd5Lines(corrupt, Feeding::RandomPieces, trial), first) << trial;
        EXPECT_EQ(DecodeMd5Lines(corrupt, Feeding::Whole), first) << trial;
    }
}

}  // namespace
}  // namespace avs::test
