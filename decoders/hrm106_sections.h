// The pieces of an HRM 1.06 report that the S410/S510 and the Coach write alike, with the CSV
// lines that go with them.
#pragma once

#include <string_view>

#include "decoders/report_conventions.h"
#include "decoders/report_pair.h"

// The six Upper/Lower lines of the three zones in both texts, then the fixed timer lines of the
// HRM text.
void WriteZoneLimits(CReportPair& r, const int (&lower)[3], const int (&upper)[3]);

// The [Coach] section of the HRM text: fixed rows, then `first` and `second` on the last row.
void WriteCoachSection(CReportPair& r, int first, int second);

// The [Note] section of the HRM text and the [Note] line of the CSV text.
void WriteNoteSection(CReportPair& r);

// "[IntTimes]" in the HRM text and the lap title line of the CSV text, which ends with
// `extraColumns` (each preceded by its TAB).
void WriteLapTitles(CReportPair& r, std::string_view extraColumns);

// One lap's values in one line of each text; the HRM line is ended, the CSV line is left open
// for further columns.
void WriteLapTimeRow(CReportPair& r, int number, const CTimeValue& time, int endHr, int minHr,
                     int avgHr, int maxHr, const CValueFormat& format);

// The HRM-only sections from [IntNotes] to [SwapTimes]: the time recorded and the time spent
// above, in and below each zone, from the sample counts at `interval` seconds per sample.
void WriteZoneSummaries(CReportPair& r, int interval, int samples, const CZoneCounts (&zones)[3]);
