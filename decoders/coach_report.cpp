// The HRM 1.06 and CSV texts of a Coach transfer, written side by side.
#include "decoders/coach_exercise.h"
#include "decoders/hrm106_sections.h"
#include "decoders/report_pair.h"

namespace {

constexpr const char* kTab = "\t";
constexpr int kCoachMonitor = 7;

void WriteParams(CReportPair& r, const CCoachExercise& x, const CValueFormat& f) {
    r.He("[Params]\r\n");
    r.Csv("[Params]\r\n");
    r.Both("Version=106\r\n");
    r.Both("Monitor=", kCoachMonitor, "\r\n");
    r.He("SMode=000000000\r\n");
    r.He("Date=", FormatHrmDate(x.date), "\r\n");
    r.Csv("Date", kTab, f.FormatCsvDate(x.date), "\r\n");
    r.He("StartTime=", FormatHrmTime(x.start), "\r\n");
    r.Csv("StartTime", kTab, f.FormatCsvTime(x.start), "\r\n");
    r.He("Length=", FormatHrmTime(x.length), "\r\n");
    r.Csv("Length", kTab, f.FormatCsvTime(x.length), "\r\n");
    r.Both("Interval=", x.interval, "\r\n");
    WriteZoneLimits(r, x.lower, x.upper);
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteLaps(CReportPair& r, const CCoachExercise& x, const CValueFormat& f) {
    WriteLapTitles(r, "");
    int j = 0;
    for (const CCoachLap& lap : x.laps) {
        WriteLapTimeRow(r, ++j, lap.time, lap.endHr, lap.minHr, lap.avgHr, lap.maxHr, f);
        r.Csv("\r\n");
        r.He("32\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteSamples(CReportPair& r, const CCoachExercise& x, const std::int32_t* hr) {
    r.He("[HRData]\r\n");
    for (int i = 0; i < x.samples; ++i) r.He(hr[i], "\r\n");
    r.Csv("[HRData]");
    for (int i = 0; i < x.samples; ++i) r.Csv(kTab, hr[i]);
    r.Csv("\r\n");
    // Unlike the S410/S510 report no [File] sections follow, so an empty line ends both texts.
    r.He("\r\n");
    r.Csv("\r\n");
}

}  // namespace

void WriteCoachReport(const CCoachExercise& x, const std::int32_t* hr, const CValueFormat& format,
                      std::string& hrm, std::string& csv) {
    CReportPair r{hrm, csv};
    WriteParams(r, x, format);
    WriteCoachSection(r, x.coachValues[0], x.coachValues[1]);
    WriteNoteSection(r);
    WriteLaps(r, x, format);
    WriteZoneSummaries(r, x.interval, x.samples, x.zones);
    WriteSamples(r, x, hr);
}
