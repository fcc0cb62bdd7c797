// The time zone the watch's local times are read in. FIT and TCX carry UTC, the watches keep
// local time without a zone, so the writers take the zone as an argument and never look it up
// themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/exercise.h"

namespace zendrik {

// The offsets of a zone from UTC over time, from wherever the program takes them: the system's
// zone database (platform/zone_database), or offsets handed in (the browser computes them).
class ZoneRules {
public:
    virtual ~ZoneRules() = default;
    // Seconds to add to UTC for the local time at that instant (daylight saving included).
    virtual std::int64_t OffsetAt(std::int64_t utcSeconds) const = 0;
    // The offset a local time (its fields counted as seconds since 1970-01-01T00:00:00, as if
    // it were UTC) is read with: in the hour skipped when clocks go forward, the offset before
    // the change; in the hour that occurs twice when they go back, the earlier one.
    virtual std::int64_t OffsetOfLocal(std::int64_t localSeconds) const = 0;
};

// A zone's offsets as a list of changes: from each instant (seconds since the epoch, UTC) on,
// the offset it names; before the first, the first's. Enough for the years an exercise can
// fall in, and what a caller without a zone database can build.
struct ZoneChange {
    std::int64_t fromUtc = 0;
    std::int64_t offset = 0;
};

class TimeZone {
public:
    // A zone under the rules given; UTC where there are none.
    TimeZone(std::string name, std::shared_ptr<const ZoneRules> rules)
        : rules_(std::move(rules)), name_(std::move(name)) {}
    // A zone from its changes, in order of time; UTC without any.
    static TimeZone FromChanges(std::string name, std::vector<ZoneChange> changes);
    static TimeZone Utc();

    const std::string& Name() const { return name_; }

    // Seconds since 1970-01-01T00:00:00Z of a local time, under the rules in force on that date;
    // nothing when it is not a date and time of day (month 13, 25 o'clock, 31 April, ...).
    // A time in the hour skipped when clocks go forward is read with the offset before the change
    // (02:30 on that night is 03:30 of the new offset); a time that occurs twice when clocks go
    // back is taken at its first occurrence.
    std::optional<std::int64_t> ToUtc(const LocalDateTime& local) const;
    // Seconds to add to UTC for the local time at that instant (daylight saving included).
    std::int64_t OffsetAt(std::int64_t utcSeconds) const;

private:
    std::shared_ptr<const ZoneRules> rules_;  // null: UTC
    std::string name_;
};

// Whether the watch's fields make a date of the calendar and a time of day (not month 13, 31 April,
// 25 o'clock or minute 83), in years -30000 to 30000.
bool IsDateAndTime(const LocalDateTime& local);

// A UTC instant as "YYYY-MM-DDThh:mm:ssZ", appended or on its own.
void AppendUtc(std::string& out, std::int64_t utcSeconds);
std::string FormatUtc(std::int64_t utcSeconds);

}  // namespace zendrik
