// The HRM 1.06 and CSV texts of a Coach transfer, written side by side.
#include "formats/family_reports.h"
#include "formats/hrm106_sections.h"
#include "formats/report_pair.h"

namespace zendrik {

namespace {

constexpr const char* kTab = "\t";
constexpr int kCoachMonitor = 7;

void WriteParams(ReportPair& r, const Exercise& x, const CoachExtras& c, const ValueFormat& f) {
    r.He("[Params]\r\n");
    r.Csv("[Params]\r\n");
    r.Both("Version=106\r\n");
    r.Both("Monitor=", kCoachMonitor, "\r\n");
    r.He("SMode=000000000\r\n");
    WriteStartAndLength(r, x, c.length, f);
    WriteZoneLimits(r, x.zones);
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteLaps(ReportPair& r, const Exercise& x, const CoachExtras& c, const ValueFormat& f) {
    WriteLapTitles(r, "");
    for (std::size_t j = 0; j < x.laps.size(); ++j) {
        const Lap& lap = x.laps[j];
        WriteLapTimeRow(r, static_cast<int>(j) + 1, Nth(c.lapTimes, j), lap.endHr.value_or(0),
                        lap.minHr.value_or(0), lap.avgHr.value_or(0), lap.maxHr.value_or(0), f);
        r.Csv("\r\n");
        r.He("32\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");
}

void WriteSamples(ReportPair& r, const Series* hr) {
    const std::size_t count = hr ? hr->values.size() : 0;
    r.He("[HRData]\r\n");
    for (std::size_t i = 0; i < count; ++i) r.He(hr->values[i], "\r\n");
    r.Csv("[HRData]");
    for (std::size_t i = 0; i < count; ++i) r.Csv(kTab, hr->values[i]);
    r.Csv("\r\n");
    // Unlike the S410/S510 report no [File] sections follow, so an empty line ends both texts.
    r.He("\r\n");
    r.Csv("\r\n");
}

}  // namespace

void WriteCoachReport(const Exercise& x, const ValueFormat& format, std::string& hrm,
                      std::string& csv) {
    const CoachExtras& c = ExtrasOf<CoachExtras>(x);
    const Series* hr = x.Find(SeriesKind::HeartRate);
    ReportPair r{hrm, csv};
    WriteParams(r, x, c, format);
    WriteCoachSection(r, c.coachValues[0], c.coachValues[1]);
    WriteNoteSection(r);
    WriteLaps(r, x, c, format);
    WriteZoneSummaries(r, x.intervalSeconds, hr ? static_cast<int>(hr->values.size()) : 0, x.zones);
    WriteSamples(r, hr);
}

}  // namespace zendrik
