#include "api/decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "convert/convert.h"
#include "convert/output_layout.h"
#include "decode/kernel_table.h"
#include "frames/delivery.h"

namespace avs {
namespace {

using Param = DecoderParam;

DecoderContext& Ctx(AvsDecoder* decoder) {
    return *decoder->context;
}

// Everything starts afresh, but the kernel table is the process's. Returns 0
// when the input buffer could not be had: then nothing can be taken.
int32_t Init(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    ctx.decoding.frames.ReleaseAll();
    ctx.decoding.headers = StreamHeaders{};
    ctx.decoding.outputFourcc = kFourccYV12;
    ctx.decoding.convertPitch = 0;
    ctx.decoding.deliveryFlag = 0;
    ctx.decoding.queueFlushed = false;
    ctx.status = StreamStatus{};
    FillKernelTable();
    return ctx.input.Reset() ? 1 : 0;
}

// Drops held input and pictures; the headers, status, pitch and delivery
// flag survive.
void Reset(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    ctx.decoding.frames.ReleaseAll();
    ctx.input.Reset();
    ctx.decoding.headers.lastStartCode = -1;
    ctx.decoding.outputFourcc = kFourccYV12;
}

// Decodes a sequence end of its own, which hands out the newest queued
// picture. The unit being collected stays as it is.
void EndOfStream(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    if (ctx.status.word == kStatusSequenceEnd) return;
    uint8_t unit[4 + kUnitPadding] = {0, 0, 1, kSequenceEndCode};
    DecodeUnit(ctx.decoding, ctx.status, unit, 4);
    ctx.status.word = kStatusSequenceEnd;
}

int32_t ParseOp(AvsDecoder* decoder, const uint8_t* data, uint32_t count, uint32_t* taken) {
    DecoderContext& ctx = Ctx(decoder);
    return Parse(ctx.input, data, count, taken, ctx.status, ctx.decoding.headers.sequence);
}

// Decodes the held unit. It is dropped once dealt with, unless its picture
// found no memory: then the next Decode tries it again.
int32_t Decode(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    HeldInput& input = ctx.input;
    if (ctx.status.word == kStatusIdle || input.buffer == nullptr) return 0;
    const int32_t result = DecodeUnit(ctx.decoding, ctx.status, input.buffer.get(), input.count);
    if (result != kResultNoMemory) input.count = 0;
    return result;
}

uint32_t ReadWord(uintptr_t address) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const void*>(address), sizeof v);
    return v;
}

// `argument` is the value itself for the picture buffer, else the address of a 32-bit word.
int32_t SetParam(AvsDecoder* decoder, uintptr_t argument, uint32_t id) {
    DecoderContext& ctx = Ctx(decoder);
    DecodingState& decoding = ctx.decoding;
    switch (static_cast<Param>(id)) {
        case Param::PictureBuffer: {
            // The buffer passes into the decoder's keeping, sized by the host
            // for the current sequence.
            const SequenceHeader& seq = decoding.headers.sequence;
            decoding.frames.picture.HandOver(
                reinterpret_cast<uint8_t*>(argument),
                PictureBufferBytes(seq.horizontal_size, seq.vertical_size));
            return 1;
        }
        case Param::StatusText:
            return 1;
        case Param::StatusWord:
            if (argument != 0) ctx.status.word = ReadWord(argument);
            return 1;
        case Param::OutputPitch:
            if (argument != 0) decoding.convertPitch = static_cast<int32_t>(ReadWord(argument));
            return 1;
        case Param::OutputFourcc:
            if (argument != 0) decoding.outputFourcc = ReadWord(argument);
            return 1;
        case Param::DecodingThreads:
            if (argument != 0) decoding.threads = std::min(ReadWord(argument), kMaxDecodingThreads);
            return 1;
        default:
            return 0;
    }
}

// The host's pitch, or else the default of the current layout and width, so
// that a layout set after a delivery never meets another layout's pitch.
int32_t ConvertPitch(const DecodingState& decoding) {
    if (decoding.convertPitch != 0) return decoding.convertPitch;
    return OutputPitch(decoding.headers.sequence.horizontal_size, decoding.outputFourcc);
}

// What request 1 writes with the current layout and pitch; layouts that it
// does not convert keep their nominal size.
uint32_t FrameSize(const DecodingState& decoding) {
    const SequenceHeader& seq = decoding.headers.sequence;
    if (IsConvertibleFourcc(decoding.outputFourcc)) {
        return BufferBytes(decoding.outputFourcc, seq.horizontal_size, seq.vertical_size,
                           ConvertPitch(decoding));
    }
    return OutputSizeFactor(decoding.outputFourcc) * seq.vertical_size * seq.horizontal_size / 2;
}

void WriteWord(void* result, uint32_t v) {
    std::memcpy(result, &v, sizeof v);
}

int32_t GetParam(AvsDecoder* decoder, void* result, uint32_t id) {
    DecoderContext& ctx = Ctx(decoder);
    DecodingState& decoding = ctx.decoding;
    if (result == nullptr) return 0;
    const SequenceHeader& seq = decoding.headers.sequence;
    switch (static_cast<Param>(id)) {
        case Param::PictureBuffer:
            std::memcpy(result, &decoding.frames.picture.data, sizeof(uint8_t*));
            decoding.deliveryFlag = 0;
            return 1;
        case Param::StatusText:
            std::memcpy(result, ctx.status.text,
                        strnlen(ctx.status.text, sizeof ctx.status.text) + 1);
            return 1;
        case Param::StatusWord:
            WriteWord(result, ctx.status.word);
            return 1;
        case Param::DeliveryFlag:
            WriteWord(result, decoding.deliveryFlag);
            return 1;
        case Param::FrameSize:
            WriteWord(result, FrameSize(decoding));
            return 1;
        case Param::OutputPitch:
        case Param::ConvertPitch:
            WriteWord(result, static_cast<uint32_t>(ConvertPitch(decoding)));
            return 1;
        case Param::OutputFourcc:
            WriteWord(result, decoding.outputFourcc);
            return 1;
        case Param::AspectRatio:
            WriteWord(result, seq.aspect_ratio);
            return 1;
        case Param::Width:
            WriteWord(result, seq.horizontal_size);
            return 1;
        case Param::Height:
            WriteWord(result, seq.vertical_size);
            return 1;
        case Param::ConvertFourcc:
            if (IsConvertibleFourcc(decoding.outputFourcc)) {
                WriteWord(result, decoding.outputFourcc);
            }
            return 1;
        case Param::SequenceInfo:
            std::memcpy(result, &seq, sizeof seq);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

AvsDecoder* CreateDecoder() {
    auto* context = new (std::nothrow) DecoderContext;
    if (context == nullptr) return nullptr;
    auto* decoder = new (std::nothrow) AvsDecoder;
    if (decoder == nullptr) {
        delete context;
        return nullptr;
    }
    decoder->ops = AvsDecoderOps{Init, Reset, EndOfStream, ParseOp, Decode, SetParam, GetParam};
    decoder->context = context;
    return decoder;
}

void DeleteDecoder(AvsDecoder* decoder) {
    if (decoder == nullptr) return;
    delete decoder->context;
    delete decoder;
}

}  // namespace avs
