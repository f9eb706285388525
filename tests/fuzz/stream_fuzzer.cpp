// libFuzzer target over the public interface (see stream_harness.h for what
// an input holds). Build with clang and -DAVSDEC_FUZZ=ON: the library is
// instrumented with AddressSanitizer and UndefinedBehaviorSanitizer, so any
// access outside a buffer, leak or undefined operation stops the run.
//
//     build-fuzz/tests/stream_fuzzer -dict=tests/fuzz/avs.dict -max_len=65536 \
//         new-inputs/ tests/fuzz/corpus tests/fuzz/regressions
//
// An input that finds a fault goes into tests/fuzz/regressions once fixed;
// the ordinary test program replays it from there.
#include <cstddef>
#include <cstdint>

#include "fuzz/stream_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    avs::fuzz::RunStreamInput(data, size);
    return 0;
}
