// Decodes a whole stream through the public C interface, the way the avsdec
// tool does, for every test that checks pictures against an .md5 file:
//
//     EXPECT_EQ(DecodeMd5Lines(ReadFile(dir / "x.avs"), Feeding::RandomPieces),
//               ReadMd5Lines(dir / "x.md5"));
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace avs::test {

enum class Feeding {
    Whole,         // the stream in one piece
    RandomPieces,  // pieces of 1 byte to 16 KB, their sizes drawn from the seed
};

// The pictures as the lines of an .md5 file, without line ends: "# WxH N",
// then "INDEX MD5" per picture in display order. The stream is ended as a
// host ends it (sequence end, end-of-stream call), and no picture is listed
// twice. Each picture is decoded on `threads` threads.
std::vector<std::string> DecodeMd5Lines(std::span<const uint8_t> stream,
                                        Feeding feeding = Feeding::Whole, uint32_t seed = 1,
                                        uint32_t threads = 1);

// The lines of an .md5 file, without line ends; empty when it cannot be read.
std::vector<std::string> ReadMd5Lines(const std::filesystem::path& path);

}  // namespace avs::test
