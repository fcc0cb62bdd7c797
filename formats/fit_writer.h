// The exercise as a FIT activity file, the format training platforms and watches of today read.
#pragma once

#include "decoders/exercise.h"
#include "formats/export_timeline.h"
#include "formats/time_zone.h"

namespace zendrik {

// A FIT activity: file_id, device_info, timer start, a record per sample (heart rate; speed,
// distance, cadence and altitude where recorded), a lap per lap (one for the whole exercise when
// the watch kept none), timer stop_all, session and activity. Times are the watch's local times
// read in `zone`. An error, and no file, when the start is not a date and time or lies outside
// FIT's dates (1998-07-04 to 2126-02-06).
ExportResult WriteFit(const Exercise& exercise, const TimeZone& zone);

}  // namespace zendrik
