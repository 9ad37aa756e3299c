// The in-memory walk: report bytes per second for a whole generated database and for each
// section kind alone, in the text form and in the JSON form. The report goes through the
// real writer into a sink that only counts, so what is measured is the rendering, not a
// disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "entry/render.h"
#include "format/section_kinds.h"
#include "nmsbuild/large.h"

namespace {

using symdeck::NmsImage;
using symdeck::ReportSink;
using symdeck::ReportWriter;
using symdeck::SectionSelection;

// The generated database of `mebibytes` MiB, made once per size.
const std::vector<uint8_t>& database(int mebibytes) {
    static std::map<int, std::vector<uint8_t>> made;
    auto& bytes = made[mebibytes];
    if (bytes.empty()) bytes = nmsbuild::largeDatabase(uint64_t(mebibytes) << 20, 1);
    return bytes;
}

bool discard(void*, const char*, size_t) { return true; }

enum class Form { Text, Json, JsonLines };

void renderWith(benchmark::State& state, const SectionSelection& selection, int mebibytes,
                Form form) {
    const auto& bytes = database(mebibytes);
    const NmsImage image{bytes.data(), bytes.size()};
    uint64_t reportBytes = 0;
    for (auto _ : state) {
        ReportWriter out(ReportSink{&discard, nullptr});
        if (form == Form::Text) symdeck::renderImage(image, selection, out);
        else symdeck::renderImageJson(image, selection, "large.nms", out, form == Form::JsonLines);
        out.flush();
        reportBytes += out.length();
        benchmark::DoNotOptimize(reportBytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(reportBytes));
    state.counters["report_MB"] = static_cast<double>(reportBytes) / state.iterations() / 1e6;
    state.counters["ms_per_input_MiB"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * mebibytes,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The whole file, at 1, 4, 16 and 64 MiB: the time per MiB shows whether the cost is linear.
void BM_WholeFile(benchmark::State& state) {
    renderWith(state, SectionSelection{}, static_cast<int>(state.range(0)), Form::Text);
}
void BM_WholeFileJson(benchmark::State& state) {
    renderWith(state, SectionSelection{}, static_cast<int>(state.range(0)), Form::Json);
}
BENCHMARK(BM_WholeFile)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFileJson)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
void BM_WholeFileJsonLines(benchmark::State& state) {
    renderWith(state, SectionSelection{}, static_cast<int>(state.range(0)), Form::JsonLines);
}
BENCHMARK(BM_WholeFileJsonLines)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// Each kind of section alone, at 16 MiB (the header and directory are always there and are
// tiny), in both forms: BM_Sttb, BM_SttbJson, ...
void registerSectionKinds() {
    using Kind = symdeck::SectionKindInfo;
    for (const Kind& kind : symdeck::kSectionKindInfo) {
        SectionSelection only;
        for (const Kind& other : symdeck::kSectionKindInfo)
            only.*other.skip = &other != &kind;
        std::string word(kind.name);
        for (size_t i = 1; i < word.size(); ++i) word[i] = static_cast<char>(word[i] - 'A' + 'a');
        for (const Form form : {Form::Text, Form::Json})
            benchmark::RegisterBenchmark(
                ("BM_" + word + (form == Form::Json ? "Json" : "")).c_str(),
                [only, form](benchmark::State& state) { renderWith(state, only, 16, form); })
                ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerSectionKinds();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
