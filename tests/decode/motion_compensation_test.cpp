// The dispatchers: a folded vector, anywhere around the picture, reads what
// edge replication of the decoded area gives, and only the block is written.
#include "decode/motion_compensation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "decode/luma_taps.h"
#include "decode/mv_prediction.h"
#include "decode/test_frame.h"
#include "platform/kernel_table.h"

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
        Fill(rng, frame_.f.lumaPlane, frame_.f.lumaPitch, kWidth, kHeight, kLumaMargin, luma_);
        Fill(rng, frame_.f.cbPlane, frame_.f.chromaPitch, kWidth / 2, kHeight / 2, kChromaMargin,
             cb_);
        Fill(rng, frame_.f.crPlane, frame_.f.chromaPitch, kWidth / 2, kHeight / 2, kChromaMargin,
             cr_);
    }
    const DecodedFrame& f() const { return frame_.f; }
    // Any coordinate: the nearest sample of the decoded area.
    int Y(int x, int y) const { return At(luma_, kWidth, kHeight, x, y); }
    int Cb(int x, int y) const { return At(cb_, kWidth / 2, kHeight / 2, x, y); }
    int Cr(int x, int y) const { return At(cr_, kWidth / 2, kHeight / 2, x, y); }

  private:
    static void Fill(std::mt19937& rng, uint8_t* origin, ptrdiff_t pitch, int w, int h, int margin,
                     std::vector<uint8_t>& area) {
        area.resize(w * h);
        for (uint8_t& s : area) s = static_cast<uint8_t>(rng());
        for (int y = -margin; y < h + margin; ++y) {
            for (int x = -margin; x < w + margin; ++x) origin[y * pitch + x] = At(area, w, h, x, y);
        }
    }
    static uint8_t At(const std::vector<uint8_t>& area, int w, int h, int x, int y) {
        return area[std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1)];
    }

    test::TestFrame frame_;
    std::vector<uint8_t> luma_, cb_, cr_;
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

void CompensateLuma(test::TestFrame& dst, const Reference& ref0, const Reference& ref1, bool bi,
                    const int16_t* residual, int mbx, int mby, int block, MotionVector mv0,
                    MotionVector mv1) {
    if (bi) {
        MotionCompensateLumaBi(dst.f, ref0.f(), ref1.f(), residual, mbx, mby, block, mv0, mv1);
    } else {
        MotionCompensateLuma(dst.f, ref0.f(), residual, mbx, mby, block, mv0);
    }
}

TEST(MotionCompensation, FoldedLumaVectorsReadTheReplicatedEdge) {
    FillKernelTable();
    std::mt19937 rng(3);
    const Reference ref0(rng), ref1(rng);
    for (int trial = 0; trial < 800; ++trial) {
        const int mbx = rng() % kMbWidth, mby = rng() % kMbHeight;
        const int block = rng() % 5;  // 0..3 or kWholeMacroblock
        const bool bi = trial & 1;
        MotionVector mv0{RandomComponent(rng), RandomComponent(rng)};
        MotionVector mv1{RandomComponent(rng), RandomComponent(rng)};
        // A picture narrower than its decoded area: vectors fold at its width.
        ClipMotionVector(mv0, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        ClipMotionVector(mv1, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        test::TestFrame dst = Destination();
        std::vector<uint8_t> expected = dst.LumaBuffer();
        const bool whole = block == kWholeMacroblock;
        const int size = whole ? 16 : 8;
        const int x0 = 16 * mbx + (whole ? 0 : 8 * (block & 1));
        const int y0 = 16 * mby + (whole ? 0 : 8 * (block >> 1));
        const ptrdiff_t origin = dst.f.lumaPlane - dst.LumaBuffer().data();
        for (int r = 0; r < size; ++r) {
            for (int c = 0; c < size; ++c) {
                int p = LumaExpected(ref0, x0 + c, y0 + r, mv0);
                if (bi) p = (p + LumaExpected(ref1, x0 + c, y0 + r, mv1) + 1) >> 1;
                expected[origin + (y0 + r) * dst.f.lumaPitch + x0 + c] = static_cast<uint8_t>(p);
            }
        }
        CompensateLuma(dst, ref0, ref1, bi, nullptr, mbx, mby, block, mv0, mv1);
        ASSERT_EQ(dst.LumaBuffer(), expected)
            << "vector " << mv0.x << "," << mv0.y << " block " << block;
    }
}

TEST(MotionCompensation, NegativeVectorsKeepAFractionOfZeroToThree) {
    FillKernelTable();
    std::mt19937 rng(4);
    const Reference ref(rng);
    struct Case {
        int mvx;
        int column;  // integer column of block 1 of macroblock 0 (starts at 8)
        int fx;
    };
    for (const Case& c : {Case{-1, 7, 3}, Case{-4, 7, 0}, Case{-5, 6, 3}, Case{6, 9, 2}}) {
        test::TestFrame viaDispatch = Destination(), direct = Destination();
        MotionCompensateLuma(viaDispatch.f, ref.f(), nullptr, 0, 0, 1, {c.mvx, 0});
        gKernels.McLumaAdd[kLuma8x8][c.fx][0](direct.f.lumaPlane + 8, direct.f.lumaPitch,
                                              ref.f().refLumaPlane + c.column, ref.f().refLumaPitch,
                                              nullptr);
        EXPECT_EQ(viaDispatch.LumaBuffer(), direct.LumaBuffer()) << "mvx " << c.mvx;
    }
}

TEST(MotionCompensation, ResidualIsAddedOnlyWhenGiven) {
    FillKernelTable();
    std::mt19937 rng(5);
    const Reference ref(rng);
    int16_t residual[64];
    for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
    test::TestFrame copy = Destination(), added = Destination();
    MotionCompensateLuma(copy.f, ref.f(), nullptr, 1, 1, 3, {0, 0});
    MotionCompensateLuma(added.f, ref.f(), residual, 1, 1, 3, {0, 0});
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            ASSERT_EQ(copy.Y(24 + c, 24 + r), ref.Y(24 + c, 24 + r));
            ASSERT_EQ(added.Y(24 + c, 24 + r),
                      std::clamp(ref.Y(24 + c, 24 + r) + residual[8 * r + c], 0, 255));
        }
    }
}

// A whole macroblock is its four blocks with the same vectors, each block
// with its own residual block.
TEST(MotionCompensation, WholeMacroblockIsItsFourBlocks) {
    FillKernelTable();
    std::mt19937 rng(6);
    const Reference ref0(rng), ref1(rng);
    for (int trial = 0; trial < 200; ++trial) {
        const int mbx = rng() % kMbWidth, mby = rng() % kMbHeight;
        const bool bi = trial & 1;
        MotionVector mv0{RandomComponent(rng), RandomComponent(rng)};
        MotionVector mv1{RandomComponent(rng), RandomComponent(rng)};
        ClipMotionVector(mv0, 16 * mbx, 16 * mby, kWidth, kHeight);
        ClipMotionVector(mv1, 16 * mbx, 16 * mby, kWidth, kHeight);
        int16_t residual[4][64] = {};
        for (auto& block : residual) {
            if (rng() % 3 == 0) continue;  // an uncoded block stays zero
            for (int16_t& v : block) v = static_cast<int16_t>(int(rng() % 512) - 256);
        }
        const bool coded = trial % 4 < 2;
        test::TestFrame whole = Destination(), blocks = Destination();
        CompensateLuma(whole, ref0, ref1, bi, coded ? residual[0] : nullptr, mbx, mby,
                       kWholeMacroblock, mv0, mv1);
        for (int k = 0; k < 4; ++k) {
            CompensateLuma(blocks, ref0, ref1, bi, coded ? residual[k] : nullptr, mbx, mby, k, mv0,
                           mv1);
        }
        ASSERT_EQ(whole.LumaBuffer(), blocks.LumaBuffer()) << "trial " << trial;
    }
}

TEST(MotionCompensation, BidirectionalLumaIsTheRoundedAverage) {
    FillKernelTable();
    std::mt19937 rng(6);
    const Reference ref0(rng), ref1(rng);
    const MotionVector mv0{5, -3}, mv1{-7, 10};
    test::TestFrame p0 = Destination(), p1 = Destination();
    MotionCompensateLuma(p0.f, ref0.f(), nullptr, 1, 0, 2, mv0);
    MotionCompensateLuma(p1.f, ref1.f(), nullptr, 1, 0, 2, mv1);
    int16_t residual[64];
    for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
    for (const int16_t* res :
         {static_cast<const int16_t*>(nullptr), static_cast<const int16_t*>(residual)}) {
        test::TestFrame dst = Destination();
        MotionCompensateLumaBi(dst.f, ref0.f(), ref1.f(), res, 1, 0, 2, mv0, mv1);
        for (int i = 0; i < 64; ++i) {
            const int x = 16 + i % 8, y = 8 + i / 8;
            const int avg = (p0.Y(x, y) + p1.Y(x, y) + 1) >> 1;
            ASSERT_EQ(dst.Y(x, y), res ? std::clamp(avg + res[i], 0, 255) : avg) << "sample " << i;
        }
    }
}

// The chroma formula with its clamp of negative coordinates, read from the
// decoded area only (right and bottom reads see the nearest edge sample).
template <class Sample>
int ChromaExpected(Sample s, int px, int py) {
    const int ax = px & 7, ay = py & 7;
    const int x0 = std::max(px >> 3, 0), y0 = std::max(py >> 3, 0);
    const int x1 = std::max((px >> 3) + 1, 0), y1 = std::max((py >> 3) + 1, 0);
    return ((8 - ax) * (8 - ay) * s(x0, y0) + ax * (8 - ay) * s(x1, y0) +
            (8 - ax) * ay * s(x0, y1) + ax * ay * s(x1, y1) + 32) >>
           6;
}

TEST(MotionCompensation, ChromaClampOfNegativeCoordinatesEqualsTheBorder) {
    FillKernelTable();
    std::mt19937 rng(7);
    const Reference ref0(rng), ref1(rng);
    struct Shape {
        ChromaBlock shape;
        int w, h;
        int blocks[4];
    };
    const Shape shapes[] = {{ChromaBlock::k8x8, 8, 8, {0, 0, 0, 0}},
                            {ChromaBlock::k8x4, 8, 4, {0, 2, 0, 2}},
                            {ChromaBlock::k4x8, 4, 8, {0, 1, 0, 1}},
                            {ChromaBlock::k4x4, 4, 4, {0, 1, 2, 3}}};
    for (int trial = 0; trial < 400; ++trial) {
        const int mbx = rng() % kMbWidth, mby = rng() % kMbHeight;
        // Mostly up and left of the picture, where the clamp matters.
        MotionVector mv0{RandomComponent(rng) / 2 - 300, RandomComponent(rng) / 2 - 300};
        MotionVector mv1{RandomComponent(rng), RandomComponent(rng)};
        ClipMotionVector(mv0, 16 * mbx, 16 * mby, kWidth, kHeight);
        ClipMotionVector(mv1, 16 * mbx, 16 * mby, kWidth, kHeight);
        MacroblockBuffers buffers{};
        for (int16_t& v : buffers.cb) v = static_cast<int16_t>(int(rng() % 512) - 256);
        for (int16_t& v : buffers.cr) v = static_cast<int16_t>(int(rng() % 512) - 256);
        const Shape& s = shapes[rng() % 4];
        const int block = s.blocks[rng() % 4];
        const int cx = s.w == 8 ? 0 : 4 * (block & 1), cy = s.h == 8 ? 0 : 4 * (block >> 1);
        for (const bool bi : {false, true}) {
            if (bi && s.shape != ChromaBlock::k4x4 && s.shape != ChromaBlock::k8x8) continue;
            test::TestFrame dst = Destination();
            test::TestFrame expected = Destination();
            for (int r = 0; r < s.h; ++r) {
                for (int c = 0; c < s.w; ++c) {
                    const int x = 8 * mbx + cx + c, y = 8 * mby + cy + r;
                    const int res = 8 * (cy + r) + cx + c;
                    auto predict = [&](auto plane0, auto plane1) {
                        int p = ChromaExpected(plane0, mv0.x + 8 * x, mv0.y + 8 * y);
                        if (bi)
                            p = (p + ChromaExpected(plane1, mv1.x + 8 * x, mv1.y + 8 * y) + 1) >> 1;
                        return p;
                    };
                    const int cb = predict([&](int u, int v) { return ref0.Cb(u, v); },
                                           [&](int u, int v) { return ref1.Cb(u, v); });
                    const int cr = predict([&](int u, int v) { return ref0.Cr(u, v); },
                                           [&](int u, int v) { return ref1.Cr(u, v); });
                    expected.Cb(x, y) =
                        static_cast<uint8_t>(std::clamp(cb + buffers.cb[res], 0, 255));
                    expected.Cr(x, y) =
                        static_cast<uint8_t>(std::clamp(cr + buffers.cr[res], 0, 255));
                }
            }
            if (bi) {
                MotionCompensateChromaBi(s.shape, dst.f, ref0.f(), ref1.f(), buffers, mbx, mby,
                                         block, mv0, mv1);
            } else {
                MotionCompensateChroma(s.shape, dst.f, ref0.f(), buffers, mbx, mby, block, mv0);
            }
            ASSERT_EQ(dst.CbBuffer(), expected.CbBuffer())
                << "vector " << mv0.x << "," << mv0.y << " block " << block;
            ASSERT_EQ(dst.CrBuffer(), expected.CrBuffer())
                << "vector " << mv0.x << "," << mv0.y << " block " << block;
        }
    }
}

}  // namespace
}  // namespace avs
