// The exercise as a TrainingCenterDatabase v2 (TCX) activity, the XML format most training
// platforms import besides FIT.
#pragma once

#include "decoders/exercise.h"
#include "formats/export_timeline.h"
#include "formats/time_zone.h"

namespace zendrik {

// One Activity (Running, Biking or Other) with a Lap per lap (one for the whole exercise when the
// watch kept none), each with a Track of the samples taken during it; no Track without samples.
// Heart rates of 0 (no contact) are left out of their trackpoints. Times are the watch's local
// times read in `zone`, written in UTC. An error, and no file, when the start is not a date and
// time.
ExportResult WriteTcx(const Exercise& exercise, const TimeZone& zone);

}  // namespace zendrik
