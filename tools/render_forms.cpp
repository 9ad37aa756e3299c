// Every form of the report of each database in a list, framed, on standard output: the
// native side of the comparison with symdeck-core.wasm (tests/wasm/core_driver.mjs writes
// the same frames from the module), through the same core calls the program makes.
//   render_forms DIRECTORY   (DIRECTORY/list.txt: "LEFT_OUT NAME" per line, see make_damage)
// Per database and form: "== NAME FORM END SIZE\n", then SIZE bytes of output. The forms:
// text, json and json-lines (the document names the database NAME), view, view-some (the view's
// choice of some fields), map, explain and explain-json (the
// offsets of kExplained, and the size and half the size of the file).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "entry/render.h"
#include "format/section_kinds.h"
#include "forms/explain_answers.h"
#include "forms/view_printer.h"

namespace {

using namespace symdeck;

constexpr uint64_t kExplained[] = {0, 0x40, 0x244, 0x100000};

SectionSelection selectionOf(uint32_t leftOut) {
    SectionSelection selection;
    for (const SectionKindInfo& kind : kSectionKindInfo) selection.*kind.skip = (leftOut >> kind.entryIndex & 1) != 0;
    return selection;
}

void frame(const std::string& name, const char* form, WalkEnd end, const std::string& text) {
    std::printf("== %s %s %d %zu\n", name.c_str(), form, static_cast<int>(end), text.size());
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_forms DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    std::ifstream list(directory + "/list.txt");
    uint32_t leftOut = 0;
    std::string name;
    while (list >> leftOut >> name) {
        std::ifstream file(directory + "/" + name, std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const NmsImage image{reinterpret_cast<const unsigned char*>(data.data()), data.size()};
        const SectionSelection selection = selectionOf(leftOut);
        for (const std::string form : {"text", "json", "json-lines"}) {
            std::string text;
            ReportWriter out(stringSink(text), 16 * 1024);
            const WalkEnd end = form == "text" ? renderImage(image, selection, out)
                                               : renderImageJson(image, selection, name, out, form == "json-lines");
            out.flush();
            frame(name, form.c_str(), end, text);
        }
        {
            std::string view;
            ReportWriter out(stringSink(view), 16 * 1024);
            WalkEnd end = WalkEnd::Complete;
            renderImageView(image, selection, out, &end);
            out.flush();
            frame(name, "view", end, view);
        }
        {
            // Some fields, no tree, the text not counted: the spans tests/wasm/core_driver.mjs
            // asks the module for.
            const ViewSpan bytes[] = {{data.size() / 3, data.size() / 2 + 1}};
            const ViewSpan fields[] = {{2, 9}, {40, 41}};
            const ViewOptions options{
                .skeleton = false, .countText = false, .chosen = true, .bytes = bytes, .fields = fields};
            std::string view;
            ReportWriter out(stringSink(view), 16 * 1024);
            WalkEnd end = WalkEnd::Complete;
            renderImageView(image, selection, out, &end, &options);
            out.flush();
            frame(name, "view-some", end, view);
        }
        {
            std::string map;
            ReportWriter out(stringSink(map), 16 * 1024);
            const WalkEnd end = renderImageMap(image, selection, out);
            out.flush();
            frame(name, "map", end, map);
        }
        std::vector<uint64_t> offsets(std::begin(kExplained), std::end(kExplained));
        offsets.push_back(data.size());
        offsets.push_back(data.size() / 2);
        for (const bool json : {false, true}) {
            const Explanation answers = explainImage(image, selection, offsets, json);
            frame(name, json ? "explain-json" : "explain", answers.end, answers.text);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
