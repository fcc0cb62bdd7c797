// The pieces of an HRM 1.06 report that the S410/S510 and the Coach write alike, with the CSV
// lines that go with them.
#pragma once

#include <string_view>
#include <vector>

#include "decoders/exercise.h"
#include "formats/report_conventions.h"
#include "formats/report_pair.h"

namespace zendrik {

// The Date, StartTime, Length and Interval lines of [Params] in both texts.
void WriteStartAndLength(ReportPair& r, const zendrik::Exercise& x, const zendrik::WatchTime& length,
                         const ValueFormat& format);

// The six Upper/Lower lines of the three zones in both texts, then the fixed timer lines of the
// HRM text; a zone the exercise lacks shows 0.
void WriteZoneLimits(ReportPair& r, const std::vector<zendrik::Zone>& zones);

// The [Coach] section of the HRM text: fixed rows, then `first` and `second` on the last row.
void WriteCoachSection(ReportPair& r, int first, int second);

// The [Note] section of the HRM text and the [Note] line of the CSV text.
void WriteNoteSection(ReportPair& r);

// "[IntTimes]" in the HRM text and the lap title line of the CSV text, which ends with
// `extraColumns` (each preceded by its TAB).
void WriteLapTitles(ReportPair& r, std::string_view extraColumns);

// One lap's values in one line of each text; the HRM line is ended, the CSV line is left open
// for further columns.
void WriteLapTimeRow(ReportPair& r, int number, const zendrik::WatchTime& time, int endHr, int minHr,
                     int avgHr, int maxHr, const ValueFormat& format);

// The HRM-only sections from [IntNotes] to [SwapTimes]: the time recorded at `interval` seconds
// per sample and the whole seconds spent above, in and below each of the three zones.
void WriteZoneSummaries(ReportPair& r, int interval, int samples,
                        const std::vector<zendrik::Zone>& zones);

// Zone z of the three, or an empty one where the exercise has fewer.
const zendrik::Zone& ZoneAt(const std::vector<zendrik::Zone>& zones, std::size_t z);

// Element i of a series of values the report lists, or 0 past its end.
int ValueAt(const zendrik::Series* series, std::size_t i);

}  // namespace zendrik
