// The dispatchers against the interpolation formulas evaluated on a picture
// whose edges replicate without end: vectors from small to corrupt, folded as
// the decoder folds them (far outside the picture, where no conformance stream
// reaches), every block shape, one or two references, with or without residual,
// on noise and on extremes. Only the block may change.
#include "decode/motion_compensation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "decode/kernel_table.h"
#include "decode/mv_prediction.h"
#include "decode/test_frame.h"

namespace avs {
namespace {

constexpr int kMbWidth = 3;
constexpr int kMbHeight = 2;
constexpr int kWidth = 16 * kMbWidth;
constexpr int kHeight = 16 * kMbHeight;

// A picture whose planes hold random samples in the decoded area and their
// replicated edges in the margins, as reference pictures do. Samples of only 0
// and 255 drive every intermediate of the interpolations towards its bounds.
class Reference {
  public:
    Reference(std::mt19937& rng, bool extremes) : frame_(kWidth, kHeight) {
        for (int plane = 0; plane < 3; ++plane) {
            const int w = plane ? kWidth / 2 : kWidth, h = plane ? kHeight / 2 : kHeight;
            const int margin = plane ? kChromaMargin : kLumaMargin;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x)
                    At(plane, x, y) = static_cast<uint8_t>(extremes ? (rng() & 1) * 255 : rng());
            }
            for (int y = -margin; y < h + margin; ++y) {
                for (int x = -margin; x < w + margin; ++x) At(plane, x, y) = Sample(plane, x, y);
            }
        }
    }
    const DecodedFrame& f() const { return frame_.f; }
    // Any coordinate of plane 0 (luma), 1 (Cb) or 2 (Cr): the nearest sample
    // of the decoded area.
    uint8_t Sample(int plane, int x, int y) const {
        const int w = plane ? kWidth / 2 : kWidth, h = plane ? kHeight / 2 : kHeight;
        return At(plane, std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1));
    }

  private:
    uint8_t& At(int plane, int x, int y) const {
        const DecodedFrame& f = frame_.f;
        uint8_t* origin = plane == 0 ? f.lumaPlane : plane == 1 ? f.cbPlane : f.crPlane;
        return origin[y * (plane ? f.chromaPitch : f.lumaPitch) + x];
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

// Luma taps on offsets -2..3 of fractions 0..3, and the shift that removes their scale.
constexpr int kLumaTaps[4][6] = {
    {0, 0, 1, 0, 0, 0}, {-1, -2, 96, 42, -7, 0}, {0, -1, 5, 5, -1, 0}, {0, -7, 42, 96, -2, -1}};
constexpr int kLumaTapShift[4] = {0, 7, 3, 7};

// The luma sample at picture position (x, y) moved by a folded vector: the
// product of two tap sets, or for the diagonal quarters the rounded mean of
// the nearest whole sample and the centre half-sample.
int LumaExpected(const Reference& ref, int x, int y, MotionVector mv) {
    const int qx = 4 * x + mv.x, qy = 4 * y + mv.y;
    const int X = FloorDiv(qx, 4), Y = FloorDiv(qy, 4), fx = qx - 4 * X, fy = qy - 4 * Y;
    auto taps = [&](int tx, int ty) {
        int sum = 0;
        for (int j = 0; j < 6; ++j) {
            for (int i = 0; i < 6; ++i)
                sum += kLumaTaps[tx][i] * kLumaTaps[ty][j] * ref.Sample(0, X + i - 2, Y + j - 2);
        }
        return sum;
    };
    if (fx % 2 == 1 && fy % 2 == 1) {
        const int whole = ref.Sample(0, X + (fx == 3), Y + (fy == 3));
        return std::clamp((64 * whole + taps(2, 2) + 64) >> 7, 0, 255);
    }
    const int shift = kLumaTapShift[fx] + kLumaTapShift[fy];
    return std::clamp((taps(fx, fy) + ((1 << shift) >> 1)) >> shift, 0, 255);
}

// Bilinear chroma of `plane` at eighth-sample position (px, py).
int ChromaExpected(const Reference& ref, int plane, int px, int py) {
    const int ax = px & 7, ay = py & 7, x = px >> 3, y = py >> 3;
    auto s = [&](int u, int v) { return int{ref.Sample(plane, u, v)}; };
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
    const Reference noise(rng, false), extremes(rng, true);
    for (int trial = 0; trial < 1200; ++trial) {
        const Reference& ref0 = trial & 4 ? extremes : noise;
        const Reference& ref1 = trial & 4 ? noise : extremes;
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
                const int x = 8 * mbx + cx + c, y = 8 * mby + cy + r, k = 8 * (cy + r) + cx + c;
                for (int plane = 1; plane <= 2; ++plane) {
                    int p = ChromaExpected(ref0, plane, mv0.x + 8 * x, mv0.y + 8 * y);
                    if (chromaBi) {
                        p = (p + ChromaExpected(ref1, plane, mv1.x + 8 * x, mv1.y + 8 * y) + 1) >>
                            1;
                    }
                    (plane == 1 ? want.Cb(x, y) : want.Cr(x, y)) =
                        Clip(p + (plane == 1 ? buffers.cb : buffers.cr)[k]);
                }
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

}  // namespace
}  // namespace avs
