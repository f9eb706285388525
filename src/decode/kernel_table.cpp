#include "decode/kernel_table.h"

#include "platform/cpu_features.h"

namespace avs {
namespace {

KernelTable PlainKernels() {
    KernelTable table{};
    FillKernelTable(table, cpu::kAlways);
    return table;
}

}  // namespace

// The plain kernels until a decoder initialisation fills in this processor's:
// code that runs before (a test of one layer, say) gets the definition's
// results instead of an empty slot.
KernelTable gKernels = PlainKernels();

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
