// The file names a report is proposed under when it is saved.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zendrik {

enum class ReportFileType { Hrm, Csv, Dump, Fit, Tcx, Json };

// The extension of a file of that type, without the dot: "hrm", "csv", "sld", "fit", "tcx" or
// "json".
std::string_view ReportFileExtension(ReportFileType type);

// The name a report is saved under unless the user says otherwise: the exercise date as the
// decoder wrote it ("20060305") with the extension of the type. A date that is not all digits
// (none was found, or a damaged stream made it up) gives "exercise" instead, so the name never
// holds a folder separator or starts with a dash.
std::string ProposedReportName(std::string_view date, ReportFileType type);

// The n-th choice for a file name when the ones before are taken: `name` itself for n <= 1,
// else the number before the extension ("20060305-2.hrm", "20060305-3.hrm", ...).
std::string NumberedReportName(std::string_view name, int n);

// Which choice of a name for `name` the `candidate` is: 1 for the name itself, n for the one
// NumberedReportName(name, n) gives, 0 when it is none of them.
int NumberOfReportName(std::string_view candidate, std::string_view name);

// The type a file name's extension names, whatever its case ("ride.FIT" is a FIT file); none for
// another extension or none at all.
std::optional<ReportFileType> ReportFileTypeOfName(std::string_view name);

}  // namespace zendrik
