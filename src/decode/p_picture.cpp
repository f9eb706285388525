// P pictures: every inter partition predicts from reference 0 (the previous
// I or P picture) or reference 1 (the one before it) with a vector that is
// its neighbours' prediction plus the coded difference.
#include "decode/inter_picture.h"
#include "decode/intra_macroblock.h"
#include "decode/motion_compensation.h"
#include "decode/mv_prediction.h"
#include "decode/picture_walk.h"
#include "decode/pictures.h"
#include "decode/residual.h"

namespace avs {
namespace {

// Partitions of P types 0 (skip) to 4 (8x8) and the chroma block each
// partition covers (kPPartitionOfBlock gives the luma blocks).
struct PShape {
    int partitions;
    ChromaBlock chroma;
    uint8_t chromaIndex[4];  // block index of partition p's chroma block
};

constexpr PShape kPShapes[kIntraMbType] = {
    {1, ChromaBlock::k8x8, {0, 0, 0, 0}},  // skip
    {1, ChromaBlock::k8x8, {0, 0, 0, 0}},  // 16x16
    {2, ChromaBlock::k8x4, {0, 2, 0, 0}},  // 16x8
    {2, ChromaBlock::k4x8, {0, 1, 0, 0}},  // 8x16
    {4, ChromaBlock::k4x4, {0, 1, 2, 3}},  // 8x8
};

// One P picture: what its macroblocks are parsed and reconstructed with.
class PPicture {
  public:
    static constexpr PictureType kType = PictureType::P;

    PPicture(PictureState& state, const DecodedFrame* const (&refs)[2])
        : state_(state), frame_(state.frame), refs_(refs) {
        int32_t distance[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            if (refs[k] != nullptr) {
                distance[k] = 2 * DistanceDelta(frame_.pictureDistance, refs[k]->pictureDistance);
            }
        }
        const MacroblockGrid grid{frame_.macroblocks, static_cast<int>(frame_.mbWidth),
                                  static_cast<int>(frame_.mbHeight)};
        predictor_ = MakePVectorPredictor(grid, distance[0], distance[1]);
    }

    // The P macroblock layer, and every partition's vector (each stored before
    // the next one is predicted). False when a partition selects a missing
    // reference.
    bool Parse(BitReader& br, uint32_t mbX, uint32_t mbY, SkipRun& skipRun, MacroblockInfo& mb,
               MacroblockResidual& residual) {
        const PictureHeader& picture = state_.header;
        BeginInterMacroblock(mb, state_.slice);
        const uint32_t codedType = skipRun.Next(br, picture.skip_mode_flag);
        if (codedType >= kIntraMbType - 1 && codedType != SkipRun::kSkipped) {
            mb.mbType = kIntraMbType;
            ParseIntraMacroblock(state_, br, mbX, mbY, codedType - (kIntraMbType - 1), mb,
                                 residual);
            return true;
        }
        MarkInterBlocks(frame_, mbX, mbY);
        const int mbx = static_cast<int>(mbX);
        const int mby = static_cast<int>(mbY);
        if (codedType == SkipRun::kSkipped) {
            mb.mbType = kPSkip;
            mb.mv[0] = PredictPSkipVector(predictor_, mbx, mby);
            return Reference(mb, 0) != nullptr;
        }
        mb.mbType = static_cast<int32_t>(codedType) + 1;
        const int partitions = kPShapes[mb.mbType].partitions;
        if (picture.picture_reference_flag == 0) {
            const int bits = picture.picture_structure == 0 ? 2 : 1;  // field pictures: 2 bits
            for (int p = 0; p < partitions; ++p) {
                mb.refIdx[p] = static_cast<int32_t>(br.ReadBits(bits));
            }
        }
        int32_t mvd[2][4] = {};  // x, then y components, per partition
        for (int p = 0; p < partitions; ++p) {
            mvd[0][p] = br.ReadSe();
            mvd[1][p] = br.ReadSe();
        }
        mb.cbp = static_cast<int32_t>(ReadCbp(br, false));
        ReadQpAndCoefficients(br, picture, state_.slice, false, mb, residual);
        for (int p = 0; p < partitions; ++p) {
            mb.mv[p] = AddDifference(PredictPVector(predictor_, mbx, mby, p), mvd[0][p], mvd[1][p]);
            if (Reference(mb, p) == nullptr) return false;
        }
        return true;
    }

    // The macroblock from the references with its folded vectors, plus the
    // residual; or an intra macroblock.
    void Reconstruct(uint32_t mbX, uint32_t mbY, const MacroblockInfo& mb,
                     MacroblockResidual& residual, ReconstructionScratch& scratch) const {
        if (mb.mbType == kIntraMbType) {
            ReconstructIntraMacroblock(frame_, mbX, mbY, mb, residual, scratch.intra);
            return;
        }
        const uint32_t cbp = static_cast<uint32_t>(mb.cbp);
        InverseTransformResidual(residual, cbp, mb.qp);
        const int mbx = static_cast<int>(mbX);
        const int mby = static_cast<int>(mbY);
        if (mb.mbType > kP16x16) {
            ReconstructPartitions(mbx, mby, mb, residual);
            return;
        }
        // Skipped and 16x16: one vector for the whole macroblock.
        const MotionVector mv = Folded(mb.mv[0], mbx, mby);
        MotionCompensateMacroblock(frame_, *Reference(mb, 0), residual, (cbp & 15) != 0, mbx, mby,
                                   mv);
    }

  private:
    MotionVector Folded(MotionVector mv, int mbx, int mby) const {
        ClipMotionVector(mv, 16 * mbx, 16 * mby, static_cast<int>(frame_.width),
                         static_cast<int>(16 * frame_.mbHeight));
        return mv;
    }

    // The 16x8, 8x16 and 8x8 shapes: a luma call per block, a chroma one per
    // partition. Out of line, so that the walk keeps its registers for the
    // common shapes.
    [[gnu::noinline]] void ReconstructPartitions(int mbx, int mby, const MacroblockInfo& mb,
                                                 const MacroblockResidual& residual) const {
        const uint32_t cbp = static_cast<uint32_t>(mb.cbp);
        const PShape& shape = kPShapes[mb.mbType];
        MotionVector folded[4];
        for (int p = 0; p < shape.partitions; ++p) folded[p] = Folded(mb.mv[p], mbx, mby);
        for (int k = 0; k < 4; ++k) {
            const int p = kPPartitionOfBlock[mb.mbType][k];
            MotionCompensateLuma(frame_, *Reference(mb, p),
                                 (cbp >> k) & 1 ? residual.luma[k] : nullptr, mbx, mby, k,
                                 folded[p]);
        }
        for (int p = 0; p < shape.partitions; ++p) {
            MotionCompensateChroma(shape.chroma, frame_, *Reference(mb, p), residual, mbx, mby,
                                   shape.chromaIndex[p], folded[p]);
        }
    }

    // Reference 0 for index 0, reference 1 for any other; null when missing.
    const DecodedFrame* Reference(const MacroblockInfo& mb, int partition) const {
        return refs_[mb.refIdx[partition] != 0 ? 1 : 0];
    }

    PictureState& state_;
    DecodedFrame& frame_;
    const DecodedFrame* const (&refs_)[2];
    PVectorPredictor predictor_;
};

}  // namespace

bool DecodePPicture(PictureState& state, BitReader& br, const DecodedFrame* const (&refs)[2]) {
    PPicture picture(state, refs);
    return WalkPicture(state, br, picture);
}

}  // namespace avs
