// The numbers of symmetric and direct blocks: distances, their wrap, and the
// scaling of both derivations.
#include "decode/b_block_vectors.h"

#include <gtest/gtest.h>

namespace avs {
namespace {

DecodedFrame Reference(uint32_t distance, uint32_t ref0, uint32_t ref1) {
    DecodedFrame f{};
    f.pictureDistance = distance;
    f.refDistance[0] = ref0;
    f.refDistance[1] = ref1;
    return f;
}

TEST(BDistances, WrapAt256AndNeverDivideByZero) {
    // forward 255, current 0, backward 1 (one step each); the backward
    // reference referred to 255 (index 0) and 253 (index 1).
    const BDistances d = ComputeBDistances(0, Reference(255, 0, 0), Reference(1, 255, 253));
    EXPECT_EQ(d.forward, 2);
    EXPECT_EQ(d.backward, 2);
    EXPECT_EQ(d.directScale[0], 16384 / 4);
    EXPECT_EQ(d.directScale[1], 16384 / 8);

    // All at one distance: DistFw and DistRef count as 1, DistBw stays 0.
    const BDistances same = ComputeBDistances(7, Reference(7, 7, 7), Reference(7, 7, 7));
    EXPECT_EQ(same.forward, 1);
    EXPECT_EQ(same.backward, 0);
    EXPECT_EQ(same.directScale[0], 16384);
}

TEST(SymmetricBackward, MirrorsWithTheShiftRoundingDown) {
    const BDistances equal{2, 2, {4096, 4096}};
    EXPECT_EQ(SymmetricBackward({5, -5}, equal), (MotionVector{-5, 5}));
    EXPECT_EQ(SymmetricBackward({0, 1}, equal), (MotionVector{0, -1}));
    // Twice as far backward: 3 * 128 * 4 = 1536 -> -6.
    EXPECT_EQ(SymmetricBackward({3, -3}, BDistances{2, 4, {0, 0}}), (MotionVector{-6, 6}));
}

TEST(DirectVectors, ScaleTheColocatedVectorByDistance) {
    struct Case {
        MotionVector colocated;
        int32_t refIdx;
        BDistances d;
        MotionVector forward;
        MotionVector backward;
    };
    const Case cases[] = {
        // A component of 0 stays 0 for every DistRef.
        {{0, 0}, 0, {2, 2, {16384, 16384}}, {0, 0}, {0, 0}},
        {{0, 0}, 0, {2, 2, {16384 / 200, 0}}, {0, 0}, {0, 0}},
        // 8 with DistFw = DistBw = 2 and DistRef = 4: k = 4096, ((17 * 4096) - 1) >> 14 = 4.
        {{8, -8}, 0, {2, 2, {4096, 0}}, {4, -4}, {-4, 4}},
        // The index selects the scale of the picture the block referred to.
        {{8, 0}, 1, {2, 2, {0, 2048}}, {2, 0}, {-2, 0}},
        // Any non-zero index is reference 1 (field pictures code up to 3).
        {{8, 0}, 3, {2, 2, {0, 2048}}, {2, 0}, {-2, 0}},
        // Unequal distances: forward (8*2+1)*2048-1 >> 14 = 2, backward (8*6+1)*2048-1 >> 14 = 6.
        {{8, 0}, 0, {2, 6, {2048, 0}}, {2, 0}, {-6, 0}},
    };
    for (const Case& c : cases) {
        const DirectPair pair = DirectVectors(c.colocated, c.refIdx, c.d);
        EXPECT_EQ(pair.forward, c.forward) << c.colocated.x << "," << c.colocated.y;
        EXPECT_EQ(pair.backward, c.backward) << c.colocated.x << "," << c.colocated.y;
    }
}

// Corrupt streams can carry any vector: the sanitizer build checks that
// nothing overflows, and the results stay 32-bit vectors.
TEST(DirectVectors, ExtremeVectorsDoNotOverflow) {
    const BDistances far{510, 510, {16384, 16384}};
    for (const int32_t c : {INT32_MIN, INT32_MAX}) {
        const DirectPair pair = DirectVectors({c, c}, 0, far);
        EXPECT_EQ(pair.forward.x, pair.forward.y);
        EXPECT_EQ(pair.backward.x, pair.backward.y);
        const MotionVector mirrored = SymmetricBackward({c, c}, far);
        EXPECT_EQ(mirrored.x, mirrored.y);
    }
}

TEST(ColocatedBlocks, SpreadThePartitionsOverTheBlocks) {
    MacroblockInfo mb{};
    for (int p = 0; p < 4; ++p) {
        mb.mv[p] = {p + 1, -(p + 1)};
        mb.refIdx[p] = p & 1;
    }
    const struct {
        int32_t mbType;
        int entry[4];
    } cases[] = {{kPSkip, {0, 0, 0, 0}},
                 {kP16x16, {0, 0, 0, 0}},
                 {kP16x8, {0, 0, 1, 1}},
                 {kP8x16, {0, 1, 0, 1}},
                 {kP8x8, {0, 1, 2, 3}}};
    for (const auto& c : cases) {
        mb.mbType = c.mbType;
        const Colocated col = ColocatedBlocks(mb);
        EXPECT_FALSE(col.intra);
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(col.mv[b], mb.mv[c.entry[b]]) << c.mbType << " " << b;
            EXPECT_EQ(col.refIdx[b], mb.refIdx[c.entry[b]]) << c.mbType << " " << b;
        }
    }
    for (const int32_t intra : {kIntraMbType, -1, 1000}) {
        mb.mbType = intra;
        EXPECT_TRUE(ColocatedBlocks(mb).intra) << intra;
    }
}

}  // namespace
}  // namespace avs
