#include "convert/colour_converter.h"

#include <initializer_list>

#include "convert/convert_kernels.h"
#include "convert/converter_pool.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

BandKernelFn SelectBandKernel(uint32_t mode, int level, uint32_t features) {
    ConvertKernelTable table;
    FillConvertKernels(table, features);
    return table.band[mode][level];
}

bool Aligned(uintptr_t value, uintptr_t n) {
    return value % n == 0;
}
bool Aligned(ptrdiff_t value, ptrdiff_t n) {
    return value % n == 0;
}
bool Aligned(const void* p, uintptr_t n) {
    return Aligned(reinterpret_cast<uintptr_t>(p), n);
}

}  // namespace

int CheckLevel(const ConversionParams& block, uint32_t mode, uint32_t features) {
    const bool planar = mode == kModeYv12;
    // A packed or BGR pitch is judged in pixels.
    const ptrdiff_t dstPitch =
        planar || block.bitsPerPixel == 0
            ? block.dstPitch
            : block.dstPitch * 8 / static_cast<ptrdiff_t>(block.bitsPerPixel);
    const auto pointersAligned = [&](uintptr_t n) {
        for (const void* p :
             {static_cast<const void*>(block.srcY), static_cast<const void*>(block.srcU),
              static_cast<const void*>(block.srcV), static_cast<const void*>(block.dst)}) {
            if (!Aligned(p, n)) return false;
        }
        return !planar || (Aligned(block.dstU, n) && Aligned(block.dstV, n));
    };
    const auto pitchesAligned = [&](ptrdiff_t n) {
        for (ptrdiff_t pitch : {block.srcYPitch, block.srcUPitch, block.srcVPitch, dstPitch}) {
            if (!Aligned(pitch, n)) return false;
        }
        return !planar || (Aligned(block.dstUPitch, n) && Aligned(block.dstVPitch, n));
    };
    if ((features & cpu::kSse2) && pointersAligned(16) && pitchesAligned(32)) return 3;
    if ((features & cpu::kSseInteger) && pointersAligned(8) && pitchesAligned(16)) return 2;
    if ((features & cpu::kMmx) && pointersAligned(8) && pitchesAligned(8)) return 1;
    return 0;
}

bool ConfigureConverter(ColourConverter& converter, uint32_t sourceLayout, uint32_t mode,
                        bool allowThreads) {
    converter.threadsAllowed = allowThreads;
    if (sourceLayout != 0 || mode >= kModeCount) return false;
    const uint32_t f = converter.features;
    const int level = (f & cpu::kSse2) ? 3 : (f & cpu::kSseInteger) ? 2 : (f & cpu::kMmx) ? 1 : 0;
    const BandKernelFn kernel = SelectBandKernel(mode, level, f);
    if (kernel == nullptr) return false;
    converter.bandKernel = kernel;
    converter.sourceLayout = sourceLayout;
    converter.mode = mode;
    converter.level = level;
    return true;
}

void RunConversion(ColourConverter& converter, ConversionParams& block) {
    if (converter.bandKernel == nullptr) return;
    const int level = CheckLevel(block, converter.mode, converter.features);
    if (level != converter.level) {
        converter.bandKernel = SelectBandKernel(converter.mode, level, converter.features);
        converter.level = level;
    }
    for (uint8_t*& s : block.scratch) s = nullptr;
    if (converter.threadsAllowed && converter.pool != nullptr) {
        converter.pool->RunBands(block, &converter.bandKernel, converter.mode == kModeYv12);
    } else {
        RunBandKernel(converter.bandKernel, block);
    }
}

}  // namespace avs
