// The sending side of SonicLink, for making recordings: each byte becomes a frame of ten bit
// periods (a start bit, eight data bits LSB first, a stop bit), a tone burst for 1, silence for 0.
#pragma once

#include <cstdint>
#include <vector>

#include "reception/stream_format.h"

struct CModulatorSettings {
    int sampleRate = 44100;
    int bitPeriod = 90;       // samples per bit: 90 at 44100, 225 for the Coach
    int gapBits = 2;          // quiet bit periods after each frame, so the receiver can re-align
    double toneHz = 4410.0;   // frequency of the bursts
    int amplitude = 12000;    // peak of a burst
    int noise = 24;           // peak of the background hiss, also under the bursts
    int leadIn = 22050;       // quiet samples before the first frame
    int leadOut = 22050;      // and after the last
    std::uint32_t seed = 1;   // of the hiss, so recordings are repeatable
};

// The settings that send at a family's bit timing at 44100 samples per second.
CModulatorSettings ModulatorSettingsFor(BitTiming at44100);

// A mono recording of the bytes.
std::vector<std::int16_t> ModulateBytes(const std::vector<std::uint8_t>& bytes,
                                        const CModulatorSettings& settings);
