// Exercises of every watch family into FIT, TCX and JSON in one of several time zones, two ways:
// decoded values drawn directly (any value the decoders can hand over and, in "raw" inputs, any
// byte where a decoder keeps a byte), and whole fuzzed transfers through the decoders, whose
// Exercise and Transfer the writers then take as zendrik-cli does. The first bytes choose the
// way, the family or model, how values are drawn and the zone. Every file must be whole: FIT's
// header and file CRCs hold and its size field is right, TCX has only characters XML allows,
// JSON parses; a file that cannot be written is an error with no data, never a half-written
// file. The HRM and CSV texts are rendered from the same transfers and exercises: whole CR LF
// lines and bounded, whatever the values.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <type_traits>
#include <string>
#include <vector>

#include "decoders/exercise.h"
#include "formats/report_conventions.h"
#include "decoders/families.h"
#include "formats/fit_encoder.h"
#include "decoders/transfer_decoders.h"
#include "formats/fit_writer.h"
#include "formats/hrm_report.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "formats/time_zone.h"
#include "fuzz_support.h"
#include "decoders/families.h"
#include "platform/zone_database.h"
#include "stream_framing.h"

using namespace zendrik;

namespace {

using fuzzing::Require;

// A file for 120 samples and 255 laps is a few hundred kilobytes at most.
constexpr std::size_t kMaxFileBytes = 4 << 20;

// Draws values the way the decoders produce them: in "plausible" inputs the date and time
// fields are mostly valid (so the writers run through), in raw ones each is any byte.
class Values {
public:
    Values(fuzzing::FuzzInput& in, bool plausible) : in_(in), plausible_(plausible) {}

    int Byte() { return in_.Byte(); }
    int Word() { return in_.Word(); }
    int Bcd(int digits) {  // a BCD number of `digits` bytes as the decoders read it
        long long v = 0;
        for (int i = 0; i < digits; ++i) v = v * 100 + Byte() % 100;
        return static_cast<int>(v);
    }
    DateValue Date() {
        if (!plausible_) return {1900 + Byte(), Byte(), Byte()};
        return {1995 + Byte() % 135, 1 + Byte() % 12, 1 + Byte() % 31};
    }
    zendrik::WatchTime Clock() {
        if (!plausible_) return {Byte(), Byte(), Byte(), Byte() % 16};
        return {Byte() % 24, Byte() % 60, Byte() % 60, 0};
    }
    zendrik::WatchTime Length() { return {Byte() % (plausible_ ? 12 : 256), Byte(), Byte(), Byte() % 16}; }
    zendrik::BcdClock BcdClock() {
        auto bcd = [&](int max) {
            return plausible_ ? (Byte() % max / 10) * 16 + Byte() % 10 : Byte();
        };
        return {bcd(24), bcd(60), bcd(60), Byte() % 16};
    }
    std::string Name() {
        std::string name;
        for (int n = Byte() % 16; n > 0; --n) name += static_cast<char>(Byte());
        return name;
    }

private:
    fuzzing::FuzzInput& in_;
    bool plausible_;
};

zendrik::LocalDateTime Start(Values& v) {
    const DateValue date = v.Date();
    const zendrik::WatchTime time = v.Clock();
    return {date.year, date.month, date.day, time.hours, time.minutes, time.seconds};
}

zendrik::ExerciseSummary Summary(Values& v, zendrik::WatchTime& length) {
    zendrik::ExerciseSummary s;
    s.start = Start(v);
    length = v.Length();
    s.duration = length.InTenths();
    s.avgHr = v.Byte();
    s.maxHr = v.Byte();
    s.name = v.Name();
    return s;
}

zendrik::Series Sampled(zendrik::SeriesKind kind, const char* unit, int divisor, Values& v, int n,
                        int scale) {
    zendrik::Series series{kind, unit, divisor, {}};
    for (int i = 0; i < n; ++i) series.values.push_back(v.Byte() * scale);
    return series;
}

// Laps as the S410 family's decoders fill them: heart rates, a split, maybe a distance.
void SampledLaps(zendrik::Exercise& x, std::vector<zendrik::WatchTime>& times, Values& v, int count,
                 bool distance) {
    for (int j = count; j > 0; --j) {
        times.push_back({v.Byte(), v.Byte() % 64, v.Byte() % 64, v.Byte() % 16});
        zendrik::Lap lap;
        lap.split = times.back().InTenths();
        lap.endHr = v.Byte();
        lap.minHr = v.Byte();
        lap.avgHr = v.Byte();
        lap.maxHr = v.Byte();
        if (distance) lap.distanceMeters = v.Word() * 100LL;
        x.laps.push_back(lap);
    }
}

void Zones(zendrik::Exercise& x, Values& v) {
    int lower[3] = {};
    int upper[3] = {};
    for (int z = 0; z < 3; ++z) {
        lower[z] = v.Byte();
        upper[z] = v.Byte();
    }
    x.zones = SampledZones(lower, upper, x.series.front().values, x.intervalSeconds);
}

zendrik::Exercise S410(Values& v, bool s510) {
    zendrik::Exercise x;
    zendrik::S410Extras extras;
    x.family = s510 ? zendrik::WatchFamily::S510 : zendrik::WatchFamily::S410;
    const int flags = v.Byte();
    extras.speedFlag = flags & 1;
    extras.cadenceFlag = (flags >> 2) & 1;
    extras.cyclingFlag = (flags & 0x30) ? 1 : 0;
    const bool bike = s510 && extras.cyclingFlag;
    x.sport = bike ? zendrik::Sport::Cycling : zendrik::Sport::Generic;
    x.intervalSeconds = v.Word();
    const int n = v.Byte() % 121;
    const zendrik::ExerciseSummary current = Summary(v, extras.length);
    x.name = current.name;
    x.start = current.start;
    x.duration = current.duration;
    x.avgHr = current.avgHr;
    x.maxHr = current.maxHr;
    x.series.push_back(Sampled(zendrik::SeriesKind::HeartRate, "bpm", 1, v, n, 1));
    if (bike && extras.speedFlag) {
        x.series.push_back(Sampled(zendrik::SeriesKind::Speed, "km/h", 10, v, n, 5));
    }
    if (bike && extras.cadenceFlag) {
        x.series.push_back(Sampled(zendrik::SeriesKind::Cadence, "rpm", 1, v, n, 1));
    }
    Zones(x, v);
    x.caloriesTenths = v.Bcd(3);
    extras.totalCalories = v.Bcd(3);
    extras.totalHours = v.Bcd(2);
    extras.totalMinutes = v.Bcd(1);
    extras.totalDistanceKm = v.Bcd(3);
    if (s510) x.distanceMeters = v.Bcd(2) * 100LL;
    SampledLaps(x, extras.lapTimes, v, v.Byte() % 166, s510);
    if (v.Byte() & 1) {
        for (int k = 0; k < 5; ++k) {
            extras.earlierLengths.emplace_back();
            x.earlier.push_back(Summary(v, extras.earlierLengths.back()));
        }
    }
    x.extras = std::move(extras);
    return x;
}

zendrik::Exercise Coach(Values& v) {
    zendrik::Exercise x;
    zendrik::CoachExtras extras;
    x.family = zendrik::WatchFamily::Coach;
    x.start = Start(v);
    x.intervalSeconds = v.Word();
    x.series.push_back(Sampled(zendrik::SeriesKind::HeartRate, "bpm", 1, v, v.Byte() % 121, 1));
    Zones(x, v);
    SampledLaps(x, extras.lapTimes, v, v.Byte() % 199, false);
    if (!extras.lapTimes.empty()) extras.length = extras.lapTimes.back();
    x.duration = extras.length.InTenths();
    extras.coachValues[0] = v.Byte();
    extras.coachValues[1] = v.Byte();
    x.extras = std::move(extras);
    return x;
}

zendrik::WatchUser User(Values& v) {
    return {v.Byte(), {v.Byte(), v.Byte(), v.Byte()}, v.Byte(), v.Byte(), v.Byte()};
}

zendrik::LocalDateTime BcdStart(Values& v, zendrik::BcdClock& clock) {
    const DateValue date = v.Date();
    clock = v.BcdClock();
    const zendrik::WatchTime time = clock.Value();
    return {date.year, date.month, date.day, time.hours, time.minutes, time.seconds};
}

// The laps of a run or a ride: any values, distances counted from the start.
template <typename Record>
void RsLaps(zendrik::Exercise& x, std::vector<Record>& records, Values& v, int count, bool run) {
    for (int j = 0; j < count; ++j) {
        zendrik::Lap lap;
        const zendrik::WatchTime time{v.Byte() % 128, v.Byte() % 64, v.Byte() % 64, v.Byte() % 16};
        lap.split = time.InTenths();
        lap.automatic = (v.Byte() & 1) != 0;
        lap.endHr = v.Byte();
        lap.avgHr = v.Byte();
        if (run) {
            lap.maxHr = v.Byte();
            lap.endPace = v.Word();
            lap.avgPace = v.Word();
        } else {
            lap.endSpeed = v.Word();
            lap.endCadence = v.Byte();
            lap.avgCadence = v.Byte();
        }
        lap.distanceMeters = v.Word() * 10LL;
        x.laps.push_back(lap);
        if constexpr (std::is_same_v<Record, zendrik::Rs200LapRecord>) {
            records.push_back({time, lap.endPace.value_or(0), lap.avgPace.value_or(0), v.Word()});
        } else {
            records.push_back({time, v.Word()});
        }
    }
}

zendrik::Exercise Run(Values& v) {
    zendrik::Exercise x;
    zendrik::Rs200Extras extras;
    x.family = zendrik::WatchFamily::Rs200;
    x.sport = zendrik::Sport::Running;
    x.name = v.Name();
    x.start = BcdStart(v, extras.start);
    extras.length = v.Length();
    x.duration = extras.length.InTenths();
    x.avgHr = v.Byte();
    x.maxHr = v.Byte();
    x.caloriesTenths = v.Word() * 10LL;
    extras.distanceData = v.Byte() & 1;
    if (extras.distanceData) x.distanceMeters = v.Word() * 10LL;
    extras.maxPace = v.Word();
    extras.avgPace = v.Word();
    extras.lapCount = v.Byte();
    RsLaps(x, extras.lapRecords, v, extras.lapCount, true);
    extras.user = User(v);
    x.extras = std::move(extras);
    return x;
}

zendrik::Exercise Ride(Values& v) {
    zendrik::Exercise x;
    zendrik::Cs200Extras extras;
    x.family = zendrik::WatchFamily::Cs200;
    x.sport = zendrik::Sport::Cycling;
    x.start = BcdStart(v, extras.start);
    extras.length = v.BcdClock();
    x.duration = extras.length.Value().InTenths();
    x.avgHr = v.Byte();
    x.maxHr = v.Byte();
    x.caloriesTenths = v.Word() * 10LL;
    x.distanceMeters = v.Word() * 100LL;
    x.avgSpeed = v.Word();
    x.maxSpeed = v.Word();
    x.avgCadence = v.Byte();
    x.maxCadence = v.Byte();
    extras.lapCount = v.Byte();
    RsLaps(x, extras.lapRecords, v, extras.lapCount, false);
    extras.user = User(v);
    x.extras = std::move(extras);
    return x;
}

const zendrik::TimeZone& ZoneChoice(int choice) {
    // Whole-hour and odd offsets, both hemispheres, and a zone that skipped a whole day.
    static const std::vector<zendrik::TimeZone> zones = [] {
        std::vector<zendrik::TimeZone> z{zendrik::TimeZone::Utc()};
        for (const char* name : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                                 "Asia/Kathmandu", "Pacific/Apia"}) {
            if (auto zone = ZoneNamed(name)) z.push_back(*zone);
        }
        return z;
    }();
    return zones[static_cast<std::size_t>(choice) % zones.size()];
}

std::uint32_t Little32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

void CheckFit(const zendrik::ExportResult& fit) {
    if (!fit.Ok()) {
        Require(fit.data.empty(), "a FIT error came with data");
        return;
    }
    const std::string& f = fit.data;
    Require(f.size() >= 16 && f.size() < kMaxFileBytes, "FIT size");
    Require(f.substr(8, 4) == ".FIT", "FIT signature");
    Require(zendrik::FitCrc(f.data(), 14) == 0, "FIT header CRC");
    Require(zendrik::FitCrc(f.data(), f.size()) == 0, "FIT file CRC");
    Require(Little32(f, 4) == f.size() - 16, "FIT data size");
}

void CheckTcx(const zendrik::ExportResult& tcx) {
    if (!tcx.Ok()) {
        Require(tcx.data.empty(), "a TCX error came with data");
        return;
    }
    const std::string& t = tcx.data;
    Require(t.size() < kMaxFileBytes, "TCX size");
    Require(t.rfind("<?xml", 0) == 0, "TCX head");
    Require(t.size() > 26 && t.substr(t.size() - 26) == "</TrainingCenterDatabase>\n", "TCX end");
    for (const char c : t) {
        const auto u = static_cast<unsigned char>(c);
        Require(u >= 0x20 || c == '\n' || c == '\r' || c == '\t', "TCX control character");
    }
    Require(std::count(t.begin(), t.end(), '<') == std::count(t.begin(), t.end(), '>'),
            "TCX markup characters in text");
}

// Reports of any values stay within a few hundred kilobytes. A decoded transfer's are whole
// lines; an exercise drawn here can hold a name with line ends, which no decoder makes.
void CheckReport(const zendrik::Transfer& transfer, bool decoded) {
    for (const ValueFormat& format : {ValueFormat{}, ValueFormat{",", "", "/", true}}) {
        const zendrik::ReportTexts texts = zendrik::RenderReport(transfer, format);
        for (const std::string* text : {&texts.hrm, &texts.hrmCompat, &texts.csv}) {
            Require(text->size() < kMaxFileBytes, "report size");
            Require(!decoded || fuzzing::IsWholeCrLfLines(*text),
                    "report texts are whole CR LF lines");
        }
    }
}

void CheckJson(const std::string& text) {
    Require(text.size() < kMaxFileBytes, "JSON size");
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    Require(!j.is_discarded() && j["schemaVersion"] == zendrik::kJsonSchemaVersion, "JSON parses");
}

// A fuzzed stream through model detection or a model's decoder, then to every writer.
void ThroughTheDecoders(fuzzing::FuzzInput& in, int mode) {
    const zendrik::TimeZone& zone = ZoneChoice(in.Byte());
    const int model = mode & 7;  // 0: the model the head names; 5-7: codes no decoder has
    std::vector<std::uint8_t> stream(in.Rest(), in.Rest() + in.RestSize());
    ReceivedBytes bytes;
    bytes.Reserve(static_cast<std::ptrdiff_t>(stream.size()));
    for (std::uint8_t b : stream) bytes.Add(b);
    const int decoder = model == 0 ? DetectWatchModel(bytes) : model;
    if (mode & 0x40) {
        fuzzing::FrameBlocks(stream, zendrik::FamilyOrFirst(decoder).stream.layout);
        bytes.SetSize(0);
        for (std::uint8_t b : stream) bytes.Add(b);
    }
    const zendrik::DecodeContext context{DateValue{2024, 6, 15}};
    zendrik::Transfer transfer;
    if (const zendrik::Family* family = zendrik::FindFamily(decoder)) {
        transfer = family->decode(bytes, context);
    }
    CheckReport(transfer, true);
    Require(!transfer.exercise || transfer.valid, "only a valid transfer has an exercise");
    if (transfer.exercise) {
        Require(transfer.exercise->SampleCount() <= kMaxSeriesSamples, "series within their arrays");
        CheckFit(zendrik::WriteFit(*transfer.exercise, zone));
        CheckTcx(zendrik::WriteTcx(*transfer.exercise, zone));
    }
    CheckJson(zendrik::WriteJson(transfer));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput in(data, size);
    const int choice = in.Byte();
    if (choice & 0x80) {
        ThroughTheDecoders(in, choice);
        return 0;
    }
    const int family = choice % 5;
    const bool plausible = (in.Byte() & 1) == 0;
    const zendrik::TimeZone& zone = ZoneChoice(in.Byte());
    Values v(in, plausible);
    zendrik::Exercise e;
    switch (family) {
        case 0:
            e = S410(v, false);
            break;
        case 1:
            e = S410(v, true);
            break;
        case 2:
            e = Coach(v);
            break;
        case 3:
            e = Run(v);
            break;
        default:
            e = Ride(v);
            break;
    }
    CheckFit(zendrik::WriteFit(e, zone));
    CheckTcx(zendrik::WriteTcx(e, zone));
    CheckJson(zendrik::WriteJson(e));
    // The same exercise as each decoder's transfer: a renderer takes whatever an exercise holds.
    for (const StreamLayout layout :
         {StreamLayout::S410Blocks, StreamLayout::CoachBlocks, StreamLayout::RS200Blocks}) {
        zendrik::Transfer transfer;
        transfer.layout = layout;
        transfer.valid = true;
        transfer.streamHead = true;
        transfer.exercise = e;
        CheckReport(transfer, false);
    }
    return 0;
}
