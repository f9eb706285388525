#include "frames/frame_queue.h"

#include <algorithm>
#include <iterator>

namespace avs {

namespace {
constexpr int32_t kCapacity = static_cast<int32_t>(std::size(FrameQueue{}.entries));
}  // namespace

void FrameQueue::Clear() {
    count = 0;
    std::fill(std::begin(entries), std::end(entries), nullptr);
}

DecodedFrame* FrameQueue::PushFrame(uint32_t width, uint32_t height, uint32_t chromaFormat) {
    if (count < 0 || count >= kCapacity) return nullptr;
    DecodedFrame* frame = spares != nullptr ? spares->Take(width, height, chromaFormat)
                                            : NewFrame(width, height, chromaFormat);
    if (frame != nullptr) entries[count++] = frame;
    return frame;
}

int32_t FrameQueue::PopFront() {
    if (count <= 0) return -1;
    RemoveAt(0);
    return count;
}

void FrameQueue::RemoveAt(int32_t i) {
    if (i < 0 || i >= count) return;
    if (spares != nullptr) {
        spares->Give(entries[i]);
    } else {
        DeleteFrame(entries[i]);
    }
    std::copy(entries + i + 1, entries + count, entries + i);
    entries[--count] = nullptr;
}

void FrameQueue::ReleaseAll() {
    while (count > 0) RemoveAt(count - 1);
    Clear();
}

DecodedFrame* FrameQueue::LastFrame() const {
    return FrameAt(count - 1);
}

DecodedFrame* FrameQueue::FrameAt(int32_t i) const {
    return i >= 0 && i < count ? entries[i] : nullptr;
}

DecodedFrame* FrameQueue::FirstUndelivered() const {
    for (int32_t i = 0; i < count; ++i) {
        if (entries[i]->delivered == 0) return entries[i];
    }
    return LastFrame();
}

}  // namespace avs
