// The frame queue at its limits: empty, full, removals outside it. Its
// ordinary use (reference order, reuse, delivery order) is checked by the P
// and B conformance streams.
#include "frames/frame_queue.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace avs {
namespace {

class FrameQueueTest : public testing::Test {
  protected:
    void SetUp() override { queue.Clear(); }
    void TearDown() override { queue.ReleaseAll(); }

    // Appends a frame with planes, tagged by its picture distance.
    DecodedFrame* Push(uint32_t distance) {
        DecodedFrame* f = queue.PushFrame(32, 32, 1);
        if (f != nullptr) f->pictureDistance = distance;
        return f;
    }
    uint32_t DistanceAt(int32_t i) const { return queue.FrameAt(i)->pictureDistance; }

    FrameQueue queue;
};

TEST_F(FrameQueueTest, EmptyGivesNothingFullHoldsEightInDecodingOrder) {
    // Empty, it gives nothing.
    EXPECT_EQ(queue.PopFront(), -1);
    EXPECT_EQ(queue.LastFrame(), nullptr);
    EXPECT_EQ(queue.FrameAt(0), nullptr);
    EXPECT_EQ(queue.FrameAt(-1), nullptr);
    EXPECT_EQ(queue.FirstUndelivered(), nullptr);
    queue.RemoveAt(0);
    EXPECT_EQ(queue.count, 0);

    for (uint32_t d = 0; d < 8; ++d) ASSERT_NE(Push(d), nullptr);
    EXPECT_EQ(queue.PushFrame(32, 32, 1), nullptr);
    EXPECT_EQ(queue.count, 8);
    EXPECT_EQ(queue.LastFrame()->pictureDistance, 7u);
    EXPECT_EQ(queue.FrameAt(8), nullptr);

    EXPECT_EQ(queue.PopFront(), 7);
    EXPECT_EQ(DistanceAt(0), 1u);
    queue.RemoveAt(3);  // distance 4
    queue.RemoveAt(7);  // past the end: ignored
    queue.RemoveAt(-1);
    ASSERT_EQ(queue.count, 6);
    const uint32_t expected[] = {1, 2, 3, 5, 6, 7};
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(DistanceAt(i), expected[i]);
    EXPECT_EQ(queue.entries[6], nullptr);
}

}  // namespace
}  // namespace avs

namespace avs {
namespace {

// The frame the host converts from is kept, in place of another when the
// pool is full, and never handed out for a new picture, whatever its size.
TEST(FramePool, TheShownFrameIsKeptAndNeverTaken) {
    FramePool pool;
    DecodedFrame* shown = NewFrame(32, 32, 1);
    ASSERT_NE(shown, nullptr);
    shown->shown = 1;
    pool.Give(NewFrame(32, 32, 1));
    pool.Give(NewFrame(32, 32, 1));
    pool.Give(shown);
    const auto holds = [&] { return std::count(pool.frames, pool.frames + pool.count, shown); };
    EXPECT_EQ(pool.count, 2);
    EXPECT_EQ(holds(), 1);
    DecodedFrame* taken[2] = {pool.Take(32, 32, 1), pool.Take(32, 32, 1)};
    EXPECT_NE(taken[0], shown);
    EXPECT_NE(taken[1], shown);
    DecodedFrame* other = pool.Take(16, 16, 1);  // drops kept frames of another size
    EXPECT_EQ(holds(), 1);
    shown->shown = 0;
    pool.Clear();
    for (DecodedFrame* f : {taken[0], taken[1], other}) DeleteFrame(f);
}

}  // namespace
}  // namespace avs
