#include "support/decode_stream.h"

#include <fstream>
#include <random>

#include "host_decoder.h"
#include "md5_listing.h"

namespace avs::test {

std::vector<std::string> DecodeMd5Lines(std::span<const uint8_t> stream, Feeding feeding,
                                        uint32_t seed, uint32_t threads) {
    tool::Md5Listing listing;
    tool::HostDecoder decoder(
        {},
        [&](const tool::Picture& picture) {
            listing.Add(picture);
            return true;
        },
        threads);
    if (!decoder.Ok()) return {"no decoder"};
    if (feeding == Feeding::Whole) {
        decoder.Push(stream);
    } else {
        // Mostly pieces of a few KB, with runs of tiny ones that split start codes.
        std::mt19937 rng(seed);
        for (size_t at = 0; at < stream.size();) {
            const size_t size = rng() % 4 == 0 ? 1 + rng() % 8 : 1 + rng() % 16384;
            const size_t n = std::min(size, stream.size() - at);
            decoder.Push(stream.subspan(at, n));
            at += n;
        }
    }
    decoder.Finish();
    return listing.Lines();
}

std::vector<std::string> ReadMd5Lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace avs::test
