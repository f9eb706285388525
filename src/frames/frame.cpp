#include "frames/frame.h"

#include <cstring>

#include "platform/aligned_alloc.h"

namespace avs {
namespace {

constexpr size_t RoundUp64(size_t n) {
    return (n + 63) & ~size_t{63};
}

// One plane: the decoded area with `margin` samples on every side. The left
// margin is widened to a multiple of 64 so that the origin and every row
// start stay 64-byte aligned.
struct PlaneGeometry {
    size_t margin;
    size_t left;
    size_t pitch;
    size_t rows;

    PlaneGeometry(size_t areaWidth, size_t areaHeight, size_t margin)
        : margin(margin),
          left(RoundUp64(margin)),
          pitch(RoundUp64(left + areaWidth + margin)),
          rows(areaHeight + 2 * margin) {}
    size_t Bytes() const { return pitch * rows; }
    size_t OriginOffset() const { return margin * pitch + left; }
};

PlaneGeometry LumaGeometry(const DecodedFrame& f) {
    return {16 * size_t{f.mbWidth}, 16 * size_t{f.mbHeight}, kLumaMargin};
}
PlaneGeometry ChromaGeometry(const DecodedFrame& f) {
    return {8 * size_t{f.mbWidth}, 8 * size_t{f.mbHeight}, kChromaMargin};
}

void ClearPointers(DecodedFrame& f) {
    f.lumaPlane = f.cbPlane = f.crPlane = nullptr;
    f.refLumaPlane = f.refCbPlane = f.refCrPlane = nullptr;
    f.storage = nullptr;
    f.tableStorage = nullptr;
    f.intraModes = nullptr;
    f.macroblocks = nullptr;
}

// Replicates the edges of a w x h area at `origin` into the whole plane:
// left and right of every row first, then whole rows (margins included) up
// and down, which also fills the corners.
void ExtendPlane(uint8_t* origin, const PlaneGeometry& g, size_t w, size_t h) {
    const size_t right = g.pitch - g.left - w;
    uint8_t* row = origin;
    for (size_t y = 0; y < h; ++y, row += g.pitch) {
        std::memset(row - g.left, row[0], g.left);
        std::memset(row + w, row[w - 1], right);
    }
    uint8_t* const first = origin - g.left;
    uint8_t* const last = first + (h - 1) * g.pitch;
    for (size_t y = 1; y <= g.margin; ++y) {
        std::memcpy(first - y * g.pitch, first, g.pitch);
        std::memcpy(last + y * g.pitch, last, g.pitch);
    }
}

}  // namespace

int AllocFrame(uint32_t width, uint32_t height, uint32_t chromaFormat, DecodedFrame& frame) {
    ClearPointers(frame);
    if (!FrameFormatSupported(width, height, chromaFormat)) return -1;

    frame.width = width;
    frame.height = height;
    frame.mbWidth = (width + 15) / 16;
    frame.mbHeight = (height + 15) / 16;
    frame.bordersExtended = 0;
    frame.delivered = 0;
    frame.shown = 0;
    frame.refDistance[0] = frame.refDistance[1] = 0;

    const PlaneGeometry luma = LumaGeometry(frame);
    const PlaneGeometry chroma = ChromaGeometry(frame);
    frame.lumaPitch = frame.refLumaPitch = static_cast<ptrdiff_t>(luma.pitch);
    frame.chromaPitch = frame.refChromaPitch = static_cast<ptrdiff_t>(chroma.pitch);

    // The records and the intra-mode map follow the planes in their block
    // when the block's rounding to large pages leaves room for them; else
    // they take a block of their own rather than a third large page for less
    // than a megabyte.
    const size_t mbCount = size_t{frame.mbWidth} * frame.mbHeight;
    const size_t recordBytes = RoundUp64(mbCount * sizeof(MacroblockInfo));
    const size_t modeBytes = size_t{IntraModeMapStride(frame.mbWidth)} *
                             IntraModeMapRows(frame.mbHeight) * sizeof(int32_t);
    const size_t lumaBytes = luma.Bytes();
    const size_t chromaBytes = chroma.Bytes();
    const size_t planeBytes = lumaBytes + 2 * chromaBytes;
    const size_t tableBytes = recordBytes + modeBytes;
    const bool together = PageAllocSize(planeBytes + tableBytes) <= PageAllocSize(planeBytes);
    auto* planes =
        static_cast<uint8_t*>(PageAlloc(together ? planeBytes + tableBytes : planeBytes));
    if (planes == nullptr) return -1;
    uint8_t* tables = planes + planeBytes;
    if (!together) {
        tables = static_cast<uint8_t*>(AlignedAlloc(tableBytes));
        if (tables == nullptr) {
            PageFree(planes);
            return -1;
        }
        frame.tableStorage = tables;
    }
    frame.storage = planes;
    frame.lumaPlane = planes + luma.OriginOffset();
    frame.cbPlane = planes + lumaBytes + chroma.OriginOffset();
    frame.crPlane = planes + lumaBytes + chromaBytes + chroma.OriginOffset();
    frame.macroblocks = reinterpret_cast<MacroblockInfo*>(tables);
    frame.intraModes = reinterpret_cast<int32_t*>(tables + recordBytes);
    frame.refLumaPlane = frame.lumaPlane;
    frame.refCbPlane = frame.cbPlane;
    frame.refCrPlane = frame.crPlane;
    // Every byte 0xFF: every entry reads kModeUnavailable.
    static_assert(kModeUnavailable == -1);
    std::memset(frame.intraModes, 0xFF, modeBytes);
    return 0;
}

void ReleaseFrame(DecodedFrame& frame) {
    PageFree(frame.storage);
    AlignedFree(frame.tableStorage);
    ClearPointers(frame);
}

void ExtendBorders(DecodedFrame& frame) {
    if (frame.bordersExtended != 0) return;
    const size_t lumaWidth = 16 * size_t{frame.mbWidth};
    const size_t lumaHeight = 16 * size_t{frame.mbHeight};
    ExtendPlane(frame.lumaPlane, LumaGeometry(frame), lumaWidth, lumaHeight);
    const PlaneGeometry chroma = ChromaGeometry(frame);
    ExtendPlane(frame.cbPlane, chroma, lumaWidth / 2, lumaHeight / 2);
    ExtendPlane(frame.crPlane, chroma, lumaWidth / 2, lumaHeight / 2);
    frame.bordersExtended = 1;
}

DecodedFrame* NewFrame(uint32_t width, uint32_t height, uint32_t chromaFormat) {
    auto* frame = static_cast<DecodedFrame*>(AlignedAlloc(sizeof(DecodedFrame)));
    if (frame == nullptr) return nullptr;
    *frame = DecodedFrame{};
    if (AllocFrame(width, height, chromaFormat, *frame) != 0) {
        AlignedFree(frame);
        return nullptr;
    }
    return frame;
}

void DeleteFrame(DecodedFrame* frame) {
    if (frame == nullptr) return;
    ReleaseFrame(*frame);
    AlignedFree(frame);
}

}  // namespace avs
