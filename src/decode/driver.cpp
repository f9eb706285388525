#include "decode/driver.h"

#include <cstring>

#include "bitstream/start_codes.h"
#include "decode/pictures.h"
#include "frames/delivery.h"

namespace avs {
namespace {

bool IsPictureCode(int32_t code) {
    return code == (0x100 | kIPictureCode) || code == (0x100 | kPbPictureCode);
}

bool SameSize(const DecodedFrame& a, const DecodedFrame& b) {
    return a.width == b.width && a.height == b.height;
}

// Makes `frame` the picture the host reads (DeliverFrame) and raises the delivery flag.
// Returns kDelivered, or 0 when the picture buffer could not be had.
int32_t Deliver(DecodingState& state, DecodedFrame& frame) {
    if (DeliverFrame(frame, state.frames.picture) != 0) return 0;
    frame.delivered = 1;
    state.deliveryFlag = kDelivered;
    return kDelivered;
}

// A sequence end (or a unit the driver does not know) hands out the newest
// reference picture, whether or not it was delivered before, so the last
// picture in display order reaches the host.
int32_t FlushNewest(DecodingState& state) {
    DecodedFrame* newest = state.frames.queue.LastFrame();
    return newest != nullptr ? Deliver(state, *newest) : 0;
}

// After a sequence header: pictures of another size cannot serve as
// references or fit the picture buffer, and pictures already flushed by a
// sequence end must not delay the new sequence's reordering.
void StartSequence(DecodingState& state) {
    const SequenceHeader& seq = state.headers.sequence;
    FrameStore& frames = state.frames;
    const DecodedFrame* newest = frames.queue.LastFrame();
    const bool queueOtherSize = newest != nullptr && (newest->width != seq.horizontal_size ||
                                                      newest->height != seq.vertical_size);
    // A host's buffer that holds no picture yet stays.
    PictureBuffer& picture = frames.picture;
    const bool bufferOtherSize = picture.width != 0 && (picture.width != seq.horizontal_size ||
                                                        picture.height != seq.vertical_size);
    if (queueOtherSize || state.queueFlushed) frames.queue.ReleaseAll();
    state.queueFlushed = false;
    if (bufferOtherSize) picture.Release();
}

// The threads pictures are decoded on, or null for the caller's alone. The
// team is started, or started anew, when the thread count asks for another.
const ParallelDecoding* Parallel(DecodingState& state, ParallelDecoding& parallel) {
    if (state.threads <= 1) {
        state.team.reset();
        return nullptr;
    }
    const uint32_t workers = state.threads - 1;  // at most kMaxDecodingThreads - 1
    if (state.team == nullptr || state.team->requested() != workers) {
        state.team.reset();  // its threads end before new ones start
        state.team = std::make_unique<WorkerTeam>(workers);
    }
    parallel = {state.team.get(), &state.pipeline};
    return &parallel;
}

// Delivery after a reference picture: the oldest reference not yet shown is
// next in display order, once a second reference exists.
int32_t DeliverInDisplayOrder(DecodingState& state) {
    const FrameQueue& queue = state.frames.queue;
    if (queue.count <= 1) return 0;
    DecodedFrame* next = queue.FirstUndelivered();
    return next != nullptr ? Deliver(state, *next) : 0;
}

// An I or P picture: a new newest entry of the queue. Returns the decode
// result; kResultNoMemory leaves the unit held for another try.
int32_t DecodeReferencePicture(DecodingState& state, StreamStatus& status, BitReader& br,
                               bool intra) {
    const SequenceHeader& seq = state.headers.sequence;
    FrameQueue& queue = state.frames.queue;
    DecodedFrame* frame =
        queue.PushFrame(seq.horizontal_size, seq.vertical_size, seq.chroma_format);
    if (frame == nullptr) return kResultNoMemory;
    frame->pictureDistance = state.headers.picture.picture_distance;
    ParallelDecoding parallel{};
    PictureState pic(state.headers, *frame, Parallel(state, parallel));
    if (intra) {
        if (queue.count > 2) queue.PopFront();
        DecodeIPicture(pic, br);
        ExtendBorders(*frame);
        status.SetText("I-frame succesfully decoded");
        return kResultIPicture;
    }
    if (queue.count > 4) queue.PopFront();
    // References of this picture's size; later B pictures' direct mode needs
    // their distances.
    const DecodedFrame* refs[2] = {};
    for (int32_t k = 0; k < 2; ++k) {
        const DecodedFrame* ref = queue.FrameAt(queue.count - 2 - k);
        if (ref != nullptr && SameSize(*ref, *frame)) refs[k] = ref;
        frame->refDistance[k] = ref != nullptr ? ref->pictureDistance : frame->pictureDistance;
    }
    if (!DecodePPicture(pic, br, refs)) {
        queue.RemoveAt(queue.count - 1);
        return -kResultPPicture;  // dropped: the caller reports it without delivery
    }
    ExtendBorders(*frame);
    status.SetText("P-frame succesfully decoded");
    return kResultPPicture;
}

// A B picture: decoded between the two newest references and delivered at
// once; it is never kept.
int32_t DecodeBidirectionalPicture(DecodingState& state, StreamStatus& status, BitReader& br) {
    const SequenceHeader& seq = state.headers.sequence;
    FrameStore& frames = state.frames;
    FrameQueue& queue = frames.queue;
    if (queue.count > 4) queue.PopFront();
    const DecodedFrame* forward = queue.FrameAt(queue.count - 2);
    const DecodedFrame* backward = queue.FrameAt(queue.count - 1);
    const bool usable = forward != nullptr && backward != nullptr &&
                        SameSize(*forward, *backward) && backward->width == seq.horizontal_size &&
                        backward->height == seq.vertical_size;
    if (!usable) return -kResultBPicture;
    DecodedFrame* frame =
        frames.pool.Take(seq.horizontal_size, seq.vertical_size, seq.chroma_format);
    if (frame == nullptr) return kResultNoMemory;
    frame->pictureDistance = state.headers.picture.picture_distance;
    {
        ParallelDecoding parallel{};
        PictureState pic(state.headers, *frame, Parallel(state, parallel));
        DecodeBPicture(pic, br, *backward, *forward);
    }
    status.SetText("B-frame succesfully decoded");
    const int32_t result = kResultBPicture | Deliver(state, *frame);
    frames.pool.Give(frame);
    status.word = kStatusBPicture;
    return result;
}

// A picture unit after a sequence header; the reader stands after its header.
// Negative results other than kResultNoMemory are pictures that were dropped
// (their kind negated): they deliver nothing.
int32_t DecodePicture(DecodingState& state, StreamStatus& status, BitReader& br) {
    const SequenceHeader& seq = state.headers.sequence;
    // Pictures of a size or chroma format that is not decoded are dropped,
    // not kept for another try as a picture that found no memory is.
    if (!FrameFormatSupported(seq.horizontal_size, seq.vertical_size, seq.chroma_format)) {
        return kResultNothing;
    }
    if (state.headers.lastStartCode == (0x100 | kIPictureCode)) {
        return DecodeReferencePicture(state, status, br, true);
    }
    switch (state.headers.picture.picture_coding_type) {
        case 1:
            return DecodeReferencePicture(state, status, br, false);
        case 2:
            return DecodeBidirectionalPicture(state, status, br);
        default:
            return kResultNothing;  // coding types 0 and 3 are not pictures we know
    }
}

}  // namespace

int32_t DecodeUnit(DecodingState& state, StreamStatus& status, uint8_t* unit, uint32_t length) {
    // The bytes after the unit are the next unit's start code, which the host
    // presents again; zeroing them makes the unit read the same whatever the
    // chunking, and keeps every read inside the allocation.
    std::memset(unit + length, 0, kUnitPadding);
    BitReader br(unit, length);
    const int32_t h = ReadUnitHeader(br, state.headers);
    int32_t result = kResultNothing;
    if (h == 0) {
        const int32_t code = state.headers.lastStartCode;
        if (code == -1) {  // a sequence header: the status stays "unit held"
            StartSequence(state);
            return kResultNothing;
        }
        if (IsPictureCode(code)) {
            if (state.headers.sequence.profile_id == 0) {
                status.Set(kStatusNoSequence, "No sequence header exists");
                return kResultNothing;
            }
            result = DecodePicture(state, status, br);
            if (result == kResultNoMemory) return result;
            if (result < 0) {  // dropped without delivery
                status.word = kStatusIdle;
                return -result;
            }
            if (result == kResultBPicture || result == (kResultBPicture | kDelivered)) {
                return result;  // the status word stays "B picture"
            }
            if (result != kResultNothing) result |= DeliverInDisplayOrder(state);
        }
        // Other units carry nothing to decode.
    } else {
        result = h | FlushNewest(state);
        if (h == kResultSequenceEnd) state.queueFlushed = true;
    }
    status.word = kStatusIdle;
    return result;
}

}  // namespace avs
