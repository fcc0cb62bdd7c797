// The three texts of an RS200/CS200 transfer, written side by side: HRM Enhanced (every value
// read), HRM Polar Compatible (the keys other HRM readers know, with fillers) and CSV.
#include "decoders/rs200_values.h"
#include "formats/rs200_text.h"
#include "decoders/text_append.h"
#include "formats/family_reports.h"

namespace zendrik {

namespace {

constexpr const char* kTab = "\t";

// The Enhanced, compatible and CSV texts of one report.
struct ReportTriple {
    std::string& he;
    std::string& hp;
    std::string& csv;
    const ValueFormat& f;

    template <typename... Parts>
    void He(const Parts&... parts) {
        Append(he, parts...);
    }
    template <typename... Parts>
    void Hp(const Parts&... parts) {
        Append(hp, parts...);
    }
    template <typename... Parts>
    void Csv(const Parts&... parts) {
        Append(csv, parts...);
    }
    // A parameter line of the Enhanced text that the CSV text takes with its "=" turned into a TAB.
    template <typename... Parts>
    void HeCsv(const Parts&... parts) {
        const std::size_t start = he.size();
        Append(he, parts...);
        csv += HrmLineToCsv(std::string_view(he).substr(start));
    }
    // A line that both HRM texts carry alike.
    template <typename... Parts>
    void HeHp(const Parts&... parts) {
        const std::size_t start = he.size();
        Append(he, parts...);
        hp.append(he, start);
    }
};

// "hh<t>mm<t>ss" from the BCD bytes as they stand.
std::string ClockDigits(const BcdClock& c, const std::string& sep) {
    return Concat(BcdDigits(c.hours), sep, BcdDigits(c.minutes), sep, BcdDigits(c.seconds));
}

std::string TimeFields(const zendrik::WatchTime& t, const std::string& sep) {
    return Concat(ZeroPad(t.hours, 2), sep, ZeroPad(t.minutes, 2), sep, ZeroPad(t.seconds, 2));
}

void WriteDate(ReportTriple& r, const DateValue& date) {
    r.HeHp("Date=", FormatHrmDate(date), "\r\n");
    r.Csv("Date", kTab, r.f.FormatCsvDate(date), "\r\n");
}

void WriteStartTime(ReportTriple& r, const BcdClock& start) {
    r.He("StartTime=", ClockDigits(start, ":"), "\r\n");
    r.Hp("StartTime=", ClockDigits(start, ":"), ".0\r\n");
    r.Csv("StartTime", kTab, ClockDigits(start, r.f.timeSep), "\r\n");
}

// The compatible text's timing keys, for which this watch family has no values.
void WriteHpTimers(ReportTriple& r) {
    r.Hp("Interval=204\r\nTimer1=00:00\r\nTimer2=00:00\r\nTimer3=00:00\r\nActiveLimit=0\r\n");
}

void WriteUser(ReportTriple& r, const WatchUser& u) {
    r.He("[User]\r\n");
    r.Csv("[User]\r\n");
    r.HeCsv("Height=", u.height, "\r\n");
    r.He("Birth=", u.birth[0], '.', ZeroPad(u.birth[1], 2), '.', ZeroPad(u.birth[2], 2), "\r\n");
    r.Csv("Birth", kTab, u.birth[0], r.f.dateSep, ZeroPad(u.birth[1], 2), r.f.dateSep,
          ZeroPad(u.birth[2], 2), "\r\n");
    r.HeCsv("MaxHR=", u.maxHr, "\r\n");
    r.HeCsv("MaxVO2=", u.maxVo2, "\r\n");
    r.HeCsv("RestHR=", u.restHr, "\r\n");
}

// [Note] in all three texts, the empty [HRZones] of the compatible text and the lap count.
void WriteTailHead(ReportTriple& r, int lapCount) {
    r.He("[Note]\r\n", NoteLine, "\r\n");
    r.Hp("[Note]\r\n", NoteLine, "\r\n");
    r.Csv("[Note]", kTab, NoteLine, "\r\n");
    r.Hp("[HRZones]\r\n\r\n");
    r.He("[Laps]\r\n");
    r.HeCsv("NumLaps=", lapCount, "\r\n");
    r.Hp("[IntTimes]\r\n");
}

void WriteBestLap(ReportTriple& r, int bestLap, const zendrik::WatchTime& bestLapTime) {
    r.HeCsv("BestLapNr=", bestLap, "\r\n");
    r.He("BestLapTime=", FormatHrmTime(bestLapTime), "\r\n");
    r.Csv("BestLapTime", kTab, r.f.FormatCsvTime(bestLapTime), "\r\n");
}

// The five rows of a lap in the compatible text. Its distance column counts thousandths of the
// distance unit, as the difference to the lap before.
void WriteHpLap(ReportTriple& r, const zendrik::WatchTime& time, int hr1, int hr2, int speed, int row2,
                long long distanceDelta) {
    r.Hp(FormatHrmTime(time), kTab, hr1, "\t0\t", hr2, "\t0\r\n");
    r.Hp("32\t0\t0\t", speed, kTab, row2, "\t0\r\n");
    r.Hp("0\t0\t0\t0\t0\r\n");
    r.Hp("0\t", distanceDelta, "\t0\t0\t0\t0\r\n");
    r.Hp("0\t0\t0\t0\t0\t0\r\n");
}

const char* YesNo(bool yes) {
    return yes ? "yes" : "no";
}

void WriteRunLaps(ReportTriple& r, const Exercise& x, const Rs200Extras& run) {
    r.Csv("[Laps]\tTime\tMaxHR\tEndHR\tAvgHR\tEndPace\tAvgPace\tDistance\tAuto\r\n");
    long long previous = 0;
    for (std::size_t j = 0; j < x.laps.size(); ++j) {
        const Lap& lap = x.laps[j];
        const Rs200LapRecord& record = Nth(run.lapRecords, j);
        const int n = static_cast<int>(j) + 1;
        const int maxHr = lap.maxHr.value_or(0);
        const int endHr = lap.endHr.value_or(0);
        const int avgHr = lap.avgHr.value_or(0);
        r.He("[Lap", ZeroPad(n, 2), "]\r\n");
        r.He("Auto=", YesNo(lap.automatic), "\r\n");
        r.He("Time=", FormatHrmTime(record.time), "\r\n");
        r.He("MaxHR=", maxHr, "\r\nEndHR=", endHr, "\r\nAvgHR=", avgHr, "\r\n");
        r.He("EndPace=", FormatHrmPace(record.endPace), "\r\n");
        r.He("AvgPace=", FormatHrmPace(record.avgPace), "\r\n");
        r.He("Distance=", FormatHrmHundredths(record.distance), "\r\n\r\n");
        r.Csv(n, kTab, r.f.FormatCsvTime(record.time), kTab, maxHr, kTab, endHr, kTab, avgHr, kTab,
              FormatCsvPace(r.f, record.endPace), kTab, FormatCsvPace(r.f, record.avgPace), kTab,
              FormatCsvHundredths(r.f, record.distance), kTab, YesNo(lap.automatic), "\r\n");
        // The compatible row takes the record's ninth byte, which in a run record is the high
        // byte of the distance.
        const long long scaled = 10LL * record.distance;
        WriteHpLap(r, record.time, avgHr, maxHr, 0, record.distance >> 8, scaled - previous);
        previous = scaled;
    }
}

void WriteRideLaps(ReportTriple& r, const Exercise& x, const Cs200Extras& ride) {
    r.Csv("[Laps]\tTime\tEndHR\tAvgHR\tEndSpeed\tEndCadence\tAvgCadence\tDistance\tAuto\r\n");
    long long previous = 0;
    for (std::size_t j = 0; j < x.laps.size(); ++j) {
        const Lap& lap = x.laps[j];
        const Cs200LapRecord& record = Nth(ride.lapRecords, j);
        const int n = static_cast<int>(j) + 1;
        const int endHr = lap.endHr.value_or(0);
        const int avgHr = lap.avgHr.value_or(0);
        const int endSpeed = lap.endSpeed.value_or(0);
        const int endCadence = lap.endCadence.value_or(0);
        const int avgCadence = lap.avgCadence.value_or(0);
        r.He("[Lap", ZeroPad(n, 2), "]\r\n");
        r.He("Auto=", YesNo(lap.automatic), "\r\n");
        r.He("Time=", FormatHrmTime(record.time), "\r\n");
        r.He("EndHR=", endHr, "\r\nAvgHR=", avgHr, "\r\n");
        r.He("EndSpeed=", FormatHrmTenths(endSpeed), "\r\n");
        r.He("EndCadence=", endCadence, "\r\nAvgCadence=", avgCadence, "\r\n");
        // Two decimals of a value in tenths: the second one is always 0.
        r.He("Distance=", FormatHrmHundredths(10LL * record.distance), "\r\n\r\n");
        r.Csv(n, kTab, r.f.FormatCsvTime(record.time), kTab, endHr, kTab, avgHr, kTab,
              r.f.FormatCsvTenths(endSpeed), kTab, endCadence, kTab, avgCadence, kTab,
              r.f.FormatCsvTenths(record.distance), kTab, YesNo(lap.automatic), "\r\n");
        const long long scaled = 100LL * record.distance;
        WriteHpLap(r, record.time, endHr, avgHr, endSpeed, avgCadence, scaled - previous);
        previous = scaled;
    }
}

}  // namespace

void WriteRsTextHead(const RsTexts& texts) {
    texts.he += "***\r\n*** This is temporary Output for testing RS200/CS200\r\n***\r\n\r\n";
    texts.csv = texts.he;
    texts.hp.clear();
    texts.he += "[Params]\r\nVersion=107\r\n";
    texts.hp += "[Params]\r\nVersion=107\r\n";
    texts.csv += "[Params]\r\nVersion\t107\r\n";
}

void WriteRs200Report(const Exercise& x, const ValueFormat& format, const RsTexts& texts) {
    const Rs200Extras& run = ExtrasOf<Rs200Extras>(x);
    const int avgHr = x.avgHr.value_or(0);
    const int maxHr = x.maxHr.value_or(0);
    ReportTriple r{texts.he, texts.hp, texts.csv, format};
    r.HeCsv("Monitor=RS", 200, "\r\n");
    r.Hp("Monitor=111\r\nSMode=000000000\r\n");
    r.HeCsv("Exercise=", x.name, "\r\n");
    WriteDate(r, StartDate(x));
    WriteStartTime(r, run.start);
    r.HeHp("Length=", FormatHrmTime(run.length), "\r\n");
    r.Csv("Length", kTab, format.FormatCsvTime(run.length), "\r\n");
    WriteHpTimers(r);
    r.HeCsv("AvgHR=", avgHr, "\r\n");
    r.HeCsv("MaxHR=", maxHr, "\r\n");
    r.Hp("MaxHR=", maxHr, "\r\n");
    r.HeCsv("Calories=", x.caloriesTenths.value_or(0) / 10, "\r\n");
    if (run.distanceData) {
        // The watch counts the distance in hundredths of a km.
        const long long distance = x.distanceMeters.value_or(0) / 10;
        r.He("Distance=", FormatHrmHundredths(distance), "\r\n");
        r.Csv("Distance", kTab, FormatCsvHundredths(format, distance), "\r\n");
    }
    r.He("\r\n");
    r.Hp("\r\n");
    r.Csv("\r\n");

    r.He("[TargetZones]\r\n");
    r.Csv("[TargetZones]\tbelow\tin\tabove\r\n");
    static const char* const kParts[3] = {"Below", "InZone", "Above"};
    for (int z = 0; z < 3; ++z) {
        r.Csv(z + 1);
        for (int part = 0; part < 3; ++part) {
            const zendrik::WatchTime& time = run.targetZones[z][part];
            r.He("Zone", z + 1, kParts[part], '=', TimeFields(time, ":"), "\r\n");
            r.Csv(kTab, TimeFields(time, format.timeSep));
        }
        r.Csv("\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");

    r.He("[SportZones]\r\n");
    r.Csv("[SportZones]\tLower\tUpper\tInZone\r\n");
    for (int z = 0; z < 5; ++z) {
        const Zone& zone = Nth(x.zones, static_cast<std::size_t>(z));
        const int lower = zone.lower.value_or(0);
        const int upper = zone.upper.value_or(0);
        r.He("Zone", z + 1, "Lower=", lower, "\r\n");
        r.He("Zone", z + 1, "Upper=", upper, "\r\n");
        r.Csv(z + 1, kTab, lower, kTab, upper, kTab, TimeFields(run.sportInZone[z], format.timeSep),
              "\r\n");
    }
    for (int z = 0; z < 5; ++z) {
        r.He("Zone", z + 1, "InZone=", TimeFields(run.sportInZone[z], ":"), "\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");

    WriteUser(r, run.user);
    r.He("\r\n");
    r.Hp("\r\n");
    r.Csv("\r\n");

    WriteTailHead(r, run.lapCount);
    if (run.lapCount > 0) {
        WriteBestLap(r, run.bestLap, run.bestLapTime);
        if (run.distanceData) {
            r.He("MaxPace=", FormatHrmPace(run.maxPace), "\r\n");
            r.Csv("MaxPace", kTab, FormatCsvPace(format, run.maxPace), "\r\n");
            r.He("AvgPace=", FormatHrmPace(run.avgPace), "\r\n");
            r.Csv("AvgPace", kTab, FormatCsvPace(format, run.avgPace), "\r\n");
        }
        r.He("\r\n");
        r.Csv("\r\n");
        WriteRunLaps(r, x, run);
        r.Csv("\r\n");
        r.Hp("\r\n");
    }
    r.Hp("[HRData]\r\n\r\n");
}

void WriteCs200Report(const Exercise& x, const ValueFormat& format, const RsTexts& texts) {
    const Cs200Extras& ride = ExtrasOf<Cs200Extras>(x);
    const Zone& limits = Nth(x.zones, 0);
    const int lowerLimit = limits.lower.value_or(0);
    const int upperLimit = limits.upper.value_or(0);
    // The watch counts the distance in tenths of a km.
    const long long distance = x.distanceMeters.value_or(0) / 100;
    const int avgSpeed = x.avgSpeed.value_or(0);
    const int maxSpeed = x.maxSpeed.value_or(0);
    ReportTriple r{texts.he, texts.hp, texts.csv, format};
    r.HeCsv("Monitor=CS", 200, "\r\n");
    r.Hp("Monitor=112\r\nSMode=110000100\r\n");
    WriteDate(r, StartDate(x));
    WriteStartTime(r, ride.start);
    r.HeHp("Length=", ClockDigits(ride.length, ":"), '.', HexDigit(ride.length.tenths), "\r\n");
    r.Csv("Length", kTab, format.FormatCsvTime(ride.length.Value()), "\r\n");
    WriteHpTimers(r);
    r.HeCsv("AvgHR=", x.avgHr.value_or(0), "\r\n");
    r.HeCsv("MaxHR=", x.maxHr.value_or(0), "\r\n");
    r.HeCsv("LowerLimit1=", lowerLimit, "\r\n");
    r.HeCsv("UpperLimit1=", upperLimit, "\r\n");
    r.Hp("Upper1=", upperLimit, "\r\nLower1=", lowerLimit, "\r\n");
    for (int i = 0; i < 3; ++i) {
        r.He("Time", i + 1, '=', ClockDigits(ride.times[i], ":"), "\r\n");
        r.Csv("Time", i + 1, kTab, ClockDigits(ride.times[i], format.timeSep), "\r\n");
    }
    r.HeCsv("Calories=", x.caloriesTenths.value_or(0) / 10, "\r\n");
    r.He("Distance=", FormatHrmTenths(distance), "\r\nAvgSpeed=", FormatHrmTenths(avgSpeed),
         "\r\nMaxSpeed=", FormatHrmTenths(maxSpeed), "\r\n");
    r.Csv("Distance", kTab, format.FormatCsvTenths(distance), "\r\nAvgSpeed", kTab,
          format.FormatCsvTenths(avgSpeed), "\r\nMaxSpeed", kTab,
          format.FormatCsvTenths(maxSpeed), "\r\n");
    r.HeCsv("AvgCadence=", x.avgCadence.value_or(0), "\r\n");
    r.HeCsv("MaxCadence=", x.maxCadence.value_or(0), "\r\n");
    r.He("RideTime=", ClockDigits(ride.rideTime, ":"), '.', HexDigit(ride.rideTime.tenths), "\r\n");
    r.Csv("RideTime", kTab, format.FormatCsvTime(ride.rideTime.Value()), "\r\n");
    r.He("\r\n");
    r.Csv("\r\n");

    WriteUser(r, ride.user);
    const WatchUser& user = ride.user;
    r.Hp("MaxHR=", user.maxHr, "\r\nRestHR=", user.restHr, "\r\nVO2max=", user.maxVo2, "\r\n");
    r.He("\r\n");
    r.Hp("\r\n");
    r.Csv("\r\n");

    WriteTailHead(r, ride.lapCount);
    if (ride.lapCount > 0) {
        WriteBestLap(r, ride.bestLap, ride.bestLapTime);
        r.He("\r\n");
        r.Csv("\r\n");
        WriteRideLaps(r, x, ride);
        r.Csv("\r\n");
        r.Hp("\r\n");
    }
    const int rideSeconds = ride.rideTime.Value().TotalSeconds();
    r.Hp("[Trip]\r\n", distance, "\r\n0\r\n", rideSeconds, "\r\n0\r\n0\r\n", avgSpeed, "\r\n",
         maxSpeed, "\r\n0\r\n\r\n");
    r.Hp("[HRData]\r\n\r\n");
}

}  // namespace zendrik
