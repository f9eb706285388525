// The exported entry point: the stream record, its feed loop and the control
// requests that hosts issue. Nothing here throws; every function is noexcept.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "api/decoder.h"
#include "avsdec.h"
#include "convert/convert.h"

namespace avs {
namespace {

// Hosts address the record's slots and the descriptor's words by index.
constexpr size_t kWord = sizeof(void*);
static_assert(sizeof(AVS_Video_stream) == 14 * kWord);
static_assert(offsetof(AVS_Video_stream, Noop0) == 0 * kWord);
static_assert(offsetof(AVS_Video_stream, Feed) == 3 * kWord);
static_assert(offsetof(AVS_Video_stream, Noop4) == 4 * kWord);
static_assert(offsetof(AVS_Video_stream, Control) == 5 * kWord);
static_assert(offsetof(AVS_Video_stream, Noop6) == 6 * kWord);
static_assert(offsetof(AVS_Video_stream, Done) == 7 * kWord);
static_assert(offsetof(AVS_Video_stream, Free) == 8 * kWord);
static_assert(offsetof(AVS_Video_stream, Unused) == 9 * kWord);
static_assert(offsetof(AVS_Video_stream, Private) == 13 * kWord);
static_assert(sizeof(OutputPicture) == 11 * kWord);
static_assert(offsetof(OutputPicture, fourcc) == 2 * kWord);
static_assert(offsetof(OutputPicture, plane) == 4 * kWord);
static_assert(offsetof(OutputPicture, pitch) == 8 * kWord);
static_assert(sizeof(AVS_SequenceInfo) == sizeof(SequenceHeader));
// On a 32-bit platform (i686 Windows, say) the record is exactly fourteen
// 32-bit words and the descriptor eleven, as hosts there lay them out.
static_assert(kWord != 4 ||
              (sizeof(AVS_Video_stream) == 14 * 4 && sizeof(OutputPicture) == 11 * 4));

// The record's private word pair: the decoder, and a word kept at 0.
struct StreamPrivate {
    AvsDecoder* decoder;
    uintptr_t unused;
};

// Requests that read a decoder parameter into, or set one from, the argument.
struct ParamRequest {
    uint32_t code;
    DecoderParam param;
    bool sets;
};
constexpr ParamRequest kParamRequests[] = {
    {AVS_GetStatusText, DecoderParam::StatusText, false},
    {AVS_GetStatusWord, DecoderParam::StatusWord, false},
    {AVS_GetDeliveryFlag, DecoderParam::DeliveryFlag, false},
    {AVS_GetFrameSize, DecoderParam::FrameSize, false},
    {AVS_GetOutputFourcc, DecoderParam::OutputFourcc, false},
    {AVS_GetAspectRatio, DecoderParam::AspectRatio, false},
    {AVS_GetSequenceInfo, DecoderParam::SequenceInfo, false},
    {AVS_GetSequenceInfoAlias, DecoderParam::SequenceInfo, false},
    {AVS_SetPictureBuffer, DecoderParam::PictureBuffer, true},
    {AVS_SetOutputPitch, DecoderParam::OutputPitch, true},
    {AVS_SetOutputFourcc, DecoderParam::OutputFourcc, true},
    {AVS_SetDecodingThreads, DecoderParam::DecodingThreads, true},
};

AvsDecoder* DecoderOf(const AVS_Video_stream* stream) {
    if (stream == nullptr || stream->Private == nullptr) return nullptr;
    return static_cast<const StreamPrivate*>(stream->Private)->decoder;
}

uint32_t GetWord(AvsDecoder* d, DecoderParam id) {
    uint32_t v = 0;
    d->ops.GetParam(d, &v, static_cast<uint32_t>(id));
    return v;
}

// The picture the conversions read, after reading parameter 1 (which also
// clears the delivery flag); false when no picture is held.
bool HeldPicture(AvsDecoder* d, SourcePicture& source) {
    uint8_t* buffer = nullptr;
    d->ops.GetParam(d, &buffer, static_cast<uint32_t>(DecoderParam::PictureBuffer));
    const PictureBuffer& picture = d->context->decoding.frames.picture;
    if (picture.width == 0) return false;
    if (const DecodedFrame* f = picture.frame) {
        source = {f->lumaPlane,   f->cbPlane, f->crPlane, f->lumaPitch,
                  f->chromaPitch, f->width,   f->height};
        return true;
    }
    if (buffer == nullptr) return false;
    source = PackedSource(buffer, picture.width, picture.height);
    return true;
}

// Request 1: the picture into one host buffer, in the output layout.
void ConvertPicture(AvsDecoder* d, uintptr_t argument) {
    const uint32_t width = GetWord(d, DecoderParam::Width);
    const uint32_t height = GetWord(d, DecoderParam::Height);
    const auto pitch = static_cast<int32_t>(GetWord(d, DecoderParam::ConvertPitch));
    const uint32_t fourcc = GetWord(d, DecoderParam::ConvertFourcc);  // 0 for other layouts
    SourcePicture source{};
    // Only a picture of the sequence's size, which the frame size counts, is
    // converted; a host's buffer holds none until the next delivery.
    if (!HeldPicture(d, source) || source.width != width || source.height != height) return;
    if (fourcc == 0 || argument == 0) return;
    DeliverToBuffer(reinterpret_cast<uint8_t*>(argument), source, fourcc, pitch);
}

// Request 0x10007: the picture into the host's OutputPicture descriptor.
void ConvertPictureTo(AvsDecoder* d, uintptr_t argument) {
    SourcePicture source{};
    if (!HeldPicture(d, source) || argument == 0) return;
    const auto& out = *reinterpret_cast<const OutputPicture*>(argument);
    // The descriptor must not ask for more rows or columns than the picture has.
    if (out.width > source.width || out.height > source.height) return;
    DeliverPicture(out, source, static_cast<uint32_t>(out.fourcc));
}

}  // namespace
}  // namespace avs

using avs::AvsDecoder;

extern "C" {

static uint32_t AVSDEC_CALL NoopOp(AVS_Video_stream*, ...) noexcept {
    return 0;
}

static uint32_t AVSDEC_CALL FeedOp(AVS_Video_stream* stream, const uint8_t* data,
                                   uint32_t length) noexcept {
    AvsDecoder* d = avs::DecoderOf(stream);
    if (d == nullptr) return 0;
    if (data == nullptr) {
        d->ops.EndOfStream(d);
        return 0;
    }
    uint32_t remaining = length;
    for (;;) {
        uint32_t taken = 0;
        const uint32_t heldBefore = d->context->input.count;
        const int32_t r = d->ops.Parse(d, data, remaining, &taken);
        if (taken > remaining) taken = remaining;
        data += taken;
        remaining -= taken;
        if (r == 1) {
            const int32_t s = d->ops.Decode(d);
            if ((static_cast<uint32_t>(s) & avs::kDelivered) != 0) return length - remaining;
            if (s < 0) return 0xFFFFFFFFu;
        }
        if (avs::GetWord(d, avs::DecoderParam::StatusWord) == avs::kStatusNoSequence) {
            return length - remaining;
        }
        if (r == 0) {
            const uint32_t waiting = avs::kStatusNeedData;
            d->ops.SetParam(d, reinterpret_cast<uintptr_t>(&waiting),
                            static_cast<uint32_t>(avs::DecoderParam::StatusWord));
            return length - remaining;
        }
        if (remaining == 0) return length - remaining;
        // A unit that stays held without taking input would repeat forever.
        if (taken == 0 && d->context->input.count == heldBefore && heldBefore != 0) {
            return length - remaining;
        }
    }
}

static uint32_t AVSDEC_CALL ControlOp(AVS_Video_stream* stream, uintptr_t /*reserved*/,
                                      uint32_t code, uintptr_t argument) noexcept {
    using namespace avs;
    AvsDecoder* d = DecoderOf(stream);
    if (d == nullptr) return 0;
    switch (code) {
        case AVS_ConvertPicture:
            ConvertPicture(d, argument);
            return 0;
        case AVS_ConvertPictureTo:
            ConvertPictureTo(d, argument);
            return 0;
        case AVS_ResetDecoder:
        case AVS_ResetDecoderAlias:
            d->ops.Reset(d);
            return 0;
        case AVS_GetStatusAndDelivery:
            return GetWord(d, DecoderParam::DeliveryFlag) | GetWord(d, DecoderParam::StatusWord);
        default:
            break;
    }
    for (const ParamRequest& request : kParamRequests) {
        if (request.code != code) continue;
        const auto id = static_cast<uint32_t>(request.param);
        if (request.sets) {
            d->ops.SetParam(d, argument, id);
        } else {
            d->ops.GetParam(d, reinterpret_cast<void*>(argument), id);
        }
        break;
    }
    return 0;  // unknown requests do nothing
}

// Done and Free: release the decoder; the record stays valid with slot 13 = 0,
// so a host may call both.
static void AVSDEC_CALL TeardownOp(AVS_Video_stream* stream) noexcept {
    if (stream == nullptr || stream->Private == nullptr) return;
    auto* priv = static_cast<avs::StreamPrivate*>(stream->Private);
    avs::DeleteDecoder(priv->decoder);
    std::free(priv);
    stream->Private = nullptr;
}

AVSDEC_API AVS_Video_stream* AVSDEC_CALL open_AVS_Video_stream(void) {
    auto* stream = static_cast<AVS_Video_stream*>(std::calloc(1, sizeof(AVS_Video_stream)));
    if (stream == nullptr) return nullptr;
    auto* priv = static_cast<avs::StreamPrivate*>(std::calloc(1, sizeof(avs::StreamPrivate)));
    AvsDecoder* d = priv != nullptr ? avs::CreateDecoder() : nullptr;
    // Without its 8 MB input buffer the decoder could never take a byte.
    if (d == nullptr || d->ops.Init(d) == 0) {
        avs::DeleteDecoder(d);
        std::free(priv);
        std::free(stream);
        return nullptr;
    }
    priv->decoder = d;
    stream->Noop0 = NoopOp;
    stream->Noop1 = NoopOp;
    stream->Noop2 = NoopOp;
    stream->Feed = FeedOp;
    stream->Noop4 = NoopOp;
    stream->Control = ControlOp;
    stream->Noop6 = NoopOp;
    stream->Done = TeardownOp;
    stream->Free = TeardownOp;
    stream->Private = priv;
    return stream;
}

}  // extern "C"
