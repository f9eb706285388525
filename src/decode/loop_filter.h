// The loop filter: after a picture is reconstructed, its 8x8 luma block edges
// and chroma macroblock edges are smoothed in place, macroblocks in raster order.
#pragma once

#include <cstdint>

#include "bitstream/headers.h"
#include "decode/loop_filter_kernels.h"
#include "decode/macroblock.h"
#include "frames/frame.h"

namespace avs {

// Thresholds for an edge QP and the picture's offsets; indices are clamped to
// the tables. A macroblock's left and top edges take the rounded mean of the
// QPs on their two sides (for chroma, of the two chroma QPs); its inner edges
// its own QP.
EdgeThresholds LoopFilterThresholds(int qp, int32_t alphaOffset, int32_t betaOffset);

// Filters the macroblock rows firstRow .. endRow - 1 of the picture that
// `header` describes (I, P and B alike) unless loop_filter_disable is set. Rows must be filtered in
// order, each once. A row may be filtered as soon as the row below it is decoded: its filter
// changes samples of itself and the row above, which intra prediction of later rows never reads.
void FilterRows(DecodedFrame& frame, const PictureHeader& header, uint32_t firstRow,
                uint32_t endRow);

// Filters macroblocks xBegin .. xEnd - 1 of row mbY: the order of the whole
// picture is kept when every macroblock is filtered after the one left of it,
// after the upper row up to the one above and right of it, and once the
// macroblocks right of and below it that predict from its samples are
// reconstructed.
void FilterMacroblocks(DecodedFrame& frame, const PictureHeader& header, uint32_t mbY,
                       uint32_t xBegin, uint32_t xEnd);

}  // namespace avs
