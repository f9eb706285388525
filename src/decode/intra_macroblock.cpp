#include "decode/intra_macroblock.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/intra_prediction.h"
#include "decode/residual.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

// Chroma modes above 3 exist only in corrupt streams; they are kept at this
// value, which predicts nothing.
constexpr uint32_t kChromaModeLimit = 4;

}  // namespace

void ReadIntraModes(BitReader& br, DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                    uint32_t sliceFirstRow, uint32_t chromaFormat, MacroblockInfo& mb) {
    int32_t* map = frame.intraModes;
    const uint32_t mbWidth = frame.mbWidth;
    const bool topInSlice = mbY > sliceFirstRow;
    for (int k = 0; k < 4; ++k) {
        const int bx = static_cast<int>(2 * mbX) + (k & 1);
        const int by = static_cast<int>(2 * mbY) + (k >> 1);
        const int32_t up =
            (k >= 2 || topInSlice) ? IntraModeAt(map, mbWidth, bx, by - 1) : kModeUnavailable;
        const int32_t left = bx > 0 ? IntraModeAt(map, mbWidth, bx - 1, by) : kModeUnavailable;
        const int predicted = PredictedLumaMode(up, left);
        const uint32_t flag = br.ReadBit();
        const uint32_t coded = flag ? 0 : br.ReadBits(2);
        const int mode = DecodedLumaMode(predicted, flag, coded);
        mb.predModeFlag[k] = static_cast<int32_t>(flag);
        mb.lumaPredMode[k] = mode;
        IntraModeAt(map, mbWidth, bx, by) = mode;
    }
    mb.chromaPredMode = static_cast<int32_t>(std::min(br.ReadUe(), kChromaModeLimit));
    if (chromaFormat == 2) {
        mb.chromaPredMode422 = static_cast<int32_t>(std::min(br.ReadUe(), kChromaModeLimit));
    }
}

void MarkInterBlocks(DecodedFrame& frame, uint32_t mbX, uint32_t mbY) {
    for (int k = 0; k < 4; ++k) {
        IntraModeAt(frame.intraModes, frame.mbWidth, static_cast<int>(2 * mbX) + (k & 1),
                    static_cast<int>(2 * mbY) + (k >> 1)) = kModeInterBlock;
    }
}

void ReconstructIntraMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                                uint32_t sliceFirstRow, const MacroblockInfo& mb,
                                MacroblockBuffers& buffers) {
    const KernelTable& kernels = gKernels;
    const ptrdiff_t pitch = frame.lumaPitch;
    const bool topInSlice = mbY > sliceFirstRow;
    const uint32_t x0 = 16 * mbX;
    const uint32_t y0 = 16 * mbY;
    uint8_t* origin = frame.lumaPlane + static_cast<ptrdiff_t>(y0) * pitch + x0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t x = x0 + 8 * (k & 1);
        LumaNeighbours n;
        n.up = k >= 2 || topInSlice;
        n.left = x > 0;
        n.upRight = n.up && k != 3 && x + 8 < frame.width;
        // Down-left exists only for block 0: the left macroblock's block 3.
        n.downLeft = n.left && k == 0;
        uint8_t* dst = origin + 8 * (k >> 1) * pitch + 8 * (k & 1);
        PredictLuma8x8(dst, pitch, mb.lumaPredMode[k], n, buffers.lumaPred[k]);
        kernels.StoreLumaBlock(dst, pitch, buffers.lumaPred[k], buffers.luma[k]);
    }

    const ptrdiff_t chromaPitch = frame.chromaPitch;
    const uint32_t cx = 8 * mbX;
    const ptrdiff_t offset = 8 * static_cast<ptrdiff_t>(mbY) * chromaPitch + cx;
    ChromaNeighbours n;
    n.up = topInSlice;
    n.left = mbX > 0;
    n.upRight = n.up && cx + 8 < frame.width / 2;
    uint8_t* cb = frame.cbPlane + offset;
    uint8_t* cr = frame.crPlane + offset;
    PredictChroma8x8(cb, chromaPitch, mb.chromaPredMode, n, buffers.cbPred);
    kernels.StoreChromaBlock(cb, chromaPitch, buffers.cbPred, buffers.cb, (mb.cbp >> 4) & 1);
    PredictChroma8x8(cr, chromaPitch, mb.chromaPredMode, n, buffers.crPred);
    kernels.StoreChromaBlock(cr, chromaPitch, buffers.crPred, buffers.cr, (mb.cbp >> 5) & 1);
}

void DecodeIMacroblock(BitReader& br, const DecoderContext& ctx, DecodedFrame& frame, uint32_t mbX,
                       uint32_t mbY, const SliceState& slice, MacroblockInfo& mb,
                       MacroblockBuffers& buffers) {
    mb = MacroblockInfo{};
    mb.mbType = kIntraMbType;
    mb.qp = static_cast<int32_t>(ctx.picture.picture_qp & 63);
    mb.sliceNumber = slice.number;
    ReadIntraModes(br, frame, mbX, mbY, slice.firstRow, ctx.sequence.chroma_format, mb);
    mb.cbp = static_cast<int32_t>(ReadCbp(br, true));
    ReadResidualCoefficients(br, static_cast<uint32_t>(mb.cbp), true,
                             ScanOrder(ctx.picture.picture_structure), buffers);
}

}  // namespace avs
