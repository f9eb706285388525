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

struct PictureBuffer {
    uint8_t* data = nullptr;  // from the ordinary heap: ours, or handed over by the host
    size_t bytes = 0;         // what data has: as taken, or as the host promised
    // The size of the picture it holds; 0 x 0 while it holds none.
    uint32_t width = 0;
    uint32_t height = 0;

    void Release() {
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
        }
        width = 0;
        height = 0;
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
        queue.ReleaseAll();
        pool.Clear();
        picture.Release();
    }

    FramePool pool;
    FrameQueue queue;  // takes frames from, and gives them back to, the pool
    PictureBuffer picture;
};

}  // namespace avs
