#include "decode/inter_picture.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/intra_macroblock.h"
#include "decode/intra_prediction.h"

namespace avs {

void BeginInterMacroblock(MacroblockInfo& mb, const SliceState& slice) {
    mb = MacroblockInfo{};
    mb.qp = slice.qp;
    mb.sliceNumber = slice.number;
    for (int32_t& mode : mb.lumaPredMode) mode = kLumaDc;
}

void DecodeIntraMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                           uint32_t cbpIndex, MacroblockInfo& mb) {
    ReadIntraModes(br, pic.frame, mbX, mbY, pic.slice.firstRow, pic.sequence.chroma_format, mb);
    mb.cbp = kCbpMap[cbpIndex < 64 ? cbpIndex : 0][0];
    ReadQpAndCoefficients(br, pic.header, pic.slice, true, mb, pic.buffers);
    InverseTransformResidual(pic.buffers, static_cast<uint32_t>(mb.cbp), mb.qp);
    ReconstructIntraMacroblock(pic.frame, mbX, mbY, pic.slice.firstRow, mb, pic.buffers);
}

}  // namespace avs
