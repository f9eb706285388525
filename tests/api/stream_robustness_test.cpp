// Hostile input through the stream record, fed in random pieces with
// requests in between. Nothing may crash, hang or read outside a buffer (the
// sanitizer build runs these).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "support/c_stream.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

using Bytes = std::vector<uint8_t>;

void CheckStatusText(AVS_Video_stream* s) {
    char text[64] = {};
    Request(s, AVS_GetStatusText, text);
    EXPECT_LT(std::strlen(text), 35u);
}

void Hammer(const Bytes& stream, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<uint32_t> pieceLength(1, 9000);
    Stream s = OpenStream();
    ASSERT_TRUE(s);
    size_t pos = 0;
    for (int calls = 0; pos < stream.size() && calls < 20000; ++calls) {
        const auto n =
            static_cast<uint32_t>(std::min<size_t>(pieceLength(rng), stream.size() - pos));
        uint32_t taken = s->Feed(s.get(), stream.data() + pos, n);
        if (taken == 0xFFFFFFFFu) taken = n;  // a failed decode: skip the piece
        ASSERT_LE(taken, n);
        if (taken == 0 && pos + n == stream.size()) break;
        pos += taken;
        if (Delivered(s.get())) {
            const uint32_t size = Query(s.get(), AVS_GetFrameSize);
            Bytes picture(size + 64);
            Request(s.get(), AVS_ConvertPicture, picture.data());
        }
        CheckStatusText(s.get());
        if (rng() % 64 == 0) s->Control(s.get(), 0, AVS_ResetDecoder, 0);
        if (rng() % 64 == 0) s->Control(s.get(), 0, rng() % 8, 0);  // queries without a target
    }
    s->Feed(s.get(), nullptr, 0);
}

Bytes RandomBytes(std::mt19937& rng, size_t n, bool startCodes) {
    static constexpr uint8_t kCodes[] = {0xB0, 0xB1, 0xB2, 0xB3, 0xB5, 0xB6, 0xB4, 0x00, 0x10};
    Bytes d(n);
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    if (startCodes) {
        for (size_t i = 0; i + 4 < n; i += 1 + rng() % 400) {
            d[i] = 0;
            d[i + 1] = 0;
            d[i + 2] = 1;
            d[i + 3] = kCodes[rng() % sizeof kCodes];
        }
    }
    return d;
}

TEST(StreamRobustness, RandomBytes) {
    std::mt19937 rng(7);
    for (uint32_t i = 0; i < 4; ++i) Hammer(RandomBytes(rng, 100000, false), i);
    for (uint32_t i = 0; i < 8; ++i) Hammer(RandomBytes(rng, 100000, true), i);
}

TEST(StreamRobustness, TruncatedAndBitFlippedStreams) {
    std::mt19937 rng(11);
    for (const char* name : {"i_qcif_q20.avs", "ipb_208x120.avs"}) {
        const Bytes stream = ReadFile(DataDir() / name);
        ASSERT_FALSE(stream.empty()) << name;
        for (uint32_t i = 0; i < 4; ++i) {
            Hammer(Bytes(stream.begin(), stream.begin() + rng() % stream.size()), i);
        }
        for (uint32_t i = 0; i < 6; ++i) {
            Bytes flipped = stream;
            const uint32_t flips = 1 + rng() % 40;
            for (uint32_t k = 0; k < flips; ++k) {
                flipped[rng() % flipped.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            }
            Hammer(flipped, 100 + i);
        }
    }
}

}  // namespace
}  // namespace avs::test
