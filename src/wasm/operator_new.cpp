// operator new for the WebAssembly builds, which have no C++ exceptions. There the C++
// library's own operator new returns a null pointer when memory runs out, and the
// containers that called it write through that pointer: in linear memory address 0 is an
// ordinary address, so the write would quietly overwrite the module's static data. This
// replacement stops the module with a trap instead (the `unreachable` instruction), which
// the host sees (symdeck-wasm reports it; a reactor's host gets a WebAssembly.RuntimeError).
// Memory that grows with the input (the database, the report's blocks) never comes from
// here: it comes from the caller's allocator, whose failure is an ordinary return.
#include <cstdlib>
#include <new>

namespace {

void* allocatedOrTrap(std::size_t size) {
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    __builtin_trap();
}

void* alignedOrTrap(std::size_t size, std::align_val_t alignment) {
    const std::size_t align = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* memory = std::aligned_alloc(align, rounded == 0 ? align : rounded)) return memory;
    __builtin_trap();
}

}  // namespace

void* operator new(std::size_t size) { return allocatedOrTrap(size); }
void* operator new[](std::size_t size) { return allocatedOrTrap(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return alignedOrTrap(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return alignedOrTrap(size, alignment); }

// The nothrow forms keep their meaning: a null pointer the caller checks.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
