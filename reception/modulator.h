// The sending side of SonicLink, for making recordings: each byte becomes a frame of ten bit
// periods (a start bit, eight data bits LSB first, a stop bit), a tone burst for 1, silence for 0.
#pragma once

#include <cstdint>
#include <vector>

#include "reception/stream_format.h"

namespace zendrik {

// The wave a burst is made of.
enum class BurstShape {
    Sine,    // a pure tone
    Square,  // a buzzer's: a square wave, its odd harmonics up to half the sample rate
};

struct ModulatorSettings {
    int sampleRate = 44100;
    int bitPeriod = 90;       // samples per bit: 90 at 44100, 225 for the Coach
    int gapBits = 2;          // quiet bit periods after each frame, so the receiver can re-align
    double toneHz = 4410.0;   // frequency of the bursts
    int amplitude = 12000;    // peak of a burst
    int noise = 24;           // peak of the background hiss, also under the bursts
    int leadIn = 22050;       // quiet samples before the first frame
    int leadOut = 22050;      // and after the last
    std::uint32_t seed = 1;   // of the hiss, so recordings are repeatable
    // What a real watch may do otherwise, none of it documented; the defaults are the above.
    BurstShape shape = BurstShape::Sine;
    int edgeSamples = 0;       // each burst rises and falls over this many samples (a raised
                               // cosine), as a buzzer's membrane takes time to swing and settle
    bool freeRunning = false;  // the oscillator runs on through the quiet, so a burst starts at
                               // whatever phase it has reached, not each at the same one
    int levelSpread = 0;       // percent: each burst's peak drawn between (100 - spread) % of
                               // the amplitude and the whole of it (from `seed`)
};

// The settings that send at a family's bit timing at 44100 samples per second.
ModulatorSettings ModulatorSettingsFor(BitTiming at44100);

// A mono recording of the bytes.
std::vector<std::int16_t> ModulateBytes(const std::vector<std::uint8_t>& bytes,
                                        const ModulatorSettings& settings);

}  // namespace zendrik
