// Intra modes that only corrupt streams carry: a mode that needs a missing
// neighbour, or does not exist, is refused; refused luma predicts 0, refused
// chroma leaves the prediction as it was. (Every mode with the neighbours it
// needs is in the conformance streams, and the variants match the plain
// kernels byte for byte.)
#include "decode/intra_prediction.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace avs {
namespace {

TEST(IntraPrediction, AModeWithoutItsNeighboursIsRefused) {
    constexpr int kPitch = 48;
    const std::vector<uint8_t> plane(kPitch * kPitch, 99);
    const uint8_t* at = plane.data() + 16 * kPitch + 16;
    for (int chroma = 0; chroma <= 1; ++chroma) {
        for (int mode = 0; mode <= 4; ++mode) {  // chroma mode 4 does not exist
            for (int mask = 0; mask < (chroma ? 8 : 16); ++mask) {
                const bool up = mask & 1, left = mask & 2, upRight = mask & 4;
                std::array<uint8_t, 64> before, got;
                before.fill(77);
                got = before;
                bool ok = false, expectedOk = false;
                if (chroma) {
                    ok = PredictIntraChromaPlain(at, kPitch, mode, {up, left, upRight}, got.data());
                    expectedOk = mode == kChromaDc || (mode == kChromaHorizontal && left) ||
                                 (mode == kChromaVertical && up) ||
                                 (mode == kChromaPlane && up && left);
                } else {
                    ok = PredictIntraLumaPlain(at, kPitch, mode,
                                               {up, left, upRight, (mask & 8) != 0}, got.data());
                    expectedOk =
                        !(mode == kLumaVertical && !up) && !(mode == kLumaHorizontal && !left);
                }
                SCOPED_TRACE(testing::Message() << chroma << " mode " << mode << " mask " << mask);
                ASSERT_EQ(ok, expectedOk);
                if (!ok) {
                    std::array<uint8_t, 64> refused = before;
                    if (!chroma) refused.fill(0);
                    ASSERT_EQ(got, refused);
                }
            }
        }
    }
}

}  // namespace
}  // namespace avs
