// Every conformance stream through the public C interface, fed whole and in
// random pieces: every picture bit-exact. Corrupt streams give the same
// pictures run after run.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "support/decode_stream.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

struct Stream {
    const char* path;  // under tests/data when the copy is there, else under the shared directory
    bool wholeToo;     // large streams are fed in pieces only
};

// Test output names the stream rather than the parameter's bytes.
void PrintTo(const Stream& stream, std::ostream* os) {
    *os << stream.path;
}

class Conformance : public ::testing::TestWithParam<Stream> {};

TEST_P(Conformance, EveryPictureIsBitExact) {
    const std::filesystem::path stream = GetParam().path;
    std::filesystem::path file = DataDir() / stream.filename();
    if (!std::filesystem::exists(file)) {
        AVS_REQUIRE_SHARED_DIR();
        file = SharedDir() / stream;
    }
    const std::vector<uint8_t> bytes = ReadFile(file);
    std::filesystem::path md5 = file;
    md5.replace_extension().replace_extension(".md5");  // f_i_qcif.final.avs -> f_i_qcif.md5
    const std::vector<std::string> expected = ReadMd5Lines(md5);
    ASSERT_FALSE(bytes.empty()) << file;
    ASSERT_FALSE(expected.empty()) << md5;
    // Every thread count gives the same pictures, however the bytes arrive.
    for (const uint32_t threads : {1u, 2u, 4u}) {
        if (GetParam().wholeToo) {
            EXPECT_EQ(DecodeMd5Lines(bytes, Feeding::Whole, 1, threads), expected) << threads;
        }
        EXPECT_EQ(DecodeMd5Lines(bytes, Feeding::RandomPieces, 3 + threads, threads), expected)
            << threads << " threads";
    }
}

std::string Name(const ::testing::TestParamInfo<Stream>& info) {
    std::string name = std::filesystem::path(info.param.path).stem().stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Conformance,
    ::testing::Values(
        Stream{"vectors/i_qcif_q20.avs", true}, Stream{"vectors/i_cif_nolf.avs", true},
        Stream{"vectors/i_cif_lowqp.avs", true}, Stream{"vectors/i_1080.avs", true},
        Stream{"vectors/ip_cif_q28.avs", true}, Stream{"vectors/ip_cif_lfofs.avs", true},
        Stream{"vectors/ip_qcif_life.avs", true}, Stream{"vectors/ipb_cif_q28.avs", true},
        Stream{"vectors/ipb_cif_pan.avs", true}, Stream{"vectors/ipb_208x120.avs", true},
        Stream{"vectors/ipb_sd_gop12.avs", true}, Stream{"vectors/ipb_cif_q39.avs", true},
        Stream{"vectors/ipb_720p.avs", true}, Stream{"vectors/ipb_cif_slices.avs", true},
        Stream{"vectors/ipb_sd_slices.avs", true}, Stream{"vectors/ipb_330x186.avs", true},
        Stream{"vectors/fq44_ip_cif.avs", true}, Stream{"vectors/fq56_i_qcif.avs", true},
        Stream{"vectors/fq44_ipb_cif_ratios.avs", true}, Stream{"vectors/rc_i_qcif.avs", true},
        Stream{"vectors/rc_ipb_cif.avs", true}, Stream{"vectors/vbv_ip_cif.avs", true},
        Stream{"vectors/vbv_ipb_qcif_le41.avs", true},
        Stream{"vectors/final/f_i_qcif.final.avs", true},
        Stream{"vectors/final/f_ipb_cif.final.avs", true}),
    Name);

INSTANTIATE_TEST_SUITE_P(Bench, Conformance,
                         ::testing::Values(Stream{"bench/bench_sd.avs", false},
                                           Stream{"bench/bench_1080p.avs", false}),
                         Name);

// Damaged at fixed seeds (cut anywhere, bits flipped, whole bytes replaced),
// I, P and B pictures decode without a fault and the same way every time,
// however the bytes arrive and on any number of threads. The sanitizer build
// runs this too.
TEST(ConformanceCorrupt, GiveTheSamePicturesEveryRun) {
    struct Damage {
        const char* what;
        bool cut;
        int flips;     // single bits, anywhere
        int replaced;  // whole bytes, anywhere
    };
    constexpr Damage kDamage[] = {
        {"cut", true, 0, 0},
        {"cut and flipped", true, 6, 0},
        {"flipped", false, 12, 0},
        {"bytes replaced", false, 0, 8},
    };
    std::mt19937 rng(5);
    for (const char* name : {"i_qcif_q20.avs", "ipb_208x120.avs"}) {
        const std::vector<uint8_t> stream = ReadFile(DataDir() / name);
        ASSERT_FALSE(stream.empty()) << name;
        for (const Damage& damage : kDamage) {
            for (uint32_t trial = 0; trial < 3; ++trial) {
                SCOPED_TRACE(testing::Message() << name << ", " << damage.what << ", " << trial);
                std::vector<uint8_t> corrupt = stream;
                if (damage.cut) corrupt.resize(rng() % corrupt.size());
                for (int k = 0; k < damage.flips && !corrupt.empty(); ++k) {
                    corrupt[rng() % corrupt.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                }
                for (int k = 0; k < damage.replaced && !corrupt.empty(); ++k) {
                    corrupt[rng() % corrupt.size()] = static_cast<uint8_t>(rng());
                }
                const auto first = DecodeMd5Lines(corrupt, Feeding::Whole);
                EXPECT_EQ(DecodeMd5Lines(corrupt, Feeding::RandomPieces, trial), first);
                EXPECT_EQ(DecodeMd5Lines(corrupt, Feeding::Whole), first);
                EXPECT_EQ(DecodeMd5Lines(corrupt, Feeding::RandomPieces, trial, 3), first)
                    << "on three threads";
            }
        }
    }
}

}  // namespace
}  // namespace avs::test
