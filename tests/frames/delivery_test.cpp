#include "frames/delivery.h"

#include <gtest/gtest.h>

#include <vector>

namespace avs {
namespace {

// Fills every plane sample with a value that names its plane, row and column.
void Paint(uint8_t* origin, ptrdiff_t pitch, int w, int h, int plane) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            origin[y * pitch + x] = static_cast<uint8_t>(plane * 64 + x + y * 5);
    }
}

// An odd width, where chroma rows are not row-length apart; the conformance
// test checks even widths. (A buffer that is missing or too small is
// replaced by one from the heap: see the conversion request tests.)
TEST(DeliverFrame, LaysOutYCrCbWithHalfWidthRowsAtRowTimesWidthOverTwo) {
    constexpr uint32_t kWidth = 721, kHeight = 7;
    DecodedFrame* f = NewFrame(kWidth, kHeight, 1);
    ASSERT_NE(f, nullptr);
    Paint(f->lumaPlane, f->lumaPitch, kWidth, kHeight, 0);
    Paint(f->cbPlane, f->chromaPitch, kWidth / 2, kHeight / 2, 1);
    Paint(f->crPlane, f->chromaPitch, kWidth / 2, kHeight / 2, 2);

    // A buffer the caller sized, with a guard pattern after the written bytes.
    constexpr size_t kLuma = kWidth * kHeight, kWritten = kLuma + 2 * (kLuma / 4);
    std::vector<uint8_t> buffer(kLuma * 2, 0xEE);
    PictureBuffer held{buffer.data(), buffer.size()};
    ASSERT_EQ(DeliverFrame(*f, held), 0);
    const uint8_t* out = buffer.data();
    EXPECT_EQ(held.data, out);
    EXPECT_EQ(held.width, kWidth);

    for (size_t y = 0; y < kHeight; ++y) {
        for (size_t x = 0; x < kWidth; ++x) {
            ASSERT_EQ(out[y * kWidth + x], f->lumaPlane[y * f->lumaPitch + x]);
        }
    }
    const uint8_t* cr = out + kLuma;
    const uint8_t* cb = cr + kLuma / 4;
    const size_t rowStarts[] = {0, 360, 721};  // (r * 721) / 2
    for (size_t r = 0; r < kHeight / 2; ++r) {
        for (size_t x = 0; x < kWidth / 2; ++x) {
            ASSERT_EQ(cr[rowStarts[r] + x], f->crPlane[r * f->chromaPitch + x]) << r << "," << x;
            ASSERT_EQ(cb[rowStarts[r] + x], f->cbPlane[r * f->chromaPitch + x]) << r << "," << x;
        }
    }
    for (size_t i = kWritten; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << i;

    DeleteFrame(f);
}

}  // namespace
}  // namespace avs
