#include "frames/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/aligned_alloc.h"

namespace avs {
namespace {

struct FrameDeleter {
    void operator()(DecodedFrame* f) const { DeleteFrame(f); }
};
using FramePtr = std::unique_ptr<DecodedFrame, FrameDeleter>;

FramePtr MakeFrame(uint32_t width, uint32_t height) {
    return FramePtr(NewFrame(width, height, 1));
}

bool Aligned64(const void* p) {
    return (reinterpret_cast<uintptr_t>(p) & 63) == 0;
}

TEST(FrameGeometry, PitchesAndMacroblockCounts) {
    struct Case {
        uint32_t width, height;
        ptrdiff_t lumaPitch, chromaPitch;
        uint32_t mbWidth, mbHeight;
    };
    // Pitch = 64-aligned left margin + decoded area + right margin, rounded up to 64.
    const Case cases[] = {
        {720, 576, 896, 512, 45, 36},  // 64+720+64 = 848; 64+360+32 = 456
        {640, 480, 768, 448, 40, 30},  // already a multiple of 64
        {330, 186, 512, 320, 21, 12},  // decoded area 336 x 192
        {1, 1, 192, 128, 1, 1},       {17, 17, 192, 128, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        FramePtr f = MakeFrame(c.width, c.height);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->lumaPitch, c.lumaPitch);
        EXPECT_EQ(f->chromaPitch, c.chromaPitch);
        EXPECT_EQ(f->refLumaPitch, f->lumaPitch);
        EXPECT_EQ(f->refChromaPitch, f->chromaPitch);
        EXPECT_EQ(f->mbWidth, c.mbWidth);
        EXPECT_EQ(f->mbHeight, c.mbHeight);
        EXPECT_EQ(f->refLumaPlane, f->lumaPlane);
        EXPECT_EQ(f->refCbPlane, f->cbPlane);
        EXPECT_EQ(f->refCrPlane, f->crPlane);
        EXPECT_TRUE(Aligned64(f->lumaPlane) && Aligned64(f->cbPlane) && Aligned64(f->crPlane));
        EXPECT_EQ(f->bordersExtended, 0);
        EXPECT_EQ(f->delivered, 0);
    }
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
        FramePtr f = MakeFrame(width, height);
        ASSERT_NE(f, nullptr);
        const int lw = 16 * static_cast<int>(f->mbWidth), lh = 16 * static_cast<int>(f->mbHeight);
        FillArea(f->lumaPlane, f->lumaPitch, lw, lh, 1);
        FillArea(f->cbPlane, f->chromaPitch, lw / 2, lh / 2, 2);
        FillArea(f->crPlane, f->chromaPitch, lw / 2, lh / 2, 3);
        ExtendBorders(*f);
        EXPECT_EQ(f->bordersExtended, 1);
        ExpectReplicated(f->lumaPlane, f->lumaPitch, lw, lh, kLumaMargin);
        ExpectReplicated(f->cbPlane, f->chromaPitch, lw / 2, lh / 2, kChromaMargin);
        ExpectReplicated(f->crPlane, f->chromaPitch, lw / 2, lh / 2, kChromaMargin);
        EXPECT_EQ(f->lumaPlane[-kLumaMargin * f->lumaPitch - kLumaMargin], f->lumaPlane[0]);
        EXPECT_EQ(f->lumaPlane[(lh + kLumaMargin - 1) * f->lumaPitch + lw + kLumaMargin - 1],
                  f->lumaPlane[(lh - 1) * f->lumaPitch + lw - 1]);

        // Once extended, a frame is a reference and is never extended again.
        f->lumaPlane[0] ^= 0xFF;
        ExtendBorders(*f);
        EXPECT_NE(f->lumaPlane[-1], f->lumaPlane[0]);
    }
}

// Every result is aligned and records the distance it moved; a heap block
// that already starts on a 64-byte boundary moves a whole line (64).
TEST(AlignedAlloc, ResultsAreAlignedAndAnAlignedBlockMovesAWholeLine) {
    std::vector<void*> held;
    bool sawAlignedBlock = false;
    for (size_t n = 1; n < 4000 && !sawAlignedBlock; n += 7) {
        auto* p = static_cast<uint8_t*>(AlignedAlloc(n));
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(Aligned64(p));
        const int distance = p[-1];
        ASSERT_GE(distance, 1);
        ASSERT_LE(distance, 64);
        sawAlignedBlock = distance == 64;
        held.push_back(p);
    }
    for (void* p : held) AlignedFree(p);
    AlignedFree(nullptr);
    if (!sawAlignedBlock) GTEST_SKIP() << "the heap never returned a 64-byte aligned block";
}

}  // namespace
}  // namespace avs
