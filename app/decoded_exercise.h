// Where the desktop program and zendrik-cli take the decoded exercise from: the reception object
// keeps it once its decoders hand it over; until then there is nothing to chart.
#pragma once

#include <optional>

#include "decoders/exercise.h"

namespace zendrik {

// The exercise of the last valid report, or nothing.
template <class Data>
std::optional<Exercise> DecodedExercise(const Data& data) {
    if constexpr (requires { data.m_exercise; }) {
        if (!data.m_bValid) return std::nullopt;
        return data.m_exercise;
    } else {
        return std::nullopt;
    }
}

// Whether this build's reception object hands the exercise over at all.
template <class Data>
constexpr bool KeepsDecodedExercise() {
    return requires(const Data& data) { data.m_exercise; };
}

}  // namespace zendrik
