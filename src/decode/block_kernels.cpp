// PLACEHOLDER: replaced by the reconstruction work.
#include "decode/block_kernels.h"

#include "platform/kernel_table.h"

namespace avs {

void DequantIdctPlain(int16_t*, int) {}
void StoreLumaBlockPlain(uint8_t*, ptrdiff_t, const uint8_t*, const int16_t*) {}
void StoreChromaBlockPlain(uint8_t*, ptrdiff_t, const uint8_t*, const int16_t*, int) {}

void InstallBlockKernels(KernelTable& table, uint32_t) {
    table.DequantIdct = DequantIdctPlain;
    table.StoreLumaBlock = StoreLumaBlockPlain;
    table.StoreChromaBlock = StoreChromaBlockPlain;
}

}  // namespace avs
