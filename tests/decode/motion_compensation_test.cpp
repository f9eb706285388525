// The dispatchers: a folded vector, anywhere around the picture, reads what
// edge replication of the decoded area gives, and only the block is written.
#include "decode/motion_compensation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "decode/luma_taps.h"
#include "decode/mv_prediction.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

// A decoded area of random samples inside replicated margins, as reference
// planes are.
struct BorderedPlane {
    int width;
    int height;
    int margin;
    std::vector<uint8_t> data;

    BorderedPlane(int w, int h, int m, std::mt19937& rng)
        : width(w), height(h), margin(m), data((w + 2 * m) * (h + 2 * m)) {
        std::vector<uint8_t> area(w * h);
        for (uint8_t& s : area) s = static_cast<uint8_t>(rng());
        for (int y = -m; y < h + m; ++y) {
            for (int x = -m; x < w + m; ++x) {
                origin()[y * pitch() + x] =
                    area[std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1)];
            }
        }
    }
    ptrdiff_t pitch() const { return width + 2 * margin; }
    uint8_t* origin() { return data.data() + margin * pitch() + margin; }
    // Any coordinate: the nearest sample of the decoded area.
    int At(int x, int y) const {
        return data[(std::clamp(y, 0, height - 1) + margin) * pitch() +
                    std::clamp(x, 0, width - 1) + margin];
    }
};

// Destination planes start with a pattern; only the block may change.
std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> p(size);
    for (size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 7 + 3);
    return p;
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

constexpr int kMbWidth = 3;
constexpr int kMbHeight = 2;
constexpr int kWidth = 16 * kMbWidth;
constexpr int kHeight = 16 * kMbHeight;

// Luma of block 0..3, or of the whole macroblock (kWhole), single or
// bi-directional, through the dispatchers.
constexpr int kWhole = 4;

void CompensateLuma(uint8_t* dst, BorderedPlane& ref0, BorderedPlane& ref1, bool bi,
                    const int16_t* residual, int mbx, int mby, int block, MotionVector mv0,
                    MotionVector mv1) {
    if (bi && block == kWhole) {
        MotionCompensateLumaBi16x16(dst, kWidth, ref0.origin(), ref1.origin(), ref0.pitch(),
                                    residual, mbx, mby, mv0, mv1);
    } else if (bi) {
        MotionCompensateLumaBi8x8(dst, kWidth, ref0.origin(), ref1.origin(), ref0.pitch(), residual,
                                  mbx, mby, block, mv0, mv1);
    } else if (block == kWhole) {
        MotionCompensateLuma16x16(dst, kWidth, ref0.origin(), ref0.pitch(), residual, mbx, mby,
                                  mv0);
    } else {
        MotionCompensateLuma8x8(dst, kWidth, ref0.origin(), ref0.pitch(), residual, mbx, mby, block,
                                mv0);
    }
}

// The luma sample at picture position (x, y) moved by a folded vector.
int LumaExpected(const BorderedPlane& ref, int x, int y, MotionVector mv) {
    const int qx = 4 * x + mv.x, qy = 4 * y + mv.y;
    const int X = FloorDiv(qx, 4), Y = FloorDiv(qy, 4);
    return test::LumaByTaps([&](int dx, int dy) { return ref.At(X + dx, Y + dy); }, qx - 4 * X,
                            qy - 4 * Y);
}

TEST(MotionCompensation, FoldedLumaVectorsReadTheReplicatedEdge) {
    FillKernelTable();
    std::mt19937 rng(3);
    BorderedPlane ref0(kWidth, kHeight, 64, rng), ref1(kWidth, kHeight, 64, rng);
    for (int trial = 0; trial < 800; ++trial) {
        const int mbx = rng() % kMbWidth, mby = rng() % kMbHeight, block = rng() % 5;
        const bool bi = trial & 1;
        MotionVector mv0{RandomComponent(rng), RandomComponent(rng)};
        MotionVector mv1{RandomComponent(rng), RandomComponent(rng)};
        ClipMotionVector(mv0, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        ClipMotionVector(mv1, 16 * mbx, 16 * mby, kWidth - 5, kHeight);
        std::vector<uint8_t> dst = Pattern(kWidth * kHeight);
        std::vector<uint8_t> expected = dst;
        const int size = block == kWhole ? 16 : 8;
        const int x0 = 16 * mbx + (block == kWhole ? 0 : 8 * (block & 1));
        const int y0 = 16 * mby + (block == kWhole ? 0 : 8 * (block >> 1));
        for (int r = 0; r < size; ++r) {
            for (int c = 0; c < size; ++c) {
                int p = LumaExpected(ref0, x0 + c, y0 + r, mv0);
                if (bi) p = (p + LumaExpected(ref1, x0 + c, y0 + r, mv1) + 1) >> 1;
                expected[(y0 + r) * kWidth + x0 + c] = static_cast<uint8_t>(p);
            }
        }
        CompensateLuma(dst.data(), ref0, ref1, bi, nullptr, mbx, mby, block, mv0, mv1);
        ASSERT_EQ(dst, expected) << "vector " << mv0.x << "," << mv0.y << " block " << block;
    }
}

TEST(MotionCompensation, NegativeVectorsKeepAFractionOfZeroToThree) {
    FillKernelTable();
    std::mt19937 rng(4);
    BorderedPlane ref(kWidth, kHeight, 64, rng);
    struct Case {
        int mvx;
        int column;  // integer column of block 1 of macroblock 0 (starts at 8)
        int fx;
    };
    for (const Case& c : {Case{-1, 7, 3}, Case{-4, 7, 0}, Case{-5, 6, 3}, Case{6, 9, 2}}) {
        std::vector<uint8_t> viaDispatch(kWidth * kHeight), direct(kWidth * kHeight);
        MotionCompensateLuma8x8(viaDispatch.data(), kWidth, ref.origin(), ref.pitch(), nullptr, 0,
                                0, 1, {c.mvx, 0});
        gKernels.McLumaAdd[kLuma8x8][c.fx][0](direct.data() + 8, kWidth, ref.origin() + c.column,
                                              ref.pitch(), nullptr);
        EXPECT_EQ(viaDispatch, direct) << "mvx " << c.mvx;
    }
}

TEST(MotionCompensation, ResidualIsAddedOnlyWhenGiven) {
    FillKernelTable();
    std::mt19937 rng(5);
    BorderedPlane ref(kWidth, kHeight, 64, rng);
    int16_t residual[64];
    for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
    std::vector<uint8_t> copy(kWidth * kHeight), added(kWidth * kHeight);
    MotionCompensateLuma8x8(copy.data(), kWidth, ref.origin(), ref.pitch(), nullptr, 1, 1, 3,
                            {0, 0});
    MotionCompensateLuma8x8(added.data(), kWidth, ref.origin(), ref.pitch(), residual, 1, 1, 3,
                            {0, 0});
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            const int at = (24 + r) * kWidth + 24 + c;
            ASSERT_EQ(copy[at], ref.At(24 + c, 24 + r));
            ASSERT_EQ(added[at], std::clamp(ref.At(24 + c, 24 + r) + residual[8 * r + c], 0, 255));
        }
    }
}

// A whole macroblock is its four blocks with the same vectors, each block
// with its own residual block.
TEST(MotionCompensation, WholeMacroblockIsItsFourBlocks) {
    FillKernelTable();
    std::mt19937 rng(6);
    BorderedPlane ref0(kWidth, kHeight, 64, rng), ref1(kWidth, kHeight, 64, rng);
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
        std::vector<uint8_t> whole = Pattern(kWidth * kHeight), blocks = whole;
        CompensateLuma(whole.data(), ref0, ref1, bi, coded ? residual[0] : nullptr, mbx, mby,
                       kWhole, mv0, mv1);
        for (int k = 0; k < 4; ++k) {
            CompensateLuma(blocks.data(), ref0, ref1, bi, coded ? residual[k] : nullptr, mbx, mby,
                           k, mv0, mv1);
        }
        ASSERT_EQ(whole, blocks) << "trial " << trial;
    }
}

TEST(MotionCompensation, BidirectionalLumaIsTheRoundedAverage) {
    FillKernelTable();
    std::mt19937 rng(6);
    BorderedPlane ref0(kWidth, kHeight, 64, rng), ref1(kWidth, kHeight, 64, rng);
    const MotionVector mv0{5, -3}, mv1{-7, 10};
    std::vector<uint8_t> p0(kWidth * kHeight), p1(kWidth * kHeight);
    MotionCompensateLuma8x8(p0.data(), kWidth, ref0.origin(), ref0.pitch(), nullptr, 1, 0, 2, mv0);
    MotionCompensateLuma8x8(p1.data(), kWidth, ref1.origin(), ref1.pitch(), nullptr, 1, 0, 2, mv1);
    int16_t residual[64];
    for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
    for (const int16_t* res :
         {static_cast<const int16_t*>(nullptr), static_cast<const int16_t*>(residual)}) {
        std::vector<uint8_t> dst = Pattern(kWidth * kHeight), expected = dst;
        for (int i = 0; i < 64; ++i) {
            const int at = (8 + i / 8) * kWidth + 16 + i % 8;
            const int avg = (p0[at] + p1[at] + 1) >> 1;
            expected[at] = static_cast<uint8_t>(res ? std::clamp(avg + res[i], 0, 255) : avg);
        }
        MotionCompensateLumaBi8x8(dst.data(), kWidth, ref0.origin(), ref1.origin(), ref0.pitch(),
                                  res, 1, 0, 2, mv0, mv1);
        EXPECT_EQ(dst, expected);
    }
}

// The chroma formula with its clamp of negative coordinates, read from the
// decoded area only (right and bottom reads see the nearest edge sample).
int ChromaExpected(const BorderedPlane& ref, int px, int py) {
    const int ax = px & 7, ay = py & 7;
    const int x0 = std::max(px >> 3, 0), y0 = std::max(py >> 3, 0);
    const int x1 = std::max((px >> 3) + 1, 0), y1 = std::max((py >> 3) + 1, 0);
    return ((8 - ax) * (8 - ay) * ref.At(x0, y0) + ax * (8 - ay) * ref.At(x1, y0) +
            (8 - ax) * ay * ref.At(x0, y1) + ax * ay * ref.At(x1, y1) + 32) >>
           6;
}

TEST(MotionCompensation, ChromaClampOfNegativeCoordinatesEqualsTheBorder) {
    FillKernelTable();
    std::mt19937 rng(7);
    BorderedPlane ref0(kWidth / 2, kHeight / 2, 32, rng), ref1(kWidth / 2, kHeight / 2, 32, rng);
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
        int16_t residual[64];
        for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
        const Shape& s = shapes[rng() % 4];
        const int block = s.blocks[rng() % 4];
        const int cx = s.w == 8 ? 0 : 4 * (block & 1), cy = s.h == 8 ? 0 : 4 * (block >> 1);
        const int cw = kWidth / 2, ch = kHeight / 2;
        for (const bool bi : {false, true}) {
            const bool whole = s.shape == ChromaBlock::k8x8;
            if (bi && s.shape != ChromaBlock::k4x4 && !whole) continue;
            // The whole bi-directional block is also formed without residual.
            const int16_t* added = bi && whole && (trial & 1) ? nullptr : residual;
            std::vector<uint8_t> dst = Pattern(cw * ch), expected = dst;
            for (int r = 0; r < s.h; ++r) {
                for (int c = 0; c < s.w; ++c) {
                    const int x = 8 * mbx + cx + c, y = 8 * mby + cy + r;
                    int p = ChromaExpected(ref0, mv0.x + 8 * x, mv0.y + 8 * y);
                    if (bi) p = (p + ChromaExpected(ref1, mv1.x + 8 * x, mv1.y + 8 * y) + 1) >> 1;
                    const int res = added != nullptr ? added[8 * (cy + r) + cx + c] : 0;
                    expected[y * cw + x] = static_cast<uint8_t>(std::clamp(p + res, 0, 255));
                }
            }
            if (bi && whole) {
                MotionCompensateChromaBi8x8(dst.data(), cw, ref0.origin(), ref1.origin(),
                                            ref0.pitch(), added, mbx, mby, mv0, mv1);
            } else if (bi) {
                MotionCompensateChromaBi4x4(dst.data(), cw, ref0.origin(), ref1.origin(),
                                            ref0.pitch(), residual, mbx, mby, block, mv0, mv1);
            } else {
                MotionCompensateChroma(s.shape, dst.data(), cw, ref0.origin(), ref0.pitch(),
                                       residual, mbx, mby, block, mv0);
            }
            ASSERT_EQ(dst, expected) << "vector " << mv0.x << "," << mv0.y << " block " << block;
        }
    }
}

TEST(MotionCompensation, BidirectionalChromaOfOneSourceIsTheSinglePrediction) {
    FillKernelTable();
    std::mt19937 rng(8);
    BorderedPlane ref(kWidth / 2, kHeight / 2, 32, rng);
    int16_t residual[64];
    for (int16_t& v : residual) v = static_cast<int16_t>(int(rng() % 512) - 256);
    const MotionVector mv{-13, 21};
    std::vector<uint8_t> single(kWidth * kHeight / 4), bi(kWidth * kHeight / 4);
    MotionCompensateChroma(ChromaBlock::k4x4, single.data(), kWidth / 2, ref.origin(), ref.pitch(),
                           residual, 2, 1, 3, mv);
    MotionCompensateChromaBi4x4(bi.data(), kWidth / 2, ref.origin(), ref.origin(), ref.pitch(),
                                residual, 2, 1, 3, mv, mv);
    EXPECT_EQ(single, bi);
}

}  // namespace
}  // namespace avs
