// Digests whose padding no conformance listing reaches: no bytes at all, and
// remainders of 56..63 bytes (picture sizes there leave none). Short and
// long messages, hashed in pieces, are checked by every conformance listing,
// whose planes are hashed one after another.
#include "md5.h"

#include <gtest/gtest.h>

#include <string_view>

namespace avs::tool {
namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(Md5, KnownDigests) {
    const std::pair<std::string_view, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        // 56 and 64 bytes: the length no longer fits the first block.
        {"12345678901234567890123456789012345678901234567890123456",
         "49f193adce178490e34d1b3a4ec0064c"},
        {"1234567890123456789012345678901234567890123456789012345678901234",
         "eb6c4179c0a7c82cc2828c1e6338e165"},
    };
    for (auto [text, digest] : cases) EXPECT_EQ(Md5Hex({Bytes(text)}), digest) << text.size();
}

}  // namespace
}  // namespace avs::tool
