#include "decode/coefficients.h"

#include "decode/coefficient_loop.h"
#include "decode/kernel_table.h"
#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include "decode/x86/coefficients_x86.h"
#endif

namespace avs {

const uint8_t* ScanOrder(uint32_t pictureStructure) {
    return pictureStructure == 0 ? kFieldScan.data() : kZigZagScan.data();
}

int DecodeIntraLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kIntraLumaVlc>(br, scan, block);
}

int DecodeInterLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kInterLumaVlc>(br, scan, block);
}

int DecodeChromaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kChromaVlc>(br, scan, block);
}

void InstallCoefficientKernels(KernelTable& table, uint32_t features) {
    table.DecodeIntraLumaBlock = DecodeIntraLumaBlock;
    table.DecodeInterLumaBlock = DecodeInterLumaBlock;
    table.DecodeChromaBlock = DecodeChromaBlock;
#if defined(__x86_64__) || defined(__i386__)
    if (features & cpu::kAvx2) InstallCoefficientKernelsAvx2(table);
    if (features & cpu::kAvx512) InstallCoefficientKernelsAvx512(table);
#else
    (void)features;
#endif
}

}  // namespace avs
