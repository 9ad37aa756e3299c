#include "report/memory.h"

#include <new>

#include "app/platform.h"

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
        data_ = static_cast<unsigned char*>(platform::allocatePages(bytes));
        if (data_ == nullptr) size_ = 0;
        else mapped_ = true;
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
    if (mapped_) platform::releasePages(data_, size_ == 0 ? 1 : size_);
    else delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace symdeck
