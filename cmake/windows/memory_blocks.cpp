// Until the run is rewritten over the platform layer, report/memory.cpp maps its blocks
// with POSIX calls; the Windows build takes Block from here instead, built on the same
// platform functions that memory.cpp will use. Delete this file when memory.cpp is.
#include "report/memory.h"

#include <new>

#include "app/platform.h"

namespace symdeck {

namespace {
constexpr size_t kMapThreshold = size_t{1} << 20;
}

Block::Block(size_t size) : size_(size) {
    const size_t bytes = size == 0 ? 1 : size;
    if (bytes >= kMapThreshold) {
        data_ = static_cast<unsigned char*>(platform::allocatePages(bytes));
        mapped_ = data_ != nullptr;
    } else {
        data_ = new (std::nothrow) unsigned char[bytes];
    }
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
