// The values of one RS200 (running) or CS200 (cycling) exercise, as the decoder takes them from
// the stream and the report writer prints them.
#pragma once

#include <string>
#include <vector>

#include "decoders/report_conventions.h"

// A time kept as the watch's BCD bytes. Some report lines show the bytes digit for digit (a byte
// with a nibble above 9 shows as a hex digit there), others show the numbers they stand for.
struct CBcdClock {
    int hours = 0;  // whole byte, no mask
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;  // already the high nibble of its byte, 0-15

    // The numbers the digits stand for.
    CTimeValue Value() const {
        return {BcdToInt(hours), BcdToInt(minutes), BcdToInt(seconds), tenths};
    }
};

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

// The three texts of one transfer: HRM Enhanced, HRM Polar Compatible and CSV.
struct CRsTexts {
    std::string& he;
    std::string& hp;
    std::string& csv;
};

// Appends the fixed text head to the Enhanced text (after any messages already in it), makes the
// CSV text a copy of it and the compatible text empty, then opens [Params] in all three.
void WriteRsTextHead(const CRsTexts& texts);

// Appends the parameters, zone tables, user data and laps of a run to the three texts.
void WriteRs200Report(const CRs200Exercise& exercise, const CValueFormat& format,
                      const CRsTexts& texts);
// Appends the parameters, user data, laps and trip totals of a ride to the three texts.
void WriteCs200Report(const CCs200Exercise& exercise, const CValueFormat& format,
                      const CRsTexts& texts);
