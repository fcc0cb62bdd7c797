// Exercises of every watch family as their decoders hand them over, for the tests of the export
// formats.
#pragma once

#include "decoders/exercise.h"

namespace zendrik {

namespace testing_streams {

// An S510 ride of 40 samples (heart rate with lost contacts, speed, cadence) and three laps.
zendrik::Exercise S510Ride();
// An S410 exercise of 20 heart-rate samples a minute apart and no laps, starting at `start`.
zendrik::Exercise S410WithoutLaps(const zendrik::LocalDateTime& start);
// The same, on 2005-01-20 at 18:00, with two laps.
zendrik::Exercise S410WithLaps();
// A Coach exercise of 24 samples and two laps.
zendrik::Exercise CoachExercise();
// An RS200 run of three laps (the second one automatic) with distances; no samples.
zendrik::Exercise Rs200Run();
// A CS200 ride of two laps with totals; no samples.
zendrik::Exercise Cs200Ride();

}  // namespace testing_streams

}  // namespace zendrik
