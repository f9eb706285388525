#include "decode/intra_macroblock.h"

#include <algorithm>
#include <cstring>

#include "decode/coefficients.h"
#include "decode/intra_prediction.h"
#include "decode/kernel_table.h"
#include "decode/residual.h"

namespace avs {
namespace {

// Chroma modes above 3 exist only in corrupt streams; they are kept at this
// value, which predicts nothing.
constexpr uint32_t kChromaModeLimit = 4;

}  // namespace

void ReadIntraModes(BitReader& br, DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                    uint32_t sliceFirstRow, uint32_t chromaFormat, MacroblockInfo& mb) {
    const ptrdiff_t stride = IntraModeMapStride(frame.mbWidth);
    int32_t* modes = &IntraModeAt(frame.intraModes, frame.mbWidth, static_cast<int>(2 * mbX),
                                  static_cast<int>(2 * mbY));
    // Blocks above the slice's first row do not count; left of the picture
    // the map's margin reads as unavailable.
    static constexpr int32_t kNoRow[2] = {kModeUnavailable, kModeUnavailable};
    const int32_t* above = mbY > sliceFirstRow ? modes - stride : kNoRow;
    // The four flags and coded modes take at most 12 bits: one look at the
    // stream. Each block's mode predicts those right of and below it; they
    // pass in registers, not through the map.
    uint64_t bits = br.Peek64();
    uint32_t used = 0;
    int32_t decoded[4];
    auto read = [&](int k, int32_t up, int32_t left) {
        const auto flag = static_cast<uint32_t>(bits >> 63);
        const auto coded = static_cast<uint32_t>(bits >> 61) & 3;
        const uint32_t length = flag ? 1 : 3;
        bits <<= length;
        used += length;
        decoded[k] = DecodedLumaMode(PredictedLumaMode(up, left), flag, coded);
        mb.lumaPredMode[k] = decoded[k];
    };
    read(0, above[0], modes[-1]);
    read(1, above[1], decoded[0]);
    read(2, decoded[0], modes[stride - 1]);
    read(3, decoded[1], decoded[2]);
    modes[0] = decoded[0];
    modes[1] = decoded[1];
    modes[stride] = decoded[2];
    modes[stride + 1] = decoded[3];
    br.SkipBits(used);
    mb.chromaPredMode = static_cast<int32_t>(std::min(br.ReadUe(), kChromaModeLimit));
    if (chromaFormat == 2) br.ReadUe();  // the 4:2:2 chroma mode: 4:2:0 is decoded
}

void MarkInterBlocks(DecodedFrame& frame, uint32_t mbX, uint32_t mbY) {
    for (int k = 0; k < 4; ++k) {
        IntraModeAt(frame.intraModes, frame.mbWidth, static_cast<int>(2 * mbX) + (k & 1),
                    static_cast<int>(2 * mbY) + (k >> 1)) = kModeInterBlock;
    }
}

void ReconstructIntraMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY,
                                const MacroblockInfo& mb, MacroblockResidual& residual,
                                IntraPrediction& pred) {
    const KernelTable& kernels = gKernels;
    InverseTransformResidual(residual, static_cast<uint32_t>(mb.cbp), mb.qp);
    const ptrdiff_t pitch = frame.lumaPitch;
    const bool top = mbY > residual.sliceFirstRow;
    const bool left = mbX > 0;
    const uint32_t x0 = 16 * mbX;
    // Samples above and to the right of blocks 0 and 2 lie in this macroblock's
    // right half, those of block 1 in the next macroblock; block 3's are not
    // decoded yet. Down-left samples exist only for block 0: the left
    // macroblock's block 3.
    const bool rightHalf = x0 + 8 < frame.width;
    const LumaNeighbours neighbours[4] = {
        {top, left, top && rightHalf, left},
        {top, true, top && x0 + 16 < frame.width, false},
        {true, left, rightHalf, false},
        {true, true, false, false},
    };
    uint8_t* origin = frame.lumaPlane + 16 * static_cast<ptrdiff_t>(mbY) * pitch + x0;
    for (int k = 0; k < 4; ++k) {
        uint8_t* dst = origin + 8 * (k >> 1) * pitch + 8 * (k & 1);
        uint8_t* block = pred.luma[k];
        kernels.PredictIntraLuma(dst, pitch, mb.lumaPredMode[k], neighbours[k], block);
        if (mb.cbp & (1 << k)) {
            kernels.StoreLumaBlock(dst, pitch, block, residual.luma[k]);
        } else {  // no coefficients: the block is its prediction
            for (int r = 0; r < 8; ++r) std::memcpy(dst + r * pitch, block + 8 * r, 8);
        }
    }

    const ptrdiff_t chromaPitch = frame.chromaPitch;
    const ptrdiff_t offset = 8 * static_cast<ptrdiff_t>(mbY) * chromaPitch + 8 * mbX;
    const ChromaNeighbours n = {top, left, top && 8 * mbX + 8 < frame.width / 2};
    uint8_t* cb = frame.cbPlane + offset;
    uint8_t* cr = frame.crPlane + offset;
    // A chroma mode whose neighbour is missing (corrupt streams) predicts
    // nothing: the prediction is 0, whatever was predicted before.
    if (!kernels.PredictIntraChroma(cb, chromaPitch, mb.chromaPredMode, n, pred.cb)) {
        std::memset(pred.cb, 0, sizeof pred.cb);
    }
    kernels.StoreChromaBlock(cb, chromaPitch, pred.cb, residual.cb, (mb.cbp >> 4) & 1);
    if (!kernels.PredictIntraChroma(cr, chromaPitch, mb.chromaPredMode, n, pred.cr)) {
        std::memset(pred.cr, 0, sizeof pred.cr);
    }
    kernels.StoreChromaBlock(cr, chromaPitch, pred.cr, residual.cr, (mb.cbp >> 5) & 1);
}

void ParseIMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                      MacroblockInfo& mb, MacroblockResidual& residual) {
    mb = MacroblockInfo{};
    mb.mbType = kIntraMbType;
    mb.sliceNumber = pic.slice.number;
    ReadIntraModes(br, pic.frame, mbX, mbY, pic.slice.firstRow, pic.sequence.chroma_format, mb);
    mb.cbp = static_cast<int32_t>(ReadCbp(br, true));
    ReadQpAndCoefficients(br, pic.header, pic.slice, true, mb, residual);
}

void ParseIntraMacroblock(PictureState& pic, BitReader& br, uint32_t mbX, uint32_t mbY,
                          uint32_t cbpIndex, MacroblockInfo& mb, MacroblockResidual& residual) {
    ReadIntraModes(br, pic.frame, mbX, mbY, pic.slice.firstRow, pic.sequence.chroma_format, mb);
    mb.cbp = kCbpMap[cbpIndex < 64 ? cbpIndex : 0][0];
    ReadQpAndCoefficients(br, pic.header, pic.slice, true, mb, residual);
}

}  // namespace avs
