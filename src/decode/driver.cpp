#include "decode/driver.h"

#include <cstring>

#include "bitstream/start_codes.h"
#include "frames/delivery.h"
#include "frames/frame_queue.h"

namespace avs {
namespace {

bool IsPictureCode(int32_t code) {
    return code == (0x100 | kIPictureCode) || code == (0x100 | kPbPictureCode);
}

// Copies `frame` into the picture buffer and raises the delivery flag.
// Returns kDelivered, or 0 when the picture buffer could not be had.
int32_t Deliver(DecoderContext& ctx, const DecodedFrame& frame) {
    if (ctx.convertPitch == 0) ctx.convertPitch = OutputPitch(frame.width, ctx.outputFourcc);
    if (DeliverFrame(frame, &ctx.pictureBuffer) != 0) return 0;
    ctx.pictureBufferWidth = frame.width;
    ctx.pictureBufferHeight = frame.height;
    ctx.deliveryFlag = kDelivered;
    return kDelivered;
}

// A sequence end (or a unit the driver does not know) hands out the newest
// reference picture, whether or not it was delivered before, so the last
// picture in display order reaches the host.
int32_t FlushNewest(DecoderContext& ctx) {
    if (ctx.queue.count <= 0) return 0;
    const DecodedFrame* newest = ctx.queue.FrameAt(ctx.queue.count - 1);
    return newest != nullptr ? Deliver(ctx, *newest) : 0;
}

// A picture unit after a sequence header; the reader stands after its header.
// Pictures are not reconstructed yet: the unit is dropped.
int32_t DecodePicture(DecoderContext& /*ctx*/, BitReader& /*br*/) {
    return kResultNothing;
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
        }
        // Other units carry nothing to decode.
    } else {
        result = h | FlushNewest(ctx);
    }
    dropHeldUnit();
    ctx.statusWord = kStatusIdle;
    return result;
}

}  // namespace avs
