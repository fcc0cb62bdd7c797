// The decode thread of live reception over the longest transfer there is: an RS200 run of 15
// blocks, fed block by block as the capture thread hands it over, each block followed by a
// demodulation pass over everything collected.
#include <benchmark/benchmark.h>

#include <vector>

#include "reception/demodulator.h"
#include "reception/live_decoder.h"
#include "reception/modulator.h"
#include "support/rs200_stream_builder.h"

namespace {

const std::vector<std::int16_t>& LongestTransferSound() {
    static const std::vector<std::int16_t> sound = [] {
        testing_streams::RunValues run;
        for (int lap = 0; lap < 255; ++lap) run.laps.push_back(testing_streams::RunLap{});
        return ModulateBytes(testing_streams::BuildRs200Stream(run), ModulatorSettingsFor(4));
    }();
    return sound;
}

void BM_LiveDecodeLongestTransfer(benchmark::State& state) {
    const std::vector<std::int16_t>& sound = LongestTransferSound();
    std::size_t fed = 0;
    for (auto _ : state) {
        CLiveDecoder decoder;
        decoder.OnStart(4, nullptr);
        fed = 0;
        while (fed < sound.size() && !decoder.IsComplete()) {
            const std::size_t count = std::min<std::size_t>(10000, sound.size() - fed);
            decoder.OnSamples(sound.data() + fed, static_cast<std::ptrdiff_t>(count));
            fed += count;
        }
        if (!decoder.IsComplete()) state.SkipWithError("the transfer did not complete");
        benchmark::DoNotOptimize(decoder.Bytes().GetSize());
    }
    // Seconds of sound the decode thread listened to; the CPU time per iteration set against it
    // is the share of one core live reception takes.
    state.counters["sound_seconds"] = static_cast<double>(fed) / 44100.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fed));
}
BENCHMARK(BM_LiveDecodeLongestTransfer)->Unit(benchmark::kMillisecond)->Iterations(3);

// One full live demodulation of n collected samples, as a pass without reuse would cost.
void BM_FullLivePass(benchmark::State& state) {
    const std::vector<std::int16_t>& sound = LongestTransferSound();
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(state.range(0)), sound.size());
    CReceivedBytes bytes;
    for (auto _ : state) {
        DemodulateSamples(sound.data(), static_cast<std::ptrdiff_t>(n), DemodVariant::Live, BitTimingFor(4, 44100), bytes);
        benchmark::DoNotOptimize(bytes.GetSize());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_FullLivePass)->Arg(40000)->Arg(3400000)->Unit(benchmark::kMillisecond);

}  // namespace
