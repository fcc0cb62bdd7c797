// The HRM 1.06 and CSV texts of an S410/S510 transfer, written side by side.
#include "decoders/hrm106_sections.h"
#include "decoders/report_pair.h"
#include "decoders/s410_exercise.h"

namespace {

constexpr const char* kTab = "\t";

void WriteParams(CReportPair& r, const CS410Exercise& x, const CValueFormat& f) {
    r.He("[Params]\r\n");
    r.Csv("[Params]\r\n");
    r.Both("Version=106\r\n");
    r.Both("Monitor=", x.s510 ? 10 : 9, "\r\n");
    if (x.s510) {
        r.Both("SMode=", x.speed, x.cadence, "0000", x.cycling, "00\r\n");
    } else {
        r.Both("SMode=000000000\r\n");
    }
    r.He("Date=", FormatHrmDate(x.current.date), "\r\n");
    r.Csv("Date", kTab, f.FormatCsvDate(x.current.date), "\r\n");
    r.He("StartTime=", FormatHrmTime(x.current.start), "\r\n");
    r.Csv("StartTime", kTab, f.FormatCsvTime(x.current.start), "\r\n");
    r.He("Length=", FormatHrmTime(x.current.length), "\r\n");
    r.Csv("Length", kTab, f.FormatCsvTime(x.current.length), "\r\n");
    r.Both("Interval=", x.interval, "\r\n");
    WriteZoneLimits(r, x.lower, x.upper);
    r.Both("Exercise=", x.current.name, "\r\n");
    r.He("Calories=", FormatHrmTenths(x.calories), "\r\n");
    r.Csv("Calories", kTab, f.FormatCsvTenths(x.calories), "\r\n");
    r.Both("TotalCalories=", x.totalCalories, "\r\n");
    r.He("TotalTime=", ZeroPad(x.totalHours, 2), ":", ZeroPad(x.totalMinutes, 2), ":00\r\n");
    r.Csv("TotalTime", kTab, ZeroPad(x.totalHours, 2), f.timeSep, ZeroPad(x.totalMinutes, 2),
          f.timeSep, "00\r\n");
    if (x.s510) {
        r.Both("TotalDistance=", x.totalDistance, "\r\n");
        r.He("Distance=", FormatHrmTenths(x.distance), "\r\n");
        r.Csv("Distance", kTab, f.FormatCsvTenths(x.distance), "\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteLaps(CReportPair& r, const CS410Exercise& x, const CValueFormat& f) {
    WriteLapTitles(r, x.s510 ? "\tDistance" : "");
    int j = 0;
    for (const CS410Lap& lap : x.laps) {
        WriteLapTimeRow(r, ++j, lap.time, lap.endHr, lap.minHr, lap.avgHr, lap.maxHr, f);
        r.He("0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\r\n");
        if (x.s510) r.Csv(kTab, lap.distance);
        r.He("0\t", lap.distance, "\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n");
        r.Csv("\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteSamples(CReportPair& r, const CS410Exercise& x, const CSampleSeriesView& series) {
    const bool speed = x.s510 && x.cycling && x.speed;
    const bool cadence = x.s510 && x.cycling && x.cadence;
    r.He("[HRData]\r\n");
    for (int i = 0; i < x.samples; ++i) {
        r.He(series.hr[i]);
        if (speed) r.He(kTab, series.speed[i]);
        if (cadence) r.He(kTab, series.cadence[i]);
        r.He("\r\n");
    }
    r.Csv("[HRData]");
    for (int i = 0; i < x.samples; ++i) r.Csv(kTab, series.hr[i]);
    r.Csv("\r\n");
    if (speed) {
        r.Csv("[Speed]");
        for (int i = 0; i < x.samples; ++i) r.Csv(kTab, series.speed[i]);
        r.Csv("\r\n");
    }
    if (cadence) {
        r.Csv("[Cadence]");
        for (int i = 0; i < x.samples; ++i) r.Csv(kTab, series.cadence[i]);
        r.Csv("\r\n");
    }
    r.Csv("\r\n");
}

void WriteFileSection(CReportPair& r, int number, const CExerciseSummary& s) {
    r.He("\r\n[File", number, "]\r\n");
    r.He("Date=", FormatHrmDate(s.date), "\r\n");
    r.He("StartTime=", FormatHrmTime(s.start), "\r\n");
    r.He("Length=", FormatHrmTime(s.length), "\r\n");
    r.He("AvgHR=", s.avgHr, "\r\n");
    r.He("MaxHR=", s.maxHr, "\r\n");
    r.He("Exercise=", s.name, "\r\n");
}

}  // namespace

void WriteS410Report(const CS410Exercise& x, const CSampleSeriesView& series,
                     const CValueFormat& format, std::string& hrm, std::string& csv) {
    CReportPair r{hrm, csv};
    WriteParams(r, x, format);
    WriteCoachSection(r, 0, 0);
    WriteNoteSection(r);
    WriteLaps(r, x, format);
    WriteZoneSummaries(r, x.interval, x.samples, x.zones);
    WriteSamples(r, x, series);
    for (std::size_t f = 0; f < x.earlier.size(); ++f) {
        WriteFileSection(r, static_cast<int>(f) + 1, x.earlier[f]);
    }
    // The transferred exercise itself closes the text, with no empty line after it.
    WriteFileSection(r, 6, x.current);
}
