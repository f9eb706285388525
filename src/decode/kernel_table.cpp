#include "decode/kernel_table.h"

#include "platform/cpu_features.h"

namespace avs {

// Empty until the first decoder initialisation fills it: a constant
// initialiser, so loading the library runs no code of ours.
constinit KernelTable gKernels{};

void FillKernelTable(KernelTable& table, uint32_t features) {
    InstallCoefficientKernels(table, features);
    InstallMcKernels(table, features);
    InstallBlockKernels(table, features);
    InstallIntraKernels(table, features);
    InstallLoopFilterKernels(table, features);
}

// Streams decode from the table while others open on other threads: it is
// written once, and every later call only waits for that fill to finish.
void FillKernelTable() {
    static const bool filled = (FillKernelTable(gKernels, DetectCpuFeatures()), true);
    static_cast<void>(filled);
}

}  // namespace avs
