#include "formats/json_writer.h"

#include <nlohmann/json.hpp>

#include <type_traits>

#include "formats/time_zone.h"

namespace zendrik {

namespace {

using Json = nlohmann::ordered_json;

std::string Pad(int value, int width) {
    std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    std::string out = value < 0 ? "-" : "";
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    return out + digits;
}

// "YYYY-MM-DDThh:mm:ss" without a zone: the watch's own reading, whatever it holds.
std::string LocalText(const LocalDateTime& t) {
    return Pad(t.year, 4) + "-" + Pad(t.month, 2) + "-" + Pad(t.day, 2) + "T" + Pad(t.hour, 2) +
           ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2);
}

// "start": the ISO 8601 local time, or null where the watch's digits make no date and time of day
// (38 June, 10:83) or no year of four digits; then "startAsSent" keeps the digits as they came, as
// the HRM text shows them.
void PutStart(Json& j, const LocalDateTime& t) {
    if (IsDateAndTime(t) && t.year >= 1 && t.year <= 9999) {
        j["start"] = LocalText(t);
        return;
    }
    j["start"] = nullptr;
    j["startAsSent"] = LocalText(t);
}

// A slot for an earlier exercise that the watch has never filled: it comes with no date, time,
// length or heart rate (the year's digits 00 read as 2000 all the same).
bool IsEmptySlot(const ExerciseSummary& s) {
    const LocalDateTime& t = s.start;
    return t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 && t.second == 0 &&
           s.duration == 0 && s.avgHr == 0 && s.maxHr == 0;
}

double Seconds(Tenths t) {
    return static_cast<double>(t) / 10.0;
}

template <typename T>
void Put(Json& j, const char* key, const std::optional<T>& value) {
    if (value) j[key] = *value;
}

void PutSeconds(Json& j, const char* key, const std::optional<Tenths>& value) {
    if (value) j[key] = Seconds(*value);
}

const char* KindName(SeriesKind kind) {
    switch (kind) {
        case SeriesKind::HeartRate:
            return "heartRate";
        case SeriesKind::Speed:
            return "speed";
        case SeriesKind::Cadence:
            return "cadence";
        case SeriesKind::Altitude:
            return "altitude";
    }
    return "";
}

Json UserJson(const WatchUser& u) {
    return {{"height", u.height},
            {"birth", {u.birth[0], u.birth[1], u.birth[2]}},
            {"maxHr", u.maxHr},
            {"maxVo2", u.maxVo2},
            {"restHr", u.restHr}};
}

Json ExtrasJson(const FamilyExtras& extras) {
    return std::visit(
        [](const auto& e) -> Json {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, S410Extras>) {
                return {{"speedRecorded", e.speedFlag},        {"cadenceRecorded", e.cadenceFlag},
                        {"cyclingData", e.cyclingFlag},        {"totalCalories", e.totalCalories},
                        {"totalHours", e.totalHours},          {"totalMinutes", e.totalMinutes},
                        {"totalDistanceKm", e.totalDistanceKm}};
            } else if constexpr (std::is_same_v<T, CoachExtras>) {
                return {{"coachValues", {e.coachValues[0], e.coachValues[1]}}};
            } else if constexpr (std::is_same_v<T, Rs200Extras>) {
                Json zones = Json::array();
                for (const auto& z : e.targetZones) {
                    zones.push_back({{"belowSeconds", Seconds(z[0].InTenths())},
                                     {"inSeconds", Seconds(z[1].InTenths())},
                                     {"aboveSeconds", Seconds(z[2].InTenths())}});
                }
                return {{"targetZones", zones},
                        {"distanceData", e.distanceData},
                        {"maxPaceSecondsPerKm", Seconds(e.maxPace)},
                        {"avgPaceSecondsPerKm", Seconds(e.avgPace)},
                        {"lapCount", e.lapCount},
                        {"bestLap", e.bestLap},
                        {"bestLapSeconds", Seconds(e.bestLapTime.InTenths())},
                        {"user", UserJson(e.user)}};
            } else if constexpr (std::is_same_v<T, Cs200Extras>) {
                auto seconds = [](const BcdClock& c) { return Seconds(c.Value().InTenths()); };
                return {{"timesSeconds",
                         {seconds(e.times[0]), seconds(e.times[1]), seconds(e.times[2])}},
                        {"rideSeconds", seconds(e.rideTime)},
                        {"lapCount", e.lapCount},
                        {"bestLap", e.bestLap},
                        {"bestLapSeconds", Seconds(e.bestLapTime.InTenths())},
                        {"user", UserJson(e.user)}};
            } else {
                return Json::object();
            }
        },
        extras);
}

Json LapJson(const Lap& lap) {
    Json j;
    j["splitSeconds"] = Seconds(lap.split);
    j["automatic"] = lap.automatic;
    Put(j, "endHr", lap.endHr);
    Put(j, "minHr", lap.minHr);
    Put(j, "avgHr", lap.avgHr);
    Put(j, "maxHr", lap.maxHr);
    Put(j, "distanceMeters", lap.distanceMeters);
    if (lap.endSpeed) j["endSpeedKmh"] = *lap.endSpeed / 10.0;
    Put(j, "endCadence", lap.endCadence);
    Put(j, "avgCadence", lap.avgCadence);
    if (lap.endPace) j["endPaceSecondsPerKm"] = Seconds(*lap.endPace);
    if (lap.avgPace) j["avgPaceSecondsPerKm"] = Seconds(*lap.avgPace);
    return j;
}

Json ExerciseJson(const Exercise& x) {
    Json e;
    e["family"] = FamilyName(x.family);
    e["sport"] = SportName(x.sport);
    e["name"] = x.name;
    PutStart(e, x.start);
    e["durationSeconds"] = Seconds(x.duration);
    e["intervalSeconds"] = x.intervalSeconds;
    Json series = Json::array();
    for (const Series& s : x.series) {
        series.push_back({{"kind", KindName(s.kind)},
                          {"unit", s.unit},
                          {"divisor", s.divisor},
                          {"values", s.values}});
    }
    e["series"] = std::move(series);
    Json laps = Json::array();
    for (const Lap& lap : x.laps) laps.push_back(LapJson(lap));
    e["laps"] = std::move(laps);
    Json zones = Json::array();
    for (const Zone& z : x.zones) {
        Json j = Json::object();
        Put(j, "lower", z.lower);
        Put(j, "upper", z.upper);
        PutSeconds(j, "belowSeconds", z.below);
        PutSeconds(j, "inSeconds", z.in);
        PutSeconds(j, "aboveSeconds", z.above);
        zones.push_back(std::move(j));
    }
    e["zones"] = std::move(zones);
    Put(e, "avgHr", x.avgHr);
    Put(e, "maxHr", x.maxHr);
    if (x.caloriesTenths) e["calories"] = static_cast<double>(*x.caloriesTenths) / 10.0;
    Put(e, "distanceMeters", x.distanceMeters);
    if (x.avgSpeed) e["avgSpeedKmh"] = *x.avgSpeed / 10.0;
    if (x.maxSpeed) e["maxSpeedKmh"] = *x.maxSpeed / 10.0;
    Put(e, "avgCadence", x.avgCadence);
    Put(e, "maxCadence", x.maxCadence);
    Json earlier = Json::array();
    for (const ExerciseSummary& s : x.earlier) {
        Json j;
        PutStart(j, s.start);
        j["empty"] = IsEmptySlot(s);
        j["durationSeconds"] = Seconds(s.duration);
        j["avgHr"] = s.avgHr;
        j["maxHr"] = s.maxHr;
        j["name"] = s.name;
        earlier.push_back(std::move(j));
    }
    e["earlier"] = std::move(earlier);
    e["extras"] = ExtrasJson(x.extras);
    return e;
}

std::string Dump(const Json& root) {
    // Names come from the watch's character set, but nothing else guarantees UTF-8 here.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string WriteJson(const Exercise& x) {
    Json root;
    root["schemaVersion"] = kJsonSchemaVersion;
    root["exercise"] = ExerciseJson(x);
    return Dump(root);
}

std::string WriteJson(const Transfer& t) {
    Json root;
    root["schemaVersion"] = kJsonSchemaVersion;
    root["family"] = t.exercise ? Json(FamilyName(t.exercise->family)) : Json(nullptr);
    root["valid"] = t.valid;
    root["checkMessages"] = t.checkMessages;
    root["exercise"] = t.exercise ? ExerciseJson(*t.exercise) : Json(nullptr);
    return Dump(root);
}

}  // namespace zendrik
