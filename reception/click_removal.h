// Clicks in a recording (a tap on the microphone, a crackle in a cable): single samples far
// above the sound around them. Through the tone's filter a loud one looks like a burst in the
// bit it falls on; silenced, it costs that bit a few samples of tone at most.
#pragma once

#include <cstddef>
#include <vector>

namespace zendrik {

// Positions of samples that stand more than a dozen times above the mean level of the two
// milliseconds either side. Empty when there are none, and also when they are so many that
// they are the sound itself rather than clicks in it.
std::vector<std::ptrdiff_t> FindClicks(const float* samples, std::ptrdiff_t count, int sampleRate);

// Silences each click and its neighbours.
void SilenceClicks(std::vector<float>& samples, const std::vector<std::ptrdiff_t>& clicks);

}  // namespace zendrik
