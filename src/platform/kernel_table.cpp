#include "platform/kernel_table.h"

#include "platform/cpu_features.h"

namespace avs {

KernelTable gKernels;

void FillKernelTable(KernelTable& table, uint32_t features) {
    InstallMcKernels(table, features);
    InstallBlockKernels(table, features);
    InstallLoopFilterKernels(table, features);
}

void FillKernelTable() {
    FillKernelTable(gKernels, DetectCpuFeatures());
}

}  // namespace avs
