// What the C functions of symdeck.h share: the selection a left_out mask makes, one render
// of a form through a sink, and the guard that keeps every exception inside the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "format/selection.h"
#include "forms/writer.h"
#include "symdeck.h"

namespace symdeck {

struct DatabaseMap;

// The selection whose left-out kinds are the bits of `leftOut` (bit k: directory entryIndex k).
SectionSelection selectionOf(uint32_t leftOut);

// Renders `form` of data[0, size) through `sink`, on a kept map when `map` is given: the
// result of symdeck_render_to.
int32_t renderForm(const DatabaseMap* map, const uint8_t* data, uint64_t size, uint32_t form, uint32_t leftOut,
                   const char* name, size_t nameSize, const uint64_t* offsets, size_t offsetCount, ReportSink sink);

// The caller's write function and its context, as a writer's sink: {&toCaller, &caller}.
struct CallerWrite {
    symdeck_write_fn write;
    void* context;
};
bool toCaller(void* context, const char* data, size_t size);

// Calls `call` and returns its result; memory that cannot be had becomes SYMDECK_NO_MEMORY
// and any other exception SYMDECK_FAILED, since nothing may leave a C function as one.
template <class Call>
int32_t guarded(Call&& call) {
#if defined(__cpp_exceptions)
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return SYMDECK_NO_MEMORY;
    } catch (const std::length_error&) {
        return SYMDECK_NO_MEMORY;
    } catch (...) {
        return SYMDECK_FAILED;
    }
#else
    return call();
#endif
}

}  // namespace symdeck
