// Sound as the second receiver and the audio file reader exchange it: one channel of samples at
// the recording's own rate, full scale at +-1.0.
#pragma once

#include <vector>

namespace zendrik {

struct AudioClip {
    std::vector<float> samples;  // one channel, full scale +-1.0
    int sampleRate = 0;          // samples per second, as recorded
};

}  // namespace zendrik
