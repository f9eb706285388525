// Streams are independent: several open and decode at once on threads of
// their own, each bit-exact, half of them with decoding workers of their own.
// The ThreadSanitizer program runs this too, so anything that streams share
// (the kernel table, the conversion workers) must be safe to use from all.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "support/decode_stream.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

TEST(ThreadedStreams, FourStreamsDecodeAtOnceBitExact) {
    constexpr const char* kNames[] = {"i_qcif_q20", "ipb_208x120", "ipb_208x120", "i_qcif_q20"};
    constexpr int kThreads = 4;
    std::vector<uint8_t> streams[kThreads];
    std::vector<std::string> expected[kThreads], got[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        streams[i] = ReadFile(DataDir() / (std::string(kNames[i]) + ".avs"));
        expected[i] = ReadMd5Lines(DataDir() / (std::string(kNames[i]) + ".md5"));
        ASSERT_FALSE(streams[i].empty() || expected[i].empty()) << kNames[i];
    }
    // Every thread opens its stream at the same moment as the others.
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            const auto n = static_cast<uint32_t>(i);
            got[i] = DecodeMd5Lines(streams[i], Feeding::RandomPieces, n, n % 2 == 0 ? 1 : 3);
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(got[i], expected[i]) << kNames[i] << " " << i;
}

}  // namespace
}  // namespace avs::test
