// Every input of the fuzzing corpus and every input that once found a fault,
// replayed through the fuzz target's own code: the sanitizer build reports
// what the fuzzer would.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/stream_harness.h"
#include "support/test_paths.h"

namespace avs::fuzz {
namespace {

TEST(FuzzInputs, CorpusAndRegressionsRunClean) {
    const std::filesystem::path fuzzDir = test::DataDir().parent_path() / "fuzz";
    int inputs = 0;
    for (const char* folder : {"corpus", "regressions"}) {
        for (const auto& entry : std::filesystem::directory_iterator(fuzzDir / folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::vector<uint8_t> bytes = test::ReadFile(entry.path());
            RunStreamInput(bytes.data(), bytes.size());
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace avs::fuzz
