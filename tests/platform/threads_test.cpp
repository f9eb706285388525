#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>

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

// A ping-pong between two threads over two auto-reset events: every Set
// wakes exactly one Wait, so the counter ends at exactly the round count.
struct PingPong {
    Event ping{false, false};
    Event pong{false, false};
    CriticalSection lock;
    int counter = 0;
};

void Responder(void* argument) {
    auto& p = *static_cast<PingPong*>(argument);
    for (int i = 0; i < 1000; ++i) {
        p.ping.Wait(kWaitInfinite);
        {
            CriticalSectionLock hold(p.lock);
            ++p.counter;
        }
        p.pong.Set();
    }
}

TEST(Threads, EventsHandOffBetweenThreads) {
    PingPong p;
    Thread thread;
    ASSERT_TRUE(thread.Start(Responder, &p));
    EXPECT_NE(thread.Id(), std::thread::id());
    for (int i = 0; i < 1000; ++i) {
        p.ping.Set();
        p.pong.Wait(kWaitInfinite);
    }
    thread.Join();
    EXPECT_EQ(p.counter, 1000);
    thread.Join();  // joining twice is harmless
}

}  // namespace
}  // namespace avs
