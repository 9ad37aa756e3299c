// The core behind the C interface of symdeck.h: libsymdeck for native programs, and
// symdeck-core.wasm, whose exports are the functions marked export_name.
#include "symdeck.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "entry/c_interface.h"
#include "entry/render.h"
#include "format/section_kinds.h"
#include "forms/database_map.h"
#include "forms/view_printer.h"

#ifdef __wasm__
#define SYMDECK_EXPORT(name) [[clang::export_name(name)]]
#else
#define SYMDECK_EXPORT(name)
#endif

namespace {

// Blocks of output handed to the caller: small enough that a host's copy of each is cheap.
constexpr size_t kOutputBlock = 256 * 1024;

// Spans in increasing order, none empty, none overlapping the next.
bool ordered(std::span<const symdeck::ViewSpan> spans) {
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].from >= spans[i].to || (i > 0 && spans[i - 1].to > spans[i].from)) return false;
    return true;
}

}  // namespace

namespace symdeck {

SectionSelection selectionOf(uint32_t leftOut) {
    SectionSelection selection;
    for (const SectionKindInfo& kind : kSectionKindInfo)
        selection.*kind.skip = kind.entryIndex < 32 && (leftOut >> kind.entryIndex & 1) != 0;
    return selection;
}

int32_t renderForm(const DatabaseMap* map, const uint8_t* data, uint64_t size, uint32_t form, uint32_t left_out,
                   const char* name, size_t name_size, const uint64_t* offsets, size_t offset_count,
                   ReportSink sink) {
    if (form > SYMDECK_FORM_TABLE_LINES) return SYMDECK_BAD_FORM;
    ReportWriter out(sink, kOutputBlock);
    if (!out.ok()) return SYMDECK_NO_MEMORY;
    const NmsImage image{data, size};
    const SectionSelection selection = selectionOf(left_out);
    WalkEnd end = WalkEnd::Complete;
    switch (form) {
        case SYMDECK_FORM_TEXT: end = renderImage(image, selection, out); break;
        case SYMDECK_FORM_JSON:
        case SYMDECK_FORM_JSON_LINES:
            end = renderImageJson(image, selection, std::string_view(name, name_size), out,
                                  form == SYMDECK_FORM_JSON_LINES);
            break;
        case SYMDECK_FORM_TABLE:
        case SYMDECK_FORM_TABLE_LINES:
            end = renderImageTable(image, selection, std::string_view(name, name_size), out,
                                   form == SYMDECK_FORM_TABLE_LINES);
            break;
        case SYMDECK_FORM_MAP: end = renderImageMap(image, selection, out); break;
        case SYMDECK_FORM_VIEW: {
            // [0] flags, [1] most matches, [2] count of byte spans, those spans, then field
            // spans to the end: pairs of from, to.
            ViewOptions options;
            std::vector<ViewSpan> spans;
            if (offset_count >= 3) {
                const uint64_t byteSpans = std::min<uint64_t>(offsets[2], (offset_count - 3) / 2);
                for (size_t i = 3; i + 1 < offset_count; i += 2) spans.push_back(ViewSpan{offsets[i], offsets[i + 1]});
                options.chosen = true;
                options.skeleton = (offsets[0] & view::kChoiceNoTree) == 0;
                options.countText = (offsets[0] & view::kChoiceNoCount) == 0;
                options.maxMatches = static_cast<uint32_t>(std::min<uint64_t>(offsets[1], UINT32_MAX));
                options.query = std::string_view(name, name_size);
                options.bytes = std::span<const ViewSpan>(spans.data(), byteSpans);
                options.fields = std::span<const ViewSpan>(spans.data() + byteSpans, spans.size() - byteSpans);
                if (!ordered(options.bytes) || !ordered(options.fields)) return SYMDECK_BAD_FORM;
            }
            if (!renderImageView(image, selection, out, &end, &options, map)) return SYMDECK_NO_MEMORY;
            break;
        }
        default:
            end = explainImage(image, selection, std::span<const uint64_t>(offsets, offset_count),
                               form == SYMDECK_FORM_EXPLAIN_JSON, out, false, map);
            break;
    }
    if (!out.flush()) return SYMDECK_STOPPED_BY_HOST;
    return static_cast<int32_t>(end);
}

bool toCaller(void* context, const char* data, size_t size) {
    const auto* caller = static_cast<const CallerWrite*>(context);
    return caller->write(caller->context, reinterpret_cast<const uint8_t*>(data), size) != 0;
}

}  // namespace symdeck

extern "C" {

SYMDECK_EXPORT("symdeck_api_version") uint32_t symdeck_api_version(void) { return SYMDECK_API_VERSION; }

SYMDECK_EXPORT("symdeck_error_message") const char* symdeck_error_message(int code) {
    switch (code) {
        case SYMDECK_END_COMPLETE: return "complete";
        case SYMDECK_END_BOUNDS: return "a structure runs past the end of the file";
        case SYMDECK_END_SIGNATURE: return "a structure's signature is wrong";
        case SYMDECK_END_LIMIT: return "the report reached its size limit";
        case SYMDECK_NO_MEMORY: return "no memory";
        case SYMDECK_BAD_FORM: return "an unknown form, or spans out of order";
        case SYMDECK_STOPPED_BY_HOST: return "stopped by the write function";
        case SYMDECK_BAD_ARGUMENT: return "no write function, or a null pointer with a size";
        case SYMDECK_FAILED: return "the library failed";
        case SYMDECK_CANNOT_READ: return "the file cannot be read";
        case SYMDECK_NOT_A_DATABASE: return "no nms database";
        default: return "unknown result";
    }
}

int32_t symdeck_render_to(const uint8_t* data, size_t size, uint32_t form, uint32_t left_out, const char* name,
                          size_t name_size, const uint64_t* offsets, size_t offset_count, symdeck_write_fn write,
                          void* context) {
    if (!write || (!data && size) || (!name && name_size) || (!offsets && offset_count)) return SYMDECK_BAD_ARGUMENT;
    symdeck::CallerWrite caller{write, context};
    const symdeck::ReportSink sink{&symdeck::toCaller, &caller};
    // The walk's containers throw bad_alloc (or length_error for a size past what they
    // hold) when memory runs out.
    return symdeck::guarded([&] {
        return symdeck::renderForm(nullptr, data, size, form, left_out, name, name_size, offsets, offset_count,
                                   sink);
    });
}

}  // extern "C"

#ifdef __wasm__

// A kept map, and what it is the map of.
struct symdeck_map {
    symdeck::DatabaseMap map;
    uint32_t size;
    uint32_t leftOut;
};

// The host's side: takes one block of output.
extern "C" [[clang::import_module("symdeck_host"), clang::import_name("write")]] int32_t
symdeckHostWrite(uint32_t context, const char* data, uint32_t size);

namespace {

bool toHost(void* context, const char* data, size_t size) {
    return symdeckHostWrite(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context)), data,
                            static_cast<uint32_t>(size)) != 0;
}

symdeck::ReportSink hostSink(uint32_t context) {
    return symdeck::ReportSink{&toHost, reinterpret_cast<void*>(static_cast<uintptr_t>(context))};
}

}  // namespace

extern "C" {

SYMDECK_EXPORT("symdeck_alloc") void* symdeck_alloc(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }

SYMDECK_EXPORT("symdeck_free") void symdeck_free(void* memory) { std::free(memory); }

SYMDECK_EXPORT("symdeck_render") int32_t symdeck_render(const uint8_t* data, uint32_t size, uint32_t form,
                                                        uint32_t left_out, const char* name, uint32_t name_size,
                                                        const uint64_t* offsets, uint32_t offset_count,
                                                        uint32_t context) {
    return symdeck::renderForm(nullptr, data, size, form, left_out, name, name_size, offsets, offset_count,
                              hostSink(context));
}

SYMDECK_EXPORT("symdeck_map_make") symdeck_map* symdeck_map_make(const uint8_t* data, uint32_t size,
                                                                 uint32_t left_out) {
    // Null when there is no memory for it (the map's own tables, like every container of
    // the module, stop the module when memory runs out).
    auto* kept = new (std::nothrow) symdeck_map{};
    if (!kept) return nullptr;
    kept->map = symdeck::planningMap(symdeck::NmsImage{data, size}, symdeck::selectionOf(left_out), true);
    kept->size = size;
    kept->leftOut = left_out;
    return kept;
}

SYMDECK_EXPORT("symdeck_map_free") void symdeck_map_free(symdeck_map* map) { delete map; }

SYMDECK_EXPORT("symdeck_render_mapped") int32_t symdeck_render_mapped(
    const symdeck_map* map, const uint8_t* data, uint32_t size, uint32_t form, uint32_t left_out, const char* name,
    uint32_t name_size, const uint64_t* offsets, uint32_t offset_count, uint32_t context) {
    if (!map || map->size != size || map->leftOut != left_out) return SYMDECK_BAD_FORM;
    return symdeck::renderForm(&map->map, data, size, form, left_out, name, name_size, offsets, offset_count,
                              hostSink(context));
}

}  // extern "C"

#endif  // __wasm__
