// The macroblock walk shared by I, P and B pictures: slice starts at the
// beginning of macroblock rows, and the end of a unit's data.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/headers.h"
#include "decode/macroblock.h"
#include "frames/frame.h"

namespace avs {

// The slice that the macroblocks being decoded belong to. A slice covers
// whole macroblock rows, from its start code's row to the next slice's.
struct SliceState {
    explicit SliceState(const PictureHeader& picture) : qp(QpOf(picture.picture_qp)) {}

    SliceHeader header = SliceHeader::Defaults();
    int32_t number = 0;     // slices started so far in this picture (stored in MacroblockInfo)
    uint32_t firstRow = 0;  // macroblock row of the slice's first macroblock
    // The running QP. Every slice starts it afresh (the picture's QP before
    // the first slice header); each mb_qp_delta moves it, and a macroblock
    // that reads none takes it as it stands.
    int32_t qp;

    static int32_t QpOf(uint32_t coded) { return static_cast<int32_t>(coded & 63); }
};

// At the start of macroblock row mbY: looks for this row's slice start code
// from the bit position rounded up to a byte, at every byte up to bit 160 of
// the unit and at the byte after the last one tried. When it is there, the
// reader moves behind its slice header, `slice` describes the new slice and
// the result is true; otherwise nothing changes.
bool StartSliceAtRow(BitReader& br, const SequenceHeader& sequence, const PictureHeader& picture,
                     const DecodedFrame& frame, uint32_t mbY, SliceState& slice);

// The QP of a macroblock whose coded block pattern is known: with a coded
// block, and unless the picture's or the slice's QP is fixed, mb_qp_delta
// moves the slice's running QP (kept in 0..63). The macroblock takes the
// running QP either way.
void ReadQpDelta(BitReader& br, const PictureHeader& picture, SliceState& slice,
                 MacroblockInfo& mb);

// True when the reader has gone beyond the last bit of its unit.
inline bool PastUnitEnd(const BitReader& br) {
    const uint64_t unitBits = 8ull * (br.limit + 8 - kUnitPadding);
    return br.pos > unitBits;
}

// Macroblocks first.. (raster order) that the unit's data did not reach are
// grey intra macroblocks with the given QP in the current slice, so that the
// loop filter and later pictures read defined values. This writes their
// records (and intra modes); FillGreyMacroblock writes each one's samples.
void MarkUnreachedMacroblocks(DecodedFrame& frame, PictureType type, uint32_t first, int32_t qp,
                              int32_t sliceNumber);
void FillGreyMacroblock(DecodedFrame& frame, uint32_t mbX, uint32_t mbY);

}  // namespace avs
