// PLACEHOLDER: replaced by the frame-store work.
#include <cstdlib>

#include "frames/aligned_alloc.h"
#include "frames/delivery.h"
#include "frames/frame.h"
#include "frames/frame_queue.h"

namespace avs {

int AllocFrame(uint32_t, uint32_t, uint32_t, DecodedFrame&) { return -1; }
void ReleaseFrame(DecodedFrame&) {}
void ExtendBorders(DecodedFrame&) {}
DecodedFrame* NewFrame(uint32_t, uint32_t, uint32_t) { return nullptr; }
void DeleteFrame(DecodedFrame*) {}

void FrameQueue::Clear() { count = 0; }
DecodedFrame* FrameQueue::PushFrame() { return nullptr; }
int32_t FrameQueue::PopFront() { return -1; }
void FrameQueue::RemoveAt(int32_t) {}
void FrameQueue::ReleaseAll() {}
DecodedFrame* FrameQueue::LastFrame() const { return nullptr; }
DecodedFrame* FrameQueue::FrameAt(int32_t) const { return nullptr; }
DecodedFrame* FrameQueue::FirstUndelivered() const { return nullptr; }

uint32_t OutputSizeFactor(uint32_t) { return 0; }
int32_t OutputPitch(uint32_t, uint32_t) { return 0; }
int DeliverFrame(const DecodedFrame&, uint8_t**) { return -2; }

}  // namespace avs
