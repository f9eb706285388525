// The numbers of symmetric and direct blocks: distances, their wrap (no
// division by zero), and the scaling of both derivations.
#include "decode/b_block_vectors.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace avs {
namespace {

TEST(BDistances, WrapAt256AndNeverDivideByZero) {
    auto frame = [](uint32_t distance, uint32_t ref0, uint32_t ref1) {
        DecodedFrame f{};
        f.pictureDistance = distance;
        f.refDistance[0] = ref0;
        f.refDistance[1] = ref1;
        return f;
    };
    // Forward 255, current 0, backward 1: one step each. The backward
    // reference referred to 255 (index 0) and 253 (index 1).
    const BDistances d = ComputeBDistances(0, frame(255, 0, 0), frame(1, 255, 253));
    EXPECT_EQ(d.forward, 2);
    EXPECT_EQ(d.backward, 2);
    EXPECT_EQ(d.directScale[0], 16384 / 4);
    EXPECT_EQ(d.directScale[1], 16384 / 8);
    // All at one distance: DistFw and DistRef count as 1, DistBw stays 0.
    const BDistances same = ComputeBDistances(7, frame(7, 7, 7), frame(7, 7, 7));
    EXPECT_EQ(same.forward, 1);
    EXPECT_EQ(same.backward, 0);
    EXPECT_EQ(same.directScale[0], 16384);
}

// Symmetric blocks mirror the forward vector (the shift rounds down before
// the negation, so 5 and -5 mirror exactly). Direct vectors scale the
// co-located one: 0 stays 0; any reference index but 0 (even a corrupt one)
// names the further picture; with every picture at one distance (scale 16384)
// the product is an exact multiple, so the rounding's -1 shows.
TEST(BlockVectors, SymmetricMirrorsAndDirectScales) {
    const BDistances equal{2, 2, {4096, 2048}};  // DistRef 4 for index 0, 8 for others
    EXPECT_EQ(SymmetricBackward({5, -5}, equal), (MotionVector{-5, 5}));
    EXPECT_EQ(SymmetricBackward({3, -3}, BDistances{2, 4, {}}), (MotionVector{-6, 6}));
    struct Case {
        BDistances d;
        MotionVector colocated;
        int32_t refIdx;
        MotionVector forward, backward;
    };
    const Case cases[] = {
        {equal, {0, 0}, 0, {0, 0}, {0, 0}},
        {equal, {8, -8}, 0, {4, -4}, {-4, 4}},  // ((8 * 2 + 1) * 4096 - 1) >> 14 = 4
        {equal, {8, 0}, 1, {2, 0}, {-2, 0}},
        {equal, {8, 0}, 3, {2, 0}, {-2, 0}},
        {equal, {8, 0}, INT32_MAX, {2, 0}, {-2, 0}},
        {{1, 0, {16384, 16384}}, {8, 0}, 0, {8, 0}, {0, 0}},  // (9 * 16384 - 1) >> 14 = 8
    };
    for (const Case& c : cases) {
        const DirectPair pair = DirectVectors(c.colocated, c.refIdx, c.d);
        EXPECT_EQ(pair.forward, c.forward)
            << c.colocated.x << " " << c.refIdx << " " << c.d.forward;
        EXPECT_EQ(pair.backward, c.backward)
            << c.colocated.x << " " << c.refIdx << " " << c.d.forward;
    }
}

}  // namespace
}  // namespace avs
