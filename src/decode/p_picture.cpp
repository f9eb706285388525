// P pictures: every inter partition predicts from reference 0 (the previous
// I or P picture) or reference 1 (the one before it) with a vector that is
// its neighbours' prediction plus the coded difference.
#include "decode/inter_picture.h"
#include "decode/intra_macroblock.h"
#include "decode/motion_compensation.h"
#include "decode/mv_prediction.h"
#include "decode/pictures.h"

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

struct PPicture {
    PictureState& state;
    DecodedFrame& frame;
    // References 0 and 1; null when there is none of this picture's size.
    const DecodedFrame* const (&refs)[2];
    PVectorPredictor predictor;
    ReferencePrefetcher prefetch[2];  // per reference
};

PPicture StartPPicture(PictureState& state, const DecodedFrame* const (&refs)[2]) {
    DecodedFrame& frame = state.frame;
    int32_t distance[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        if (refs[k] != nullptr) {
            distance[k] = 2 * DistanceDelta(frame.pictureDistance, refs[k]->pictureDistance);
        }
    }
    const MacroblockGrid grid{frame.macroblocks, static_cast<int>(frame.mbWidth),
                              static_cast<int>(frame.mbHeight)};
    return {state, frame, refs, MakePVectorPredictor(grid, distance[0], distance[1]), {}};
}

// Predicts every partition's vector (each stored before the next one is
// predicted) and forms the macroblock from the references plus the residual.
// False when a partition selects a missing reference.
bool ReconstructPInter(PPicture& pic, uint32_t mbX, uint32_t mbY, MacroblockInfo& mb,
                       MacroblockBuffers& buffers) {
    DecodedFrame& frame = pic.frame;
    const PShape& shape = kPShapes[mb.mbType];
    const int mbx = static_cast<int>(mbX);
    const int mby = static_cast<int>(mbY);
    const DecodedFrame* refs[4] = {};
    MotionVector folded[4];
    for (int p = 0; p < shape.partitions; ++p) {
        const MotionVector mv = mb.mbType == kPSkip
                                    ? PredictPSkipVector(pic.predictor, mbx, mby)
                                    : AddDifference(PredictPVector(pic.predictor, mbx, mby, p),
                                                    mb.mvd[0][p], mb.mvd[1][p]);
        mb.mv[p] = mv;
        refs[p] = pic.refs[mb.refIdx[p] != 0 ? 1 : 0];
        if (refs[p] == nullptr) return false;
        folded[p] = mv;
        ClipMotionVector(folded[p], 16 * mbx, 16 * mby, static_cast<int>(frame.width),
                         static_cast<int>(16 * frame.mbHeight));
    }
    pic.prefetch[mb.refIdx[0] != 0 ? 1 : 0].Fetch(*refs[0], mbx, mby, folded[0]);
    const uint32_t cbp = static_cast<uint32_t>(mb.cbp);
    if (shape.partitions == 1) {
        MotionCompensateLuma(frame, *refs[0], cbp & 15 ? buffers.luma[0] : nullptr, mbx, mby,
                             kWholeMacroblock, folded[0]);
    } else {
        for (int k = 0; k < 4; ++k) {
            const int p = kPPartitionOfBlock[mb.mbType][k];
            MotionCompensateLuma(frame, *refs[p], (cbp >> k) & 1 ? buffers.luma[k] : nullptr, mbx,
                                 mby, k, folded[p]);
        }
    }
    for (int p = 0; p < shape.partitions; ++p) {
        MotionCompensateChroma(shape.chroma, frame, *refs[p], buffers, mbx, mby,
                               shape.chromaIndex[p], folded[p]);
    }
    return true;
}

// The P macroblock layer and the macroblock's reconstruction. False when a
// partition selects a missing reference.
bool DecodePMacroblock(PPicture& pic, BitReader& br, uint32_t mbX, uint32_t mbY, SkipRun& skipRun,
                       MacroblockInfo& mb) {
    const PictureHeader& picture = pic.state.header;
    MacroblockBuffers& buffers = pic.state.buffers;
    BeginInterMacroblock(mb, pic.state.slice);
    const uint32_t codedType = skipRun.Next(br, picture.skip_mode_flag);
    if (codedType >= kIntraMbType - 1 && codedType != SkipRun::kSkipped) {
        const uint32_t cbpIndex = codedType - (kIntraMbType - 1);
        mb.mbType = kIntraMbType;
        DecodeIntraMacroblock(pic.state, br, mbX, mbY, cbpIndex, mb);
        return true;
    }
    MarkInterBlocks(pic.frame, mbX, mbY);
    if (codedType == SkipRun::kSkipped) {
        mb.mbType = kPSkip;
        return ReconstructPInter(pic, mbX, mbY, mb, buffers);
    }
    mb.mbType = static_cast<int32_t>(codedType) + 1;
    const int partitions = kPShapes[mb.mbType].partitions;
    if (picture.picture_reference_flag == 0) {
        const int bits = picture.picture_structure == 0 ? 2 : 1;  // field pictures: 2 bits
        for (int p = 0; p < partitions; ++p) mb.refIdx[p] = static_cast<int32_t>(br.ReadBits(bits));
    }
    for (int p = 0; p < partitions; ++p) {
        mb.mvd[0][p] = br.ReadSe();
        mb.mvd[1][p] = br.ReadSe();
    }
    mb.cbp = static_cast<int32_t>(ReadCbp(br, false));
    ReadQpAndCoefficients(br, picture, pic.state.slice, false, mb, buffers);
    InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
    return ReconstructPInter(pic, mbX, mbY, mb, buffers);
}

}  // namespace

bool DecodePPicture(PictureState& state, BitReader& br, const DecodedFrame* const (&refs)[2]) {
    PPicture pic = StartPPicture(state, refs);
    return WalkInterPicture(state, PictureType::P, br,
                            [&](uint32_t mbX, uint32_t mbY, SkipRun& skipRun, MacroblockInfo& mb) {
                                return DecodePMacroblock(pic, br, mbX, mbY, skipRun, mb);
                            });
}

}  // namespace avs
