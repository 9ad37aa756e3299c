#include "format/memory.h"

#include <cstdlib>

namespace symdeck {

namespace {

void* heapAllocate(void*, size_t bytes) { return std::malloc(bytes); }
void heapRelease(void*, void* memory, size_t) { std::free(memory); }

}  // namespace

BlockAllocator heapAllocator() { return BlockAllocator{&heapAllocate, &heapRelease, nullptr}; }

Block::Block(size_t size, BlockAllocator allocator) : size_(size), allocator_(allocator) {
    if (allocator_.allocate == nullptr) allocator_ = heapAllocator();
    data_ = static_cast<unsigned char*>(allocator_.allocate(allocator_.context, size == 0 ? 1 : size));
    if (data_ == nullptr) size_ = 0;
}

Block& Block::operator=(Block&& other) noexcept {
    if (this != &other) {
        release();
        data_ = other.data_;
        size_ = other.size_;
        allocator_ = other.allocator_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

void Block::release() {
    if (data_ == nullptr) return;
    allocator_.release(allocator_.context, data_, size_ == 0 ? 1 : size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace symdeck
