#include "frames/frame_pool.h"

namespace avs {

DecodedFrame* FramePool::Take(uint32_t width, uint32_t height, uint32_t chromaFormat) {
    for (int32_t i = 0; i < count; ++i) {
        DecodedFrame* frame = frames[i];
        if (frame->shown || frame->width != width || frame->height != height) continue;
        frames[i] = frames[--count];
        frames[count] = nullptr;
        // The planes are overwritten by the next picture and the intra-mode
        // map's margin is never written, so only the picture's state is reset.
        frame->pictureDistance = 0;
        frame->refDistance[0] = frame->refDistance[1] = 0;
        frame->bordersExtended = 0;
        frame->delivered = 0;
        return frame;
    }
    // Frames of another size will not be asked for again; the shown one stays.
    for (int32_t i = count - 1; i >= 0; --i) {
        if (frames[i]->shown) continue;
        DeleteFrame(frames[i]);
        frames[i] = frames[--count];
        frames[count] = nullptr;
    }
    return NewFrame(width, height, chromaFormat);
}

void FramePool::Give(DecodedFrame* frame) {
    if (frame == nullptr) return;
    if (count < kCapacity) {
        frames[count++] = frame;
        return;
    }
    if (frame->shown) {
        // At most one frame is shown: another one makes room.
        for (int32_t i = 0; i < count; ++i) {
            if (frames[i]->shown) continue;
            DeleteFrame(frames[i]);
            frames[i] = frame;
            return;
        }
    }
    DeleteFrame(frame);
}

void FramePool::Clear() {
    while (count > 0) {
        DeleteFrame(frames[--count]);
        frames[count] = nullptr;
    }
}

}  // namespace avs
