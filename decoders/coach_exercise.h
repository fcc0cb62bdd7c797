// The values of one Coach transfer, as the decoder takes them from the blocks and the report
// writer prints them.
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

// Writes the HRM 1.06 text and the CSV text of a checked Coach transfer; `hr` holds the
// exercise's heart-rate samples.
void WriteCoachReport(const CCoachExercise& exercise, const std::int32_t* hr,
                      const CValueFormat& format, std::string& hrm, std::string& csv);
