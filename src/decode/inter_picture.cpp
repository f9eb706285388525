#include "decode/inter_picture.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/intra_macroblock.h"
#include "decode/intra_prediction.h"

namespace avs {

void BeginInterMacroblock(MacroblockInfo& mb, const PictureHeader& picture, int32_t sliceNumber) {
    mb = MacroblockInfo{};
    mb.qp = static_cast<int32_t>(picture.picture_qp & 63);
    mb.sliceNumber = sliceNumber;
    for (int32_t& mode : mb.lumaPredMode) mode = kLumaDc;
}

void ReadQpAndCoefficients(BitReader& br, const PictureHeader& picture, const SliceHeader& slice,
                           bool intra, MacroblockInfo& mb, MacroblockBuffers& buffers) {
    const uint32_t cbp = static_cast<uint32_t>(mb.cbp);
    if (cbp != 0 && picture.fixed_picture_qp == 0 && slice.fixed_slice_qp == 0) {
        // Relative to the picture's QP, never to the previous macroblock's.
        mb.qpDelta = br.ReadSe();
        const int64_t qp = int64_t{picture.picture_qp & 63} + mb.qpDelta;
        mb.qp = static_cast<int32_t>(std::clamp<int64_t>(qp, 0, 63));
    }
    ReadResidualCoefficients(br, cbp, intra, ScanOrder(picture.picture_structure), buffers);
}

void DecodeIntraMacroblock(BitReader& br, const DecoderContext& ctx, DecodedFrame& frame,
                           uint32_t mbX, uint32_t mbY, const SliceState& slice, uint32_t cbpIndex,
                           MacroblockInfo& mb, MacroblockBuffers& buffers) {
    ReadIntraModes(br, frame, mbX, mbY, slice.firstRow, ctx.sequence.chroma_format, mb);
    mb.cbp = kCbpMap[cbpIndex < 64 ? cbpIndex : 0][0];
    ReadQpAndCoefficients(br, ctx.picture, slice.header, true, mb, buffers);
    InverseTransformResidual(buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
    ReconstructIntraMacroblock(frame, mbX, mbY, slice.firstRow, mb, buffers);
}

}  // namespace avs
