// The decoder object behind a stream record: a table of operations and the
// context that composes all state of one stream.
#pragma once

#include <cstdint>

#include "bitstream/start_codes.h"
#include "bitstream/status.h"
#include "decode/driver.h"

namespace avs {

struct DecoderContext {
    HeldInput input;         // the unit being collected
    StreamStatus status;     // what the host reads of the last event
    DecodingState decoding;  // headers, frames, picture buffer, output settings
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
    DecodingThreads = 15,
};

struct AvsDecoder;

// The operations the stream record reaches the decoder through.
struct AvsDecoderOps {
    int32_t (*Init)(AvsDecoder* decoder);
    void (*Reset)(AvsDecoder* decoder);
    void (*EndOfStream)(AvsDecoder* decoder);
    int32_t (*Parse)(AvsDecoder* decoder, const uint8_t* data, uint32_t count, uint32_t* taken);
    int32_t (*Decode)(AvsDecoder* decoder);
    int32_t (*SetParam)(AvsDecoder* decoder, uintptr_t argument, uint32_t id);
    int32_t (*GetParam)(AvsDecoder* decoder, void* result, uint32_t id);
};

struct AvsDecoder {
    AvsDecoderOps ops;
    DecoderContext* context;
};

// nullptr when memory runs out. The caller runs ops.Init next.
AvsDecoder* CreateDecoder();
// Releases the object with everything it holds; does nothing for nullptr.
void DeleteDecoder(AvsDecoder* decoder);

}  // namespace avs
