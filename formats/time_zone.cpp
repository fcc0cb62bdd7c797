#include "formats/time_zone.h"

#include <date/tz.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>

namespace zendrik {

namespace {

using Seconds = std::chrono::seconds;

const date::time_zone* Locate(std::string_view name) {
    // The zone database throws for names it does not know and when it cannot be read at all.
    try {
        return date::locate_zone(name);
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool IsTimeOfDay(const LocalDateTime& t) {
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60;
}

// The fields as a calendar date; only meaningful for months 1-12 and days 1-31.
date::year_month_day YearMonthDay(const LocalDateTime& t) {
    return {date::year{t.year}, date::month{static_cast<unsigned>(t.month)},
            date::day{static_cast<unsigned>(t.day)}};
}

// Writes `width` decimal digits of a non-negative value, most significant first.
char* PutDigits(char* at, long long value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

}  // namespace

std::optional<TimeZone> TimeZone::Named(std::string_view name) {
    if (name == "UTC") return Utc();
    const date::time_zone* zone = Locate(name);
    if (!zone) return std::nullopt;
    return TimeZone(zone, std::string(name));
}

TimeZone TimeZone::System() {
    // TZ is what the user set for this program; the system's setting comes after it.
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string_view name(tz);
        if (name.front() == ':') name.remove_prefix(1);
        if (std::optional<TimeZone> zone = Named(name)) return *zone;
    }
    try {
        if (const date::time_zone* zone = date::current_zone()) {
            return TimeZone(zone, std::string(zone->name()));
        }
    } catch (const std::exception&) {
    }
    return Utc();
}

TimeZone TimeZone::Utc() {
    return TimeZone(nullptr, "UTC");
}

bool IsDateAndTime(const LocalDateTime& t) {
    // A day above 255 would wrap around in the calendar's byte for it and pass as another day.
    if (t.year < -30000 || t.year > 30000 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > 31) {
        return false;
    }
    return YearMonthDay(t).ok() && IsTimeOfDay(t);
}

std::optional<std::int64_t> TimeZone::ToUtc(const LocalDateTime& t) const {
    if (!IsDateAndTime(t)) return std::nullopt;
    const date::year_month_day ymd = YearMonthDay(t);
    const auto local = date::local_days{ymd} + std::chrono::hours{t.hour} +
                       std::chrono::minutes{t.minute} + Seconds{t.second};
    if (!zone_) return local.time_since_epoch().count();
    const date::local_info info = zone_->get_info(local);
    // Nonexistent: `first` is the offset before the gap. Ambiguous: `first` is the earlier one.
    return (local.time_since_epoch() - info.first.offset).count();
}

std::int64_t TimeZone::OffsetAt(std::int64_t utcSeconds) const {
    if (!zone_) return 0;
    const date::sys_seconds instant{Seconds{utcSeconds}};
    return zone_->get_info(instant).offset.count();
}

void AppendUtc(std::string& out, std::int64_t utcSeconds) {
    const date::sys_seconds instant{Seconds{utcSeconds}};
    const auto day = date::floor<date::days>(instant);
    const date::year_month_day ymd{day};
    const long long secondOfDay = (instant - day).count();
    // Years outside 0-9999 do not occur: the writers refuse exercises that long.
    char text[20];
    char* p = PutDigits(text, std::clamp(static_cast<int>(ymd.year()), 0, 9999), 4);
    *p++ = '-';
    p = PutDigits(p, static_cast<unsigned>(ymd.month()), 2);
    *p++ = '-';
    p = PutDigits(p, static_cast<unsigned>(ymd.day()), 2);
    *p++ = 'T';
    p = PutDigits(p, secondOfDay / 3600, 2);
    *p++ = ':';
    p = PutDigits(p, secondOfDay / 60 % 60, 2);
    *p++ = ':';
    p = PutDigits(p, secondOfDay % 60, 2);
    *p++ = 'Z';
    out.append(text, p);
}

std::string FormatUtc(std::int64_t utcSeconds) {
    std::string out;
    AppendUtc(out, utcSeconds);
    return out;
}

}  // namespace zendrik
