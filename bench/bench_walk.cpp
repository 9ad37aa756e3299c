// The in-memory walk: report bytes per second for a whole generated database and for each
// section kind alone. The report goes through the real writer into a sink that only counts,
// so what is measured is the rendering, not a disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "app/driver.h"
#include "nmsbuild/large.h"

namespace {

using symdeck::NmsImage;
using symdeck::ReportSink;
using symdeck::ReportWriter;
using symdeck::SectionSelection;

const std::vector<uint8_t>& database() {
    static const std::vector<uint8_t> bytes = nmsbuild::largeDatabase(16u << 20, 1);
    return bytes;
}

bool discard(void*, const char*, size_t) { return true; }

void renderWith(benchmark::State& state, const SectionSelection& selection) {
    const auto& bytes = database();
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
}

void BM_WholeFile(benchmark::State& state) { renderWith(state, SectionSelection{}); }
BENCHMARK(BM_WholeFile)->Unit(benchmark::kMillisecond);

// Only one kind of section (the header and directory are always there and are tiny).
SectionSelection only(bool SectionSelection::*kind) {
    SectionSelection s{true, true, true, true, true, true, true, true};
    s.*kind = false;
    return s;
}

void BM_Sttb(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipSttb)); }
void BM_Nmtp(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipNmtp)); }
void BM_Tytb(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipTytb)); }
void BM_Hsht(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipHsht)); }
void BM_Symd(benchmark::State& state) { renderWith(state, only(&SectionSelection::skipSymd)); }
BENCHMARK(BM_Sttb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nmtp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tytb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hsht)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Symd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
