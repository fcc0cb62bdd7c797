// How fast a full S510 transfer (120 samples of heart rate, speed and cadence, 30 laps, five
// earlier exercises) becomes a FIT and a TCX file: from the received bytes (decoding included,
// with its HRM and CSV texts, and the exercise the decoder keeps written) and from that exercise
// alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench_inputs.h"
#include "formats/fit_writer.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "document/document.h"
#include "platform/zone_database.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

const zendrik::TimeZone& Berlin() {
    static const zendrik::TimeZone zone =
        ZoneNamed("Europe/Berlin").value_or(zendrik::TimeZone::Utc());
    return zone;
}

template <typename Writer>
void StreamToFile(benchmark::State& state, Writer write) {
    Document data;
    const ReceivedBytes bytes = testing_streams::ToReceived(bench_inputs::LargeS510Stream());
    std::size_t fileSize = 0;
    for (auto _ : state) {
        data.DecodeBytes(bytes, ModelBy::StreamHead);
        if (!data.ValidExercise()) break;
        const zendrik::ExportResult file = write(*data.ValidExercise(), Berlin());
        fileSize = file.data.size();
        benchmark::DoNotOptimize(file.data.data());
    }
    if (!data.ValidExercise() || data.ValidExercise()->SampleCount() != 120 || fileSize == 0) {
        state.SkipWithError("the S510 stream does not decode or the file is not written");
        return;
    }
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(fileSize);
}

template <typename Writer>
void ExerciseToFile(benchmark::State& state, Writer write) {
    Document data;
    data.DecodeBytes(testing_streams::ToReceived(bench_inputs::LargeS510Stream()), ModelBy::StreamHead);
    if (!data.ValidExercise()) {
        state.SkipWithError("the S510 stream does not decode");
        return;
    }
    const zendrik::Exercise& e = *data.ValidExercise();
    std::size_t fileSize = 0;
    for (auto _ : state) {
        const zendrik::ExportResult file = write(e, Berlin());
        fileSize = file.data.size();
        benchmark::DoNotOptimize(file.data.data());
    }
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(fileSize);
}

void BM_S510StreamToFit(benchmark::State& state) {
    StreamToFile(state, zendrik::WriteFit);
}
BENCHMARK(BM_S510StreamToFit);

void BM_S510StreamToTcx(benchmark::State& state) {
    StreamToFile(state, zendrik::WriteTcx);
}
BENCHMARK(BM_S510StreamToTcx);

void BM_S510ExerciseToFit(benchmark::State& state) {
    ExerciseToFile(state, zendrik::WriteFit);
}
BENCHMARK(BM_S510ExerciseToFit);

void BM_S510ExerciseToTcx(benchmark::State& state) {
    ExerciseToFile(state, zendrik::WriteTcx);
}
BENCHMARK(BM_S510ExerciseToTcx);

void BM_S510ExerciseToJson(benchmark::State& state) {
    ExerciseToFile(state, [](const zendrik::Exercise& e, const zendrik::TimeZone&) {
        return zendrik::ExportResult{zendrik::WriteJson(e), {}};
    });
}
BENCHMARK(BM_S510ExerciseToJson);

}  // namespace
