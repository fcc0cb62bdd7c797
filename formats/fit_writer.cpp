#include "formats/fit_writer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "formats/fit_encoder.h"

namespace zendrik {

namespace {

// FIT counts seconds from 1989-12-31T00:00:00Z; values below 0x10000000 mean seconds since the
// device was switched on, so earlier dates cannot be written as dates at all.
constexpr std::int64_t kFitEpoch = 631065600;
constexpr std::int64_t kFirstFitDate = 0x10000000;
constexpr std::int64_t kLastFitDate = 0xFFFFFFF0;

constexpr std::int64_t kManufacturerDevelopment = 255;
constexpr std::int64_t kSerialNumber = 0x5A454E44;
constexpr std::int64_t kSoftwareVersion = 109;  // 1.09, in hundredths

namespace msg {
constexpr std::uint16_t kFileId = 0, kSession = 18, kLap = 19, kRecord = 20, kEvent = 21,
                        kDeviceInfo = 23, kActivity = 34, kTimeInZone = 216;
}
constexpr std::uint8_t kTimestamp = 253, kMessageIndex = 254;
constexpr std::int64_t kEventTimer = 0, kEventLap = 9, kEventSession = 8, kEventActivity = 26;
constexpr std::int64_t kTypeStart = 0, kTypeStop = 1, kTypeStopAll = 4;
constexpr std::int64_t kTriggerManual = 0, kTriggerDistance = 2, kTriggerSessionEnd = 7;

using Value = std::optional<std::int64_t>;

// A heart rate of 0 means no contact: the field stays invalid rather than saying 0.
Value HeartRate(const std::optional<int>& bpm) {
    if (!bpm || *bpm <= 0) return std::nullopt;
    return *bpm;
}

Value Kilocalories(const std::optional<std::int64_t>& tenths) {
    if (!tenths || *tenths < 0) return std::nullopt;
    return RoundedSeconds(*tenths);  // the same rounding of tenths to wholes
}

// Tenths of km/h as mm/s: 1 km/h is 1000000 / 3600 mm/s, so a tenth is 250/9 of one.
Value SpeedMmPerSecond(const std::optional<int>& tenthsKmh) {
    if (!tenthsKmh || *tenthsKmh < 0) return std::nullopt;
    return (static_cast<std::int64_t>(*tenthsKmh) * 250 + 4) / 9;
}

Value Centimetres(const std::optional<std::int64_t>& metres) {
    if (!metres || *metres < 0 || *metres > 0xFFFFFFFFLL / 100) return std::nullopt;
    return *metres * 100;
}

Value Milliseconds(Tenths t) {
    return t * 100;
}

Value SportCode(Sport sport) {
    switch (sport) {
        case Sport::Running:
            return 1;
        case Sport::Cycling:
            return 2;
        case Sport::Generic:
            break;
    }
    return 0;
}

// Heart rates no higher than this close the last zone; 255 is the field's "invalid".
constexpr std::int64_t kTopHeartRate = 254;

// One time_in_zone breakdown: the highest heart rate of each bin and the time spent in it.
struct HrBins {
    std::vector<Value> highBoundaries;
    std::vector<Value> milliseconds;
};

// A watch zone as the heart rates it holds, lowest and highest.
struct HrRange {
    std::int64_t low = 0;
    std::int64_t high = 0;
    const Zone* zone = nullptr;
};

Value Ms(const std::optional<Tenths>& t) {
    if (!t || *t < 0) return std::nullopt;
    return *t * 100;
}

// The zones with usable limits and a time. Where this program counted the times from the
// samples (below and above known: S410/S510, Coach), a heart rate at the upper limit counts as
// above the zone; the RS200 keeps only the time in each zone, and its zones meet without
// overlapping (94-112, 113-131, ...), so there the upper limit belongs to the zone.
std::vector<HrRange> ZoneRanges(const std::vector<Zone>& zones) {
    std::vector<HrRange> ranges;
    for (const Zone& z : zones) {
        if (!z.lower || !z.upper || (!z.below && !z.in && !z.above)) continue;
        const bool counted = z.below.has_value() || z.above.has_value();
        const std::int64_t low = *z.lower;
        const std::int64_t high = counted ? std::int64_t{*z.upper} - 1 : *z.upper;
        if (low < 1 || high < low || high >= kTopHeartRate) continue;
        ranges.push_back({low, high, &z});
    }
    return ranges;
}

void AddBin(HrBins& bins, std::int64_t high, Value ms) {
    bins.highBoundaries.push_back(high);
    bins.milliseconds.push_back(ms);
}

// Zones in ascending order without overlaps make one breakdown: below the first, each zone and
// the gap before the next, above the last. A gap's time is what lies above one zone and neither
// in nor above the next; unknown when any of those is. Otherwise each zone stands alone.
std::vector<HrBins> ZoneBins(const std::vector<Zone>& zones) {
    const std::vector<HrRange> ranges = ZoneRanges(zones);
    if (ranges.empty()) return {};
    bool ordered = true;
    for (std::size_t i = 1; i < ranges.size(); ++i) ordered = ordered && ranges[i].low > ranges[i - 1].high;
    std::vector<HrBins> out;
    if (!ordered) {
        for (const HrRange& r : ranges) {
            HrBins bins;
            AddBin(bins, r.low - 1, Ms(r.zone->below));
            AddBin(bins, r.high, Ms(r.zone->in));
            AddBin(bins, kTopHeartRate, Ms(r.zone->above));
            out.push_back(std::move(bins));
        }
        return out;
    }
    HrBins bins;
    AddBin(bins, ranges.front().low - 1, Ms(ranges.front().zone->below));
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const Zone& z = *ranges[i].zone;
        AddBin(bins, ranges[i].high, Ms(z.in));
        if (i + 1 == ranges.size()) break;
        const Zone& next = *ranges[i + 1].zone;
        if (ranges[i + 1].low == ranges[i].high + 1) continue;
        Value gap;
        if (z.above && next.in && next.above && *z.above >= *next.in + *next.above) {
            gap = Ms(*z.above - *next.in - *next.above);
        }
        AddBin(bins, ranges[i + 1].low - 1, gap);
    }
    // Above the last zone only when the watch says how long: an unknown last bin tells nothing.
    if (ranges.back().zone->above) AddBin(bins, kTopHeartRate, Ms(ranges.back().zone->above));
    out.push_back(std::move(bins));
    return out;
}

class ActivityWriter {
public:
    ActivityWriter(const Exercise& x, const Timeline& t, const TimeZone& zone)
        : x_(x), t_(t), zone_(zone), start_(t.startUtc - kFitEpoch) {}

    std::string Write() {
        const std::string product = std::string("Zendrik ") + FamilyName(x_.family);
        enc_.Write(FitMessage(msg::kFileId)
                       .Add(0, FitType::Enum, 4)  // activity
                       .Add(1, FitType::UInt16, kManufacturerDevelopment)
                       .Add(2, FitType::UInt16, ProductCode())
                       .Add(3, FitType::UInt32z, kSerialNumber)
                       .Add(4, FitType::UInt32, start_));
        enc_.Write(FitMessage(msg::kDeviceInfo)
                       .Add(kTimestamp, FitType::UInt32, start_)
                       .Add(0, FitType::UInt8, 0)  // the creator
                       .Add(2, FitType::UInt16, kManufacturerDevelopment)
                       .Add(4, FitType::UInt16, ProductCode())
                       .Add(5, FitType::UInt16, kSoftwareVersion)
                       .AddString(27, 20, product));
        WriteEvent(start_, kTypeStart);
        WriteRecordsAndLaps();
        const std::int64_t end = At(t_.end);
        WriteEvent(end, kTypeStopAll);
        WriteSession(end);
        WriteTimeInZones(end);
        enc_.Write(FitMessage(msg::kActivity)
                       .Add(kTimestamp, FitType::UInt32, end)
                       .Add(0, FitType::UInt32, Milliseconds(t_.end))
                       .Add(1, FitType::UInt16, 1)
                       .Add(2, FitType::Enum, 0)  // manual
                       .Add(3, FitType::Enum, kEventActivity)
                       .Add(4, FitType::Enum, kTypeStop)
                       .Add(5, FitType::UInt32,
                            end + zone_.OffsetAt(t_.startUtc + RoundedSeconds(t_.end))));
        return enc_.Finish();
    }

private:
    std::int64_t At(Tenths fromStart) const { return start_ + RoundedSeconds(fromStart); }

    std::int64_t ProductCode() const { return static_cast<std::int64_t>(x_.family) + 1; }

    void WriteEvent(std::int64_t when, std::int64_t type) {
        enc_.Write(FitMessage(msg::kEvent)
                       .Add(kTimestamp, FitType::UInt32, when)
                       .Add(0, FitType::Enum, kEventTimer)
                       .Add(1, FitType::Enum, type)
                       .Add(4, FitType::UInt8, 0));  // event group
    }

    // Each lap follows the records taken during it, so the file stays in time order.
    void WriteRecordsAndLaps() {
        const Series* hr = x_.Find(SeriesKind::HeartRate);
        const Series* speed = x_.Find(SeriesKind::Speed);
        if (speed && speed->divisor <= 0) speed = nullptr;
        const Series* cadence = x_.Find(SeriesKind::Cadence);
        const Series* altitude = x_.Find(SeriesKind::Altitude);
        if (altitude && altitude->divisor <= 0) altitude = nullptr;
        std::size_t nextLap = 0;
        const std::vector<std::int64_t> distances = RecordDistances(x_, t_);
        for (std::size_t i = 0; i < t_.samples; ++i) {
            const Tenths when = t_.SampleTime(i);
            while (nextLap < t_.laps.size() && t_.laps[nextLap].end <= when) WriteLap(nextLap++);
            FitMessage record(msg::kRecord);
            record.Add(kTimestamp, FitType::UInt32, At(when));
            if (hr) record.Add(3, FitType::UInt8, HeartRate(SampleAt(hr, i)));
            if (speed) {
                const std::optional<int> v = SampleAt(speed, i);
                record.Add(6, FitType::UInt16, SpeedMmPerSecond(ScaledToTenths(speed, v)));
                record.Add(5, FitType::UInt32, distances[i]);
            }
            if (cadence) record.Add(4, FitType::UInt8, SampleAt(cadence, i));
            if (altitude)
                record.Add(2, FitType::UInt16, AltitudeField(altitude, SampleAt(altitude, i)));
            enc_.Write(record);
        }
        while (nextLap < t_.laps.size()) WriteLap(nextLap++);
    }

    // A speed series in any divisor as tenths of km/h.
    static std::optional<int> ScaledToTenths(const Series* s, std::optional<int> v) {
        if (!v || *v < 0 || *v > 1000000) return std::nullopt;
        return static_cast<int>(static_cast<std::int64_t>(*v) * 10 / s->divisor);
    }

    // FIT altitude: (metres + 500) * 5.
    static Value AltitudeField(const Series* s, std::optional<int> v) {
        if (!v) return std::nullopt;
        return (static_cast<std::int64_t>(*v) + 500LL * s->divisor) * 5 / s->divisor;
    }

    void WriteLap(std::size_t index) {
        const LapSpan& span = t_.laps[index];
        const Lap* lap = span.lap;
        FitMessage m(msg::kLap);
        m.Add(kMessageIndex, FitType::UInt16, static_cast<std::int64_t>(index))
            .Add(kTimestamp, FitType::UInt32, At(span.end))
            .Add(0, FitType::Enum, kEventLap)
            .Add(1, FitType::Enum, kTypeStop)
            .Add(2, FitType::UInt32, At(span.start))
            .Add(7, FitType::UInt32, Milliseconds(span.end - span.start))
            .Add(8, FitType::UInt32, Milliseconds(span.end - span.start));
        if (lap) {
            m.Add(9, FitType::UInt32, Centimetres(lap->distanceMeters))
                .Add(11, FitType::UInt16, std::nullopt)
                .Add(15, FitType::UInt8, HeartRate(lap->avgHr))
                .Add(16, FitType::UInt8, HeartRate(lap->maxHr))
                .Add(17, FitType::UInt8, lap->avgCadence)
                .Add(24, FitType::Enum, lap->automatic ? kTriggerDistance : kTriggerManual);
        } else {
            m.Add(9, FitType::UInt32, Centimetres(x_.distanceMeters))
                .Add(11, FitType::UInt16, Kilocalories(x_.caloriesTenths))
                .Add(15, FitType::UInt8, HeartRate(x_.avgHr))
                .Add(16, FitType::UInt8, HeartRate(x_.maxHr))
                .Add(17, FitType::UInt8, x_.avgCadence)
                .Add(24, FitType::Enum, kTriggerSessionEnd);
        }
        enc_.Write(m);
    }

    void WriteSession(std::int64_t end) {
        enc_.Write(FitMessage(msg::kSession)
                       .Add(kMessageIndex, FitType::UInt16, 0)
                       .Add(kTimestamp, FitType::UInt32, end)
                       .Add(0, FitType::Enum, kEventSession)
                       .Add(1, FitType::Enum, kTypeStop)
                       .Add(2, FitType::UInt32, start_)
                       .Add(5, FitType::Enum, SportCode(x_.sport))
                       .Add(6, FitType::Enum, 0)  // generic sub-sport
                       .Add(7, FitType::UInt32, Milliseconds(t_.end))
                       .Add(8, FitType::UInt32, Milliseconds(t_.end))
                       .Add(9, FitType::UInt32, Centimetres(x_.distanceMeters))
                       .Add(11, FitType::UInt16, Kilocalories(x_.caloriesTenths))
                       .Add(14, FitType::UInt16, SpeedMmPerSecond(x_.avgSpeed))
                       .Add(15, FitType::UInt16, SpeedMmPerSecond(x_.maxSpeed))
                       .Add(16, FitType::UInt8, HeartRate(x_.avgHr))
                       .Add(17, FitType::UInt8, HeartRate(x_.maxHr))
                       .Add(18, FitType::UInt8, x_.avgCadence)
                       .Add(19, FitType::UInt8, x_.maxCadence)
                       .Add(25, FitType::UInt16, 0)  // first lap index
                       .Add(26, FitType::UInt16, static_cast<std::int64_t>(t_.laps.size())));
    }

    // The watch's heart-rate zones as time_in_zone messages of the session. Fields as Garmin's
    // FIT profile (21.217) gives them: 0 reference_mesg (mesg_num, uint16), 1 reference_index
    // (message_index, uint16), 2 time_in_hr_zone (uint32 array, scale 1000, s),
    // 6 hr_zone_high_boundary (uint8 array, bpm), 253 timestamp. Zone i holds the heart rates
    // above boundary i - 1 up to boundary i, so a watch zone becomes three: below its lower
    // limit, in it, above it. Zones that follow one another without overlapping share one
    // message; others get one each.
    void WriteTimeInZones(std::int64_t end) {
        for (const HrBins& bins : ZoneBins(x_.zones)) {
            enc_.Write(FitMessage(msg::kTimeInZone)
                           .Add(kTimestamp, FitType::UInt32, end)
                           .Add(0, FitType::UInt16, msg::kSession)
                           .Add(1, FitType::UInt16, 0)
                           .AddArray(2, FitType::UInt32, bins.milliseconds)
                           .AddArray(6, FitType::UInt8, bins.highBoundaries));
        }
    }

    const Exercise& x_;
    const Timeline& t_;
    const TimeZone& zone_;
    const std::int64_t start_;
    FitEncoder enc_;
};

}  // namespace

ExportResult WriteFit(const Exercise& exercise, const TimeZone& zone) {
    ExportResult result;
    const std::optional<Timeline> timeline = MakeTimeline(exercise, zone, result.error);
    if (!timeline) return result;
    const std::int64_t start = timeline->startUtc - kFitEpoch;
    const std::int64_t end = start + RoundedSeconds(timeline->end);
    if (start < kFirstFitDate || end > kLastFitDate) {
        result.error =
            "FIT files carry dates from 1998-07-04 to 2126-02-06 only; this exercise starts on " +
            FormatUtc(timeline->startUtc) + ".";
        return result;
    }
    result.data = ActivityWriter(exercise, *timeline, zone).Write();
    return result;
}

}  // namespace zendrik
