// The dispatchers against the interpolation formulas evaluated on a picture
// whose edges replicate without end: vectors from small to corrupt, folded as
// the decoder folds them (far outside the picture, where no conformance stream
// reaches), every block shape, one or two references, with or without residual.
// Only the block may change. And each of the 16 luma fractions of the plain
// kernels against its taps (the variants match the plain kernels byte for byte).
#include "decode/motion_compensation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "decode/kernel_table.h"
#include "decode/luma_taps.h"
#include "decode/mc_kernels.h"
#include "decode/mv_prediction.h"
#include "decode/test_frame.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

constexpr int kMbWidth = 3;
constexpr int kMbHeight = 2;
constexpr int kWidth = 16 * kMbWidth;
constexpr int kHeight = 16 * kMbHeight;

// A picture whose planes hold random samples in the decoded area and their
// replicated edges in the margins, as reference pictures do.
class Reference {
  public:
    Reference(std::mt19937& rng) : frame_(kWidth, kHeight) {
        for (int plane = 0; plane < 3; ++plane) {
            const int w = plane ? kWidth / 2 : kWidth, h = plane ? kHeight / 2 : kHeight;
            const int margin = plane ? kChromaMargin : kLumaMargin;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) At(plane, x, y) = static_cast<uint8_t>(rng());
            }
            for (int y = -margin; y < h + margin; ++y) {
                for (int x = -margin; x < w + margin; ++x) At(plane, x, y) = Sample(plane, x, y);
            }
        }
    }
    const DecodedFrame& f() const { return frame_.f; }
    // Any coordinate: the nearest sample of the decoded area.
    int Y(int x, int y) const { return Sample(0, x, y); }
    int Cb(int x, int y) const { return Sample(1, x, y); }
    int Cr(int x, int y) const { return Sample(2, x, y); }

  private:
    uint8_t& At(int plane, int x, int y) const {
        const DecodedFrame& f = frame_.f;
        uint8_t* origin = plane == 0 ? f.lumaPlane : plane == 1 ? f.cbPlane : f.crPlane;
        return origin[y * (plane ? f.chromaPitch : f.lumaPitch) + x];
    }
    uint8_t Sample(int plane, int x, int y) const {
        const int w = plane ? kWidth / 2 : kWidth, h = plane ? kHeight / 2 : kHeight;
        return At(plane, std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1));
    }

    test::TestFrame frame_;
};

// A picture whose planes (margins included) start with a pattern; only the
// block may change.
test::TestFrame Destination() {
    test::TestFrame t(kWidth, kHeight);
    auto pattern = [](uint8_t* origin, ptrdiff_t pitch, int margin, size_t size) {
        uint8_t* start = origin - margin * pitch - margin;
        for (size_t i = 0; i < size; ++i) start[i] = static_cast<uint8_t>(i * 7 + 3);
    };
    pattern(t.f.lumaPlane, t.f.lumaPitch, kLumaMargin, t.LumaBuffer().size());
    pattern(t.f.cbPlane, t.f.chromaPitch, kChromaMargin, t.CbBuffer().size());
    pattern(t.f.crPlane, t.f.chromaPitch, kChromaMargin, t.CrBuffer().size());
    return t;
}

int32_t RandomComponent(std::mt19937& rng) {
    switch (rng() % 4) {
        case 0:
            return static_cast<int32_t>(rng() % 401) - 200;
        case 1:
            return static_cast<int32_t>(rng() % 8001) - 4000;
        case 2:
            return static_cast<int32_t>(rng());  // corrupt: anything at all
        default:
            return (rng() & 1) ? INT32_MAX : INT32_MIN;
    }
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The luma sample at picture position (x, y) moved by a folded vector.
int LumaExpected(const Reference& ref, int x, int y, MotionVector mv) {
    const int qx = 4 * x + mv.x, qy = 4 * y + mv.y;
    const int X = FloorDiv(qx, 4), Y = FloorDiv(qy, 4);
    return test::LumaByTaps([&](int dx, int dy) { return ref.Y(X + dx, Y + dy); }, qx - 4 * X,
                            qy - 4 * Y);
}

// Bilinear chroma at eighth-sample position (px, py) of `s`.
template <class Sample>
int ChromaExpected(Sample s, int px, int py) {
    const int ax = px & 7, ay = py & 7, x = px >> 3, y = py >> 3;
    return ((8 - ax) * (8 - ay) * s(x, y) + ax * (8 - ay) * s(x + 1, y) +
            (8 - ax) * ay * s(x, y + 1) + ax * ay * s(x + 1, y + 1) + 32) >>
           6;
}

uint8_t Clip(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

struct Shape {
    ChromaBlock shape;
    int w, h;
    int blocks[4];  // the block indices that name its parts
};
constexpr Shape kShapes[] = {{ChromaBlock::k8x8, 8, 8, {0, 0, 0, 0}},
                             {ChromaBlock::k8x4, 8, 4, {0, 2, 0, 2}},
                             {ChromaBlock::k4x8, 4, 8, {0, 1, 0, 1}},
                             {ChromaBlock::k4x4, 4, 4, {0, 1, 2, 3}}};

TEST(MotionCompensation, FoldedVectorsReadTheReplicatedEdge) {
    FillKernelTable();
    std::mt19937 rng(3);
    const Reference ref0(rng), ref1(rng);
    for (int trial = 0; trial < 1200; ++trial) {
        const int mbx = rng() % kMbWidth, mby = rng() % kMbHeight;
        const bool bi = trial & 1;
        MotionVector mv0{RandomComponent(rng), RandomComponent(rng)};
        MotionVector mv1{RandomComponent(rng), RandomComponent(rng)};
        if (trial % 3 == 0) mv0 = {mv0.x / 2 - 300, mv0.y / 2 - 300};  // up and left
        // A picture narrower than its decoded area: vectors fold at its width.
        ClipMotionVector(mv0, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        ClipMotionVector(mv1, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        MacroblockResidual buffers{};
        for (int16_t& v : buffers.luma[0]) v = static_cast<int16_t>(int(rng() % 512) - 256);
        for (int16_t* b :
             {buffers.luma[1], buffers.luma[2], buffers.luma[3], buffers.cb, buffers.cr}) {
            if (rng() % 3 == 0) continue;  // an uncoded block stays zero
            for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(int(rng() % 512) - 256);
        }
        SCOPED_TRACE(testing::Message()
                     << "trial " << trial << " vector " << mv0.x << "," << mv0.y << " bi " << bi);

        const int block = rng() % 5;  // 0..3 or kWholeMacroblock
        const bool whole = block == kWholeMacroblock;
        const int16_t* residual = trial % 4 < 2 ? nullptr
                                  : whole       ? buffers.luma[0]
                                                : buffers.luma[block];
        const int size = whole ? 16 : 8;
        const int x0 = 16 * mbx + (whole ? 0 : 8 * (block & 1));
        const int y0 = 16 * mby + (whole ? 0 : 8 * (block >> 1));
        test::TestFrame dst = Destination(), want = Destination();
        for (int r = 0; r < size; ++r) {
            for (int c = 0; c < size; ++c) {
                int p = LumaExpected(ref0, x0 + c, y0 + r, mv0);
                if (bi) p = (p + LumaExpected(ref1, x0 + c, y0 + r, mv1) + 1) >> 1;
                // A whole macroblock's residual is its four blocks in block order.
                const int k = whole ? 64 * (r / 8 * 2 + c / 8) + 8 * (r % 8) + c % 8 : 8 * r + c;
                want.Y(x0 + c, y0 + r) = Clip(p + (residual ? residual[k] : 0));
            }
        }
        if (bi) {
            MotionCompensateLumaBi(dst.f, ref0.f(), ref1.f(), residual, mbx, mby, block, mv0, mv1);
        } else {
            MotionCompensateLuma(dst.f, ref0.f(), residual, mbx, mby, block, mv0);
        }
        ASSERT_EQ(dst.LumaBuffer(), want.LumaBuffer()) << "luma block " << block;

        const Shape& s = kShapes[rng() % 4];
        const int part = s.blocks[rng() % 4];
        const bool chromaBi = bi && (s.w == s.h);  // two references: 8x8 and 4x4 only
        const int cx = s.w == 8 ? 0 : 4 * (part & 1), cy = s.h == 8 ? 0 : 4 * (part >> 1);
        for (int r = 0; r < s.h; ++r) {
            for (int c = 0; c < s.w; ++c) {
                const int x = 8 * mbx + cx + c, y = 8 * mby + cy + r;
                auto predict = [&](auto sample0, auto sample1) {
                    int p = ChromaExpected(sample0, mv0.x + 8 * x, mv0.y + 8 * y);
                    if (chromaBi) {
                        p = (p + ChromaExpected(sample1, mv1.x + 8 * x, mv1.y + 8 * y) + 1) >> 1;
                    }
                    return p;
                };
                const int k = 8 * (cy + r) + cx + c;
                want.Cb(x, y) = Clip(predict([&](int u, int v) { return ref0.Cb(u, v); },
                                             [&](int u, int v) { return ref1.Cb(u, v); }) +
                                     buffers.cb[k]);
                want.Cr(x, y) = Clip(predict([&](int u, int v) { return ref0.Cr(u, v); },
                                             [&](int u, int v) { return ref1.Cr(u, v); }) +
                                     buffers.cr[k]);
            }
        }
        if (chromaBi) {
            MotionCompensateChromaBi(s.shape, dst.f, ref0.f(), ref1.f(), buffers, mbx, mby, part,
                                     mv0, mv1);
        } else {
            MotionCompensateChroma(s.shape, dst.f, ref0.f(), buffers, mbx, mby, part, mv0);
        }
        ASSERT_EQ(dst.CbBuffer(), want.CbBuffer()) << "chroma " << s.w << "x" << s.h << " " << part;
        ASSERT_EQ(dst.CrBuffer(), want.CrBuffer()) << "chroma " << s.w << "x" << s.h << " " << part;
    }
}

// Every fraction and size of the plain luma kernels on random reference
// blocks: the prediction, plus a residual, averaged with another prediction
// (rounded), and both; each clipped before the next step.
TEST(McLuma, EveryFractionMatchesItsTaps) {
    KernelTable table{};
    InstallMcKernels(table, cpu::kAlways);
    std::mt19937 rng(1);
    constexpr int kRef = 40, kAt = 16 * kRef + 16;  // room for the reads of a 16x16 block
    for (int trial = 0; trial < 8; ++trial) {
        std::vector<uint8_t> ref(kRef * kRef), other(256);
        // Extremes half the time drive every intermediate towards its bounds.
        for (uint8_t& v : ref) v = static_cast<uint8_t>(trial % 2 ? rng() : (rng() & 1) * 255);
        for (uint8_t& v : other) v = static_cast<uint8_t>(rng());
        std::vector<int16_t> residual(256);
        for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 601) - 300);
        for (int size = 0; size < kLumaSizes; ++size) {
            const int w = 8 << size;
            for (int f = 0; f < 16; ++f) {
                const int fx = f % 4, fy = f / 4;
                uint8_t plain[256], added[256], averaged[256], both[256];
                const uint8_t* at = ref.data() + kAt;
                table.McLumaAdd[size][fx][fy](plain, w, at, kRef, nullptr);
                table.McLumaAdd[size][fx][fy](added, w, at, kRef, residual.data());
                table.McLumaAvgAdd[size][fx][fy](averaged, w, at, kRef, other.data(), nullptr);
                table.McLumaAvgAdd[size][fx][fy](both, w, at, kRef, other.data(), residual.data());
                for (int i = 0; i < w * w; ++i) {
                    const int r = i / w, c = i % w;
                    const int e = test::LumaByTaps(
                        [&](int dx, int dy) { return int{at[(r + dy) * kRef + c + dx]}; }, fx, fy);
                    const int avg = (e + other[i] + 1) >> 1;
                    // The residual of a 16x16 block is its four 8x8 blocks in block order.
                    const int res =
                        residual[64 * ((r / 8) * (w / 8) + c / 8) + 8 * (r % 8) + c % 8];
                    SCOPED_TRACE(testing::Message() << "width " << w << " fraction " << fx << ","
                                                    << fy << " sample " << i);
                    ASSERT_EQ(plain[i], e);
                    ASSERT_EQ(added[i], Clip(e + res));
                    ASSERT_EQ(averaged[i], avg);
                    ASSERT_EQ(both[i], Clip(avg + res));
                }
            }
        }
    }
}

}  // namespace
}  // namespace avs
