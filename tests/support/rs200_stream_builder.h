// Builds RS200 (running) and CS200 (cycling) transfers from exercise values, so tests can state
// values instead of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/s410_stream_builder.h"

namespace zendrik {

namespace testing_streams {

struct RsUser {
    int height = 178;
    int birth[3] = {14, 6, 75};
    int maxHr = 188;
    int maxVo2 = 52;
    int restHr = 47;
};

struct RunLap {
    Time time;  // up to 127 hours
    bool autoLap = false;
    int endHr = 0;
    int avgHr = 0;
    int maxHr = 0;
    int endPace = 0;  // tenths of a second
    int avgPace = 0;
    int distance = 0;  // hundredths
};

struct RunValues {
    RsUser user;
    std::string name = "Run";  // 1 to 15 watch characters
    Date date{2007, 3, 15};
    Time start{18, 5, 30, 0};
    Time length{0, 42, 17, 3};
    int avgHr = 151;
    int maxHr = 178;
    int calories = 612;
    Time targetZones[3][3] = {{{0, 1, 2, 0}, {0, 30, 4, 0}, {0, 11, 11, 0}},
                              {{0, 5, 0, 0}, {0, 35, 0, 0}, {0, 2, 17, 0}},
                              {{0, 40, 0, 0}, {0, 2, 0, 0}, {0, 0, 17, 0}}};
    int sportLower[5] = {94, 113, 132, 151, 170};
    int sportUpper[5] = {112, 131, 150, 169, 188};
    Time sportInZone[5] = {{0, 3, 1, 0}, {0, 8, 2, 0}, {0, 14, 3, 0}, {0, 12, 4, 0}, {0, 4, 5, 0}};
    int distance = 812;  // hundredths
    int maxPace = 2710;  // 0: the watch had no distance data
    int avgPace = 3125;
    int bestLap = 1;
    Time bestLapTime{0, 4, 31, 2};
    std::vector<RunLap> laps;  // lap 1 first; the stream keeps them the other way round
    int lapCount = -1;         // the count byte; -1 writes the number of laps
    std::uint32_t randomSeed = 0;  // see RandomContent
};

struct RideLap {
    Time time;
    bool autoLap = false;
    int endHr = 0;
    int avgHr = 0;
    int endSpeed = 0;  // tenths
    int endCadence = 0;
    int avgCadence = 0;
    int distance = 0;  // tenths
};

struct RideValues {
    RsUser user;
    Time length{1, 12, 45, 6};
    int avgHr = 138;
    int maxHr = 171;
    Time times[3] = {{0, 10, 5, 0}, {0, 55, 30, 0}, {0, 7, 10, 0}};
    int calories = 987;
    int distance = 312;  // tenths
    int avgSpeed = 256;  // tenths
    int maxSpeed = 488;
    int avgCadence = 84;
    int maxCadence = 112;
    Time rideTime{1, 10, 3, 4};
    int bestLap = 1;
    Date date{2007, 9, 15};
    Time start{9, 41, 7, 0};
    int lowerLimit = 120;
    int upperLimit = 160;
    std::vector<RideLap> laps;
    int lapCount = -1;
    std::uint32_t randomSeed = 0;  // see RandomContent
};

// Where the exercise kind and the block count sit in every such transfer.
inline constexpr std::size_t kRsKindAt = 16;
inline constexpr std::size_t kRsBlockCountAt = 8;

// The whole transfer: head with its checksum, then as many whole blocks as the laps need.
std::vector<std::uint8_t> BuildRs200Stream(const RunValues& values);
std::vector<std::uint8_t> BuildCs200Stream(const RideValues& values);

// Position of data byte `offset` of block `block`.
std::size_t RsDataAt(std::size_t block, std::size_t offset);

// The checksum the head of these bytes should carry.
std::uint16_t RsHeadCrc(const std::vector<std::uint8_t>& bytes);

// Corruptions. SetRsBlockCount signs the head anew, so only the count itself is wrong.
void SetRsBlockCount(std::vector<std::uint8_t>& bytes, int count);
void SetRsStoredCrc(std::vector<std::uint8_t>& bytes, std::uint16_t stored);
void SetRsBlockFrame(std::vector<std::uint8_t>& bytes, std::size_t block, int mark, int number);

}  // namespace testing_streams

}  // namespace zendrik
