#include "platform/aligned_alloc.h"

#include <cstdint>
#include <cstdlib>

#if defined(_WIN32)
#include <malloc.h>
#elif defined(__linux__)
#include <sys/mman.h>
#endif

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

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
}  // namespace

void* PageAlloc(size_t n) {
    if (n == 0 || n > SIZE_MAX - kLargePage) return nullptr;
#if defined(_WIN32)
    return _aligned_malloc(n, 64);
#else
    // Blocks of a megabyte and more (an SD frame) take a whole large page:
    // the memory left unused costs less than the faults it saves.
    const bool large = n >= kLargePage / 2;
    const size_t alignment = large ? kLargePage : 64;
    const size_t size = (n + alignment - 1) / alignment * alignment;
    void* p = std::aligned_alloc(alignment, size);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only a hint: without large pages the block works the same.
    if (p != nullptr && large) madvise(p, size, MADV_HUGEPAGE);
#endif
    return p;
#endif
}

void PageFree(void* p) {
#if defined(_WIN32)
    _aligned_free(p);
#else
    std::free(p);
#endif
}

}  // namespace avs
