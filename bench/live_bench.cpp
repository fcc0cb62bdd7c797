// The decode thread of live reception over the longest transfer there is: an RS200 run of 15
// blocks, fed block by block as the capture thread hands it over, each block followed by a
// demodulation pass over everything collected. And a Coach transfer after a long wait: its
// head is longer than 20000 samples, so while it waits the collection is trimmed after every
// block and each pass starts from nothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "decoders/families.h"
#include "reception/demodulator.h"
#include "reception/live_decoder.h"
#include "reception/modulator.h"
#include "reception/stream_check.h"
#include "support/rs200_stream_builder.h"

using namespace zendrik;

namespace {

const std::vector<std::int16_t>& LongestTransferSound() {
    static const std::vector<std::int16_t> sound = [] {
        testing_streams::RunValues run;
        for (int lap = 0; lap < 255; ++lap) run.laps.push_back(testing_streams::RunLap{});
        return ModulateBytes(testing_streams::BuildRs200Stream(run),
                             ModulatorSettingsFor(BitTimingFor(4, 44100)));
    }();
    return sound;
}

struct Fed {
    std::size_t samples = 0;
    bool complete = false;
};

// An RS200 reading fed with the sound in blocks of 10000 samples, as the capture thread hands
// them over, until the transfer completes or the sound ends.
Fed FeedRs200InBlocks(const std::vector<std::int16_t>& sound) {
    LiveDecoder decoder;
    decoder.OnStart(zendrik::FamilyOrFirst(4).stream, zendrik::FamilyStreamFormats(), nullptr);
    Fed fed;
    while (fed.samples < sound.size() && !decoder.IsComplete()) {
        const std::size_t count = std::min<std::size_t>(10000, sound.size() - fed.samples);
        decoder.OnSamples(sound.data() + fed.samples, static_cast<std::ptrdiff_t>(count));
        fed.samples += count;
    }
    fed.complete = decoder.IsComplete();
    benchmark::DoNotOptimize(decoder.Bytes().GetSize());
    return fed;
}

// Times whole RS200 readings of the sound; each must complete.
void TimeReadings(benchmark::State& state, const std::vector<std::int16_t>& sound) {
    std::size_t fed = 0;
    for (auto _ : state) {
        const Fed run = FeedRs200InBlocks(sound);
        fed = run.samples;
        if (!run.complete) state.SkipWithError("the transfer did not complete");
    }
    // Seconds of sound the decode thread listened to; the CPU time per iteration set against it
    // is the share of one core live reception takes.
    state.counters["sound_seconds"] = static_cast<double>(fed) / 44100.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fed));
}

void BM_LiveDecodeLongestTransfer(benchmark::State& state) {
    TimeReadings(state, LongestTransferSound());
}
BENCHMARK(BM_LiveDecodeLongestTransfer)->Unit(benchmark::kMillisecond)->Iterations(3);

// Thirty seconds of waiting, then a Coach transfer of 20 blocks.
void BM_LiveDecodeCoachAfterWaiting(benchmark::State& state) {
    static const std::vector<std::int16_t> sound = [] {
        // The head, then 20 blocks of 17 bytes: mark, number, size, 12 data bytes, checksum.
        std::vector<std::uint8_t> bytes{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 10, 0, 20, 0, 0};
        for (int block = 1; block <= 20; ++block) {
            const std::size_t at = bytes.size();
            bytes.insert(bytes.end(), {0x55, static_cast<std::uint8_t>(block), 17});
            for (int i = 0; i < 12; ++i) bytes.push_back(static_cast<std::uint8_t>(block * 12 + i));
            const std::uint16_t crc = BlockCrc16(bytes.data() + at, 15);
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)});
        }
        ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(2, 44100));
        settings.leadIn = 30 * 44100;
        return ModulateBytes(bytes, settings);
    }();
    std::size_t fed = 0;
    for (auto _ : state) {
        LiveDecoder decoder;
        decoder.OnStart(zendrik::FamilyOrFirst(2).stream, zendrik::FamilyStreamFormats(), nullptr);
        fed = 0;
        while (fed < sound.size() && !decoder.IsComplete()) {
            const std::size_t count = std::min<std::size_t>(10000, sound.size() - fed);
            decoder.OnSamples(sound.data() + fed, static_cast<std::ptrdiff_t>(count));
            fed += count;
        }
        if (!decoder.IsComplete()) state.SkipWithError("the transfer did not complete");
        benchmark::DoNotOptimize(decoder.Bytes().GetSize());
    }
    state.counters["sound_seconds"] = static_cast<double>(fed) / 44100.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fed));
}
BENCHMARK(BM_LiveDecodeCoachAfterWaiting)->Unit(benchmark::kMillisecond)->Iterations(3);

// The longest transfer as a phone might hear it (3 % slow, white noise at 10 dB SNR) with 30
// seconds of the same noise after it: the exact pass finds no transfer going, so the second
// receiver reads the last two minutes after every ten seconds of sound. The CPU time against
// sound_seconds is the share of one core taken, whether or not the transfer is accepted.
void BM_LiveDecodeNoisyLongestTransfer(benchmark::State& state) {
    static const std::vector<std::int16_t> sound = [] {
        testing_streams::RunValues run;
        for (int lap = 0; lap < 255; ++lap) run.laps.push_back(testing_streams::RunLap{});
        ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(4, 44100));
        settings.bitPeriod = 93;
        settings.noise = 0;
        settings.amplitude = 8000;
        settings.leadOut = 30 * 44100;
        std::vector<std::int16_t> out = ModulateBytes(testing_streams::BuildRs200Stream(run), settings);
        std::uint32_t seed = 7;
        for (std::int16_t& s : out) {
            // A sum of four uniform values: near enough to normal, at 10 dB below the tone.
            double noise = 0;
            for (int k = 0; k < 4; ++k) {
                seed = seed * 1664525u + 1013904223u;
                noise += (seed >> 8) / 16777216.0 - 0.5;
            }
            const double value = s + noise * 8000 / std::sqrt(2.0) / std::sqrt(10.0) * std::sqrt(3.0);
            s = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
        }
        return out;
    }();
    std::size_t fed = 0;
    bool complete = false;
    for (auto _ : state) {
        const Fed run = FeedRs200InBlocks(sound);
        fed = run.samples;
        complete = run.complete;
    }
    state.counters["sound_seconds"] = static_cast<double>(fed) / 44100.0;
    state.counters["complete"] = complete ? 1 : 0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fed));
}
BENCHMARK(BM_LiveDecodeNoisyLongestTransfer)->Unit(benchmark::kMillisecond)->Iterations(2);

// The longest transfer again, its last frames too faint for the exact pass (a watch turned away
// at the end): the exact pass stalls short of the end, and after 3 seconds without a new
// byte the second receiver reads the last two minutes once and completes the reading. The CPU
// time against sound_seconds is the share of one core the whole reading takes, hand-over
// included.
void BM_LiveDecodeLongestTransferHandedOver(benchmark::State& state) {
    static const std::vector<std::int16_t> sound = [] {
        testing_streams::RunValues run;
        for (int lap = 0; lap < 255; ++lap) run.laps.push_back(testing_streams::RunLap{});
        ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(4, 44100));
        settings.leadOut = 5 * 44100;
        const std::vector<std::uint8_t> bytes = testing_streams::BuildRs200Stream(run);
        std::vector<std::int16_t> out = ModulateBytes(bytes, settings);
        // From four frames before the last byte the head announces (the padding after it is
        // not waited for).
        const std::size_t announced = 252 * std::size_t{bytes[8]} + 12;
        const std::size_t frame = 12 * static_cast<std::size_t>(settings.bitPeriod);
        const std::size_t faint =
            static_cast<std::size_t>(settings.leadIn) + (announced - 4) * frame;
        for (std::size_t i = faint; i < out.size(); ++i) {
            out[i] = static_cast<std::int16_t>(out[i] * 0.15);
        }
        return out;
    }();
    TimeReadings(state, sound);
}
BENCHMARK(BM_LiveDecodeLongestTransferHandedOver)->Unit(benchmark::kMillisecond)->Iterations(3);

// One full live demodulation of n collected samples, as a pass without reuse would cost.
void BM_FullLivePass(benchmark::State& state) {
    const std::vector<std::int16_t>& sound = LongestTransferSound();
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(state.range(0)), sound.size());
    ReceivedBytes bytes;
    for (auto _ : state) {
        DemodulateSamples(sound.data(), static_cast<std::ptrdiff_t>(n), DemodVariant::Live, BitTimingFor(4, 44100), bytes);
        benchmark::DoNotOptimize(bytes.GetSize());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_FullLivePass)->Arg(40000)->Arg(3400000)->Unit(benchmark::kMillisecond);

}  // namespace
