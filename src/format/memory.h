// Large blocks of memory for the input image and the report buffers, from an allocator the
// caller chooses.
//
// The core makes no call to the system: a block's memory comes from the BlockAllocator it
// is given. The program passes one that maps pages at once, as huge pages where the system
// has them (frontend/platform.h), since touching fresh memory page by page costs a fault per
// 4 KiB page; a caller that gives none gets the C library's malloc. A block whose memory
// cannot be had is empty (data() null), never an exception.
#pragma once

#include <cstddef>

namespace symdeck {

struct BlockAllocator {
    // `bytes` (never 0) of memory, or null.
    void* (*allocate)(void* context, size_t bytes) = nullptr;
    // Gives back what allocate returned for the same `bytes`.
    void (*release)(void* context, void* memory, size_t bytes) = nullptr;
    void* context = nullptr;
};

// malloc and free.
BlockAllocator heapAllocator();

class Block {
public:
    Block() = default;
    // `size` bytes, to be written before they are read; data() is null when the memory
    // cannot be had.
    explicit Block(size_t size, BlockAllocator allocator = heapAllocator());
    Block(Block&& other) noexcept : data_(other.data_), size_(other.size_), allocator_(other.allocator_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    Block& operator=(Block&& other) noexcept;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block() { release(); }

    unsigned char* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void release();

    unsigned char* data_ = nullptr;
    size_t size_ = 0;
    BlockAllocator allocator_;
};

}  // namespace symdeck
