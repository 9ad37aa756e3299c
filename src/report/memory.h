// Large blocks of memory for the input image and the report buffers.
//
// Touching fresh memory page by page costs a fault per 4 KiB page, which on some machines
// (virtual ones above all) costs more than reading the data into it. These blocks are
// mapped at once, asked for as huge pages where the system has them, and populated in one
// call, so the faults are taken in bulk.
#pragma once

#include <cstddef>

namespace symdeck {

class Block {
public:
    Block() = default;
    // `size` bytes, to be written before they are read; data() is null when the memory
    // cannot be had.
    explicit Block(size_t size);
    Block(Block&& other) noexcept : data_(other.data_), size_(other.size_), mapped_(other.mapped_) {
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
    bool mapped_ = false;
};

}  // namespace symdeck
