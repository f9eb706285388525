// Sizes and default pitches of the output layouts a host can name.
#include "convert/output_layout.h"

#include <gtest/gtest.h>

namespace avs {
namespace {

TEST(OutputPitch, DefaultsPerFourcc) {
    struct Case {
        uint32_t fourcc;
        uint32_t sizeFactor;
        int32_t pitch720;
    };
    const Case cases[] = {
        {kFourccYV12, 3, 720},   {kFourccYUY2, 4, 1440},
        {kFourccUYVY, 4, 1440},  {kFourccYUYV, 4, 1440},
        {kFourccBGR3, 6, -2160}, {kFourccBGR4, 8, -2880},
        {kFourccBGRA, 8, -2880}, {kFourccG565, 4, -1440},
        {kFourccG555, 0, 0},     {AVS_FOURCC('N', 'V', '1', '2'), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutputSizeFactor(c.fourcc), c.sizeFactor) << c.fourcc;
        EXPECT_EQ(OutputPitch(720, c.fourcc), c.pitch720) << c.fourcc;
    }
    EXPECT_EQ(OutputPitch(721, kFourccBGR3), -2163);
    EXPECT_EQ(OutputPitch(721, kFourccYUY2), 1442);
}

}  // namespace
}  // namespace avs
