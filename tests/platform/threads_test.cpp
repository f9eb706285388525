#include "platform/threads.h"

#include <gtest/gtest.h>

namespace avs {
namespace {

TEST(Threads, ProcessorCountIsAtLeastOne) {
    EXPECT_GE(ProcessorCount(), 1u);
}

TEST(Threads, EventsAutoAndManualReset) {
    Event event(false, true);  // created signalled
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);  // the first wait consumed it
    event.Set();
    event.Set();  // setting a set event does not count twice
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(1), kWaitTimeout);
    event.Set();
    event.Reset();
    EXPECT_EQ(event.Wait(0), kWaitTimeout);

    Event manual(true, false);  // stays set until reset
    manual.Set();
    EXPECT_EQ(manual.Wait(0), 0u);
    EXPECT_EQ(manual.Wait(kWaitInfinite), 0u);
    manual.Reset();
    EXPECT_EQ(manual.Wait(0), kWaitTimeout);
}

}  // namespace
}  // namespace avs
