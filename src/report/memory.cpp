#include "report/memory.h"

#include <new>
#include <sys/mman.h>

namespace symdeck {

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

}  // namespace

Block::Block(size_t size) : size_(size) {
    const size_t bytes = size == 0 ? 1 : size;
    if (kMapBlocks && bytes >= kMapThreshold) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            size_ = 0;
            return;
        }
        ::madvise(p, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
        ::madvise(p, bytes, MADV_POPULATE_WRITE);  // an older kernel refuses it; no harm
#endif
        data_ = static_cast<unsigned char*>(p);
        mapped_ = true;
        return;
    }
    data_ = new (std::nothrow) unsigned char[bytes];
    if (data_ == nullptr) size_ = 0;
}

Block& Block::operator=(Block&& other) noexcept {
    if (this != &other) {
        release();
        data_ = other.data_;
        size_ = other.size_;
        mapped_ = other.mapped_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

void Block::release() {
    if (data_ == nullptr) return;
    if (mapped_) ::munmap(data_, size_ == 0 ? 1 : size_);
    else delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace symdeck
