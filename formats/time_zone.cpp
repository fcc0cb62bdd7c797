#include "formats/time_zone.h"

#include <date/date.h>

#include <algorithm>
#include <chrono>

namespace zendrik {

namespace {

using Seconds = std::chrono::seconds;

// Offsets from a list of changes; the search is over a handful of entries a year.
class ChangeRules final : public ZoneRules {
public:
    explicit ChangeRules(std::vector<ZoneChange> changes) : changes_(std::move(changes)) {}

    std::int64_t OffsetAt(std::int64_t utcSeconds) const override {
        auto after = std::upper_bound(changes_.begin(), changes_.end(), utcSeconds,
                                      [](std::int64_t t, const ZoneChange& c) { return t < c.fromUtc; });
        return after == changes_.begin() ? changes_.front().offset : std::prev(after)->offset;
    }
    std::int64_t OffsetOfLocal(std::int64_t localSeconds) const override {
        // The earliest offset under which the local time names an instant that offset is in force
        // at; none in a gap, where the offset before the change is taken.
        const std::int64_t before = OffsetAt(localSeconds - kMostOffset);
        for (std::int64_t offset : {before, OffsetAt(localSeconds + kMostOffset)}) {
            if (OffsetAt(localSeconds - offset) == offset) return offset;
        }
        return before;
    }

private:
    static constexpr std::int64_t kMostOffset = 26 * 3600;  // wider than any zone's
    std::vector<ZoneChange> changes_;
};

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

TimeZone TimeZone::FromChanges(std::string name, std::vector<ZoneChange> changes) {
    std::stable_sort(changes.begin(), changes.end(),
                     [](const ZoneChange& a, const ZoneChange& b) { return a.fromUtc < b.fromUtc; });
    if (changes.empty()) return TimeZone(std::move(name), nullptr);
    return TimeZone(std::move(name), std::make_shared<ChangeRules>(std::move(changes)));
}

TimeZone TimeZone::Utc() {
    return TimeZone("UTC", nullptr);
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
    const std::int64_t localSeconds = local.time_since_epoch().count();
    if (!rules_) return localSeconds;
    return localSeconds - rules_->OffsetOfLocal(localSeconds);
}

std::int64_t TimeZone::OffsetAt(std::int64_t utcSeconds) const {
    return rules_ ? rules_->OffsetAt(utcSeconds) : 0;
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
