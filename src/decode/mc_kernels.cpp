// PLACEHOLDER: replaced by the motion-compensation work.
#include "decode/mc_kernels.h"

#include "platform/kernel_table.h"

namespace avs {

void InstallMcKernels(KernelTable&, uint32_t) {}

}  // namespace avs
