// The report writers of the watch families, each reading a decoded Exercise of its family. An
// exercise of another family, or one made by hand, is written too: whatever it lacks shows as 0.
#pragma once

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "decoders/exercise.h"
#include "formats/report_conventions.h"

namespace zendrik {

// Appends the HRM 1.06 text and the CSV text of an S410/S510 exercise.
void WriteS410Report(const Exercise& exercise, const ValueFormat& format, std::string& hrm,
                     std::string& csv);
// Appends the HRM 1.06 text and the CSV text of a Coach exercise.
void WriteCoachReport(const Exercise& exercise, const ValueFormat& format, std::string& hrm,
                      std::string& csv);

// The three texts of one RS200/CS200 transfer: HRM Enhanced, HRM Polar Compatible and CSV.
struct RsTexts {
    std::string& he;
    std::string& hp;
    std::string& csv;
};

// Appends the fixed text head to the Enhanced text (after any messages already in it), makes the
// CSV text a copy of it and the compatible text empty, then opens [Params] in all three.
void WriteRsTextHead(const RsTexts& texts);
// Appends the parameters, zone tables, user data and laps of a run to the three texts.
void WriteRs200Report(const Exercise& exercise, const ValueFormat& format, const RsTexts& texts);
// Appends the parameters, user data, laps and trip totals of a ride to the three texts.
void WriteCs200Report(const Exercise& exercise, const ValueFormat& format, const RsTexts& texts);

// The family's own values of an exercise, or a default set where it holds another family's.
template <typename Extras>
const Extras& ExtrasOf(const Exercise& exercise) {
    static const Extras kNone{};
    const Extras* extras = std::get_if<Extras>(&exercise.extras);
    return extras ? *extras : kNone;
}

// Element i of a list the exercise keeps per lap, or a default one past its end.
template <typename T>
const T& Nth(const std::vector<T>& list, std::size_t i) {
    static const T kNone{};
    return i < list.size() ? list[i] : kNone;
}

// The date part of the watch's local start.
inline DateValue StartDate(const Exercise& exercise) {
    return {exercise.start.year, exercise.start.month, exercise.start.day};
}

}  // namespace zendrik
