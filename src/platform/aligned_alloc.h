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

struct AlignedDeleter {
    void operator()(void* p) const { AlignedFree(p); }
};
template <typename T>
using AlignedPtr = std::unique_ptr<T, AlignedDeleter>;

}  // namespace avs
