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

namespace {
// Blocks of half a megabyte and more (the planes of an SD frame) take whole
// large pages: the memory left unused costs less than the faults it saves.
bool TakesLargePages(size_t n) {
#if defined(_WIN32)
    (void)n;
    return false;
#else
    return n >= kLargePage / 4;
#endif
}
}  // namespace

size_t PageAllocSize(size_t n) {
    if (n == 0 || n > SIZE_MAX - kLargePage) return 0;
    const size_t alignment = TakesLargePages(n) ? kLargePage : 64;
    return (n + alignment - 1) / alignment * alignment;
}

void* PageAlloc(size_t n) {
    const size_t size = PageAllocSize(n);
    if (size == 0) return nullptr;
#if defined(_WIN32)
    return _aligned_malloc(size, 64);
#else
    const bool large = TakesLargePages(n);
    void* p = std::aligned_alloc(large ? kLargePage : 64, size);
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
