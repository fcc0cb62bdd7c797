// How fast recordings turn into bytes: a whole file at once, and the pass the live reception
// repeats for every captured block while it is still looking for a stream head.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_inputs.h"
#include "decoders/families.h"
#include "reception/demodulator.h"
#include "reception/received_bytes.h"

using namespace zendrik;

namespace {

constexpr std::size_t kFileSamples = 60 * bench_inputs::kSampleRate;
constexpr std::size_t kLiveSamples = 50000;  // the most the live search holds without a head

struct FileRecording {
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> bytes;
};

const FileRecording& SixtySecondRecording() {
    static const FileRecording recording = [] {
        FileRecording r;
        r.samples = bench_inputs::RepeatedTransferRecording(kFileSamples, &r.bytes);
        return r;
    }();
    return recording;
}

bool SameBytes(const ReceivedBytes& got, const std::vector<std::uint8_t>& want) {
    if (got.GetSize() != static_cast<std::ptrdiff_t>(want.size())) return false;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (got[static_cast<std::ptrdiff_t>(i)] != want[i]) return false;
    }
    return true;
}

void RunDemodulation(benchmark::State& state, const std::vector<std::int16_t>& samples,
                     DemodVariant variant) {
    const BitTiming timing = BitTimingFor(kModelS410, bench_inputs::kSampleRate);
    const auto count = static_cast<std::ptrdiff_t>(samples.size());
    ReceivedBytes out;
    for (auto _ : state) {
        DemodulateSamples(samples.data(), count, variant, timing, out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    const auto processed = static_cast<std::int64_t>(state.iterations()) * count;
    state.SetItemsProcessed(processed);
    state.counters["bytes_out"] = static_cast<double>(out.GetSize());
    // Seconds of sound demodulated per second: how far ahead of real time the receiver stays.
    state.counters["audio_seconds"] = benchmark::Counter(
        static_cast<double>(processed) / bench_inputs::kSampleRate, benchmark::Counter::kIsRate);
}

// A 60 s recording read from a file, full of S510 transfers.
void BM_DemodulateFile60s(benchmark::State& state) {
    const FileRecording& recording = SixtySecondRecording();
    ReceivedBytes check;
    DemodulateSamples(recording.samples.data(), static_cast<std::ptrdiff_t>(recording.samples.size()),
                      DemodVariant::File, BitTimingFor(kModelS410, bench_inputs::kSampleRate), check);
    if (!SameBytes(check, recording.bytes)) {
        state.SkipWithError("the recording does not demodulate to the bytes sent");
        return;
    }
    RunDemodulation(state, recording.samples, DemodVariant::File);
}
BENCHMARK(BM_DemodulateFile60s)->Unit(benchmark::kMillisecond);

// The live pass over the longest buffer kept while no head has been seen: nothing but hiss...
void BM_DemodulateLive50k_Quiet(benchmark::State& state) {
    static const std::vector<std::int16_t> samples = bench_inputs::QuietRecording(kLiveSamples);
    RunDemodulation(state, samples, DemodVariant::Live);
}
BENCHMARK(BM_DemodulateLive50k_Quiet)->Unit(benchmark::kMicrosecond);

// ...and tone bursts all through it, the middle of a transfer whose head was missed.
void BM_DemodulateLive50k_Tones(benchmark::State& state) {
    static const std::vector<std::int16_t> samples = [] {
        const std::vector<std::int16_t>& all = SixtySecondRecording().samples;
        const auto from = static_cast<std::ptrdiff_t>(all.size() / 2);
        return std::vector<std::int16_t>(all.begin() + from,
                                         all.begin() + from + static_cast<std::ptrdiff_t>(kLiveSamples));
    }();
    RunDemodulation(state, samples, DemodVariant::Live);
}
BENCHMARK(BM_DemodulateLive50k_Tones)->Unit(benchmark::kMicrosecond);

}  // namespace
