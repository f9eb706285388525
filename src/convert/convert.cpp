#include "convert/convert.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "convert/colour_converter.h"
#include "convert/shared_pool.h"
#include "platform/cpu_features.h"

namespace avs {
namespace {

struct OutputLayout {
    uint32_t fourcc;
    uint32_t mode;
    uint32_t bitsPerPixel;
};

constexpr OutputLayout kLayouts[] = {
    {AVS_FOURCC_UYVY, kModeUyvy, 16}, {AVS_FOURCC_YUY2, kModeYuy2, 16},
    {AVS_FOURCC_YV12, kModeYv12, 12}, {AVS_FOURCC_BGR4, kModeBgr4, 32},
    {AVS_FOURCC_BGR3, kModeBgr3, 24},
};

const OutputLayout* FindLayout(uint32_t fourcc) {
    for (const OutputLayout& layout : kLayouts) {
        if (layout.fourcc == fourcc) return &layout;
    }
    return nullptr;
}

// width x height samples of the source; U is Cb, V is Cr.
ConversionParams SourceBlock(const SourcePicture& source, uint32_t width, uint32_t height,
                             const OutputLayout& layout) {
    ConversionParams block{};
    block.srcY = source.y;
    block.srcU = source.cb;
    block.srcV = source.cr;
    block.width = width;
    block.rows = height;
    block.srcYPitch = source.lumaPitch;
    block.srcUPitch = source.chromaPitch;
    block.srcVPitch = source.chromaPitch;
    block.bitsPerPixel = layout.bitsPerPixel;
    return block;
}

// BGR rows go bottom-up for a positive pitch: the first row is the last in
// memory.
void PlaceBgr(ConversionParams& block, uint8_t* plane, ptrdiff_t pitch) {
    block.dstPitch = -pitch;
    block.dst = pitch <= 0 ? plane : plane + static_cast<ptrdiff_t>(block.rows - 1) * pitch;
}

uint32_t Features() {
    static const uint32_t features = DetectCpuFeatures();
    return features;
}

bool IsBgr(const OutputLayout& layout) {
    return layout.mode == kModeBgr3 || layout.mode == kModeBgr4;
}

// Waking the workers costs about 40 us a picture (more on Windows, where
// each conversion starts its own). Colour conversion repays
// it from about a million pixels (720x576 converts faster on the caller
// alone); copying and packing samples runs at memory speed and repays it only
// from about four million (1920x1080 copies faster on the caller alone,
// 3840x2160 does not).
uint64_t ThreadedPixels(const OutputLayout& layout) {
    return IsBgr(layout) ? uint64_t{1} << 20 : uint64_t{1} << 22;
}

void Convert(const OutputLayout& layout, ConversionParams& block) {
    const bool threads = uint64_t{block.width} * block.rows >= ThreadedPixels(layout);
    ColourConverter converter;
    converter.features = Features();
    if (!threads) {
        if (ConfigureConverter(converter, 0, layout.mode, false)) RunConversion(converter, block);
        return;
    }
    SharedPoolLease lease;
    converter.pool = lease.pool();
    if (ConfigureConverter(converter, 0, layout.mode, true)) RunConversion(converter, block);
}

// Bytes written into one row of plane 0: every luma sample for "YV12", whole
// pixel pairs for the others.
int64_t RowBytes(const OutputLayout& layout, uint32_t width) {
    if (layout.mode == kModeYv12) return width;
    return int64_t{layout.bitsPerPixel} / 8 * (width & ~1u);
}

// A host's plane: there, its rows apart by at least their length, and all
// of it within kMaxOutputBytes.
bool PlaneFits(const uint8_t* plane, intptr_t pitch, int64_t rowBytes, uint32_t rows) {
    if (plane == nullptr || pitch < -kMaxOutputBytes || pitch > kMaxOutputBytes) return false;
    const int64_t bytes = std::abs(static_cast<int64_t>(pitch));
    return bytes >= rowBytes && bytes * rows <= kMaxOutputBytes;
}

bool DescriptorFits(const OutputPicture& out, const OutputLayout& layout, uint32_t width,
                    uint32_t height) {
    if (!PlaneFits(out.plane[0], out.pitch[0], RowBytes(layout, width), height)) return false;
    if (layout.mode != kModeYv12) return true;
    return PlaneFits(out.plane[1], out.pitch[1], width / 2, height / 2) &&
           PlaneFits(out.plane[2], out.pitch[2], width / 2, height / 2);
}

}  // namespace

bool IsConvertibleFourcc(uint32_t fourcc) {
    return FindLayout(fourcc) != nullptr;
}

uint32_t BufferBytes(uint32_t fourcc, uint32_t width, uint32_t height, int32_t pitch) {
    const OutputLayout* layout = FindLayout(fourcc);
    if (layout == nullptr) return 0;
    const int64_t absPitch = std::abs(int64_t{pitch});
    if (absPitch < RowBytes(*layout, width)) return 0;
    const int64_t plane = absPitch * height;
    // "YV12": V and U with |pitch| / 2 after the luma rows, as DeliverToBuffer places them.
    const int64_t bytes = layout->mode == kModeYv12 ? plane + 2 * (plane / 4) : plane;
    return bytes <= kMaxOutputBytes ? static_cast<uint32_t>(bytes) : 0;
}

SourcePicture PackedSource(const uint8_t* buffer, uint32_t width, uint32_t height) {
    const size_t area = static_cast<size_t>(width) * height;
    return {buffer,
            buffer + area + area / 4,
            buffer + area,
            static_cast<ptrdiff_t>(width),
            static_cast<ptrdiff_t>(width / 2),
            width,
            height};
}

void DeliverPicture(const OutputPicture& out, const SourcePicture& source, uint32_t fourcc) {
    const OutputLayout* layout = FindLayout(fourcc);
    if (layout == nullptr || out.width == 0 || out.height == 0 || out.width > UINT32_MAX ||
        out.height > UINT32_MAX) {
        return;
    }
    const auto width = static_cast<uint32_t>(out.width);
    const auto height = static_cast<uint32_t>(out.height);
    if (!DescriptorFits(out, *layout, width, height)) return;
    ConversionParams block = SourceBlock(source, width, height, *layout);
    if (layout->mode == kModeYv12) {
        // The descriptor's planes are in YV12 order: V before U.
        block.dst = out.plane[0];
        block.dstV = out.plane[1];
        block.dstU = out.plane[2];
        block.dstPitch = out.pitch[0];
        block.dstVPitch = out.pitch[1];
        block.dstUPitch = out.pitch[2];
    } else if (IsBgr(*layout)) {
        PlaceBgr(block, out.plane[0], out.pitch[0]);
    } else {
        block.dst = out.plane[0];
        block.dstPitch = out.pitch[0];
    }
    Convert(*layout, block);
}

void DeliverToBuffer(uint8_t* destination, const SourcePicture& source, uint32_t fourcc,
                     int32_t pitch) {
    const uint32_t width = source.width;
    const uint32_t height = source.height;
    const OutputLayout* layout = FindLayout(fourcc);
    if (layout == nullptr || width == 0 || height == 0 ||
        BufferBytes(fourcc, width, height, pitch) == 0) {
        return;
    }
    ConversionParams block = SourceBlock(source, width, height, *layout);
    const ptrdiff_t signedPitch = pitch;
    const ptrdiff_t absPitch = std::abs(signedPitch);
    if (layout->mode == kModeYv12) {
        // Always top-down, planes back to back in YV12 order.
        const ptrdiff_t lumaBytes = absPitch * height;
        block.dst = destination;
        block.dstPitch = absPitch;
        block.dstV = destination + lumaBytes;
        block.dstU = destination + lumaBytes + lumaBytes / 4;
        block.dstUPitch = absPitch / 2;
        block.dstVPitch = absPitch / 2;
    } else if (IsBgr(*layout)) {
        PlaceBgr(block, destination, signedPitch);
    } else {
        block.dst = destination;
        block.dstPitch = absPitch;
    }
    Convert(*layout, block);
}

}  // namespace avs
