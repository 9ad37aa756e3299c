// symdeck-core.wasm: the core behind the C interface of symdeck_core.h.
#include "entry/symdeck_core.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "entry/render.h"
#include "format/section_kinds.h"
#include "forms/database_map.h"
#include "forms/view_printer.h"

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

// Blocks of output handed to the host: small enough that a host's copy of each is cheap.
constexpr size_t kOutputBlock = 256 * 1024;

bool toHost(void* context, const char* data, size_t size) {
    return symdeckHostWrite(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(context)), data,
                            static_cast<uint32_t>(size)) != 0;
}

// Spans in increasing order, none empty, none overlapping the next.
bool ordered(std::span<const symdeck::ViewSpan> spans) {
    for (size_t i = 0; i < spans.size(); ++i)
        if (spans[i].from >= spans[i].to || (i > 0 && spans[i - 1].to > spans[i].from)) return false;
    return true;
}

symdeck::SectionSelection selectionOf(uint32_t leftOut) {
    symdeck::SectionSelection selection;
    for (const symdeck::SectionKindInfo& kind : symdeck::kSectionKindInfo)
        selection.*kind.skip = kind.entryIndex < 32 && (leftOut >> kind.entryIndex & 1) != 0;
    return selection;
}

}  // namespace

namespace {

// One render, on a kept map when `map` is given.
int32_t render(const symdeck::DatabaseMap* map, const uint8_t* data, uint32_t size, uint32_t form,
               uint32_t left_out, const char* name, uint32_t name_size, const uint64_t* offsets,
               uint32_t offset_count, uint32_t context) {
    using namespace symdeck;
    if (form > SYMDECK_FORM_MAP) return SYMDECK_BAD_FORM;
    ReportWriter out(ReportSink{&toHost, reinterpret_cast<void*>(static_cast<uintptr_t>(context))}, kOutputBlock);
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
        case SYMDECK_FORM_MAP: end = renderImageMap(image, selection, out); break;
        case SYMDECK_FORM_VIEW: {
            // [0] flags, [1] most matches, [2] count of byte spans, those spans, then field
            // spans to the end: pairs of from, to.
            ViewOptions options;
            std::vector<ViewSpan> spans;
            if (offset_count >= 3) {
                const uint64_t byteSpans = std::min<uint64_t>(offsets[2], (offset_count - 3) / 2);
                for (uint32_t i = 3; i + 1 < offset_count; i += 2) spans.push_back(ViewSpan{offsets[i], offsets[i + 1]});
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

}  // namespace

extern "C" {

[[clang::export_name("symdeck_api_version")]] uint32_t symdeck_api_version(void) { return SYMDECK_API_VERSION; }

[[clang::export_name("symdeck_alloc")]] void* symdeck_alloc(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }

[[clang::export_name("symdeck_free")]] void symdeck_free(void* memory) { std::free(memory); }

[[clang::export_name("symdeck_render")]] int32_t symdeck_render(const uint8_t* data, uint32_t size, uint32_t form,
                                                                uint32_t left_out, const char* name,
                                                                uint32_t name_size, const uint64_t* offsets,
                                                                uint32_t offset_count, uint32_t context) {
    return render(nullptr, data, size, form, left_out, name, name_size, offsets, offset_count, context);
}

[[clang::export_name("symdeck_map_make")]] symdeck_map* symdeck_map_make(const uint8_t* data, uint32_t size,
                                                                         uint32_t left_out) {
    // Null when there is no memory for it (the map's own tables, like every container of
    // the module, stop the module when memory runs out).
    auto* kept = new (std::nothrow) symdeck_map{};
    if (!kept) return nullptr;
    kept->map = symdeck::planningMap(symdeck::NmsImage{data, size}, selectionOf(left_out), true);
    kept->size = size;
    kept->leftOut = left_out;
    return kept;
}

[[clang::export_name("symdeck_map_free")]] void symdeck_map_free(symdeck_map* map) { delete map; }

[[clang::export_name("symdeck_render_mapped")]] int32_t symdeck_render_mapped(
    const symdeck_map* map, const uint8_t* data, uint32_t size, uint32_t form, uint32_t left_out, const char* name,
    uint32_t name_size, const uint64_t* offsets, uint32_t offset_count, uint32_t context) {
    if (!map || map->size != size || map->leftOut != left_out) return SYMDECK_BAD_FORM;
    return render(&map->map, data, size, form, left_out, name, name_size, offsets, offset_count, context);
}

}  // extern "C"
