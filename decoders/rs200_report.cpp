// The three texts of an RS200/CS200 transfer, written side by side: HRM Enhanced (every value
// read), HRM Polar Compatible (the keys other HRM readers know, with fillers) and CSV.
#include "decoders/rs200_exercise.h"
#include "decoders/rs200_values.h"
#include "decoders/text_append.h"

namespace {

constexpr const char* kTab = "\t";

// The Enhanced, compatible and CSV texts of one report.
struct CReportTriple {
    std::string& he;
    std::string& hp;
    std::string& csv;
    const CValueFormat& f;

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
std::string ClockDigits(const CBcdClock& c, const std::string& sep) {
    return Concat(BcdDigits(c.hours), sep, BcdDigits(c.minutes), sep, BcdDigits(c.seconds));
}

std::string TimeFields(const CTimeValue& t, const std::string& sep) {
    return Concat(ZeroPad(t.hours, 2), sep, ZeroPad(t.minutes, 2), sep, ZeroPad(t.seconds, 2));
}

void WriteDate(CReportTriple& r, const CDateValue& date) {
    r.HeHp("Date=", FormatHrmDate(date), "\r\n");
    r.Csv("Date", kTab, r.f.FormatCsvDate(date), "\r\n");
}

void WriteStartTime(CReportTriple& r, const CBcdClock& start) {
    r.He("StartTime=", ClockDigits(start, ":"), "\r\n");
    r.Hp("StartTime=", ClockDigits(start, ":"), ".0\r\n");
    r.Csv("StartTime", kTab, ClockDigits(start, r.f.timeSep), "\r\n");
}

// The compatible text's timing keys, for which this watch family has no values.
void WriteHpTimers(CReportTriple& r) {
    r.Hp("Interval=204\r\nTimer1=00:00\r\nTimer2=00:00\r\nTimer3=00:00\r\nActiveLimit=0\r\n");
}

void WriteUser(CReportTriple& r, const CRsUser& u) {
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
void WriteTailHead(CReportTriple& r, int lapCount) {
    r.He("[Note]\r\n", NoteLine, "\r\n");
    r.Hp("[Note]\r\n", NoteLine, "\r\n");
    r.Csv("[Note]", kTab, NoteLine, "\r\n");
    r.Hp("[HRZones]\r\n\r\n");
    r.He("[Laps]\r\n");
    r.HeCsv("NumLaps=", lapCount, "\r\n");
    r.Hp("[IntTimes]\r\n");
}

void WriteBestLap(CReportTriple& r, int bestLap, const CTimeValue& bestLapTime) {
    r.HeCsv("BestLapNr=", bestLap, "\r\n");
    r.He("BestLapTime=", FormatHrmTime(bestLapTime), "\r\n");
    r.Csv("BestLapTime", kTab, r.f.FormatCsvTime(bestLapTime), "\r\n");
}

// The five rows of a lap in the compatible text. Its distance column counts thousandths of the
// distance unit, as the difference to the lap before.
void WriteHpLap(CReportTriple& r, const CTimeValue& time, int hr1, int hr2, int speed, int row2,
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

void WriteRunLaps(CReportTriple& r, const CRs200Exercise& x) {
    r.Csv("[Laps]\tTime\tMaxHR\tEndHR\tAvgHR\tEndPace\tAvgPace\tDistance\tAuto\r\n");
    long long previous = 0;
    int n = 0;
    for (const CRs200Lap& lap : x.laps) {
        ++n;
        r.He("[Lap", ZeroPad(n, 2), "]\r\n");
        r.He("Auto=", YesNo(lap.autoLap), "\r\n");
        r.He("Time=", FormatHrmTime(lap.time), "\r\n");
        r.He("MaxHR=", lap.maxHr, "\r\nEndHR=", lap.endHr, "\r\nAvgHR=", lap.avgHr, "\r\n");
        r.He("EndPace=", FormatHrmPace(lap.endPace), "\r\n");
        r.He("AvgPace=", FormatHrmPace(lap.avgPace), "\r\n");
        r.He("Distance=", FormatHrmHundredths(lap.distance), "\r\n\r\n");
        r.Csv(n, kTab, r.f.FormatCsvTime(lap.time), kTab, lap.maxHr, kTab, lap.endHr, kTab,
              lap.avgHr, kTab, FormatCsvPace(r.f, lap.endPace), kTab,
              FormatCsvPace(r.f, lap.avgPace), kTab, FormatCsvHundredths(r.f, lap.distance), kTab,
              YesNo(lap.autoLap), "\r\n");
        // The compatible row takes the record's ninth byte, which in a run record is the high
        // byte of the distance.
        const long long scaled = 10LL * lap.distance;
        WriteHpLap(r, lap.time, lap.avgHr, lap.maxHr, 0, lap.distance >> 8, scaled - previous);
        previous = scaled;
    }
}

void WriteRideLaps(CReportTriple& r, const CCs200Exercise& x) {
    r.Csv("[Laps]\tTime\tEndHR\tAvgHR\tEndSpeed\tEndCadence\tAvgCadence\tDistance\tAuto\r\n");
    long long previous = 0;
    int n = 0;
    for (const CCs200Lap& lap : x.laps) {
        ++n;
        r.He("[Lap", ZeroPad(n, 2), "]\r\n");
        r.He("Auto=", YesNo(lap.autoLap), "\r\n");
        r.He("Time=", FormatHrmTime(lap.time), "\r\n");
        r.He("EndHR=", lap.endHr, "\r\nAvgHR=", lap.avgHr, "\r\n");
        r.He("EndSpeed=", FormatHrmTenths(lap.endSpeed), "\r\n");
        r.He("EndCadence=", lap.endCadence, "\r\nAvgCadence=", lap.avgCadence, "\r\n");
        // Two decimals of a value in tenths: the second one is always 0.
        r.He("Distance=", FormatHrmHundredths(10LL * lap.distance), "\r\n\r\n");
        r.Csv(n, kTab, r.f.FormatCsvTime(lap.time), kTab, lap.endHr, kTab, lap.avgHr, kTab,
              r.f.FormatCsvTenths(lap.endSpeed), kTab, lap.endCadence, kTab, lap.avgCadence, kTab,
              r.f.FormatCsvTenths(lap.distance), kTab, YesNo(lap.autoLap), "\r\n");
        const long long scaled = 100LL * lap.distance;
        WriteHpLap(r, lap.time, lap.endHr, lap.avgHr, lap.endSpeed, lap.avgCadence,
                   scaled - previous);
        previous = scaled;
    }
}

}  // namespace

void WriteRsTextHead(const CRsTexts& texts) {
    texts.he += "***\r\n*** This is temporary Output for testing RS200/CS200\r\n***\r\n\r\n";
    texts.csv = texts.he;
    texts.hp.clear();
    texts.he += "[Params]\r\nVersion=107\r\n";
    texts.hp += "[Params]\r\nVersion=107\r\n";
    texts.csv += "[Params]\r\nVersion\t107\r\n";
}

void WriteRs200Report(const CRs200Exercise& x, const CValueFormat& format, const CRsTexts& texts) {
    CReportTriple r{texts.he, texts.hp, texts.csv, format};
    r.HeCsv("Monitor=RS", 200, "\r\n");
    r.Hp("Monitor=111\r\nSMode=000000000\r\n");
    r.HeCsv("Exercise=", x.name, "\r\n");
    WriteDate(r, x.date);
    WriteStartTime(r, x.start);
    r.HeHp("Length=", FormatHrmTime(x.length), "\r\n");
    r.Csv("Length", kTab, format.FormatCsvTime(x.length), "\r\n");
    WriteHpTimers(r);
    r.HeCsv("AvgHR=", x.avgHr, "\r\n");
    r.HeCsv("MaxHR=", x.maxHr, "\r\n");
    r.Hp("MaxHR=", x.maxHr, "\r\n");
    r.HeCsv("Calories=", x.calories, "\r\n");
    if (x.distanceData) {
        r.He("Distance=", FormatHrmHundredths(x.distance), "\r\n");
        r.Csv("Distance", kTab, FormatCsvHundredths(format, x.distance), "\r\n");
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
            r.He("Zone", z + 1, kParts[part], '=', TimeFields(x.targetZones[z][part], ":"), "\r\n");
            r.Csv(kTab, TimeFields(x.targetZones[z][part], format.timeSep));
        }
        r.Csv("\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");

    r.He("[SportZones]\r\n");
    r.Csv("[SportZones]\tLower\tUpper\tInZone\r\n");
    for (int z = 0; z < 5; ++z) {
        r.He("Zone", z + 1, "Lower=", x.sportLower[z], "\r\n");
        r.He("Zone", z + 1, "Upper=", x.sportUpper[z], "\r\n");
        r.Csv(z + 1, kTab, x.sportLower[z], kTab, x.sportUpper[z], kTab,
              TimeFields(x.sportInZone[z], format.timeSep), "\r\n");
    }
    for (int z = 0; z < 5; ++z) {
        r.He("Zone", z + 1, "InZone=", TimeFields(x.sportInZone[z], ":"), "\r\n");
    }
    r.He("\r\n");
    r.Csv("\r\n");

    WriteUser(r, x.user);
    r.He("\r\n");
    r.Hp("\r\n");
    r.Csv("\r\n");

    WriteTailHead(r, x.lapCount);
    if (x.lapCount > 0) {
        WriteBestLap(r, x.bestLap, x.bestLapTime);
        if (x.distanceData) {
            r.He("MaxPace=", FormatHrmPace(x.maxPace), "\r\n");
            r.Csv("MaxPace", kTab, FormatCsvPace(format, x.maxPace), "\r\n");
            r.He("AvgPace=", FormatHrmPace(x.avgPace), "\r\n");
            r.Csv("AvgPace", kTab, FormatCsvPace(format, x.avgPace), "\r\n");
        }
        r.He("\r\n");
        r.Csv("\r\n");
        WriteRunLaps(r, x);
        r.Csv("\r\n");
        r.Hp("\r\n");
    }
    r.Hp("[HRData]\r\n\r\n");
}

void WriteCs200Report(const CCs200Exercise& x, const CValueFormat& format, const CRsTexts& texts) {
    CReportTriple r{texts.he, texts.hp, texts.csv, format};
    r.HeCsv("Monitor=CS", 200, "\r\n");
    r.Hp("Monitor=112\r\nSMode=110000100\r\n");
    WriteDate(r, x.date);
    WriteStartTime(r, x.start);
    r.HeHp("Length=", ClockDigits(x.length, ":"), '.', HexDigit(x.length.tenths), "\r\n");
    r.Csv("Length", kTab, format.FormatCsvTime(x.length.Value()), "\r\n");
    WriteHpTimers(r);
    r.HeCsv("AvgHR=", x.avgHr, "\r\n");
    r.HeCsv("MaxHR=", x.maxHr, "\r\n");
    r.HeCsv("LowerLimit1=", x.lowerLimit, "\r\n");
    r.HeCsv("UpperLimit1=", x.upperLimit, "\r\n");
    r.Hp("Upper1=", x.upperLimit, "\r\nLower1=", x.lowerLimit, "\r\n");
    for (int i = 0; i < 3; ++i) {
        r.He("Time", i + 1, '=', ClockDigits(x.times[i], ":"), "\r\n");
        r.Csv("Time", i + 1, kTab, ClockDigits(x.times[i], format.timeSep), "\r\n");
    }
    r.HeCsv("Calories=", x.calories, "\r\n");
    r.He("Distance=", FormatHrmTenths(x.distance), "\r\nAvgSpeed=", FormatHrmTenths(x.avgSpeed),
         "\r\nMaxSpeed=", FormatHrmTenths(x.maxSpeed), "\r\n");
    r.Csv("Distance", kTab, format.FormatCsvTenths(x.distance), "\r\nAvgSpeed", kTab,
          format.FormatCsvTenths(x.avgSpeed), "\r\nMaxSpeed", kTab,
          format.FormatCsvTenths(x.maxSpeed), "\r\n");
    r.HeCsv("AvgCadence=", x.avgCadence, "\r\n");
    r.HeCsv("MaxCadence=", x.maxCadence, "\r\n");
    r.He("RideTime=", ClockDigits(x.rideTime, ":"), '.', HexDigit(x.rideTime.tenths), "\r\n");
    r.Csv("RideTime", kTab, format.FormatCsvTime(x.rideTime.Value()), "\r\n");
    r.He("\r\n");
    r.Csv("\r\n");

    WriteUser(r, x.user);
    r.Hp("MaxHR=", x.user.maxHr, "\r\nRestHR=", x.user.restHr, "\r\nVO2max=", x.user.maxVo2,
         "\r\n");
    r.He("\r\n");
    r.Hp("\r\n");
    r.Csv("\r\n");

    WriteTailHead(r, x.lapCount);
    if (x.lapCount > 0) {
        WriteBestLap(r, x.bestLap, x.bestLapTime);
        r.He("\r\n");
        r.Csv("\r\n");
        WriteRideLaps(r, x);
        r.Csv("\r\n");
        r.Hp("\r\n");
    }
    r.Hp("[Trip]\r\n", x.distance, "\r\n0\r\n", x.rideTime.Value().TotalSeconds(), "\r\n0\r\n0\r\n",
         x.avgSpeed, "\r\n", x.maxSpeed, "\r\n0\r\n\r\n");
    r.Hp("[HRData]\r\n\r\n");
}
