// Both delivery entry points (requests 1 and 0x10007) against the layouts
// computed here straight from their definitions.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "convert/convert.h"
#include "convert/convert_test_util.h"
#include "convert/shared_pool.h"
#include "platform/threads.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define AVSDEC_CLANG_TSAN 1
#endif
#endif

namespace avs {
namespace {

constexpr ptrdiff_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;
constexpr uint32_t kLayouts[] = {AVS_FOURCC_YV12, AVS_FOURCC_YUY2, AVS_FOURCC_UYVY, AVS_FOURCC_BGR3,
                                 AVS_FOURCC_BGR4};

bool IsBgr(uint32_t fourcc) {
    return fourcc == AVS_FOURCC_BGR3 || fourcc == AVS_FOURCC_BGR4;
}
uint32_t BytesPerPixel(uint32_t fourcc) {
    return fourcc == AVS_FOURCC_BGR4 ? 4 : fourcc == AVS_FOURCC_BGR3 ? 3 : 2;
}

// The picture buffer: Y, then V at W*H, then U at W*H + W*H/4.
struct PictureBuffer {
    uint32_t width, height;
    std::vector<uint8_t> bytes;
    PictureBuffer(uint32_t w, uint32_t h, std::mt19937& rng)
        : width(w), height(h), bytes(test::RandomBytes(size_t{w} * h * 2, rng)) {}
    const uint8_t* Y(uint32_t row) const { return &bytes[size_t{row} * width]; }
    const uint8_t* V(uint32_t row) const { return &bytes[Area() + size_t{row} * (width / 2)]; }
    const uint8_t* U(uint32_t row) const {
        return &bytes[Area() + Area() / 4 + size_t{row} * (width / 2)];
    }
    size_t Area() const { return size_t{width} * height; }
};

// Row `row` of a packed or BGR layout: the width/2 pairs, nothing more.
std::vector<uint8_t> ExpectedRow(const PictureBuffer& pic, uint32_t fourcc, uint32_t row) {
    std::vector<uint8_t> out;
    const uint8_t *y = pic.Y(row), *u = pic.U(row / 2), *v = pic.V(row / 2);
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

// Where a plane's row 0 lies in a buffer and how far apart its rows are.
struct Target {
    std::vector<uint8_t>* bytes;
    ptrdiff_t first, step;
};

void Paint(const Target& t, uint32_t rows, const auto& row) {
    for (uint32_t r = 0; r < rows; ++r) {
        const std::vector<uint8_t> bytes = row(r);
        const ptrdiff_t at = t.first + static_cast<ptrdiff_t>(r) * t.step;
        ASSERT_TRUE(at >= 0 && at + bytes.size() <= t.bytes->size());
        std::copy(bytes.begin(), bytes.end(), t.bytes->begin() + at);
    }
}

// What a layout puts into its planes: every Y row and H/2 rows of V and U
// for "YV12", whole pairs of rows for the others.
void PaintExpected(const PictureBuffer& pic, uint32_t fourcc, Target plane0, Target v, Target u) {
    const uint32_t w = pic.width, h = pic.height;
    if (fourcc != AVS_FOURCC_YV12) {
        Paint(plane0, h & ~1u, [&](uint32_t r) { return ExpectedRow(pic, fourcc, r); });
        return;
    }
    Paint(plane0, h, [&](uint32_t r) { return std::vector<uint8_t>(pic.Y(r), pic.Y(r) + w); });
    Paint(v, h / 2, [&](uint32_t r) { return std::vector<uint8_t>(pic.V(r), pic.V(r) + w / 2); });
    Paint(u, h / 2, [&](uint32_t r) { return std::vector<uint8_t>(pic.U(r), pic.U(r) + w / 2); });
}

struct Case {
    uint32_t fourcc, width, height;
    int32_t pitch;
};

// For every layout: its default pitch, the other sign, and wider pitches of
// both signs (the padding stays untouched); odd sizes and sizes beyond one
// vector step.
std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (uint32_t fourcc : kLayouts) {
        for (auto [w, h] : {std::pair{22u, 10u}, {33u, 7u}, {100u, 18u}, {6u, 2u}}) {
            const auto tight =
                static_cast<int32_t>(fourcc == AVS_FOURCC_YV12 ? w : w * BytesPerPixel(fourcc));
            const int32_t byDefault = IsBgr(fourcc) ? -tight : tight;
            for (int32_t pitch : {byDefault, -byDefault, tight + 10, -tight - 10}) {
                cases.push_back({fourcc, w, h, pitch});
            }
        }
    }
    return cases;
}

std::string Name(const Case& c) {
    return std::string(reinterpret_cast<const char*>(&c.fourcc), 4) + " " +
           std::to_string(c.width) + "x" + std::to_string(c.height) + " pitch " +
           std::to_string(c.pitch);
}

TEST(Delivery, BothEntryPointsWriteEveryLayoutExactly) {
    std::mt19937 rng(7);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(Name(c));
        const PictureBuffer pic(c.width, c.height, rng);
        const SourcePicture source = PackedSource(pic.bytes.data(), c.width, c.height);
        const ptrdiff_t p = std::abs(c.pitch);
        // Request 1, one buffer: "YV12" is top-down with |pitch|, then V and
        // U with |pitch|/2; BGR is bottom-up for a positive pitch; packed is
        // top-down with |pitch|.
        std::vector<uint8_t> buffer(2 * kGuard + p * c.height * 2, kFill), wantBuffer = buffer;
        DeliverToBuffer(buffer.data() + kGuard, source, c.fourcc, c.pitch);
        const bool bottomUp = IsBgr(c.fourcc) && c.pitch > 0;
        const ptrdiff_t luma = p * c.height;
        PaintExpected(
            pic, c.fourcc, {&wantBuffer, kGuard + (bottomUp ? luma - p : 0), bottomUp ? -p : p},
            {&wantBuffer, kGuard + luma, p / 2}, {&wantBuffer, kGuard + luma + luma / 4, p / 2});
        EXPECT_TRUE(buffer == wantBuffer) << "request 1";

        // Request 0x10007, three planes; V and U with pitches of their own
        // and opposite signs.
        const ptrdiff_t chroma = (c.pitch < 0 ? -1 : 1) * (p / 2 + 3);
        const ptrdiff_t pitches[3] = {c.pitch, chroma, -chroma};
        const uint32_t rows[3] = {c.height, c.height / 2, c.height / 2};
        std::vector<uint8_t> got[3], want[3];
        Target targets[3];
        OutputPicture out{c.width, c.height, c.fourcc, 0, {}, 0, {}};
        for (int k = 0; k < 3; ++k) {
            const ptrdiff_t pk = std::abs(pitches[k]);
            got[k].assign(2 * kGuard + pk * rows[k], kFill);
            want[k] = got[k];
            // A negative pitch starts at the last row in memory, except for
            // BGR, which takes the lowest address and picks its direction.
            const ptrdiff_t last = pk * (rows[k] - 1);
            const bool fromLast = pitches[k] < 0 && !IsBgr(c.fourcc);
            out.plane[k] = got[k].data() + kGuard + (fromLast ? last : 0);
            out.pitch[k] = pitches[k];
            targets[k] = {&want[k], kGuard + (fromLast ? last : 0), pitches[k]};
        }
        if (IsBgr(c.fourcc)) {  // bottom-up for a positive pitch
            targets[0] = {&want[0], kGuard + (bottomUp ? p * (c.height - 1) : 0),
                          bottomUp ? -p : p};
        }
        DeliverPicture(out, source, c.fourcc);
        // Plane 1 is V and plane 2 is U.
        PaintExpected(pic, c.fourcc, targets[0], targets[1], targets[2]);
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(got[k] == want[k]) << "request 0x10007, plane " << k;
    }
}

TEST(Delivery, UnknownFourccWritesNothing) {
    std::mt19937 rng(9);
    const PictureBuffer pic(16, 8, rng);
    for (uint32_t fourcc : {AVS_FOURCC('G', '5', '6', '5'), AVS_FOURCC('Y', 'U', 'Y', 'V'),
                            AVS_FOURCC('B', 'G', 'R', 'A'), 0u}) {
        std::vector<uint8_t> buffer(16 * 8 * 4, kFill);
        DeliverToBuffer(buffer.data(), PackedSource(pic.bytes.data(), 16, 8), fourcc, -32);
        DeliverToBuffer(buffer.data(), PackedSource(pic.bytes.data(), 16, 8), fourcc, 64);
        OutputPicture out{16, 8,           fourcc, 0, {buffer.data(), buffer.data(), buffer.data()},
                          0,  {64, 64, 64}};
        DeliverPicture(out, PackedSource(pic.bytes.data(), 16, 8), fourcc);
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), kFill), buffer.size()) << fourcc;
    }
}

// "BGR4" top-down, and what it should be.
std::vector<uint8_t> DeliverBgr4(const PictureBuffer& pic) {
    std::vector<uint8_t> got(pic.Area() * 4);
    DeliverToBuffer(got.data(), PackedSource(pic.bytes.data(), pic.width, pic.height),
                    AVS_FOURCC_BGR4, -static_cast<int32_t>(pic.width * 4));
    return got;
}
std::vector<uint8_t> ExpectedBgr4(const PictureBuffer& pic) {
    std::vector<uint8_t> want(pic.Area() * 4);
    PaintExpected(pic, AVS_FOURCC_BGR4, {&want, 0, pic.width * 4}, {}, {});
    return want;
}

// Pictures of a million pixels and more are converted in bands on the shared
// workers. While one conversion holds them, another converts on its own
// thread; streams on different threads deliver at the same time.
constexpr uint32_t kLarge = 1024;  // a kLarge x kLarge picture takes the workers

TEST(Delivery, ConversionsOnSeveralThreads) {
    std::mt19937 rng(11);
    const PictureBuffer a(kLarge, kLarge, rng), b(kLarge / 2, 2 * kLarge, rng);
    const std::vector<uint8_t> wantA = ExpectedBgr4(a), wantB = ExpectedBgr4(b);

    Event held(true, false), release(true, false);
    std::thread holder([&] {
        SharedPoolLease lease;
        held.Set();
        release.Wait(kWaitInfinite);
    });
    held.Wait(kWaitInfinite);
    EXPECT_TRUE(DeliverBgr4(a) == wantA);
    release.Set();
    holder.join();

    int bad = 0;
    std::thread other([&] {
        for (int i = 0; i < 4; ++i) bad += DeliverBgr4(b) != wantB;
    });
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(DeliverBgr4(a) == wantA);
    other.join();
    EXPECT_EQ(bad, 0);
}

// A child made by fork() has none of its parent's workers; it must still
// convert (with workers of its own) instead of waiting for them forever.
TEST(Delivery, ForkedChildConverts) {
#if defined(__SANITIZE_THREAD__) || defined(AVSDEC_CLANG_TSAN)
    GTEST_SKIP() << "ThreadSanitizer does not follow fork() of a threaded process";
#endif
    std::mt19937 rng(13);
    const PictureBuffer pic(kLarge, kLarge, rng);
    const std::vector<uint8_t> want = ExpectedBgr4(pic);
    EXPECT_TRUE(DeliverBgr4(pic) == want);  // the workers run
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20);  // a hang ends the child with a signal
        _exit(DeliverBgr4(pic) == want ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace avs
