#include "decode/slice.h"

#include <algorithm>
#include <cstring>

#include "decode/intra_prediction.h"

namespace avs {
namespace {

// Slice start codes 00 00 01 00 .. 00 00 01 AF; the last byte is the slice's
// macroblock row.
inline bool IsSliceStartOfRow(const BitReader& br, uint32_t p, uint32_t mbY) {
    BitReader probe = br;
    probe.pos = p;
    const uint32_t word = probe.ReadBits(32);
    return word >= 0x100 && word <= 0x1AF && (word & 0xFF) == mbY;
}

// Start codes after this bit of the unit are looked for only at the very next byte.
constexpr uint32_t kSliceSearchEnd = 160;

}  // namespace

bool StartSliceAtRow(BitReader& br, const SequenceHeader& sequence, const PictureHeader& picture,
                     const DecodedFrame& frame, uint32_t mbY, SliceState& slice) {
    uint32_t p = (br.pos + 7) & ~7u;
    bool found = IsSliceStartOfRow(br, p, mbY);
    while (!found) {
        p += 8;
        found = IsSliceStartOfRow(br, p, mbY);
        if (p > kSliceSearchEnd) break;
    }
    if (!found) return false;
    br.pos = p + 32;
    ParseSliceHeader(br, sequence, picture, frame.mbWidth, frame.mbHeight, mbY * frame.mbWidth,
                     slice.header);
    ++slice.number;
    slice.firstRow = mbY;
    slice.qp =
        SliceState::QpOf(picture.fixed_picture_qp ? picture.picture_qp : slice.header.slice_qp);
    return true;
}

void ReadQpDelta(BitReader& br, const PictureHeader& picture, SliceState& slice,
                 MacroblockInfo& mb) {
    if (mb.cbp != 0 && picture.fixed_picture_qp == 0 && slice.header.fixed_slice_qp == 0) {
        const int64_t delta = br.ReadSe();
        slice.qp = static_cast<int32_t>(std::clamp<int64_t>(slice.qp + delta, 0, 63));
    }
    mb.qp = slice.qp;
}

void MarkUnreachedMacroblocks(DecodedFrame& frame, PictureType type, uint32_t first, int32_t qp,
                              int32_t sliceNumber) {
    const uint32_t total = frame.mbWidth * frame.mbHeight;
    const int32_t intraType = type == PictureType::B ? kBIntraMbType : kIntraMbType;
    for (uint32_t n = first; n < total; ++n) {
        const uint32_t mbX = n % frame.mbWidth;
        const uint32_t mbY = n / frame.mbWidth;
        MacroblockInfo& mb = frame.macroblocks[n];
        mb = MacroblockInfo{};
        mb.mbType = intraType;
        mb.qp = qp;
        mb.sliceNumber = sliceNumber;
        for (int k = 0; k < 4; ++k) {
            mb.lumaPredMode[k] = kLumaDc;
            IntraModeAt(frame.intraModes, frame.mbWidth, 2 * mbX + (k & 1), 2 * mbY + (k >> 1)) =
                kLumaDc;
        }
    }
}

void FillGreyMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY) {
    uint8_t* y = frame.lumaPlane + 16 * static_cast<ptrdiff_t>(mbY) * frame.lumaPitch + 16 * mbX;
    for (int r = 0; r < 16; ++r) std::memset(y + r * frame.lumaPitch, 128, 16);
    const ptrdiff_t c = 8 * static_cast<ptrdiff_t>(mbY) * frame.chromaPitch + 8 * mbX;
    for (int r = 0; r < 8; ++r) {
        std::memset(frame.cbPlane + c + r * frame.chromaPitch, 128, 8);
        std::memset(frame.crPlane + c + r * frame.chromaPitch, 128, 8);
    }
}

}  // namespace avs
