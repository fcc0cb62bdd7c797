// Writes the dump of the bundled sample exercise: an hour's ride on an S510 with speed and
// cadence, four laps and five earlier exercises. The recording next to it is made from the dump
// with `zendrik-cli --synthesize`.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "reception/dump_file.h"
#include "support/coach_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

// A short S410 transfer (a few seconds of sound), for tests that play it in real time.
S410Values ShortRun() {
    S410Values v;
    v.current.name = "Jog";
    v.current.length = {0, 12, 0, 0};
    for (int i = 0; i < 24; ++i) v.hr.push_back(118 + (i * 7) % 25);
    v.laps = {{{0, 6, 0, 2}, 131, 126, 139, 0}, {{0, 12, 0, 0}, 142, 135, 144, 0}};
    return v;
}

// A short Coach transfer, at the Coach's slower bit rate about the same length of sound.
CoachValues ShortCoachRun() {
    CoachValues v;
    for (int i = 0; i < 12; ++i) v.hr.push_back(112 + (i * 5) % 21);
    v.laps = {{{0, 4, 30, 0}, 128, 119, 133, 0}};
    return v;
}

void Write(const Stream& stream, const char* path, bool& ok) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string text = FormatDump(ToReceived(stream.bytes));
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    ok = static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string option = argc == 3 ? argv[1] : "";
    if (argc != 2 && option != "--short" && option != "--coach") {
        std::fprintf(stderr, "usage: zendrik_make_sample [--short | --coach] OUT.sld\n");
        return 2;
    }
    bool ok = false;
    if (option == "--short") {
        Write(BuildS410Stream(ShortRun()), argv[2], ok);
        return ok ? 0 : 1;
    }
    if (option == "--coach") {
        Write(BuildCoachStream(ShortCoachRun()), argv[2], ok);
        return ok ? 0 : 1;
    }
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;  // speed, cadence, cycling data
    v.current.name = "Hills";
    v.current.date = {2026, 6, 14};
    v.current.start = {7, 42, 10, 0};
    v.current.length = {1, 0, 0, 0};
    v.current.avgHr = 138;
    v.current.maxHr = 171;
    v.lower[0] = 110; v.upper[0] = 130;
    v.lower[1] = 130; v.upper[1] = 150;
    v.lower[2] = 150; v.upper[2] = 170;
    v.calories = 8125;
    v.totalCalories = 48210;
    v.totalHours = 152;
    v.totalMinutes = 37;
    v.totalDistance = 3870;
    v.distance = 284;
    for (int i = 0; i < 120; ++i) {
        // Warm up, two climbs, easy home: heart rate, speed (units of 0.5 km/h) and cadence.
        const double climb = std::sin(i * 3.14159 / 30.0);
        const double warm = i < 12 ? i / 12.0 : 1.0;
        v.hr.push_back(static_cast<int>(98 + 42 * warm + 22 * std::max(0.0, climb)));
        v.speed.push_back(static_cast<int>(44 + 12 * warm - 18 * std::max(0.0, climb)));
        v.cadence.push_back(static_cast<int>(72 + 18 * warm - 8 * std::max(0.0, climb)));
    }
    v.laps = {{{0, 15, 2, 4}, 142, 131, 158, 69},
              {{0, 30, 11, 0}, 161, 149, 168, 66},
              {{0, 45, 4, 7}, 155, 144, 171, 74},
              {{1, 0, 0, 0}, 128, 130, 147, 75}};
    v.earlier = {
        {true, "Easy", {18, 5, 0, 0}, {2026, 6, 12}, {0, 40, 12, 3}, 121, 144},
        {true, "Tempo", {6, 55, 30, 0}, {2026, 6, 10}, {0, 52, 8, 0}, 147, 176},
        {false, "", {19, 10, 45, 0}, {2026, 6, 8}, {1, 15, 0, 9}, 133, 162},
        {true, "Hills", {7, 30, 0, 0}, {2026, 6, 6}, {1, 4, 41, 2}, 141, 173},
        {true, "Recov", {17, 45, 5, 0}, {2026, 6, 4}, {0, 31, 59, 5}, 112, 129},
    };
    Write(BuildS410Stream(v), argv[1], ok);
    return ok ? 0 : 1;
}
