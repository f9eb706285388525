// Processor-specific intra prediction (each file compiled with its own target flags).
#pragma once

namespace avs {

struct KernelTable;

// Replaces PredictIntraLuma and PredictIntraChroma with SSE4.1 kernels.
void InstallIntraKernelsSse41(KernelTable& table);

}  // namespace avs
