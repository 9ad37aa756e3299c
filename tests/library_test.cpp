// The C interface (include/symdeck.h) as a native program calls it: every form through the
// caller's write function gives the bytes of the C++ entry points, each result has its
// message, and a stop, an unknown form or a missing argument is a code, not a crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/render.h"
#include "forms/explain_answers.h"
#include "nmsbuild/sample.h"
#include "symdeck.h"

namespace symdeck {
namespace {

// Appends each block to a string; stops after `blocksLeft` blocks when that is not negative.
struct Collected {
    std::string text;
    int blocks = 0;
    int blocksLeft = -1;
};

int collect(void* context, const uint8_t* data, size_t size) {
    auto* c = static_cast<Collected*>(context);
    if (c->blocksLeft == 0) return 0;
    if (c->blocksLeft > 0) --c->blocksLeft;
    c->text.append(reinterpret_cast<const char*>(data), size);
    ++c->blocks;
    return 1;
}

struct Rendered {
    int32_t end;
    std::string text;
};

Rendered renderC(const std::vector<uint8_t>& bytes, uint32_t form, uint32_t leftOut = 0,
                 std::string_view name = {}, const std::vector<uint64_t>& offsets = {}) {
    Collected c;
    const int32_t end = symdeck_render_to(bytes.data(), bytes.size(), form, leftOut, name.data(), name.size(),
                                          offsets.data(), offsets.size(), &collect, &c);
    return {end, c.text};
}

std::string mapOf(const std::vector<uint8_t>& bytes, const SectionSelection& selection) {
    std::string lines;
    ReportWriter out(stringSink(lines), 4096);
    renderImageMap(NmsImage{bytes.data(), bytes.size()}, selection, out);
    out.flush();
    return lines;
}

TEST(Library, EveryFormGivesTheBytesOfTheEntryPoints) {
    const auto sample = nmsbuild::sampleDatabase();
    const std::vector<uint8_t> cut(sample.begin(), sample.begin() + 1500);
    const std::vector<uint64_t> offsets{0x0, 0x495, 0x6B0, 0xFFFFFF};
    // SYMD (entryIndex 6) left out: the selection reaches every form.
    SectionSelection noSymd;
    noSymd.skipSymd = true;
    struct Case {
        const char* what;
        const std::vector<uint8_t>& bytes;
        uint32_t leftOut;
        const SectionSelection& selection;
    };
    const SectionSelection all;
    for (const Case& c : {Case{"sample", sample, 0, all}, Case{"cut short", cut, 0, all},
                          Case{"without SYMD", sample, 1u << 6, noSymd}}) {
        SCOPED_TRACE(c.what);
        const NmsImage image{c.bytes.data(), c.bytes.size()};
        const struct {
            uint32_t form;
            std::string expected;
        } forms[] = {
            {SYMDECK_FORM_TEXT, renderToString(image, c.selection)},
            {SYMDECK_FORM_JSON, renderJsonToString(image, c.selection, "app.nms")},
            {SYMDECK_FORM_JSON_LINES, renderJsonToString(image, c.selection, "app.nms", true)},
            {SYMDECK_FORM_EXPLAIN_TEXT, explainImage(image, c.selection, offsets, false).text},
            {SYMDECK_FORM_EXPLAIN_JSON, explainImage(image, c.selection, offsets, true).text},
            {SYMDECK_FORM_VIEW, renderViewToString(image, c.selection)},
            {SYMDECK_FORM_MAP, mapOf(c.bytes, c.selection)},
            {SYMDECK_FORM_TABLE, renderTableToString(image, c.selection, "app.nms")},
            {SYMDECK_FORM_TABLE_LINES, renderTableToString(image, c.selection, "app.nms", true)},
        };
        for (const auto& f : forms) {
            const bool explain = f.form == SYMDECK_FORM_EXPLAIN_TEXT || f.form == SYMDECK_FORM_EXPLAIN_JSON;
            const Rendered r = renderC(c.bytes, f.form, c.leftOut, "app.nms", explain ? offsets : std::vector<uint64_t>{});
            EXPECT_GE(r.end, 0) << "form " << f.form;
            EXPECT_EQ(r.text, f.expected) << "form " << f.form;
        }
        // The result is how the walk ended.
        std::string text;
        ReportWriter out(stringSink(text), 4096);
        EXPECT_EQ(renderC(c.bytes, SYMDECK_FORM_TEXT, c.leftOut).end,
                  static_cast<int32_t>(renderImage(image, c.selection, out)));
    }
}

TEST(Library, FailuresAreCodesWithMessages) {
    const auto sample = nmsbuild::sampleDatabase();
    Collected c;
    const auto render = [&](const uint8_t* data, size_t size, uint32_t form, symdeck_write_fn write) {
        return symdeck_render_to(data, size, form, 0, nullptr, 0, nullptr, 0, write, &c);
    };
    EXPECT_EQ(render(sample.data(), sample.size(), SYMDECK_FORM_TABLE_LINES + 1, &collect), SYMDECK_BAD_FORM);
    EXPECT_EQ(render(sample.data(), sample.size(), SYMDECK_FORM_TEXT, nullptr), SYMDECK_BAD_ARGUMENT);
    EXPECT_EQ(render(nullptr, sample.size(), SYMDECK_FORM_TEXT, &collect), SYMDECK_BAD_ARGUMENT);
    EXPECT_EQ(symdeck_render_to(sample.data(), sample.size(), SYMDECK_FORM_JSON, 0, nullptr, 3, nullptr, 0,
                                &collect, &c), SYMDECK_BAD_ARGUMENT);
    EXPECT_EQ(c.text, "") << "a refused call writes nothing";
    // An empty database is a report that stops at once, not a failure.
    EXPECT_EQ(render(nullptr, 0, SYMDECK_FORM_TEXT, &collect), SYMDECK_END_BOUNDS);

    // The view form's spans out of order.
    const std::vector<uint64_t> spans{0, 10, 0, 8, 9, 1, 2};
    c = {};
    EXPECT_EQ(symdeck_render_to(sample.data(), sample.size(), SYMDECK_FORM_VIEW, 0, nullptr, 0, spans.data(),
                                spans.size(), &collect, &c), SYMDECK_BAD_FORM);

    // The write function refuses the first block: the render stops there.
    c = {};
    c.blocksLeft = 0;
    EXPECT_EQ(render(sample.data(), sample.size(), SYMDECK_FORM_TEXT, &collect), SYMDECK_STOPPED_BY_HOST);
    EXPECT_EQ(c.blocks, 0);

    for (int code : {SYMDECK_END_COMPLETE, SYMDECK_END_BOUNDS, SYMDECK_END_SIGNATURE, SYMDECK_END_LIMIT,
                     SYMDECK_NO_MEMORY, SYMDECK_BAD_FORM, SYMDECK_STOPPED_BY_HOST, SYMDECK_BAD_ARGUMENT,
                     SYMDECK_FAILED})
        EXPECT_STRNE(symdeck_error_message(code), symdeck_error_message(1000)) << code;
    EXPECT_EQ(symdeck_api_version(), uint32_t{SYMDECK_API_VERSION});
}

}  // namespace
}  // namespace symdeck
