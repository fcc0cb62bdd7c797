#include "formats/hrm106_sections.h"

#include "formats/family_reports.h"

namespace zendrik {

namespace {

constexpr const char* kTab = "\t";

}  // namespace

const zendrik::Zone& ZoneAt(const std::vector<zendrik::Zone>& zones, std::size_t z) {
    static const zendrik::Zone kNone;
    return z < zones.size() ? zones[z] : kNone;
}

int ValueAt(const zendrik::Series* series, std::size_t i) {
    return series && i < series->values.size() ? series->values[i] : 0;
}

void WriteStartAndLength(ReportPair& r, const zendrik::Exercise& x, const zendrik::WatchTime& length,
                         const ValueFormat& f) {
    const DateValue date = zendrik::StartDate(x);
    const zendrik::WatchTime start{x.start.hour, x.start.minute, x.start.second, 0};
    r.He("Date=", FormatHrmDate(date), "\r\n");
    r.Csv("Date", kTab, f.FormatCsvDate(date), "\r\n");
    r.He("StartTime=", FormatHrmTime(start), "\r\n");
    r.Csv("StartTime", kTab, f.FormatCsvTime(start), "\r\n");
    r.He("Length=", FormatHrmTime(length), "\r\n");
    r.Csv("Length", kTab, f.FormatCsvTime(length), "\r\n");
    r.Both("Interval=", x.intervalSeconds, "\r\n");
}

void WriteZoneLimits(ReportPair& r, const std::vector<zendrik::Zone>& zones) {
    for (std::size_t z = 0; z < 3; ++z) {
        const zendrik::Zone& zone = ZoneAt(zones, z);
        r.Both("Upper", static_cast<int>(z) + 1, "=", zone.upper.value_or(0), "\r\n");
        r.Both("Lower", static_cast<int>(z) + 1, "=", zone.lower.value_or(0), "\r\n");
    }
    r.He("Timer1=00:00:00.0\r\nTimer2=00:00:00.0\r\nTimer3=00:00:00.0\r\nActiveLimit=0\r\n");
}

void WriteCoachSection(ReportPair& r, int first, int second) {
    r.He("[Coach]\r\n000000\r\n0\t0\r\n0\t0\r\n0\t0\t0\r\n0\t0\t0\r\n0\t0\t0\r\n");
    r.He(first, kTab, second, "\r\n\r\n");
}

void WriteNoteSection(ReportPair& r) {
    r.He("[Note]\r\n", NoteLine, "\r\n");
    r.Csv("[Note]", kTab, NoteLine, "\r\n");
}

void WriteLapTitles(ReportPair& r, std::string_view extraColumns) {
    r.He("[IntTimes]\r\n");
    r.Csv("[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR", extraColumns, "\r\n");
}

void WriteLapTimeRow(ReportPair& r, int number, const zendrik::WatchTime& time, int endHr, int minHr,
                     int avgHr, int maxHr, const ValueFormat& format) {
    r.He(FormatHrmTime(time), kTab, endHr, kTab, minHr, kTab, avgHr, kTab, maxHr, "\r\n");
    r.Csv(number, kTab, format.FormatCsvTime(time), kTab, endHr, kTab, minHr, kTab, avgHr, kTab,
          maxHr);
}

void WriteZoneSummaries(ReportPair& r, int interval, int samples,
                        const std::vector<zendrik::Zone>& zones) {
    r.He("[IntNotes]\r\n\r\n[ExtraData]\r\n\r\n[Summary-123]\r\n");
    const long long recorded = static_cast<long long>(interval) * samples;
    auto seconds = [](const std::optional<zendrik::Tenths>& t) { return t.value_or(0) / 10; };
    for (std::size_t z = 0; z < 3; ++z) {
        const zendrik::Zone& zone = ZoneAt(zones, z);
        r.He(recorded, "\t0\t", seconds(zone.above), kTab, seconds(zone.in), kTab,
             seconds(zone.below), "\t0\r\n");
        r.He("0\t0\t0\t0\r\n");
    }
    r.He("0\t", samples, "\r\n\r\n");
    r.He("[Summary-TH]\r\n\r\n");
    r.He("[HRZones]\r\n");
    for (int i = 0; i < 11; ++i) r.He("0\r\n");
    r.He("\r\n[SwapTimes]\r\n\r\n");
}

}  // namespace zendrik
