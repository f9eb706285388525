#include "frames/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace avs {
namespace {

struct FrameDeleter {
    void operator()(DecodedFrame* f) const { DeleteFrame(f); }
};
using FramePtr = std::unique_ptr<DecodedFrame, FrameDeleter>;

bool Aligned64(const void* p) {
    return (reinterpret_cast<uintptr_t>(p) & 63) == 0;
}

TEST(FrameGeometry, RefusesSizesAndFormatsItCannotHold) {
    DecodedFrame f;
    for (auto [w, h, chroma] : {std::tuple{0u, 16u, 1u},
                                {16u, 0u, 1u},
                                {kMaxPictureDimension + 1, 16u, 1u},
                                {16u, kMaxPictureDimension + 1, 1u},
                                {0xFFFFFFFFu, 0xFFFFFFFFu, 1u},
                                {16u, 16u, 2u},
                                {16u, 16u, 3u}}) {
        EXPECT_EQ(AllocFrame(w, h, chroma, f), -1) << w << "x" << h << " format " << chroma;
        EXPECT_EQ(f.storage, nullptr);
        EXPECT_EQ(f.macroblocks, nullptr);
        ReleaseFrame(f);  // nothing held: must be harmless
    }
    EXPECT_EQ(AllocFrame(16, 16, 0, f), 0);  // 0 counts as 4:2:0
    ReleaseFrame(f);
    EXPECT_EQ(AllocFrame(kMaxPictureDimension, 16, 1, f), 0);
    ReleaseFrame(f);
}

// Every sample within the margins equals the decoded-area sample at the
// clamped position: corners take the corner samples, edges the edge rows
// and columns, and the decoded area (not the picture) is what is replicated.
void ExpectReplicated(const uint8_t* origin, ptrdiff_t pitch, int w, int h, int margin) {
    int wrong = 0;
    for (int y = -margin; y < h + margin; ++y) {
        for (int x = -margin; x < w + margin; ++x) {
            const int cx = std::clamp(x, 0, w - 1);
            const int cy = std::clamp(y, 0, h - 1);
            if (origin[y * pitch + x] != origin[cy * pitch + cx] && wrong++ < 5) {
                ADD_FAILURE() << "sample (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

void FillArea(uint8_t* origin, ptrdiff_t pitch, int w, int h, int seed) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            origin[y * pitch + x] = static_cast<uint8_t>(x * 7 + y * 13 + seed);
    }
}

TEST(ExtendBorders, MarginsReplicateTheDecodedAreaIncludingCorners) {
    for (auto [width, height] : {std::pair{208u, 120u}, {330u, 186u}, {64u, 64u}, {8u, 2u}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        FramePtr f(NewFrame(width, height, 1));
        ASSERT_NE(f, nullptr);
        // Every plane and row starts on a cache line.
        EXPECT_TRUE(Aligned64(f->lumaPlane) && Aligned64(f->cbPlane) && Aligned64(f->crPlane));
        EXPECT_TRUE(f->lumaPitch % 64 == 0 && f->chromaPitch % 64 == 0);
        const int lw = 16 * static_cast<int>(f->mbWidth), lh = 16 * static_cast<int>(f->mbHeight);
        FillArea(f->lumaPlane, f->lumaPitch, lw, lh, 1);
        FillArea(f->cbPlane, f->chromaPitch, lw / 2, lh / 2, 2);
        FillArea(f->crPlane, f->chromaPitch, lw / 2, lh / 2, 3);
        ExtendBorders(*f);
        EXPECT_EQ(f->bordersExtended, 1);
        ExpectReplicated(f->lumaPlane, f->lumaPitch, lw, lh, kLumaMargin);
        ExpectReplicated(f->cbPlane, f->chromaPitch, lw / 2, lh / 2, kChromaMargin);
        ExpectReplicated(f->crPlane, f->chromaPitch, lw / 2, lh / 2, kChromaMargin);

        // Once extended, a frame is a reference and is never extended again.
        f->lumaPlane[0] ^= 0xFF;
        ExtendBorders(*f);
        EXPECT_NE(f->lumaPlane[-1], f->lumaPlane[0]);
    }
}

}  // namespace
}  // namespace avs
