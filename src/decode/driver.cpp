#include "decode/driver.h"

#include <cstdlib>
#include <cstring>

#include "bitstream/start_codes.h"
#include "decode/pictures.h"
#include "frames/delivery.h"
#include "frames/frame_queue.h"

namespace avs {
namespace {

bool IsPictureCode(int32_t code) {
    return code == (0x100 | kIPictureCode) || code == (0x100 | kPbPictureCode);
}

bool SameSize(const DecodedFrame& a, const DecodedFrame& b) {
    return a.width == b.width && a.height == b.height;
}

// Copies `frame` into the picture buffer and raises the delivery flag.
// Returns kDelivered, or 0 when the picture buffer could not be had.
int32_t Deliver(DecoderContext& ctx, DecodedFrame& frame) {
    if (ctx.convertPitch == 0) ctx.convertPitch = OutputPitch(frame.width, ctx.outputFourcc);
    // A buffer known to hold another size is taken anew (a host's buffer of
    // unknown size is trusted to fit).
    const bool otherSize = ctx.pictureBufferWidth != 0 && (ctx.pictureBufferWidth != frame.width ||
                                                           ctx.pictureBufferHeight != frame.height);
    if (otherSize) {
        std::free(ctx.pictureBuffer);
        ctx.pictureBuffer = nullptr;
    }
    if (DeliverFrame(frame, &ctx.pictureBuffer) != 0) return 0;
    frame.delivered = 1;
    ctx.pictureBufferWidth = frame.width;
    ctx.pictureBufferHeight = frame.height;
    ctx.deliveryFlag = kDelivered;
    return kDelivered;
}

// A sequence end (or a unit the driver does not know) hands out the newest
// reference picture, whether or not it was delivered before, so the last
// picture in display order reaches the host.
int32_t FlushNewest(DecoderContext& ctx) {
    DecodedFrame* newest = ctx.queue.LastFrame();
    return newest != nullptr ? Deliver(ctx, *newest) : 0;
}

// After a sequence header: pictures of another size cannot serve as
// references or fit the picture buffer, and pictures already flushed by a
// sequence end must not delay the new sequence's reordering.
void StartSequence(DecoderContext& ctx) {
    const SequenceHeader& seq = ctx.sequence;
    const DecodedFrame* newest = ctx.queue.LastFrame();
    const bool queueOtherSize = newest != nullptr && (newest->width != seq.horizontal_size ||
                                                      newest->height != seq.vertical_size);
    const bool bufferOtherSize =
        ctx.pictureBuffer != nullptr && (ctx.pictureBufferWidth != seq.horizontal_size ||
                                         ctx.pictureBufferHeight != seq.vertical_size);
    if (queueOtherSize || ctx.queueFlushed) ctx.queue.ReleaseAll();
    ctx.queueFlushed = false;
    if (bufferOtherSize) {
        std::free(ctx.pictureBuffer);
        ctx.pictureBuffer = nullptr;
        // The default pitch follows the new width; a host's own pitch stays.
        if (ctx.convertPitch == OutputPitch(ctx.pictureBufferWidth, ctx.outputFourcc)) {
            ctx.convertPitch = 0;
        }
        ctx.pictureBufferWidth = 0;
        ctx.pictureBufferHeight = 0;
    }
}

void PictureDone(DecoderContext& ctx, const char* text, const BitReader& br) {
    SetStatusText(ctx, text);
    ++ctx.picturesDecoded;
    ctx.lastPictureBytes = br.pos / 8;
}

// Delivery after a reference picture: the oldest reference not yet shown is
// next in display order, once a second reference exists.
int32_t DeliverInDisplayOrder(DecoderContext& ctx) {
    if (ctx.queue.count <= 1) return 0;
    DecodedFrame* next = ctx.queue.FirstUndelivered();
    return next != nullptr ? Deliver(ctx, *next) : 0;
}

// An I or P picture: a new newest entry of the queue. Returns the decode
// result; kResultNoMemory leaves the unit held for another try.
int32_t DecodeReferencePicture(DecoderContext& ctx, BitReader& br, bool intra) {
    const SequenceHeader& seq = ctx.sequence;
    DecodedFrame* frame =
        ctx.queue.PushFrame(seq.horizontal_size, seq.vertical_size, seq.chroma_format);
    if (frame == nullptr) return kResultNoMemory;
    frame->pictureDistance = ctx.picture.picture_distance;
    if (intra) {
        if (ctx.queue.count > 2) ctx.queue.PopFront();
        DecodeIPicture(ctx, br, *frame);
        ExtendBorders(*frame);
        PictureDone(ctx, "I-frame succesfully decoded", br);
        return kResultIPicture;
    }
    if (ctx.queue.count > 4) ctx.queue.PopFront();
    // Later B pictures' direct mode needs the distances of this picture's references.
    for (int32_t k = 0; k < 2; ++k) {
        const DecodedFrame* ref = ctx.queue.FrameAt(ctx.queue.count - 2 - k);
        frame->refDistance[k] = ref != nullptr ? ref->pictureDistance : frame->pictureDistance;
    }
    if (DecodePPicture(ctx, br, *frame) == -1) {
        ctx.queue.RemoveAt(ctx.queue.count - 1);
        return -kResultPPicture;  // dropped: the caller reports it without delivery
    }
    ExtendBorders(*frame);
    PictureDone(ctx, "P-frame succesfully decoded", br);
    ctx.forwardDistance = frame->pictureDistance;
    return kResultPPicture;
}

// A B picture: decoded between the two newest references and delivered at
// once; it is never kept.
int32_t DecodeBidirectionalPicture(DecoderContext& ctx, BitReader& br) {
    const SequenceHeader& seq = ctx.sequence;
    if (ctx.queue.count > 4) ctx.queue.PopFront();
    const DecodedFrame* forward = ctx.queue.FrameAt(ctx.queue.count - 2);
    const DecodedFrame* backward = ctx.queue.FrameAt(ctx.queue.count - 1);
    const bool usable = forward != nullptr && backward != nullptr &&
                        SameSize(*forward, *backward) && backward->width == seq.horizontal_size &&
                        backward->height == seq.vertical_size;
    if (!usable) return -kResultBPicture;
    DecodedFrame* frame =
        ctx.framePool.Take(seq.horizontal_size, seq.vertical_size, seq.chroma_format);
    if (frame == nullptr) return kResultNoMemory;
    frame->pictureDistance = ctx.picture.picture_distance;
    frame->pictureType = PictureType::B;
    ctx.forwardDistance = forward->pictureDistance;
    ctx.backwardDistance = backward->pictureDistance;
    DecodeBPicture(ctx, br, *frame, *backward, *forward);
    PictureDone(ctx, "B-frame succesfully decoded", br);
    const int32_t result = kResultBPicture | Deliver(ctx, *frame);
    ctx.framePool.Give(frame);
    ctx.statusWord = kStatusBPicture;
    return result;
}

// A picture unit after a sequence header; the reader stands after its header.
// Negative results other than kResultNoMemory are pictures that were dropped
// (their kind negated): they deliver nothing.
int32_t DecodePicture(DecoderContext& ctx, BitReader& br) {
    const SequenceHeader& seq = ctx.sequence;
    // Pictures of a size or chroma format that is not decoded are dropped,
    // not kept for another try as a picture that found no memory is.
    if (!FrameFormatSupported(seq.horizontal_size, seq.vertical_size, seq.chroma_format)) {
        return kResultNothing;
    }
    if (ctx.lastStartCode == (0x100 | kIPictureCode)) return DecodeReferencePicture(ctx, br, true);
    switch (ctx.picture.picture_coding_type) {
        case 1:
            return DecodeReferencePicture(ctx, br, false);
        case 2:
            return DecodeBidirectionalPicture(ctx, br);
        default:
            return kResultNothing;  // coding types 0 and 3 are not pictures we know
    }
}

}  // namespace

int32_t DecodeUnit(DecoderContext& ctx, uint8_t* unit, uint32_t length) {
    // The bytes after the unit are the next unit's start code, which the host
    // presents again; zeroing them makes the unit read the same whatever the
    // chunking, and keeps every read inside the allocation.
    std::memset(unit + length, 0, kUnitPadding);
    // EndOfStream decodes its own bytes and leaves the held unit alone.
    const bool held = unit == ctx.readPos;
    const auto dropHeldUnit = [&] {
        if (held) ctx.heldCount = 0;
    };

    BitReader br(unit, length);
    const int32_t h = ReadUnitHeader(ctx, br);
    int32_t result = kResultNothing;
    if (h == 0) {
        if (ctx.lastStartCode == -1) {  // a sequence header: the status stays "unit held"
            StartSequence(ctx);
            dropHeldUnit();
            return kResultNothing;
        }
        if (IsPictureCode(ctx.lastStartCode)) {
            if (ctx.sequence.profile_id == 0) {
                SetStatusText(ctx, "No sequence header exists");
                ctx.statusWord = kStatusNoSequence;
                dropHeldUnit();
                return kResultNothing;
            }
            result = DecodePicture(ctx, br);
            // A picture whose frame could not be allocated stays held and
            // is decoded again by the next Decode.
            if (result == kResultNoMemory) return result;
            dropHeldUnit();
            if (result < 0) {  // dropped without delivery
                ctx.statusWord = kStatusIdle;
                return -result;
            }
            if (result == kResultBPicture || result == (kResultBPicture | kDelivered)) {
                return result;  // the status word stays "B picture"
            }
            if (result != kResultNothing) result |= DeliverInDisplayOrder(ctx);
        }
        // Other units carry nothing to decode.
    } else {
        result = h | FlushNewest(ctx);
        if (h == kResultSequenceEnd) ctx.queueFlushed = true;
    }
    dropHeldUnit();
    ctx.statusWord = kStatusIdle;
    return result;
}

}  // namespace avs
