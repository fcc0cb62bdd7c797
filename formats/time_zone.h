// The time zone the watch's local times are read in. FIT and TCX carry UTC, the watches keep
// local time without a zone, so the writers take the zone as an argument and never look it up
// themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decoders/exercise.h"

namespace date {
class time_zone;
}

namespace zendrik {

class TimeZone {
public:
    // The zone of an IANA name ("Europe/Berlin"); nothing when the zone database does not know it.
    static std::optional<TimeZone> Named(std::string_view name);
    // The computer's zone: the one TZ names, else the system's setting; UTC when neither is found.
    static TimeZone System();
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
    TimeZone(const date::time_zone* zone, std::string name) : zone_(zone), name_(std::move(name)) {}

    const date::time_zone* zone_ = nullptr;  // null: UTC
    std::string name_;
};

// Whether the watch's fields make a date of the calendar and a time of day (not month 13, 31 April,
// 25 o'clock or minute 83), in years -30000 to 30000.
bool IsDateAndTime(const LocalDateTime& local);

// A UTC instant as "YYYY-MM-DDThh:mm:ssZ", appended or on its own.
void AppendUtc(std::string& out, std::int64_t utcSeconds);
std::string FormatUtc(std::int64_t utcSeconds);

}  // namespace zendrik
