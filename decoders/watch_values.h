// The watch's own value encodings every decoder reads: its character set, BCD bytes, dates, and
// the heart-rate figures a decoder derives from the samples (the lowest over a lap, the time in
// each zone).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/exercise.h"

namespace zendrik {

// The watch's character set: code c is character c for 0-72, 73 ends a name, 74-255 is "~".
inline constexpr std::string_view WatchCharset =
    "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-%/()*+.:?";
inline constexpr int kWatchCharsetEnd = 73;

// Appends the character of watch code `code` to name; returns false when the code ends the name.
bool AppendWatchCharacter(std::string& name, int code);

// Two BCD digits of the low byte: 0x59 gives 59; nibbles above 9 are taken as they are.
int BcdToInt(int value);

// A date as the watch sent it.
struct DateValue {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Lowest heart rate over the samples covering [from, to] seconds at `interval` seconds per
// sample, both ends included; 0 when the range is empty or there is nothing to look at.
int MinHrInRange(const std::int32_t* hr, int count, int from, int to, int interval);

// The three heart-rate zones of a sampled exercise: their limits, and the time below (< lower),
// in and above (>= upper) each, every sample standing for `interval` seconds.
std::vector<zendrik::Zone> SampledZones(const int (&lower)[3], const int (&upper)[3],
                                        const std::vector<int>& hr, int interval);

}  // namespace zendrik
