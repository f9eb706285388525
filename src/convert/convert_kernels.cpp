#include "convert/convert_kernels.h"

#include <cstring>

#include "platform/cpu_features.h"
#include "platform/sample.h"

#if defined(__x86_64__) || defined(__i386__)
#include "convert/x86/convert_x86.h"
#endif

namespace avs {
namespace {

// BT.601 studio range in fixed point: 14 fractional bits, 13 for blue.
// The chroma terms, rounding included, are shared by both pixels of a pair.
struct ChromaTerms {
    int32_t r, g, b;
};

inline ChromaTerms ChromaOf(uint8_t uSample, uint8_t vSample) {
    const int32_t u = uSample - 128;
    const int32_t v = vSample - 128;
    return {26149 * v + 8192, -13320 * v - 6419 * u + 8192, 16525 * u + 4096};
}

inline void StoreBgr(uint8_t ySample, const ChromaTerms& c, uint8_t* out) {
    const int32_t y = ySample - 16;
    const int32_t luma = 19077 * y;
    out[0] = ClipSample((9539 * y + c.b) >> 13);
    out[1] = ClipSample((luma + c.g) >> 14);
    out[2] = ClipSample((luma + c.r) >> 14);
}

}  // namespace

void RowYuy2Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width) {
    for (uint32_t i = 0; i < width / 2; ++i) {
        dst[4 * i + 0] = y[2 * i];
        dst[4 * i + 1] = u[i];
        dst[4 * i + 2] = y[2 * i + 1];
        dst[4 * i + 3] = v[i];
    }
}

void RowUyvyPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width) {
    for (uint32_t i = 0; i < width / 2; ++i) {
        dst[4 * i + 0] = u[i];
        dst[4 * i + 1] = y[2 * i];
        dst[4 * i + 2] = v[i];
        dst[4 * i + 3] = y[2 * i + 1];
    }
}

void RowBgr4Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width) {
    for (uint32_t i = 0; i < width / 2; ++i) {
        const ChromaTerms c = ChromaOf(u[i], v[i]);
        uint8_t* out = dst + 8 * i;
        StoreBgr(y[2 * i], c, out);
        out[3] = 255;
        StoreBgr(y[2 * i + 1], c, out + 4);
        out[7] = 255;
    }
}

void RowBgr3Plain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                  uint32_t width) {
    for (uint32_t i = 0; i < width / 2; ++i) {
        const ChromaTerms c = ChromaOf(u[i], v[i]);
        StoreBgr(y[2 * i], c, dst + 6 * i);
        StoreBgr(y[2 * i + 1], c, dst + 6 * i + 3);
    }
}

void PlanarCopyBand(const ConversionParams& block) {
    const auto copy = [](const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch,
                         uint32_t rows, uint32_t bytes) {
        if (bytes == 0) return;
        for (uint32_t r = 0; r < rows; ++r) {
            const auto row = static_cast<ptrdiff_t>(r);
            std::memcpy(dst + row * dstPitch, src + row * srcPitch, bytes);
        }
    };
    copy(block.srcY, block.srcYPitch, block.dst, block.dstPitch, block.rows, block.width);
    copy(block.srcU, block.srcUPitch, block.dstU, block.dstUPitch, block.rows / 2, block.width / 2);
    copy(block.srcV, block.srcVPitch, block.dstV, block.dstVPitch, block.rows / 2, block.width / 2);
}

void FillConvertKernels(ConvertKernelTable& table, uint32_t features) {
    table = {};
    struct Plain {
        uint32_t mode;
        BandKernelFn band;
        ConvertRowFn row;
    };
    static constexpr Plain kPlain[] = {
        {kModeUyvy, PackedBand<RowUyvyPlain>, RowUyvyPlain},
        {kModeYuy2, PackedBand<RowYuy2Plain>, RowYuy2Plain},
        {kModeYv12, PlanarCopyBand, nullptr},
        {kModeBgr4, PackedBand<RowBgr4Plain>, RowBgr4Plain},
        {kModeBgr3, PackedBand<RowBgr3Plain>, RowBgr3Plain},
    };
    for (const Plain& k : kPlain) {
        for (int level = 0; level < kLevelCount; ++level) {
            table.band[k.mode][level] = k.band;
            table.row[k.mode][level] = k.row;
        }
    }
#if defined(__x86_64__) || defined(__i386__)
    // Our variants load and store unaligned and finish every row with the
    // plain code, so any level above 0 may take the widest one available.
    if (features & cpu::kSse2) InstallConvertKernelsSse2(table);
    if ((features & cpu::kSse2) && (features & cpu::kAvx2)) InstallConvertKernelsAvx2(table);
#else
    (void)features;
#endif
}

}  // namespace avs
