#include "platform/zone_database.h"

#include <date/tz.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

namespace zendrik {

namespace {

// The rules of one zone of the database, which lives as long as the program.
class DatabaseRules final : public ZoneRules {
public:
    explicit DatabaseRules(const date::time_zone* zone) : zone_(zone) {}

    std::int64_t OffsetAt(std::int64_t utcSeconds) const override {
        const date::sys_seconds instant{std::chrono::seconds{utcSeconds}};
        return zone_->get_info(instant).offset.count();
    }
    std::int64_t OffsetOfLocal(std::int64_t localSeconds) const override {
        const date::local_seconds local{std::chrono::seconds{localSeconds}};
        // Nonexistent: `first` is the offset before the gap. Ambiguous: `first` is the earlier one.
        return zone_->get_info(local).first.offset.count();
    }

private:
    const date::time_zone* zone_;
};

const date::time_zone* Locate(std::string_view name) {
    // The zone database throws for names it does not know and when it cannot be read at all.
    try {
        return date::locate_zone(name);
    } catch (const std::exception&) {
        return nullptr;
    }
}

TimeZone FromDatabase(const date::time_zone* zone, std::string name) {
    return TimeZone(std::move(name), std::make_shared<DatabaseRules>(zone));
}

}  // namespace

std::optional<TimeZone> ZoneNamed(std::string_view name) {
    if (name == "UTC") return TimeZone::Utc();
    const date::time_zone* zone = Locate(name);
    if (!zone) return std::nullopt;
    return FromDatabase(zone, std::string(name));
}

TimeZone SystemZone() {
    // TZ is what the user set for this program; the system's setting comes after it.
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string_view name(tz);
        if (name.front() == ':') name.remove_prefix(1);
        if (std::optional<TimeZone> zone = ZoneNamed(name)) return *zone;
    }
    try {
        if (const date::time_zone* zone = date::current_zone()) {
            return FromDatabase(zone, std::string(zone->name()));
        }
    } catch (const std::exception&) {
    }
    return TimeZone::Utc();
}

}  // namespace zendrik
