// How fast the second receiver reads a real-world recording: a minute at 48000 samples per
// second with background noise, once holding a transfer it accepts and once holding one whose
// checksum fails, so every retry runs before it gives up.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_inputs.h"
#include "decoders/families.h"
#include "reception/modulator.h"
#include "reception/second_receiver.h"

using namespace zendrik;

namespace {

constexpr int kRate = 48000;
constexpr std::size_t kSamples = 60 * kRate;
constexpr double kLevel = 0.1;   // peak of the tone, -20 dBFS
constexpr double kSnrDb = 14.0;  // tone power to noise power over the whole band

zendrik::AudioClip NoisyMinute(const std::vector<std::uint8_t>& bytes) {
    ModulatorSettings settings;
    settings.sampleRate = kRate;
    settings.bitPeriod = 98;  // 490 bits per second
    settings.amplitude = 32767;
    settings.noise = 0;
    settings.leadIn = 10 * kRate;
    settings.leadOut = 0;
    const std::vector<std::int16_t> tone = ModulateBytes(bytes, settings);
    zendrik::AudioClip clip;
    clip.sampleRate = kRate;
    clip.samples.assign(kSamples, 0.0f);
    for (std::size_t i = 0; i < tone.size() && i < kSamples; ++i) {
        clip.samples[i] = static_cast<float>(kLevel * tone[i] / 32767.0);
    }
    std::mt19937 rng(60);
    std::normal_distribution<float> noise(
        0.0f, static_cast<float>(std::sqrt(kLevel * kLevel / 2 / std::pow(10.0, kSnrDb / 10))));
    for (float& x : clip.samples) x += noise(rng);
    return clip;
}

void RunReceiver(benchmark::State& state, const zendrik::AudioClip& clip, bool accepts,
                 const std::vector<std::uint8_t>& bytes) {
    const zendrik::SecondReception check =
        zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats());
    if (check.accepted != accepts || (accepts && check.bytes != bytes)) {
        state.SkipWithError("the recording does not receive as it should");
        return;
    }
    for (auto _ : state) {
        zendrik::SecondReception got = zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats());
        benchmark::DoNotOptimize(got);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(clip.samples.size()));
    state.counters["audio_seconds"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(clip.samples.size()) / kRate,
        benchmark::Counter::kIsRate);
}

void BM_SecondReceiver60s48k_Noisy(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = bench_inputs::LargeS510Stream();
    static const zendrik::AudioClip clip = NoisyMinute(bytes);
    RunReceiver(state, clip, true, bytes);
}
BENCHMARK(BM_SecondReceiver60s48k_Noisy)->Unit(benchmark::kMillisecond);

void BM_SecondReceiver60s48k_ChecksumFails(benchmark::State& state) {
    std::vector<std::uint8_t> bytes = bench_inputs::LargeS510Stream();
    bytes[bytes.size() - 3] ^= 0x01;  // in the last block's data
    static const zendrik::AudioClip clip = NoisyMinute(bytes);
    RunReceiver(state, clip, false, bytes);
}
BENCHMARK(BM_SecondReceiver60s48k_ChecksumFails)->Unit(benchmark::kMillisecond);

}  // namespace
