// 64-byte aligned blocks over the ordinary heap, for planes, tables, the
// input buffer and the decoder's own records.
#pragma once

#include <cstddef>
#include <memory>

namespace avs {

// At least one byte lies before the result; it holds the distance back to the
// heap block's start (1 to 64). Returns nullptr when the heap has no room.
void* AlignedAlloc(size_t n);
// Does nothing for nullptr.
void AlignedFree(void* p);

// Large blocks that live long (a frame's planes and tables): where the
// system can back memory with 2 MB pages, the block is aligned to them and
// asks for them, so that first touching a frame costs a few page faults, not
// thousands. 64-byte aligned at least. Release with PageFree.
void* PageAlloc(size_t n);
// The bytes PageAlloc(n) really takes (n rounded up to whole large pages
// where it asks for them): a caller may fill the rest. 0 when PageAlloc(n)
// would refuse.
size_t PageAllocSize(size_t n);
// Does nothing for nullptr.
void PageFree(void* p);

struct AlignedDeleter {
    void operator()(void* p) const { AlignedFree(p); }
};
template <typename T>
using AlignedPtr = std::unique_ptr<T, AlignedDeleter>;

}  // namespace avs
