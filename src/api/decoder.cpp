#include "api/decoder.h"

#include <cstdlib>
#include <cstring>

#include "bitstream/start_codes.h"
#include "decode/driver.h"
#include "frames/aligned_alloc.h"
#include "frames/delivery.h"
#include "platform/kernel_table.h"

namespace avs {
namespace {

using Param = DecoderParam;

DecoderContext& Ctx(AvsDecoder* decoder) {
    return *decoder->context;
}

// The input buffer with zero padding behind its kInputBufferSize bytes, so
// that a unit ending at the buffer's end still has its kUnitPadding bytes.
uint8_t* AllocInputBuffer() {
    auto* buffer = static_cast<uint8_t*>(AlignedAlloc(kInputBufferSize + kUnitPadding));
    if (buffer != nullptr) std::memset(buffer + kInputBufferSize, 0, kUnitPadding);
    return buffer;
}

void ReleaseFramesAndBuffers(DecoderContext& ctx) {
    ctx.queue.ReleaseAll();
    ctx.framePool.Clear();
    AlignedFree(ctx.inputBuffer);
    std::free(ctx.pictureBuffer);
    ctx.inputBuffer = nullptr;
    ctx.readPos = nullptr;
    ctx.heldCount = 0;
    ctx.pictureBuffer = nullptr;
    ctx.pictureBufferWidth = 0;
    ctx.pictureBufferHeight = 0;
}

void TakeInputBuffer(DecoderContext& ctx) {
    ctx.inputBuffer = AllocInputBuffer();
    ctx.readPos = ctx.inputBuffer;
    ctx.heldCount = 0;
}

bool IsConvertibleFourcc(uint32_t fourcc) {
    return fourcc == kFourccYV12 || fourcc == kFourccBGR3 || fourcc == kFourccBGR4 ||
           fourcc == kFourccYUY2 || fourcc == kFourccUYVY;
}

int32_t Init(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    ReleaseFramesAndBuffers(ctx);  // nothing to release unless Init runs twice
    ctx = DecoderContext{};
    ctx.lastStartCode = -1;
    ctx.queue.Clear();
    ctx.queue.spares = &ctx.framePool;
    TakeInputBuffer(ctx);
    ctx.outputFourcc = kFourccYV12;
    FillKernelTable();
    return ctx.inputBuffer != nullptr ? 1 : 0;
}

// Drops held input and pictures; the headers, status and counters survive.
void Reset(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    ReleaseFramesAndBuffers(ctx);
    TakeInputBuffer(ctx);
    ctx.lastStartCode = -1;
    ctx.outputFourcc = kFourccYV12;
}

// Decodes a sequence end of its own, which hands out the newest queued picture.
void EndOfStream(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    if (ctx.statusWord == kStatusSequenceEnd) return;
    uint8_t unit[4 + kUnitPadding] = {0, 0, 1, kSequenceEndCode};
    DecodeUnit(ctx, unit, 4);
    ctx.statusWord = kStatusSequenceEnd;
}

int32_t ParseOp(AvsDecoder* decoder, const uint8_t* data, uint32_t count, uint32_t* taken) {
    return Parse(Ctx(decoder), data, count, taken);
}

int32_t Decode(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    if (ctx.statusWord == kStatusIdle || ctx.readPos == nullptr) return 0;
    return DecodeUnit(ctx, ctx.readPos, ctx.heldCount);
}

uint32_t GetStatus(AvsDecoder* decoder) {
    return Ctx(decoder).statusWord;
}

uint32_t TakeStatus(AvsDecoder* decoder) {
    DecoderContext& ctx = Ctx(decoder);
    const uint32_t status = ctx.statusWord;
    ctx.statusWord = kStatusIdle;
    return status;
}

uint32_t ReadWord(uintptr_t address) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const void*>(address), sizeof v);
    return v;
}

// `argument` is the value itself for the picture buffer, else the address of a 32-bit word.
int32_t SetParam(AvsDecoder* decoder, uintptr_t argument, uint32_t id) {
    DecoderContext& ctx = Ctx(decoder);
    switch (static_cast<Param>(id)) {
        case Param::PictureBuffer: {
            // The buffer passes into the decoder's keeping, sized by the host.
            auto* buffer = reinterpret_cast<uint8_t*>(argument);
            if (buffer != ctx.pictureBuffer) std::free(ctx.pictureBuffer);
            ctx.pictureBuffer = buffer;
            ctx.pictureBufferWidth = 0;
            ctx.pictureBufferHeight = 0;
            return 1;
        }
        case Param::StatusText:
            return 1;
        case Param::StatusWord:
            if (argument != 0) ctx.statusWord = ReadWord(argument);
            return 1;
        case Param::OutputPitch:
            if (argument != 0) ctx.convertPitch = static_cast<int32_t>(ReadWord(argument));
            return 1;
        case Param::OutputFourcc:
            if (argument != 0) ctx.outputFourcc = ReadWord(argument);
            return 1;
        default:
            return 0;
    }
}

void WriteWord(void* result, uint32_t v) {
    std::memcpy(result, &v, sizeof v);
}

int32_t GetParam(AvsDecoder* decoder, void* result, uint32_t id) {
    DecoderContext& ctx = Ctx(decoder);
    if (result == nullptr) return 0;
    const SequenceHeader& seq = ctx.sequence;
    switch (static_cast<Param>(id)) {
        case Param::PictureBuffer:
            std::memcpy(result, &ctx.pictureBuffer, sizeof ctx.pictureBuffer);
            ctx.deliveryFlag = 0;
            return 1;
        case Param::StatusText:
            std::memcpy(result, ctx.statusText, strnlen(ctx.statusText, sizeof ctx.statusText) + 1);
            return 1;
        case Param::StatusWord:
            WriteWord(result, ctx.statusWord);
            return 1;
        case Param::DeliveryFlag:
            WriteWord(result, ctx.deliveryFlag);
            return 1;
        case Param::FrameSize:
            WriteWord(result, OutputSizeFactor(ctx.outputFourcc) * seq.vertical_size *
                                  seq.horizontal_size / 2);
            return 1;
        case Param::OutputPitch:
        case Param::ConvertPitch:
            WriteWord(result, static_cast<uint32_t>(ctx.convertPitch));
            return 1;
        case Param::OutputFourcc:
            WriteWord(result, ctx.outputFourcc);
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
            if (IsConvertibleFourcc(ctx.outputFourcc)) WriteWord(result, ctx.outputFourcc);
            return 1;
        case Param::SequenceInfo:
            std::memcpy(result, &seq, sizeof seq);
            return 1;
        default:
            return 0;
    }
}

int32_t IsReady(AvsDecoder*) {
    return 1;
}

}  // namespace

void SetStatusText(DecoderContext& ctx, const char* text) {
    const size_t n = strnlen(text, sizeof ctx.statusText - 1);
    std::memcpy(ctx.statusText, text, n);
    ctx.statusText[n] = '\0';
}

AvsDecoder* CreateDecoder() {
    auto* context = static_cast<DecoderContext*>(AlignedAlloc(sizeof(DecoderContext)));
    if (context == nullptr) return nullptr;
    std::memset(static_cast<void*>(context), 0, sizeof(DecoderContext));
    auto* decoder = static_cast<AvsDecoder*>(AlignedAlloc(sizeof(AvsDecoder)));
    if (decoder == nullptr) {
        AlignedFree(context);
        return nullptr;
    }
    decoder->ops = AvsDecoderOps{Init,      Reset,      EndOfStream, ParseOp,  Decode,
                                 GetStatus, TakeStatus, SetParam,    GetParam, IsReady};
    decoder->context = context;
    return decoder;
}

void DestroyDecoder(AvsDecoder* decoder) {
    if (decoder != nullptr) ReleaseFramesAndBuffers(Ctx(decoder));
}

void DeleteDecoder(AvsDecoder* decoder) {
    if (decoder == nullptr) return;
    AlignedFree(decoder->context);
    AlignedFree(decoder);
}

}  // namespace avs
