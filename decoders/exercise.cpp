#include "decoders/exercise.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace zendrik {

const char* FamilyName(WatchFamily family) {
    // In the order of the enum.
    constexpr const char* kNames[] = {"S410", "S510", "Coach", "RS200", "CS200"};
    const auto index = static_cast<std::size_t>(family);
    return index < std::size(kNames) ? kNames[index] : "";
}

const char* SportName(Sport sport) {
    switch (sport) {
        case Sport::Generic:
            return "generic";
        case Sport::Running:
            return "running";
        case Sport::Cycling:
            return "cycling";
    }
    return "";
}

Tenths WatchTime::InTenths() const {
    const Tenths whole =
        static_cast<Tenths>(hours) * 3600 + static_cast<Tenths>(minutes) * 60 + seconds;
    return whole * 10 + tenths;
}

WatchTime BcdClock::Value() const {
    // Two BCD digits of the low byte, a nibble above 9 taken as it is.
    auto number = [](int byte) { return ((byte >> 4) & 0x0F) * 10 + (byte & 0x0F); };
    return {number(hours), number(minutes), number(seconds), tenths};
}

const Series* Exercise::Find(SeriesKind kind) const {
    for (const Series& s : series) {
        if (s.kind == kind) return &s;
    }
    return nullptr;
}

std::size_t Exercise::SampleCount() const {
    std::size_t count = 0;
    for (const Series& s : series) count = std::max(count, s.values.size());
    return count;
}

}  // namespace zendrik
