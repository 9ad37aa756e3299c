// The program's allocator for the core's blocks on systems that map pages: the input image
// and the report buffers are mapped at once and populated in one call, so the page faults
// are taken in bulk rather than one per 4 KiB page.
#include <cstdlib>

#include "frontend/platform.h"

namespace symdeck::platform {

namespace {

// Under AddressSanitizer the blocks come from the ordinary heap, so that the sanitizer
// watches their bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapBlocks = false;
#else
constexpr bool kMapBlocks = true;
#endif
#else
constexpr bool kMapBlocks = true;
#endif

// Blocks smaller than this are not worth a mapping of their own.
constexpr size_t kMapThreshold = size_t{1} << 20;

bool mapped(size_t bytes) { return kMapBlocks && bytes >= kMapThreshold; }

void* allocate(void*, size_t bytes) { return mapped(bytes) ? allocatePages(bytes) : std::malloc(bytes); }

void release(void*, void* memory, size_t bytes) {
    if (mapped(bytes)) releasePages(memory, bytes);
    else std::free(memory);
}

}  // namespace

BlockAllocator pageAllocator() { return BlockAllocator{&allocate, &release, nullptr}; }

}  // namespace symdeck::platform
