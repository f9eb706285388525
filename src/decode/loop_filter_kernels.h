// Kernel family: filtering one block edge of the loop filter.
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

// Filters one luma edge in place. `edge` addresses the first q0 sample: the
// first sample right of a vertical edge, or below a horizontal edge. Samples
// along a vertical edge run down, along a horizontal edge to the right. The
// edge is 16 samples long: bs0 for the first 8, bs1 for the last 8.
// Strengths: 0 none, 1 normal, 2 strong.
using EdgeFilterFn = void (*)(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t);
// Filters the same 8-sample edge of both chroma planes (bs0 for the first 4
// samples, bs1 for the last 4); `cb` and `cr` address their first q0 samples.
using ChromaEdgeFilterFn = void (*)(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                                    EdgeThresholds t);

// The plain kernels: the definition of every result.
void FilterLumaEdgeVPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t);
void FilterLumaEdgeHPlain(uint8_t* edge, ptrdiff_t pitch, int bs0, int bs1, EdgeThresholds t);
void FilterChromaEdgeVPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t);
void FilterChromaEdgeHPlain(uint8_t* cb, uint8_t* cr, ptrdiff_t pitch, int bs0, int bs1,
                            EdgeThresholds t);

// Stores the plain kernels, then the processor-specific ones `features` allows.
void InstallLoopFilterKernels(KernelTable& table, uint32_t features);

}  // namespace avs
