// Both delivery entry points (requests 1 and 0x10007) against the layouts
// computed here straight from their definitions.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "convert/convert.h"
#include "convert/convert_test_util.h"
#include "convert/shared_pool.h"
#include "platform/threads.h"

namespace avs {
namespace {

constexpr uint32_t kG565 = AVS_FOURCC('G', '5', '6', '5');
constexpr size_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;

// The picture buffer: Y, then V at W*H, then U at W*H + W*H/4.
struct PictureBuffer {
    uint32_t width, height;
    std::vector<uint8_t> bytes;
    PictureBuffer(uint32_t w, uint32_t h, std::mt19937& rng)
        : width(w), height(h), bytes(test::RandomBytes(size_t{w} * h * 2, rng)) {}
    const uint8_t* Y(uint32_t row) const { return &bytes[size_t{row} * width]; }
    const uint8_t* V(uint32_t row) const {
        return &bytes[size_t{width} * height + size_t{row} * (width / 2)];
    }
    const uint8_t* U(uint32_t row) const {
        const size_t area = size_t{width} * height;
        return &bytes[area + area / 4 + size_t{row} * (width / 2)];
    }
};

bool IsPlanar(uint32_t fourcc) {
    return fourcc == AVS_FOURCC_YV12;
}
bool IsBgr(uint32_t fourcc) {
    return fourcc == AVS_FOURCC_BGR3 || fourcc == AVS_FOURCC_BGR4;
}

uint32_t BytesPerPixel(uint32_t fourcc) {
    return fourcc == AVS_FOURCC_BGR4 ? 4 : fourcc == AVS_FOURCC_BGR3 ? 3 : 2;
}

// Row `row` of a packed or BGR layout: the width/2 pairs, nothing more.
std::vector<uint8_t> ExpectedRow(const PictureBuffer& pic, uint32_t fourcc, uint32_t row) {
    std::vector<uint8_t> out;
    const uint8_t* y = pic.Y(row);
    const uint8_t* u = pic.U(row / 2);
    const uint8_t* v = pic.V(row / 2);
    for (uint32_t i = 0; i < pic.width / 2; ++i) {
        if (fourcc == AVS_FOURCC_YUY2) {
            out.insert(out.end(), {y[2 * i], u[i], y[2 * i + 1], v[i]});
        } else if (fourcc == AVS_FOURCC_UYVY) {
            out.insert(out.end(), {u[i], y[2 * i], v[i], y[2 * i + 1]});
        } else {
            for (int k = 0; k < 2; ++k) {
                const auto bgr = test::ReferenceBgr(y[2 * i + k], u[i], v[i]);
                out.insert(out.end(), bgr.begin(), bgr.end());
                if (fourcc == AVS_FOURCC_BGR4) out.push_back(255);
            }
        }
    }
    return out;
}

// Writes `rows` rows, row r at offset first + r * step of `buffer`.
void Paint(std::vector<uint8_t>& buffer, ptrdiff_t first, ptrdiff_t step, uint32_t rows,
           const std::function<std::vector<uint8_t>(uint32_t)>& row) {
    for (uint32_t r = 0; r < rows; ++r) {
        const std::vector<uint8_t> bytes = row(r);
        const ptrdiff_t at = first + static_cast<ptrdiff_t>(r) * step;
        ASSERT_GE(at, 0);
        ASSERT_LE(at + static_cast<ptrdiff_t>(bytes.size()), static_cast<ptrdiff_t>(buffer.size()));
        std::copy(bytes.begin(), bytes.end(), buffer.begin() + at);
    }
}

// Rows a packed or BGR layout converts: whole pairs of rows.
uint32_t PackedRows(uint32_t height) {
    return height & ~1u;
}

std::vector<uint8_t> LumaRow(const PictureBuffer& pic, uint32_t r) {
    return {pic.Y(r), pic.Y(r) + pic.width};
}

struct Case {
    uint32_t fourcc;
    uint32_t width, height;
    int32_t pitch;  // request 1: the pitch itself; 0x10007: pitch 0
};

std::string Name(const Case& c) {
    const char name[5] = {static_cast<char>(c.fourcc), static_cast<char>(c.fourcc >> 8),
                          static_cast<char>(c.fourcc >> 16), static_cast<char>(c.fourcc >> 24), 0};
    return std::string(name) + " " + std::to_string(c.width) + "x" + std::to_string(c.height) +
           " pitch " + std::to_string(c.pitch);
}

// For every layout: the default pitch, a wider one (padding stays untouched)
// and the other sign; odd sizes and sizes beyond one vector step.
std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (uint32_t fourcc :
         {AVS_FOURCC_YV12, AVS_FOURCC_YUY2, AVS_FOURCC_UYVY, AVS_FOURCC_BGR3, AVS_FOURCC_BGR4}) {
        for (auto [w, h] : {std::pair{22u, 10u}, {33u, 7u}, {100u, 18u}, {6u, 2u}}) {
            const int32_t tight = static_cast<int32_t>(w * BytesPerPixel(fourcc));
            const int32_t base = IsPlanar(fourcc) ? static_cast<int32_t>(w) : tight;
            const int32_t defaultPitch = IsBgr(fourcc) ? -base : base;
            for (int32_t pitch :
                 {defaultPitch, -defaultPitch, defaultPitch + (defaultPitch < 0 ? -10 : 10),
                  -defaultPitch + (defaultPitch < 0 ? 10 : -10)}) {
                cases.push_back({fourcc, w, h, pitch});
            }
        }
    }
    return cases;
}

TEST(Delivery, ToBufferWritesEveryLayoutExactly) {
    std::mt19937 rng(7);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(Name(c));
        const PictureBuffer pic(c.width, c.height, rng);
        const ptrdiff_t absPitch = std::abs(c.pitch);
        const size_t size = 2 * kGuard + absPitch * c.height * 3 / 2 + absPitch;
        std::vector<uint8_t> got(size, kFill), want(size, kFill);
        DeliverToBuffer(got.data() + kGuard, pic.bytes.data(), c.width, c.height, c.fourcc,
                        c.pitch);
        const ptrdiff_t g = kGuard;
        if (IsPlanar(c.fourcc)) {
            // Top-down with |pitch| whatever the sign; V then U, each |pitch|/2.
            const ptrdiff_t luma = absPitch * c.height;
            Paint(want, g, absPitch, c.height, [&](uint32_t r) { return LumaRow(pic, r); });
            Paint(want, g + luma, absPitch / 2, c.height / 2, [&](uint32_t r) {
                return std::vector<uint8_t>(pic.V(r), pic.V(r) + c.width / 2);
            });
            Paint(want, g + luma + luma / 4, absPitch / 2, c.height / 2, [&](uint32_t r) {
                return std::vector<uint8_t>(pic.U(r), pic.U(r) + c.width / 2);
            });
        } else {
            // BGR: a positive pitch is bottom-up. Packed: top-down with |pitch|.
            const bool bottomUp = IsBgr(c.fourcc) && c.pitch > 0;
            const ptrdiff_t first = bottomUp ? g + (c.height - 1) * absPitch : g;
            Paint(want, first, bottomUp ? -absPitch : absPitch, PackedRows(c.height),
                  [&](uint32_t r) { return ExpectedRow(pic, c.fourcc, r); });
        }
        EXPECT_TRUE(got == want);
    }
}

// A descriptor's planes, each with guard bytes, and the plane pointer that
// puts row 0 where the layout wants it.
struct Plane {
    std::vector<uint8_t> bytes;
    ptrdiff_t pitch;
    uint32_t rows;
    Plane(uint32_t rowCount, ptrdiff_t p)
        : bytes(2 * kGuard + rowCount * std::abs(p), kFill), pitch(p), rows(rowCount) {}
    // Where the descriptor's plane pointer goes: the lowest row address for
    // BGR (which chooses its own direction), row 0 otherwise.
    uint8_t* Pointer(bool bgr) {
        return pitch >= 0 || bgr ? &bytes[kGuard] : &bytes[kGuard + (rows - 1) * -pitch];
    }
};

TEST(Delivery, ToDescriptorWritesEveryLayoutExactly) {
    std::mt19937 rng(8);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(Name(c));
        const PictureBuffer pic(c.width, c.height, rng);
        const bool bgr = IsBgr(c.fourcc);
        const ptrdiff_t chromaPitch = (c.pitch / 2) + (c.pitch < 0 ? -3 : 3);
        Plane plane0(c.height, c.pitch), plane1(c.height / 2, chromaPitch),
            plane2(c.height / 2, -chromaPitch);
        Plane want0 = plane0, want1 = plane1, want2 = plane2;

        OutputPicture out{};
        out.width = c.width;
        out.height = c.height;
        out.fourcc = c.fourcc;
        out.plane[0] = plane0.Pointer(bgr);
        out.plane[1] = plane1.Pointer(bgr);
        out.plane[2] = plane2.Pointer(bgr);
        out.pitch[0] = plane0.pitch;
        out.pitch[1] = plane1.pitch;
        out.pitch[2] = plane2.pitch;
        DeliverPicture(out, pic.bytes.data(), c.fourcc);

        const auto firstRow = [](const Plane& p) {
            return static_cast<ptrdiff_t>(p.pitch >= 0 ? kGuard : kGuard + (p.rows - 1) * -p.pitch);
        };
        if (IsPlanar(c.fourcc)) {
            // Plane 1 is V and plane 2 is U, each with its own pitch.
            Paint(want0.bytes, firstRow(want0), want0.pitch, c.height,
                  [&](uint32_t r) { return LumaRow(pic, r); });
            Paint(want1.bytes, firstRow(want1), want1.pitch, c.height / 2, [&](uint32_t r) {
                return std::vector<uint8_t>(pic.V(r), pic.V(r) + c.width / 2);
            });
            Paint(want2.bytes, firstRow(want2), want2.pitch, c.height / 2, [&](uint32_t r) {
                return std::vector<uint8_t>(pic.U(r), pic.U(r) + c.width / 2);
            });
        } else if (bgr) {
            // Positive pitch: bottom-up from the last row; negative: top-down.
            const ptrdiff_t absPitch = std::abs(c.pitch);
            const bool bottomUp = c.pitch > 0;
            Paint(want0.bytes, kGuard + (bottomUp ? (c.height - 1) * absPitch : 0),
                  bottomUp ? -absPitch : absPitch, PackedRows(c.height),
                  [&](uint32_t r) { return ExpectedRow(pic, c.fourcc, r); });
        } else {
            // Packed: the pitch as given.
            Paint(want0.bytes, firstRow(want0), want0.pitch, PackedRows(c.height),
                  [&](uint32_t r) { return ExpectedRow(pic, c.fourcc, r); });
        }
        EXPECT_TRUE(plane0.bytes == want0.bytes);
        EXPECT_TRUE(plane1.bytes == want1.bytes);
        EXPECT_TRUE(plane2.bytes == want2.bytes);
    }
}

TEST(Delivery, UnknownFourccWritesNothing) {
    std::mt19937 rng(9);
    const PictureBuffer pic(16, 8, rng);
    for (uint32_t fourcc :
         {kG565, AVS_FOURCC('Y', 'U', 'Y', 'V'), AVS_FOURCC('B', 'G', 'R', 'A'), 0u}) {
        std::vector<uint8_t> buffer(16 * 8 * 4, kFill);
        DeliverToBuffer(buffer.data(), pic.bytes.data(), 16, 8, fourcc, -32);
        DeliverToBuffer(buffer.data(), pic.bytes.data(), 16, 8, fourcc, 64);
        OutputPicture out{};
        out.width = 16;
        out.height = 8;
        out.fourcc = fourcc;
        out.plane[0] = out.plane[1] = out.plane[2] = buffer.data();
        out.pitch[0] = out.pitch[1] = out.pitch[2] = 64;
        DeliverPicture(out, pic.bytes.data(), fourcc);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == kFill; }))
            << std::hex << fourcc;
    }
}

std::vector<uint8_t> ExpectedBgr4(const PictureBuffer& pic) {
    std::vector<uint8_t> want(size_t{pic.width} * pic.height * 4);
    for (uint32_t r = 0; r < pic.height; ++r) {
        const auto row = ExpectedRow(pic, AVS_FOURCC_BGR4, r);
        std::copy(row.begin(), row.end(), want.begin() + size_t{r} * pic.width * 4);
    }
    return want;
}

// A 1080-row picture converts in bands on the shared workers; the result is
// the same as for any other split, and repeated deliveries reuse the pool.
TEST(Delivery, LargePictureThroughTheWorkers) {
    std::mt19937 rng(10);
    const PictureBuffer pic(1920, 1080, rng);
    const std::vector<uint8_t> want = ExpectedBgr4(pic);
    std::vector<uint8_t> got(want.size());
    for (int run = 0; run < 3; ++run) {
        std::fill(got.begin(), got.end(), 0);
        DeliverToBuffer(got.data(), pic.bytes.data(), 1920, 1080, AVS_FOURCC_BGR4, -1920 * 4);
        EXPECT_TRUE(got == want) << "run " << run;
    }
}

// While one conversion holds the workers, another converts on its own thread.
TEST(Delivery, ConvertsWhileAnotherConversionHoldsTheWorkers) {
    std::mt19937 rng(11);
    const PictureBuffer pic(64, 48, rng);
    const std::vector<uint8_t> want = ExpectedBgr4(pic);
    Event held(true, false), release(true, false);
    std::thread holder([&] {
        SharedPoolLease lease;
        held.Set();
        release.Wait(kWaitInfinite);
    });
    held.Wait(kWaitInfinite);
    std::vector<uint8_t> got(want.size());
    DeliverToBuffer(got.data(), pic.bytes.data(), 64, 48, AVS_FOURCC_BGR4, -64 * 4);
    release.Set();
    holder.join();
    EXPECT_TRUE(got == want);
}

// Streams on different threads deliver at the same time.
TEST(Delivery, ConcurrentStreams) {
    std::mt19937 rng(12);
    const PictureBuffer a(96, 64, rng), b(48, 96, rng);
    const std::vector<uint8_t> wantA = ExpectedBgr4(a), wantB = ExpectedBgr4(b);
    const auto stream = [](const PictureBuffer& pic, const std::vector<uint8_t>& want, int* bad) {
        std::vector<uint8_t> got(want.size());
        for (int i = 0; i < 20; ++i) {
            std::fill(got.begin(), got.end(), 0);
            DeliverToBuffer(got.data(), pic.bytes.data(), pic.width, pic.height, AVS_FOURCC_BGR4,
                            -static_cast<int32_t>(pic.width * 4));
            if (got != want) ++*bad;
        }
    };
    int badA = 0, badB = 0;
    std::thread first(stream, std::cref(a), std::cref(wantA), &badA);
    std::thread second(stream, std::cref(b), std::cref(wantB), &badB);
    first.join();
    second.join();
    EXPECT_EQ(badA, 0);
    EXPECT_EQ(badB, 0);
}

}  // namespace
}  // namespace avs
