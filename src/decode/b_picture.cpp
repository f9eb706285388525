// B pictures: every 8x8 block predicts from the forward reference (the older
// of the two newest references), the backward reference (the newest), or the
// rounded average of both (symmetric and direct blocks).

#include "decode/b_block_vectors.h"
#include "decode/inter_picture.h"
#include "decode/intra_macroblock.h"
#include "decode/motion_compensation.h"
#include "decode/mv_prediction.h"
#include "decode/picture_walk.h"
#include "decode/pictures.h"

namespace avs {
namespace {

// Values of partitionShape.
constexpr int8_t kShape16x16 = 0;
constexpr int8_t kShape16x8 = 1;
constexpr int8_t kShape8x16 = 2;
constexpr int8_t kShape8x8 = 3;

// Types 0..21: the partition shape and each partition's direction
// (type 22 codes a direction per block, 23 and above are intra).
struct BType {
    int8_t shape;
    int8_t direction[2];
};

// Shorthands for the table: directions, and the two-partition shapes.
constexpr int8_t F = kDirForward;
constexpr int8_t B = kDirBackward;
constexpr int8_t S = kDirSymmetric;
constexpr int8_t D = kDirDirect;
constexpr int8_t H = kShape16x8;
constexpr int8_t V = kShape8x16;

constexpr BType kBTypes[kB8x8] = {
    {kShape16x16, {D, D}}, {kShape16x16, {F, F}}, {kShape16x16, {B, B}}, {kShape16x16, {S, S}},
    {H, {F, F}},           {V, {F, F}},           {H, {B, B}},           {V, {B, B}},
    {H, {F, B}},           {V, {F, B}},           {H, {B, F}},           {V, {B, F}},
    {H, {F, S}},           {V, {F, S}},           {H, {B, S}},           {V, {B, S}},
    {H, {S, F}},           {V, {S, F}},           {H, {S, B}},           {V, {S, B}},
    {H, {S, S}},           {V, {S, S}},
};

// The blocks (bit mask) and the top-left block of partition p of a shape.
constexpr uint8_t kPartitionBlocks[4][4] = {
    {0xF, 0, 0, 0}, {0x3, 0xC, 0, 0}, {0x5, 0xA, 0, 0}, {0x1, 0x2, 0x4, 0x8}};
constexpr uint8_t kPartitionCorner[4][4] = {{0}, {0, 2}, {0, 1}, {0, 1, 2, 3}};

int PartitionCount(int shape) {
    return shape == kShape16x16 ? 1 : (shape == kShape8x8 ? 4 : 2);
}

struct BPicture {
    PictureState& state;
    DecodedFrame& frame;
    const DecodedFrame& backward;
    const DecodedFrame& forward;
    BVectorPredictor predictor;
    BDistances distances;
    // The backward reference's records line up with this picture's.
    bool colocatedUsable;
};

BPicture StartBPicture(PictureState& state, const DecodedFrame& backward,
                       const DecodedFrame& forward) {
    DecodedFrame& frame = state.frame;
    BPicture pic{state, frame, backward, forward, {}, {}, false};
    pic.predictor.grid = {frame.macroblocks, static_cast<int>(frame.mbWidth),
                          static_cast<int>(frame.mbHeight)};
    const int32_t forwardStep = DistanceDelta(frame.pictureDistance, forward.pictureDistance);
    const int32_t backwardStep = DistanceDelta(backward.pictureDistance, frame.pictureDistance);
    pic.predictor.distance[kForward] = forwardStep == 0 ? 1 : forwardStep;
    pic.predictor.distance[kBackward] = backwardStep == 0 ? 1 : backwardStep;
    pic.distances = ComputeBDistances(frame.pictureDistance, forward, backward);
    pic.colocatedUsable = backward.mbWidth == frame.mbWidth && backward.mbHeight == frame.mbHeight;
    return pic;
}

// The vector differences of a B macroblock, per 8x8 block: a partition's
// in each of its blocks, 0 for direct blocks.
struct BlockDifferences {
    int32_t x[4] = {};
    int32_t y[4] = {};
};

// Type, shape, directions, reference indices and vector differences of an
// inter macroblock whose mb_type is `type` (0..22).
void ReadBInterSyntax(BitReader& br, const PictureHeader& picture, uint32_t type,
                      MacroblockInfo& mb, BlockDifferences& mvd) {
    mb.mbType = static_cast<int32_t>(type);
    int8_t direction[4];  // per partition with motion
    uint8_t blocks[4];
    int partitions = 0;
    if (type == kB8x8) {
        mb.partitionShape = kShape8x8;
        for (int b = 0; b < 4; ++b) {
            // mb_part_type: 0 direct, 1 forward, 2 backward, 3 symmetric.
            mb.blockPredDir[b] = static_cast<int32_t>(br.ReadBits(2)) - 1;
            if (mb.blockPredDir[b] != kDirDirect) {
                direction[partitions] = static_cast<int8_t>(mb.blockPredDir[b]);
                blocks[partitions++] = static_cast<uint8_t>(1u << b);
            }
        }
    } else {
        const BType& t = kBTypes[type];
        mb.partitionShape = t.shape;
        for (int p = 0; p < PartitionCount(t.shape); ++p) {
            for (int b = 0; b < 4; ++b) {
                if (kPartitionBlocks[t.shape][p] & (1u << b)) mb.blockPredDir[b] = t.direction[p];
            }
            if (type != kBDirect16x16) {
                direction[partitions] = t.direction[p];
                blocks[partitions++] = kPartitionBlocks[t.shape][p];
            }
        }
    }
    if (picture.picture_structure == 0 && picture.picture_reference_flag == 0) {
        for (int p = 0; p < partitions; ++p) mb.refIdx[p] = static_cast<int32_t>(br.ReadBit());
    }
    // Differences of the partitions that use the forward vector first, then
    // of the backward-only ones; each partition's difference goes to its blocks.
    for (const bool backwardPass : {false, true}) {
        for (int p = 0; p < partitions; ++p) {
            if ((direction[p] == kDirBackward) != backwardPass) continue;
            const int32_t dx = br.ReadSe();
            const int32_t dy = br.ReadSe();
            for (int b = 0; b < 4; ++b) {
                if (blocks[p] & (1u << b)) {
                    mvd.x[b] = dx;
                    mvd.y[b] = dy;
                }
            }
        }
    }
}

// The backward reference's macroblock at (mbx, mby) when it lends its vectors
// to direct blocks, else null (intra, or the backward reference has another
// size).
const MacroblockInfo* LendingColocated(const BPicture& pic, int mbx, int mby) {
    if (!pic.colocatedUsable) return nullptr;
    const uint32_t n = static_cast<uint32_t>(mby) * pic.frame.mbWidth + static_cast<uint32_t>(mbx);
    const MacroblockInfo& colocated = pic.backward.macroblocks[n];
    return LendsDirectVectors(colocated) ? &colocated : nullptr;
}

// Derives the vectors of the partitions that are predicted from their
// neighbours (including the blocks derived before them): coded ones, and
// direct ones unless `colocated` lends its vectors.
[[gnu::noinline]] void PredictBPartitions(const BPicture& pic, int mbx, int mby,
                                          const BlockDifferences& mvd,
                                          const MacroblockInfo* colocated, MacroblockInfo& mb) {
    const int shape = mb.partitionShape;
    for (int p = 0; p < PartitionCount(shape); ++p) {
        const int corner = kPartitionCorner[shape][p];
        const int32_t dir = mb.blockPredDir[corner];
        const bool direct = dir == kDirDirect;
        if (direct && colocated) continue;
        const int bx = corner & 1;
        const int by = corner >> 1;
        // Only what the derivation below uses is predicted.
        const bool needForward = direct || dir != kDirBackward;
        const bool needBackward = direct || dir == kDirBackward;
        const MotionVector pF = needForward
                                    ? PredictBVector(pic.predictor, mbx, mby, bx, by, kForward)
                                    : MotionVector{0, 0};
        const MotionVector pB = needBackward
                                    ? PredictBVector(pic.predictor, mbx, mby, bx, by, kBackward)
                                    : MotionVector{0, 0};
        for (int b = 0; b < 4; ++b) {
            if (!(kPartitionBlocks[shape][p] & (1u << b))) continue;
            const int32_t dx = mvd.x[b];
            const int32_t dy = mvd.y[b];
            switch (dir) {
                case kDirForward:
                    mb.mv[b] = AddDifference(pF, dx, dy);
                    break;
                case kDirBackward:
                    mb.mvBackward[b] = AddDifference(pB, dx, dy);
                    break;
                case kDirSymmetric:
                    mb.mv[b] = AddDifference(pF, dx, dy);
                    mb.mvBackward[b] = SymmetricBackward(mb.mv[b], pic.distances);
                    break;
                default:  // direct, predicted like a 16x16 partition
                    mb.mv[b] = pF;
                    mb.mvBackward[b] = pB;
                    break;
            }
        }
    }
}

// Derives the vectors of every block, given the direct ones (`directBlocks`,
// a bit mask): the direct blocks whose co-located macroblock lends its
// vectors first (all blocks of most skipped macroblocks), then the other
// partitions. Neighbours inside the macroblock are always earlier blocks, so
// deriving those direct blocks first changes no prediction.
void DeriveBVectors(const BPicture& pic, int mbx, int mby, const BlockDifferences& mvd,
                    uint32_t directBlocks, MacroblockInfo& mb) {
    const MacroblockInfo* colocated = directBlocks ? LendingColocated(pic, mbx, mby) : nullptr;
    if (colocated) {
        DirectBlockVectors(*colocated, directBlocks, pic.distances, mb);
        if (directBlocks == 0xF) return;
    }
    PredictBPartitions(pic, mbx, mby, mvd, colocated, mb);
}

// What one 8x8 block predicts from: the forward reference, the backward
// one, or both (symmetric and direct blocks), with its vectors folded.
struct BlockSource {
    enum Kind : uint8_t { kForwardOnly, kBackwardOnly, kBoth } kind;
    MotionVector forward;
    MotionVector backward;

    bool operator==(const BlockSource& o) const {
        return kind == o.kind && (kind == kBackwardOnly || forward == o.forward) &&
               (kind == kForwardOnly || backward == o.backward);
    }
};

BlockSource SourceOf(const MacroblockInfo& mb, int b, int mbx, int mby, int width, int height) {
    BlockSource s{BlockSource::kBoth, mb.mv[b], mb.mvBackward[b]};
    if (mb.blockPredDir[b] == kDirForward) s.kind = BlockSource::kForwardOnly;
    if (mb.blockPredDir[b] == kDirBackward) s.kind = BlockSource::kBackwardOnly;
    if (s.kind != BlockSource::kBackwardOnly)
        ClipMotionVector(s.forward, 16 * mbx, 16 * mby, width, height);
    if (s.kind != BlockSource::kForwardOnly)
        ClipMotionVector(s.backward, 16 * mbx, 16 * mby, width, height);
    return s;
}

// One block (index 0..3, its chroma 4x4) or the whole macroblock
// (kWholeMacroblock, chroma 8x8) from its source. Inlined: the whole
// macroblock's call, which most macroblocks take, then passes constants.
[[gnu::always_inline]] inline void CompensateBSource(const BPicture& pic, int mbx, int mby, int b,
                                                     const BlockSource& s,
                                                     const int16_t* lumaResidual,
                                                     const MacroblockResidual& residual) {
    const ChromaBlock chroma = b == kWholeMacroblock ? ChromaBlock::k8x8 : ChromaBlock::k4x4;
    const int chromaIndex = b == kWholeMacroblock ? 0 : b;
    if (s.kind == BlockSource::kBoth) {
        MotionCompensateLumaBi(pic.frame, pic.forward, pic.backward, lumaResidual, mbx, mby, b,
                               s.forward, s.backward);
        MotionCompensateChromaBi(chroma, pic.frame, pic.forward, pic.backward, residual, mbx, mby,
                                 chromaIndex, s.forward, s.backward);
        return;
    }
    const bool forward = s.kind == BlockSource::kForwardOnly;
    const DecodedFrame& ref = forward ? pic.forward : pic.backward;
    const MotionVector mv = forward ? s.forward : s.backward;
    MotionCompensateLuma(pic.frame, ref, lumaResidual, mbx, mby, b, mv);
    MotionCompensateChroma(chroma, pic.frame, ref, residual, mbx, mby, chromaIndex, mv);
}

// Whether the four blocks have one direction and the same vectors, as most
// skipped and direct macroblocks do: then they share their source. Compared
// as raw bits, which is cheaper than comparing the folded sources.
bool SameBlocks(const MacroblockInfo& mb) {
    // The directions are read byte by byte as they were written: one wider
    // read of bytes stored just before would wait for the stores to retire.
    const int8_t* dir = mb.blockPredDir;
    const uint64_t f = VectorBits(mb.mv[0]);
    const uint64_t k = VectorBits(mb.mvBackward[0]);
    return ((dir[1] ^ dir[0]) | (dir[2] ^ dir[0]) | (dir[3] ^ dir[0])) == 0 &&
           ((VectorBits(mb.mv[1]) ^ f) | (VectorBits(mb.mv[2]) ^ f) | (VectorBits(mb.mv[3]) ^ f) |
            (VectorBits(mb.mvBackward[1]) ^ k) | (VectorBits(mb.mvBackward[2]) ^ k) |
            (VectorBits(mb.mvBackward[3]) ^ k)) == 0;
}

// Forms every block of a macroblock whose blocks differ in direction or
// vectors. When their folded sources still agree, the macroblock is
// predicted whole, else block by block.
[[gnu::noinline]] void CompensateMixedBBlocks(const BPicture& pic, int mbx, int mby,
                                              const MacroblockInfo& mb,
                                              const MacroblockResidual& residual) {
    const int width = static_cast<int>(pic.frame.width);
    const int height = static_cast<int>(16 * pic.frame.mbHeight);
    const uint32_t cbp = static_cast<uint32_t>(mb.cbp);
    BlockSource sources[4];
    bool shared = true;
    for (int b = 0; b < 4; ++b) {
        // Blocks with the vectors of the block before them fold them alike.
        const bool repeats = b > 0 && mb.blockPredDir[b] == mb.blockPredDir[b - 1] &&
                             mb.mv[b] == mb.mv[b - 1] && mb.mvBackward[b] == mb.mvBackward[b - 1];
        sources[b] = repeats ? sources[b - 1] : SourceOf(mb, b, mbx, mby, width, height);
        shared = shared && sources[b] == sources[0];
    }
    if (shared) {
        CompensateBSource(pic, mbx, mby, kWholeMacroblock, sources[0],
                          cbp & 15 ? residual.luma[0] : nullptr, residual);
        return;
    }
    for (int b = 0; b < 4; ++b) {
        CompensateBSource(pic, mbx, mby, b, sources[b], (cbp >> b) & 1 ? residual.luma[b] : nullptr,
                          residual);
    }
}

// Forms every block from its reference(s) with the folded vectors, plus the
// residual. Most skipped and direct macroblocks have one source for all four
// blocks and are predicted whole.
void CompensateBBlocks(const BPicture& pic, int mbx, int mby, const MacroblockInfo& mb,
                       const MacroblockResidual& residual) {
    if (!SameBlocks(mb)) {
        CompensateMixedBBlocks(pic, mbx, mby, mb, residual);
        return;
    }
    const int width = static_cast<int>(pic.frame.width);
    const int height = static_cast<int>(16 * pic.frame.mbHeight);
    CompensateBSource(pic, mbx, mby, kWholeMacroblock, SourceOf(mb, 0, mbx, mby, width, height),
                      mb.cbp & 15 ? residual.luma[0] : nullptr, residual);
}

// One B picture: what its macroblocks are parsed and reconstructed with.
class BLayer {
  public:
    static constexpr PictureType kType = PictureType::B;

    BLayer(PictureState& state, const DecodedFrame& backward, const DecodedFrame& forward)
        : pic_(StartBPicture(state, backward, forward)) {}

    // The B macroblock layer, and every block's vectors.
    bool Parse(BitReader& br, uint32_t mbX, uint32_t mbY, SkipRun& skipRun, MacroblockInfo& mb,
               MacroblockResidual& residual) {
        PictureState& state = pic_.state;
        const PictureHeader& picture = state.header;
        if (pic_.colocatedUsable) {
            const uint32_t total = pic_.frame.mbWidth * pic_.frame.mbHeight;
            PrefetchRecord(pic_.backward.macroblocks,
                           mbY * pic_.frame.mbWidth + mbX + kRecordsAhead, total);
        }
        BeginInterMacroblock(mb, state.slice);
        const uint32_t codedType = skipRun.Next(br, picture.skip_mode_flag);
        if (codedType >= kBIntraMbType && codedType != SkipRun::kSkipped) {
            const uint32_t cbpIndex = codedType - kBIntraMbType;
            // Indices of 64 and more all give row 0: the type is kept bounded.
            mb.mbType = kBIntraMbType + static_cast<int32_t>(cbpIndex < 64 ? cbpIndex : 64);
            ParseIntraMacroblock(state, br, mbX, mbY, cbpIndex, mb, residual);
            return true;
        }
        MarkInterBlocks(pic_.frame, mbX, mbY);
        BlockDifferences mvd;
        uint32_t directBlocks = 0xF;
        if (codedType == SkipRun::kSkipped) {
            mb.mbType = kBDirect16x16;
            for (int8_t& dir : mb.blockPredDir) dir = kDirDirect;
        } else {
            ReadBInterSyntax(br, picture, codedType, mb, mvd);
            mb.cbp = static_cast<int32_t>(ReadCbp(br, false));
            ReadQpAndCoefficients(br, picture, state.slice, false, mb, residual);
            directBlocks = 0;
            for (int b = 0; b < 4; ++b) {
                if (mb.blockPredDir[b] == kDirDirect) directBlocks |= 1u << b;
            }
        }
        DeriveBVectors(pic_, static_cast<int>(mbX), static_cast<int>(mbY), mvd, directBlocks, mb);
        return true;
    }

    void Reconstruct(uint32_t mbX, uint32_t mbY, const MacroblockInfo& mb,
                     MacroblockResidual& residual, ReconstructionScratch& scratch) const {
        if (mb.mbType >= kBIntraMbType) {
            ReconstructIntraMacroblock(pic_.frame, mbX, mbY, mb, residual, scratch.intra);
            return;
        }
        InverseTransformResidual(residual, static_cast<uint32_t>(mb.cbp), mb.qp);
        CompensateBBlocks(pic_, static_cast<int>(mbX), static_cast<int>(mbY), mb, residual);
    }

  private:
    BPicture pic_;
};

}  // namespace

void DecodeBPicture(PictureState& state, BitReader& br, const DecodedFrame& backward,
                    const DecodedFrame& forward) {
    BLayer layer(state, backward, forward);
    WalkPicture(state, br, layer);
}

}  // namespace avs
