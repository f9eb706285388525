// Where tests find their streams: tests/data is always there; the shared
// conformance directory may be absent, and tests that need it skip.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace avs::test {

std::filesystem::path DataDir();
// The shared directory (vectors/, bench/), or an empty path when it is absent.
std::filesystem::path SharedDir();
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);

}  // namespace avs::test

// Skips the current test when the shared directory is absent.
#define AVS_REQUIRE_SHARED_DIR()                                              \
    do {                                                                      \
        if (::avs::test::SharedDir().empty()) GTEST_SKIP() << "no ../shared"; \
    } while (0)
