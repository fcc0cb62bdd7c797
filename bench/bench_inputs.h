// Inputs the benchmarks share: a full S510 transfer and recordings made from it.
#pragma once

#include <cstdint>
#include <vector>

namespace zendrik {

namespace bench_inputs {

inline constexpr int kSampleRate = 44100;

// The bytes of a large S510 transfer: 120 samples of heart rate, speed and cadence, a cycling
// exercise with 30 laps and the five earlier exercises.
const std::vector<std::uint8_t>& LargeS510Stream();

// A recording of exactly `samples` samples at 44100 per second, made by sending the large S510
// transfer again and again (each copy after the usual lead-in) and cutting or padding with quiet
// hiss at the end. *bytesSent, when given, receives the bytes the recording carries whole.
std::vector<std::int16_t> RepeatedTransferRecording(std::size_t samples,
                                                    std::vector<std::uint8_t>* bytesSent = nullptr);

// Background hiss alone, as the microphone hears it before the watch starts sending.
std::vector<std::int16_t> QuietRecording(std::size_t samples);

}  // namespace bench_inputs

}  // namespace zendrik
