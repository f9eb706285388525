// Conversion requests in the orders a host may issue them: each writes only
// inside what the frame size or the descriptor describes, and a picture
// buffer handed over holds no picture until the next delivery. Buffers are
// exactly as large as promised, with a guard behind them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "support/c_stream.h"
#include "support/test_paths.h"

namespace {

constexpr uint32_t kWidth = 176, kHeight = 144;  // i_qcif_q20
constexpr uint8_t kFill = 0xA5;
constexpr size_t kGuard = 256;

// `size` bytes for the library, then a guard; all of it kFill.
struct Guarded {
    size_t size;
    std::vector<uint8_t> bytes;
    explicit Guarded(size_t n) : size(n), bytes(n + kGuard, kFill) {}
    uint8_t* data() { return bytes.data(); }
    bool GuardIntact() const {
        return std::all_of(bytes.begin() + static_cast<ptrdiff_t>(size), bytes.end(),
                           [](uint8_t b) { return b == kFill; });
    }
    bool Untouched() const {
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kFill; });
    }
};

// A stream of I pictures that a test feeds one delivery at a time.
class Host {
  public:
    explicit Host(const char* stream = "i_qcif_q20.avs")
        : s_(avs::test::OpenStream()), bytes_(avs::test::ReadFile(avs::test::DataDir() / stream)) {}
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    uint32_t Query(uint32_t code) const { return avs::test::Query(s_.get(), code); }
    void Set(uint32_t code, int64_t value) const {
        const auto word = static_cast<uint32_t>(value);
        Request(code, &word);
    }
    void Request(uint32_t code, const void* argument) const {
        avs::test::Request(s_.get(), code, argument);
    }
    // Feeds the stream on up to its next delivery; false at its end.
    bool NextPicture() { return Feed(bytes_, at_, true); }
    // Feeds `bytes` whole, as far as the library takes them.
    void Feed(const std::vector<uint8_t>& bytes) {
        size_t at = 0;
        Feed(bytes, at, false);
    }

  private:
    bool Feed(const std::vector<uint8_t>& bytes, size_t& at, bool untilDelivery) {
        while (at < bytes.size()) {
            const auto n = static_cast<uint32_t>(bytes.size() - at);
            const uint32_t taken = s_->Feed(s_.get(), bytes.data() + at, n);
            if (taken == 0 || taken > n) return false;
            at += taken;
            if (untilDelivery && avs::test::Delivered(s_.get())) return true;
        }
        return false;
    }

    avs::test::Stream s_;
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
};

uint32_t TightBytes(uint32_t fourcc) {
    const uint32_t twiceBytesPerPixel = fourcc == AVS_FOURCC_YV12   ? 3
                                        : fourcc == AVS_FOURCC_BGR3 ? 6
                                        : fourcc == AVS_FOURCC_BGR4 ? 8
                                                                    : 4;
    return twiceBytesPerPixel * kWidth * kHeight / 2;
}

// The frame size follows the layout and pitch set after a delivery, whatever
// layout the delivery and a first conversion saw. A host's pitch sets it (planar: |pitch| x rows,
// then the two chroma planes); one that cannot hold a row, or whose picture
// would not fit in 31 bits, gives size 0 and gets nothing written. Pitch 0
// is the layout's default.
TEST(ConversionRequests, FrameSizeFollowsTheLayoutAndPitchSetAfterADelivery) {
    struct Case {
        uint32_t fourcc;
        int64_t pitch;
        uint32_t size;
        uint32_t atDelivery = AVS_FOURCC_YV12;
    };
    const uint32_t p = 4 * kWidth + 64, yv12 = p * kHeight + 2 * (p * kHeight / 4);
    const Case cases[] = {
        {AVS_FOURCC_YV12, 0, TightBytes(AVS_FOURCC_YV12), AVS_FOURCC_BGR4},
        {AVS_FOURCC_YUY2, 0, TightBytes(AVS_FOURCC_YUY2)},
        {AVS_FOURCC_UYVY, 0, TightBytes(AVS_FOURCC_UYVY), AVS_FOURCC_BGR3},
        {AVS_FOURCC_BGR3, 0, TightBytes(AVS_FOURCC_BGR3), AVS_FOURCC_UYVY},
        {AVS_FOURCC_BGR4, 0, TightBytes(AVS_FOURCC_BGR4), AVS_FOURCC_YUY2},
        {AVS_FOURCC_YV12, p, yv12},
        {AVS_FOURCC_YV12, -int64_t{p}, yv12},
        {AVS_FOURCC_BGR4, p, p * kHeight},
        {AVS_FOURCC_BGR4, -int64_t{p}, p * kHeight},
        {AVS_FOURCC_YV12, kWidth - 1, 0},
        {AVS_FOURCC_YUY2, 2 * kWidth - 1, 0},
        {AVS_FOURCC_BGR3, -(3 * kWidth - 1), 0},
        {AVS_FOURCC_BGR4, 1, 0},
        {AVS_FOURCC_YV12, INT32_MAX, 0},
        {AVS_FOURCC_BGR4, INT32_MAX, 0},
        {AVS_FOURCC_BGR3, INT32_MIN, 0},
        {AVS_FOURCC_UYVY, INT32_MIN, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(reinterpret_cast<const char*>(&c.fourcc), 4)
                                        << " pitch " << c.pitch);
        Host h;
        h.Set(AVS_SetOutputFourcc, c.atDelivery);
        ASSERT_TRUE(h.NextPicture());
        Guarded first(h.Query(AVS_GetFrameSize));  // converted in that layout first
        h.Request(AVS_ConvertPicture, first.data());
        EXPECT_TRUE(first.GuardIntact());
        h.Set(AVS_SetOutputFourcc, c.fourcc);
        h.Set(AVS_SetOutputPitch, c.pitch);
        EXPECT_EQ(h.Query(AVS_GetFrameSize), c.size);
        Guarded out(c.size);
        h.Request(AVS_ConvertPicture, out.data());
        EXPECT_TRUE(out.GuardIntact());
        EXPECT_EQ(out.Untouched(), c.size == 0);
    }
}

OutputPicture Descriptor(uint32_t fourcc, Guarded* planes) {
    const intptr_t row = fourcc == AVS_FOURCC_YV12   ? kWidth
                         : fourcc == AVS_FOURCC_BGR3 ? 3 * kWidth
                                                     : 2 * kWidth;
    return OutputPicture{kWidth,
                         kHeight,
                         fourcc,
                         0,
                         {planes[0].data(), planes[1].data(), planes[2].data()},
                         0,
                         {row, kWidth / 2, kWidth / 2}};
}

// A buffer handed over with 0x101 holds no picture: both conversions
// convert nothing until the next delivery fills it. Before any sequence
// header a buffer is promised 0 bytes, so the first delivery takes its own.
TEST(ConversionRequests, AHandedOverPictureBufferHoldsNothingUntilTheNextDelivery) {
    Host h;
    h.Request(AVS_SetPictureBuffer, std::malloc(1));
    ASSERT_TRUE(h.NextPicture());
    auto* mine = static_cast<uint8_t*>(std::malloc(2 * kWidth * kHeight));  // the decoder frees it
    ASSERT_NE(mine, nullptr);
    std::memset(mine, kFill, 2 * kWidth * kHeight);
    h.Request(AVS_SetPictureBuffer, mine);

    const uint32_t size = h.Query(AVS_GetFrameSize);
    Guarded out(size);
    h.Request(AVS_ConvertPicture, out.data());
    EXPECT_TRUE(out.Untouched());
    Guarded planes[3] = {Guarded(kWidth * kHeight), Guarded(size / 6), Guarded(size / 6)};
    const OutputPicture desc = Descriptor(AVS_FOURCC_YV12, planes);
    h.Request(AVS_ConvertPictureTo, &desc);
    for (const Guarded& plane : planes) EXPECT_TRUE(plane.Untouched());

    ASSERT_TRUE(h.NextPicture());
    h.Request(AVS_ConvertPicture, out.data());
    EXPECT_TRUE(out.GuardIntact());
    EXPECT_TRUE(std::equal(mine, mine + kWidth * kHeight, out.data()));  // delivered into mine
}

// A descriptor with a null plane, or a pitch that cannot hold a row or
// spans more than 31 bits, gets nothing written in any plane.
TEST(ConversionRequests, DescriptorsThatCannotHoldThePictureGetNothing) {
    struct Case {
        uint32_t fourcc;
        int plane;
        bool null;
        intptr_t pitch;  // 0: the tight pitch, minus one
    };
    std::vector<Case> cases;
    for (uint32_t fourcc : {AVS_FOURCC_YV12, AVS_FOURCC_YUY2, AVS_FOURCC_BGR3}) {
        for (int k = 0; k < (fourcc == AVS_FOURCC_YV12 ? 3 : 1); ++k) {
            cases.push_back({fourcc, k, true, 0});
            for (intptr_t pitch : std::initializer_list<intptr_t>{0, INT32_MAX, INT32_MIN,
                                                                  INTPTR_MAX, INTPTR_MIN, -1}) {
                cases.push_back({fourcc, k, false, pitch});
            }
        }
    }
    Host h;
    ASSERT_TRUE(h.NextPicture());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(reinterpret_cast<const char*>(&c.fourcc), 4)
                                        << " plane " << c.plane << " pitch " << c.pitch);
        Guarded planes[3] = {Guarded(4 * kWidth * kHeight), Guarded(kWidth * kHeight / 4),
                             Guarded(kWidth * kHeight / 4)};
        OutputPicture desc = Descriptor(c.fourcc, planes);
        if (c.null) {
            desc.plane[c.plane] = nullptr;
        } else {
            desc.pitch[c.plane] = c.pitch != 0 ? c.pitch : desc.pitch[c.plane] - 1;
        }
        h.Request(AVS_ConvertPictureTo, &desc);
        for (const Guarded& plane : planes) EXPECT_TRUE(plane.Untouched());
    }
    // The same descriptors, whole, are written.
    Guarded planes[3] = {Guarded(4 * kWidth * kHeight), Guarded(kWidth * kHeight / 4),
                         Guarded(kWidth * kHeight / 4)};
    const OutputPicture desc = Descriptor(AVS_FOURCC_YV12, planes);
    h.Request(AVS_ConvertPictureTo, &desc);
    for (const Guarded& plane : planes) EXPECT_FALSE(plane.Untouched());
}

// The picture a host converts stays the same until the next delivery, even
// while the units after it are decoded into frames kept for reuse: here a
// sequence end hands out the last picture, and the next sequence's first I
// picture, which delivers nothing, is decoded into another frame.
TEST(ConversionRequests, ThePictureStaysUntilTheNextDelivery) {
    Host h("ipb_208x120.avs");
    while (h.NextPicture()) {
    }
    h.Feed({0, 0, 1, 0xB1});
    ASSERT_NE(h.Query(AVS_GetDeliveryFlag), 0u);
    const uint32_t size = h.Query(AVS_GetFrameSize);
    std::vector<uint8_t> before(size), after(size);
    h.Request(AVS_ConvertPicture, before.data());

    // The sequence header and the I picture, and the start code that ends it.
    const std::vector<uint8_t>& stream = h.Bytes();
    const uint8_t pb[] = {0, 0, 1, 0xB6};
    const auto next = std::search(stream.begin(), stream.end(), pb, pb + 4);
    ASSERT_NE(next, stream.end());
    h.Feed(std::vector<uint8_t>(stream.begin(), next + 4));
    EXPECT_EQ(h.Query(AVS_GetDeliveryFlag), 0u);
    h.Request(AVS_ConvertPicture, after.data());
    EXPECT_TRUE(before == after);
}

}  // namespace
