// The HRM 1.06 and CSV texts of an S410/S510 transfer, written side by side.
#include "formats/family_reports.h"
#include "formats/hrm106_sections.h"
#include "formats/report_pair.h"

namespace zendrik {

namespace {

constexpr const char* kTab = "\t";

// One exercise summary as the [File] sections show it.
struct FileSummary {
    DateValue date;
    zendrik::WatchTime start;
    zendrik::WatchTime length;
    int avgHr = 0;
    int maxHr = 0;
    const std::string& name;
};

zendrik::WatchTime TimeOfDay(const LocalDateTime& t) {
    return {t.hour, t.minute, t.second, 0};
}

void WriteParams(ReportPair& r, const Exercise& x, const S410Extras& s, const ValueFormat& f) {
    const bool s510 = x.family == WatchFamily::S510;
    r.He("[Params]\r\n");
    r.Csv("[Params]\r\n");
    r.Both("Version=106\r\n");
    r.Both("Monitor=", s510 ? 10 : 9, "\r\n");
    if (s510) {
        r.Both("SMode=", s.speedFlag, s.cadenceFlag, "0000", s.cyclingFlag, "00\r\n");
    } else {
        r.Both("SMode=000000000\r\n");
    }
    WriteStartAndLength(r, x, s.length, f);
    WriteZoneLimits(r, x.zones);
    r.Both("Exercise=", x.name, "\r\n");
    const long long calories = x.caloriesTenths.value_or(0);
    r.He("Calories=", FormatHrmTenths(calories), "\r\n");
    r.Csv("Calories", kTab, f.FormatCsvTenths(calories), "\r\n");
    r.Both("TotalCalories=", s.totalCalories, "\r\n");
    r.He("TotalTime=", ZeroPad(s.totalHours, 2), ":", ZeroPad(s.totalMinutes, 2), ":00\r\n");
    r.Csv("TotalTime", kTab, ZeroPad(s.totalHours, 2), f.timeSep, ZeroPad(s.totalMinutes, 2),
          f.timeSep, "00\r\n");
    if (s510) {
        // The watch counts the distance in tenths of a km.
        const long long distance = x.distanceMeters.value_or(0) / 100;
        r.Both("TotalDistance=", s.totalDistanceKm, "\r\n");
        r.He("Distance=", FormatHrmTenths(distance), "\r\n");
        r.Csv("Distance", kTab, f.FormatCsvTenths(distance), "\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteLaps(ReportPair& r, const Exercise& x, const S410Extras& s, const ValueFormat& f) {
    const bool s510 = x.family == WatchFamily::S510;
    WriteLapTitles(r, s510 ? "\tDistance" : "");
    for (std::size_t j = 0; j < x.laps.size(); ++j) {
        const Lap& lap = x.laps[j];
        WriteLapTimeRow(r, static_cast<int>(j) + 1, Nth(s.lapTimes, j), lap.endHr.value_or(0),
                        lap.minHr.value_or(0), lap.avgHr.value_or(0), lap.maxHr.value_or(0), f);
        const long long distance = lap.distanceMeters.value_or(0);
        r.He("0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\r\n");
        if (s510) r.Csv(kTab, distance);
        r.He("0\t", distance, "\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n");
        r.Csv("\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteSamples(ReportPair& r, const Exercise& x, int samples) {
    const Series* hr = x.Find(SeriesKind::HeartRate);
    const Series* speed = x.Find(SeriesKind::Speed);
    const Series* cadence = x.Find(SeriesKind::Cadence);
    const auto count = static_cast<std::size_t>(samples);
    r.He("[HRData]\r\n");
    for (std::size_t i = 0; i < count; ++i) {
        r.He(ValueAt(hr, i));
        if (speed) r.He(kTab, ValueAt(speed, i));
        if (cadence) r.He(kTab, ValueAt(cadence, i));
        r.He("\r\n");
    }
    r.Csv("[HRData]");
    for (std::size_t i = 0; i < count; ++i) r.Csv(kTab, ValueAt(hr, i));
    r.Csv("\r\n");
    if (speed) {
        r.Csv("[Speed]");
        for (std::size_t i = 0; i < count; ++i) r.Csv(kTab, ValueAt(speed, i));
        r.Csv("\r\n");
    }
    if (cadence) {
        r.Csv("[Cadence]");
        for (std::size_t i = 0; i < count; ++i) r.Csv(kTab, ValueAt(cadence, i));
        r.Csv("\r\n");
    }
    r.Csv("\r\n");
}

void WriteFileSection(ReportPair& r, int number, const FileSummary& s) {
    r.He("\r\n[File", number, "]\r\n");
    r.He("Date=", FormatHrmDate(s.date), "\r\n");
    r.He("StartTime=", FormatHrmTime(s.start), "\r\n");
    r.He("Length=", FormatHrmTime(s.length), "\r\n");
    r.He("AvgHR=", s.avgHr, "\r\n");
    r.He("MaxHR=", s.maxHr, "\r\n");
    r.He("Exercise=", s.name, "\r\n");
}

}  // namespace

void WriteS410Report(const Exercise& x, const ValueFormat& format, std::string& hrm,
                     std::string& csv) {
    const S410Extras& s = ExtrasOf<S410Extras>(x);
    // The heart-rate series sets the sample count; speed and cadence have as many samples.
    const Series* hr = x.Find(SeriesKind::HeartRate);
    const int samples = hr ? static_cast<int>(hr->values.size()) : 0;
    ReportPair r{hrm, csv};
    WriteParams(r, x, s, format);
    WriteCoachSection(r, 0, 0);
    WriteNoteSection(r);
    WriteLaps(r, x, s, format);
    WriteZoneSummaries(r, x.intervalSeconds, samples, x.zones);
    WriteSamples(r, x, samples);
    for (std::size_t f = 0; f < x.earlier.size(); ++f) {
        const ExerciseSummary& e = x.earlier[f];
        WriteFileSection(r, static_cast<int>(f) + 1,
                         {{e.start.year, e.start.month, e.start.day},
                          TimeOfDay(e.start),
                          Nth(s.earlierLengths, f),
                          e.avgHr,
                          e.maxHr,
                          e.name});
    }
    // The transferred exercise itself closes the text, with no empty line after it.
    WriteFileSection(r, 6,
                     {StartDate(x), TimeOfDay(x.start), s.length, x.avgHr.value_or(0),
                      x.maxHr.value_or(0), x.name});
}

}  // namespace zendrik
