#include "platform/aligned_alloc.h"

#include <cstdint>
#include <cstdlib>

namespace avs {

void* AlignedAlloc(size_t n) {
    if (n > SIZE_MAX - 64) return nullptr;
    auto* block = static_cast<uint8_t*>(std::malloc(n + 64));
    if (block == nullptr) return nullptr;
    // Always move forward 1..64 bytes, so the byte before the result can hold
    // the distance back to the heap block.
    const auto address = reinterpret_cast<uintptr_t>(block);
    const size_t distance = 64 - (address & 63);
    uint8_t* result = block + distance;
    result[-1] = static_cast<uint8_t>(distance);
    return result;
}

void AlignedFree(void* p) {
    if (p == nullptr) return;
    auto* result = static_cast<uint8_t*>(p);
    std::free(result - result[-1]);
}

}  // namespace avs
