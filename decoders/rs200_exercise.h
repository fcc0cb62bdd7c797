// The values of one RS200 (running) or CS200 (cycling) exercise as the decoder takes them from
// the stream, before they become its Exercise.
#pragma once

#include <string>
#include <vector>

#include "decoders/report_conventions.h"

// A time kept as the watch's BCD bytes.
using CBcdClock = zendrik::BcdClock;

// What the watch knows of its user.
struct CRsUser {
    int height = 0;
    int birth[3] = {};  // three numbers, printed in this order
    int maxHr = 0;
    int maxVo2 = 0;
    int restHr = 0;
};

struct CRs200Lap {
    CTimeValue time;
    bool autoLap = false;
    int endHr = 0;
    int avgHr = 0;
    int maxHr = 0;
    int endPace = 0;  // tenths of a second
    int avgPace = 0;
    int distance = 0;  // hundredths
};

struct CRs200Exercise {
    std::string name;
    CDateValue date;
    CBcdClock start;
    CTimeValue length;
    int avgHr = 0;
    int maxHr = 0;
    int calories = 0;
    CTimeValue targetZones[3][3];  // per zone: below, in, above
    int sportLower[5] = {};
    int sportUpper[5] = {};
    CTimeValue sportInZone[5];
    bool distanceData = false;  // a watch without a foot pod sends no maximum pace
    int distance = 0;           // hundredths
    int maxPace = 0;            // tenths of a second
    int avgPace = 0;
    int lapCount = 0;
    int bestLap = 0;
    CTimeValue bestLapTime;
    std::vector<CRs200Lap> laps;  // lap 1 first
    CRsUser user;
};

struct CCs200Lap {
    CTimeValue time;
    bool autoLap = false;
    int endHr = 0;
    int avgHr = 0;
    int endSpeed = 0;  // tenths
    int endCadence = 0;
    int avgCadence = 0;
    int distance = 0;  // tenths
};

struct CCs200Exercise {
    CDateValue date;
    CBcdClock start;
    CBcdClock length;
    int avgHr = 0;
    int maxHr = 0;
    int lowerLimit = 0;
    int upperLimit = 0;
    CBcdClock times[3];
    int calories = 0;
    int distance = 0;  // tenths
    int avgSpeed = 0;  // tenths
    int maxSpeed = 0;
    int avgCadence = 0;
    int maxCadence = 0;
    CBcdClock rideTime;
    int lapCount = 0;
    int bestLap = 0;
    CTimeValue bestLapTime;
    std::vector<CCs200Lap> laps;
    CRsUser user;
};
