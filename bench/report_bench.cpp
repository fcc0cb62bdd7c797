// How fast a received S510 transfer becomes its HRM and CSV reports, from the bytes in memory
// and from the text of a dump.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "bench_inputs.h"
#include "reception/dump_file.h"
#include "reception/received_bytes.h"
#include "document/document.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

const ReceivedBytes& LargeS510Bytes() {
    static const ReceivedBytes bytes = testing_streams::ToReceived(bench_inputs::LargeS510Stream());
    return bytes;
}

// One decode outside the timing, so a broken stream fails loudly instead of timing an error path.
bool DecodesCleanly(Document& data) {
    return data.DecodeBytes(LargeS510Bytes(), ModelBy::StreamHead) == 1 && data.Valid() == 1 && !data.Csv().empty() &&
           data.Hrm().find("[HRData]") != std::string::npos;
}

void ReportCounters(benchmark::State& state, const Document& data) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["reports_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["hrm_chars"] = static_cast<double>(data.Hrm().size());
    state.counters["csv_chars"] = static_cast<double>(data.Csv().size());
    state.counters["stream_bytes"] = static_cast<double>(data.Bytes().GetSize());
}

// The received bytes handed over, then the model found from the head and both reports written.
void BM_DecodeS510Stream(benchmark::State& state) {
    Document data;
    if (!DecodesCleanly(data)) {
        state.SkipWithError("the S510 stream does not decode");
        return;
    }
    const ReceivedBytes& bytes = LargeS510Bytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.DecodeBytes(bytes, ModelBy::StreamHead));
        benchmark::DoNotOptimize(data.Hrm().data());
        benchmark::DoNotOptimize(data.Csv().data());
    }
    ReportCounters(state, data);
}
BENCHMARK(BM_DecodeS510Stream);

// The same transfer read from the text of its dump first.
void BM_ParseDumpAndDecodeS510(benchmark::State& state) {
    Document data;
    if (!DecodesCleanly(data)) {
        state.SkipWithError("the S510 stream does not decode");
        return;
    }
    const std::string text = FormatDump(LargeS510Bytes());
    for (auto _ : state) {
        std::istringstream in(text);
        ReceivedBytes bytes;
        ParseDump(in, bytes);
        benchmark::DoNotOptimize(data.DecodeBytes(std::move(bytes), ModelBy::StreamHead));
        benchmark::DoNotOptimize(data.Hrm().data());
        benchmark::DoNotOptimize(data.Csv().data());
    }
    if (!(data.Bytes() == LargeS510Bytes())) {
        state.SkipWithError("the dump does not read back to the stream");
        return;
    }
    ReportCounters(state, data);
}
BENCHMARK(BM_ParseDumpAndDecodeS510);

// The dump reading alone, to tell its share of the step above.
void BM_ParseDumpS510(benchmark::State& state) {
    const std::string text = FormatDump(LargeS510Bytes());
    ReceivedBytes bytes;
    for (auto _ : state) {
        std::istringstream in(text);
        bytes.SetSize(0);
        ParseDump(in, bytes);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseDumpS510);

}  // namespace
