// The values of one Coach transfer as the decoder takes them from the blocks, before they become
// its Exercise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/report_conventions.h"

struct CCoachLap {
    CTimeValue time;  // from the exercise start to the end of the lap
    int endHr = 0;
    int minHr = 0;
    int avgHr = 0;
    int maxHr = 0;
};

struct CCoachExercise {
    CDateValue date;
    CTimeValue start;
    CTimeValue length;  // the end of the last lap
    int interval = 0;
    int lower[3] = {};
    int upper[3] = {};
    int coachValues[2] = {};  // the last row of the [Coach] section
    std::vector<CCoachLap> laps;
    CZoneCounts zones[3];
    int samples = 0;
};
