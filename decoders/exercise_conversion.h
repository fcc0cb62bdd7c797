// The decoders' own values of each watch family as one Exercise.
#pragma once

#include <cstdint>

#include "decoders/coach_exercise.h"
#include "decoders/exercise.h"
#include "decoders/rs200_exercise.h"
#include "decoders/s410_exercise.h"

namespace zendrik {

// An S410/S510 transfer with its series (exercise.samples entries each, at most the length of
// the decoder's series arrays). An S510 with cycling data is a ride.
Exercise ToExercise(const CS410Exercise& exercise, const CSampleSeriesView& series);
// A Coach transfer with its heart-rate samples (exercise.samples of them).
Exercise ToExercise(const CCoachExercise& exercise, const std::int32_t* hr);
// An RS200 run and a CS200 ride: laps and totals, no samples.
Exercise ToExercise(const CRs200Exercise& exercise);
Exercise ToExercise(const CCs200Exercise& exercise);

}  // namespace zendrik
