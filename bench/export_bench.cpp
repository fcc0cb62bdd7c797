// How fast a full S510 transfer (120 samples of heart rate, speed and cadence, 30 laps, five
// earlier exercises) becomes a FIT and a TCX file: from the received bytes (decoding included,
// with its HRM and CSV texts) and from the decoded values alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench_inputs.h"
#include "decoders/exercise_conversion.h"
#include "formats/fit_writer.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "reception/sonic_link_data.h"
#include "support/s410_stream_builder.h"

namespace {

// The decoder keeps its exercise values to itself for now; these are the ones it reads from the
// large S510 transfer (see bench_inputs.cpp), while the series come from the decoder itself.
CS410Exercise LargeS510Values() {
    CS410Exercise x;
    x.s510 = true;
    x.speed = x.cadence = x.cycling = 1;
    x.interval = 15;
    x.samples = 120;
    x.current = {{2006, 3, 5}, {6, 45, 10, 0}, {0, 30, 0, 0}, 141, 178, "Hills"};
    for (int j = 0; j < 30; ++j) {
        x.laps.push_back({{0, j + 1, 0, j % 10}, 120 + j, 110, 125 + j, 150 + j, (5 + j) * 100LL});
    }
    for (int f = 0; f < 5; ++f) {
        x.earlier.push_back(
            {{2006, 2, 26 - f}, {18, 5 * f, 0, 0}, {1, 10 + f, 20, f}, 130 + f, 170 + f, "Easy"});
    }
    return x;
}

const zendrik::TimeZone& Berlin() {
    static const zendrik::TimeZone zone =
        zendrik::TimeZone::Named("Europe/Berlin").value_or(zendrik::TimeZone::Utc());
    return zone;
}

template <typename Writer>
void StreamToFile(benchmark::State& state, Writer write) {
    CSonicLinkData data;
    const CReceivedBytes bytes = testing_streams::ToReceived(bench_inputs::LargeS510Stream());
    const CS410Exercise values = LargeS510Values();
    std::size_t fileSize = 0;
    for (auto _ : state) {
        data.m_bytes = bytes;
        data.DetectModelAndDecode();
        const zendrik::Exercise e =
            zendrik::ToExercise(values, {data.m_anHr, data.m_anSpeed, data.m_anCadence});
        const zendrik::ExportResult file = write(e, Berlin());
        fileSize = file.data.size();
        benchmark::DoNotOptimize(file.data.data());
    }
    if (data.m_bValid != 1 || data.m_nSeriesCount != 120 || fileSize == 0) {
        state.SkipWithError("the S510 stream does not decode or the file is not written");
        return;
    }
    state.counters["files_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(fileSize);
}

template <typename Writer>
void ExerciseToFile(benchmark::State& state, Writer write) {
    CSonicLinkData data;
    data.m_bytes = testing_streams::ToReceived(bench_inputs::LargeS510Stream());
    data.DetectModelAndDecode();
    const CS410Exercise values = LargeS510Values();
    std::size_t fileSize = 0;
    for (auto _ : state) {
        const zendrik::Exercise e =
            zendrik::ToExercise(values, {data.m_anHr, data.m_anSpeed, data.m_anCadence});
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
