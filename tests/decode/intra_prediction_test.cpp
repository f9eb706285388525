// Intra prediction where the conformance streams do not reach: a mode that
// needs a missing neighbour, or that does not exist, comes only from a corrupt
// stream and is refused. (Every mode with every set of neighbours is
// checked bit-exactly by the conformance streams.)
#include "decode/intra_prediction.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace avs {
namespace {

constexpr int kPitch = 48;
constexpr int kAt = 16 * kPitch + 16;  // the block's top-left sample inside a 48 x 48 plane

TEST(IntraPrediction, ModesWithoutTheirNeighboursPredictNothing) {
    const std::vector<uint8_t> plane(kPitch * kPitch, 90);
    struct Case {
        bool chroma;
        int mode;
        bool up, left;
        bool ok;
    };
    const Case cases[] = {
        {false, kLumaVertical, false, true, false},   {false, kLumaVertical, true, false, true},
        {false, kLumaHorizontal, true, false, false}, {false, kLumaHorizontal, false, true, true},
        {false, kLumaDownRight, false, false, true},  {true, kChromaHorizontal, true, false, false},
        {true, kChromaVertical, false, true, false},  {true, kChromaPlane, true, false, false},
        {true, kChromaPlane, false, true, false},     {true, 4, true, true, false},
        {true, kChromaPlane, true, true, true},       {true, kChromaDc, false, false, true},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, 64> pred;
        pred.fill(5);
        const bool ok = c.chroma ? PredictIntraChromaPlain(plane.data() + kAt, kPitch, c.mode,
                                                           {c.up, c.left, true}, pred.data())
                                 : PredictIntraLumaPlain(plane.data() + kAt, kPitch, c.mode,
                                                         {c.up, c.left, true, true}, pred.data());
        EXPECT_EQ(ok, c.ok) << "chroma " << c.chroma << " mode " << c.mode;
        // Luma predicts 0 then; chroma leaves the prediction as it was.
        std::array<uint8_t, 64> refused;
        refused.fill(c.chroma ? 5 : 0);
        if (!c.ok) {
            EXPECT_EQ(pred, refused) << "chroma " << c.chroma << " mode " << c.mode;
        }
    }
}

}  // namespace
}  // namespace avs
