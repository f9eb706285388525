// The decoder object: a table of ten operations and the context record that
// owns all decoding state of one stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitstream/headers.h"
#include "decode/macroblock.h"
#include "frames/frame_queue.h"

namespace avs {

inline constexpr uint32_t kInputBufferSize = 0x800000;

// Status words (the public header has the same values for hosts).
inline constexpr uint32_t kStatusIdle = 0;
inline constexpr uint32_t kStatusHeaderRead = 1;
inline constexpr uint32_t kStatusUnitHeld = 2;
inline constexpr uint32_t kStatusSequenceEnd = 4;
inline constexpr uint32_t kStatusNeedData = 8;
inline constexpr uint32_t kStatusBPicture = 32;
inline constexpr uint32_t kStatusNoSequence = 64;
inline constexpr uint32_t kStatusBadStartCode = 0x10000000;
inline constexpr uint32_t kDelivered = 0x1000000;

inline constexpr uint32_t Fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
inline constexpr uint32_t kFourccYV12 = Fourcc('Y', 'V', '1', '2');
inline constexpr uint32_t kFourccYUY2 = Fourcc('Y', 'U', 'Y', '2');
inline constexpr uint32_t kFourccYUYV = Fourcc('Y', 'U', 'Y', 'V');
inline constexpr uint32_t kFourccUYVY = Fourcc('U', 'Y', 'V', 'Y');
inline constexpr uint32_t kFourccBGR3 = Fourcc('B', 'G', 'R', '3');
inline constexpr uint32_t kFourccBGR4 = Fourcc('B', 'G', 'R', '4');
inline constexpr uint32_t kFourccBGRA = Fourcc('B', 'G', 'R', 'A');
inline constexpr uint32_t kFourccG565 = Fourcc('G', '5', '6', '5');
inline constexpr uint32_t kFourccG555 = Fourcc('G', '5', '5', '5');

struct DecoderContext {
    uint8_t* readPos;      // first held byte inside inputBuffer
    uint8_t* inputBuffer;  // kInputBufferSize bytes + zero padding
    uint32_t heldCount;
    uint8_t* pictureBuffer;  // planar 4:2:0 (YV12 order) copy of the last delivered picture
    int32_t convertPitch;
    uint32_t outputFourcc;
    int32_t lastStartCode;  // -1: none, or the last unit was a sequence header
    PictureHeader picture;
    SequenceHeader sequence;
    uint32_t mbWidth;
    uint32_t mbHeight;
    FrameQueue queue;
    FramePool framePool;  // frames the queue and B pictures no longer need
    uint32_t lastPictureBytes;
    uint32_t picturesDecoded;
    uint32_t forwardDistance;
    uint32_t backwardDistance;
    uint32_t statusWord;
    uint32_t deliveryFlag;
    char statusText[256];

    // Size of the picture held in pictureBuffer (0 x 0: none delivered yet).
    uint32_t pictureBufferWidth;
    uint32_t pictureBufferHeight;
    // A sequence end flushed the queue; the next sequence header empties it.
    bool queueFlushed;

    MacroblockBuffers mb;
};

// Parameter ids of AvsDecoderOps::GetParam / SetParam.
enum class DecoderParam : uint32_t {
    PictureBuffer = 1,  // set: the pointer itself; get: also clears the delivery flag
    StatusText = 2,
    StatusWord = 3,
    DeliveryFlag = 4,
    FrameSize = 5,  // bytes of one picture in the output FourCC
    OutputPitch = 6,
    OutputFourcc = 7,
    AspectRatio = 8,
    Width = 10,
    Height = 11,
    ConvertPitch = 12,
    ConvertFourcc = 13,  // written only for the five convertible FourCCs
    SequenceInfo = 14,   // the 13 SequenceHeader words
};

struct AvsDecoder;

struct AvsDecoderOps {
    int32_t (*Init)(AvsDecoder* decoder);
    void (*Reset)(AvsDecoder* decoder);
    void (*EndOfStream)(AvsDecoder* decoder);
    int32_t (*Parse)(AvsDecoder* decoder, const uint8_t* data, uint32_t count, uint32_t* taken);
    int32_t (*Decode)(AvsDecoder* decoder);
    uint32_t (*GetStatus)(AvsDecoder* decoder);
    uint32_t (*TakeStatus)(AvsDecoder* decoder);
    int32_t (*SetParam)(AvsDecoder* decoder, uintptr_t argument, uint32_t id);
    int32_t (*GetParam)(AvsDecoder* decoder, void* result, uint32_t id);
    int32_t (*IsReady)(AvsDecoder* decoder);
};

struct AvsDecoder {
    AvsDecoderOps ops;
    DecoderContext* context;
};

// nullptr when memory runs out. The host's code calls ops.Init next.
AvsDecoder* CreateDecoder();
// Releases queued frames, the input buffer and the picture buffer.
void DestroyDecoder(AvsDecoder* decoder);
// Releases the object and its context (after DestroyDecoder).
void DeleteDecoder(AvsDecoder* decoder);

// Writes a status text (with its terminating zero) into the context.
void SetStatusText(DecoderContext& ctx, const char* text);

}  // namespace avs
