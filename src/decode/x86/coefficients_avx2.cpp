// The coefficient decoders built for processors with AVX2, which also have
// LZCNT and BMI2: the loop of coefficient_loop.h, unchanged.
#include "decode/coefficient_loop.h"
#include "decode/kernel_table.h"
#include "decode/x86/coefficients_x86.h"

namespace avs {
namespace {

int DecodeIntraLumaBlockAvx2(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kIntraLumaVlc>(br, scan, block);
}

int DecodeInterLumaBlockAvx2(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kInterLumaVlc>(br, scan, block);
}

int DecodeChromaBlockAvx2(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kChromaVlc>(br, scan, block);
}

}  // namespace

void InstallCoefficientKernelsAvx2(KernelTable& table) {
    table.DecodeIntraLumaBlock = DecodeIntraLumaBlockAvx2;
    table.DecodeInterLumaBlock = DecodeInterLumaBlockAvx2;
    table.DecodeChromaBlock = DecodeChromaBlockAvx2;
}

}  // namespace avs
