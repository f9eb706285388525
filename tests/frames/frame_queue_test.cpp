// The frame queue at its limits: empty, full, removals outside it. Its
// ordinary use (reference order, reuse, delivery order) is checked by the P
// and B conformance streams.
#include "frames/frame_queue.h"

#include <gtest/gtest.h>

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

TEST_F(FrameQueueTest, EmptyQueueGivesNothing) {
    EXPECT_EQ(queue.PopFront(), -1);
    EXPECT_EQ(queue.LastFrame(), nullptr);
    EXPECT_EQ(queue.FrameAt(0), nullptr);
    EXPECT_EQ(queue.FrameAt(-1), nullptr);
    EXPECT_EQ(queue.FirstUndelivered(), nullptr);
    queue.RemoveAt(0);
    EXPECT_EQ(queue.count, 0);
}

TEST_F(FrameQueueTest, KeepsDecodingOrderAndHoldsAtMostEight) {
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
