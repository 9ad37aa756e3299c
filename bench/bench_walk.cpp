// The in-memory walk: report bytes per second for a whole generated database and for each
// section kind alone. The report goes through the real writer into a sink that only counts,
// so what is measured is the rendering, not a disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

#include "app/driver.h"
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

void renderWith(benchmark::State& state, const SectionSelection& selection, int mebibytes) {
    const auto& bytes = database(mebibytes);
    const NmsImage image{bytes.data(), bytes.size()};
    uint64_t reportBytes = 0;
    for (auto _ : state) {
        ReportWriter out(ReportSink{&discard, nullptr});
        symdeck::renderImage(image, selection, out);
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
    renderWith(state, SectionSelection{}, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_WholeFile)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// Only one kind of section (the header and directory are always there and are tiny).
SectionSelection only(bool SectionSelection::*kind) {
    SectionSelection s{true, true, true, true, true, true, true, true};
    s.*kind = false;
    return s;
}

void BM_Sttb(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipSttb), 16); }
void BM_Nmtp(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipNmtp), 16); }
void BM_Tytb(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipTytb), 16); }
void BM_Hsht(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipHsht), 16); }
void BM_Symd(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipSymd), 16); }
BENCHMARK(BM_Sttb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nmtp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tytb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hsht)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Symd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
