#include "decoders/watch_values.h"

#include <cstddef>

namespace zendrik {

bool AppendWatchCharacter(std::string& name, int code) {
    if (code < kWatchCharsetEnd) {
        name.push_back(WatchCharset[static_cast<std::size_t>(code)]);
        return true;
    }
    if (code == kWatchCharsetEnd) return false;
    name.push_back('~');
    return true;
}

int BcdToInt(int value) { return ((value >> 4) & 0x0F) * 10 + (value & 0x0F); }

int MinHrInRange(const std::int32_t* hr, int count, int from, int to, int interval) {
    if (from > to || interval == 0 || count == 0) return 0;
    const int first = from / interval;
    const int last = to / interval;
    if (first < 0) return 0;
    int lowest = 0;
    for (int k = first; k <= last && k < count; ++k) {
        // A sample of 0 resets the running value; the next sample replaces it.
        if (hr[k] < lowest || lowest == 0) lowest = hr[k];
    }
    return lowest;
}

std::vector<zendrik::Zone> SampledZones(const int (&lower)[3], const int (&upper)[3],
                                        const std::vector<int>& hr, int interval) {
    std::vector<zendrik::Zone> zones;
    const zendrik::Tenths perSample = static_cast<zendrik::Tenths>(interval) * 10;
    for (int z = 0; z < 3; ++z) {
        zendrik::Tenths above = 0;
        zendrik::Tenths in = 0;
        zendrik::Tenths below = 0;
        for (const int value : hr) {
            if (value >= upper[z]) {
                above += perSample;
            } else if (value < lower[z]) {
                below += perSample;
            } else {
                in += perSample;
            }
        }
        zones.push_back({lower[z], upper[z], below, in, above});
    }
    return zones;
}

}  // namespace zendrik
