// Kernel family: filtering the block edges of one macroblock in the loop filter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs {

struct KernelTable;

// Thresholds of one edge, from the QP and the picture's offsets.
struct EdgeThresholds {
    int32_t alpha;
    int32_t beta;
    int32_t c;  // clamp of the normal (bS 1) filter
};

// Thresholds of the edges a macroblock filters. Its left and top edges take
// them from the QPs of both macroblocks they separate, the edges inside it
// from its own QP. Chroma has no inner edges.
struct MacroblockEdgeThresholds {
    EdgeThresholds left;
    EdgeThresholds top;
    EdgeThresholds inner;
};

// Strengths of the edges a macroblock filters, each edge in two halves: the
// upper (vertical edges) or left (horizontal edges) 8 luma or 4 chroma
// samples first. 0 none, 1 normal, 2 strong. An edge that is not filtered
// (the picture's or the slice's border) has strengths 0.
struct MacroblockEdgeStrengths {
    uint8_t left[2];    // vertical edge at x = 0, luma and chroma
    uint8_t innerV[2];  // vertical luma edge at x = 8
    uint8_t top[2];     // horizontal edge at y = 0, luma and chroma
    uint8_t innerH[2];  // horizontal luma edge at y = 8
};

// Filters the luma edges of the macroblock whose top-left sample is `mb`:
// both vertical edges, then both horizontal ones. The two edges of one
// direction read and write disjoint samples, so a kernel may filter them together.
using LumaMacroblockFilterFn = void (*)(uint8_t* mb, ptrdiff_t pitch, MacroblockEdgeStrengths bs,
                                        const MacroblockEdgeThresholds& t);
// Filters the left edge of the macroblock's Cb and Cr blocks, then their top
// edge; `cb` and `cr` address the blocks' top-left samples.
using ChromaMacroblockFilterFn = void (*)(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch,
                                          MacroblockEdgeStrengths bs,
                                          const MacroblockEdgeThresholds& t);

// One luma edge, 16 samples long (bs0 for the first 8, bs1 for the last 8).
// `edge` addresses the first q0 sample: the first sample right of a vertical
// edge, or below a horizontal edge.
void FilterLumaEdgeVPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t);
void FilterLumaEdgeHPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t);
// The same 8-sample edge of both chroma planes (bs0 for the first 4 samples).
void FilterChromaEdgeVPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t);
void FilterChromaEdgeHPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t);

// The plain macroblock kernels, built from the edge filters above: the
// definition of every result.
void FilterLumaMacroblockPlain(uint8_t* mb, ptrdiff_t pitch, MacroblockEdgeStrengths bs,
                               const MacroblockEdgeThresholds& t);
void FilterChromaMacroblockPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch,
                                 MacroblockEdgeStrengths bs, const MacroblockEdgeThresholds& t);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallLoopFilterKernels(KernelTable& table, uint32_t features);

}  // namespace avs
