// The pictures a stream keeps from one unit to the next: its reference
// pictures in decoding order, frames kept for reuse, and the picture buffer
// that holds the last delivered picture for the host's conversions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frames/frame_pool.h"
#include "frames/frame_queue.h"

namespace avs {

// The last delivered picture, which the host's conversions read: a copy in
// `data` (planar 4:2:0, YV12 order), or a frame shown in place.
struct PictureBuffer {
    uint8_t* data = nullptr;        // from the ordinary heap: ours, or handed over by the host
    size_t bytes = 0;               // what data has: as taken, or as the host promised
    bool handedOver = false;        // the host gave data and reads the copies in it
    DecodedFrame* frame = nullptr;  // the picture's own planes, when it is not copied
    // The size of the picture it holds; 0 x 0 while it holds none.
    uint32_t width = 0;
    uint32_t height = 0;

    void Release() {
        Unshow();
        std::free(data);
        *this = PictureBuffer{};
    }
    // A host's buffer of `promised` bytes; it holds no picture until the next
    // delivery. The same buffer again keeps what it is known to have.
    void HandOver(uint8_t* buffer, size_t promised) {
        if (buffer != data) {
            Release();
            data = buffer;
            bytes = buffer != nullptr ? promised : 0;
            handedOver = buffer != nullptr;
        }
        Unshow();
        width = 0;
        height = 0;
    }
    // The frame's planes are the picture from now on.
    void Show(DecodedFrame& shown) {
        if (frame != &shown) Unshow();
        shown.shown = 1;
        frame = &shown;
        width = shown.width;
        height = shown.height;
    }
    // The picture is no longer the frame's; it may be reused.
    void Unshow() {
        if (frame != nullptr) frame->shown = 0;
        frame = nullptr;
    }
};

class FrameStore {
  public:
    FrameStore() { queue.spares = &pool; }
    ~FrameStore() { ReleaseAll(); }
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // Releases every frame and the picture buffer.
    void ReleaseAll() {
        picture.Release();  // first: it may point to a frame
        queue.ReleaseAll();
        pool.Clear();
    }

    FramePool pool;
    FrameQueue queue;  // takes frames from, and gives them back to, the pool
    PictureBuffer picture;
};

}  // namespace avs
