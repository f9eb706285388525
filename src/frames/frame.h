// One decoded picture: its planes, which double as the bordered reference
// planes that motion compensation reads, and its per-macroblock tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frames/macroblock_record.h"

namespace avs {

// Replicated samples around the decoded area. Motion vectors are folded to at
// most 32 luma samples outside the picture and interpolation reads two more,
// so the luma margin is wider than 34; 64 keeps every row start 64-aligned.
inline constexpr int kLumaMargin = 64;
inline constexpr int kChromaMargin = 32;

struct DecodedFrame {
    // Top-left sample of each plane. The decoded area is 16*mbWidth x
    // 16*mbHeight luma samples (8*mbWidth x 8*mbHeight chroma); around it lie
    // kLumaMargin / kChromaMargin samples that ExtendBorders fills.
    uint8_t* lumaPlane;
    uint8_t* cbPlane;
    uint8_t* crPlane;
    // The same planes as motion-compensation references (equal pointers: the
    // margins are filled in place once the picture is complete).
    uint8_t* refLumaPlane;
    uint8_t* refCbPlane;
    uint8_t* refCrPlane;
    uint32_t width;   // horizontal_size
    uint32_t height;  // vertical_size
    ptrdiff_t lumaPitch;
    ptrdiff_t chromaPitch;
    ptrdiff_t refLumaPitch;    // == lumaPitch
    ptrdiff_t refChromaPitch;  // == chromaPitch
    uint32_t mbWidth;
    uint32_t mbHeight;
    int32_t* intraModes;          // IntraModeMap, margin entries -1
    MacroblockInfo* macroblocks;  // mbWidth * mbHeight records, raster order
    uint32_t pictureDistance;
    // picture_distance of the pictures this one referenced (P pictures: its
    // references 0 and 1), read by the direct mode of later B pictures.
    uint32_t refDistance[2];
    int32_t bordersExtended;
    int32_t delivered;
    // The host converts from this frame's planes (the last picture delivered
    // in place): it is not reused until another picture is delivered.
    int32_t shown;
    // The blocks behind the planes and behind the tables (their pointers lie
    // inside them).
    uint8_t* storage;
    uint8_t* tableStorage;
};

// The largest picture side decoded. The stream's 14-bit size fields allow
// 16383, but no level of the profile goes beyond 1920x1152; a hostile header
// must not make every picture cost hundreds of megabytes.
inline constexpr uint32_t kMaxPictureDimension = 4096;

// Whether pictures of this size and chroma_format can be decoded at all
// (4:2:0 only; 0 is taken as 4:2:0 too).
inline bool FrameFormatSupported(uint32_t width, uint32_t height, uint32_t chromaFormat) {
    return width != 0 && height != 0 && width <= kMaxPictureDimension &&
           height <= kMaxPictureDimension && chromaFormat <= 1;
}

// Sets the record's fields and takes its planes and tables. Returns 0, or -1
// (nothing left allocated) when memory runs out or chroma_format is not 4:2:0.
int AllocFrame(uint32_t width, uint32_t height, uint32_t chromaFormat, DecodedFrame& frame);
// Releases the planes and tables (not the record).
void ReleaseFrame(DecodedFrame& frame);
// Fills the margins from the decoded area's edge samples, once.
void ExtendBorders(DecodedFrame& frame);

// Record + planes as one owner, for code that is not the frame queue.
DecodedFrame* NewFrame(uint32_t width, uint32_t height, uint32_t chromaFormat);
void DeleteFrame(DecodedFrame* frame);

}  // namespace avs
