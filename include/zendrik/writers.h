// What is made of a decoded Transfer: the HRM and CSV report texts (`RenderReport`, under the
// user's CSV value format), FIT and TCX files of its exercise (`WriteFit`, `WriteTcx`, in the
// time zone the watch's local times are read in) and JSON (`WriteJson`); a writer that refuses
// says why in its result rather than throwing. With them: the CSV text under another field
// separator, and the file name proposed for each kind of file.
#pragma once

#include "decoders/csv_text.h"
#include "decoders/report_name.h"
#include "formats/fit_writer.h"
#include "formats/hrm_report.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "formats/time_zone.h"

namespace zendrik {

}  // namespace zendrik
