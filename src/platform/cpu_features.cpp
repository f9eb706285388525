// PLACEHOLDER: replaced by the foundation work.
#include "platform/cpu_features.h"

namespace avs {

uint32_t DetectCpuFeatures() { return cpu::kAlways; }

}  // namespace avs
