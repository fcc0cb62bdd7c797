// The values of one S410/S510 transfer as the decoder takes them from the blocks, before they
// become its Exercise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/report_conventions.h"

// One exercise summary record: the transferred exercise and each earlier one in the watch.
struct CExerciseSummary {
    CDateValue date;
    CTimeValue start;
    CTimeValue length;
    int avgHr = 0;
    int maxHr = 0;
    std::string name;
};

struct CS410Lap {
    CTimeValue time;  // from the exercise start to the end of the lap
    int endHr = 0;
    int minHr = 0;
    int avgHr = 0;
    int maxHr = 0;
    long long distance = 0;  // S510 only
};

struct CS410Exercise {
    bool s510 = false;
    int speed = 0;    // S510 flags: speed recorded
    int cadence = 0;  // cadence recorded
    int cycling = 0;  // cycling data present
    int interval = 0;
    int lower[3] = {};
    int upper[3] = {};
    CExerciseSummary current;
    long long calories = 0;  // tenths
    long long totalCalories = 0;
    long long totalHours = 0;
    int totalMinutes = 0;
    long long totalDistance = 0;  // S510 only
    long long distance = 0;       // S510 only, tenths
    std::vector<CS410Lap> laps;
    CZoneCounts zones[3];
    int samples = 0;
    std::vector<CExerciseSummary> earlier;  // five records when the stream carries them
};

// The decoder's sample series, samples entries each.
struct CSampleSeriesView {
    const std::int32_t* hr;
    const std::int32_t* speed;
    const std::int32_t* cadence;
};
