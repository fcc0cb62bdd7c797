// Finds the frequency of the watch's tone in a recording: the narrow band that stands out of
// its neighbourhood in the spectrum, so hum, hiss and other sounds do not count as the tone.
#pragma once

#include <cstddef>
#include <vector>

namespace zendrik {

struct CarrierCandidate {
    double hz = 0;
    double prominenceDb = 0;  // how far the band stands above its neighbourhood
};

// Up to `most` candidate tones, the most prominent first; empty when no band stands out.
// Looks at a bounded number of spectra spread over the recording, whatever its length.
std::vector<CarrierCandidate> FindCarriers(const float* samples, std::ptrdiff_t count,
                                           int sampleRate, int most);

}  // namespace zendrik
