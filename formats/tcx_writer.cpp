#include "formats/tcx_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/xml_text.h"

namespace zendrik {

namespace {

using namespace std::string_view_literals;

constexpr const char* kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<TrainingCenterDatabase"
    " xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:ns3=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\""
    " xsi:schemaLocation=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2"
    " http://www.garmin.com/xmlschemas/TrainingCenterDatabasev2.xsd\">\n"
    " <Activities>\n";

constexpr const char* kTail =
    " </Activities>\n"
    " <Author xsi:type=\"Application_t\">\n"
    "  <Name>Zendrik</Name>\n"
    "  <Build><Version><VersionMajor>1</VersionMajor><VersionMinor>9</VersionMinor></Version>"
    "</Build>\n"
    "  <LangID>en</LangID>\n"
    "  <PartNumber>000-00000-00</PartNumber>\n"
    " </Author>\n"
    "</TrainingCenterDatabase>\n";

void AppendInt(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, end);
}

// A count of 10^-decimals units as a decimal number ("12.345"), whatever the C locale says.
void AppendFixed(std::string& out, std::int64_t value, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    if (value < 0) {
        out += '-';
        value = -value;
    }
    AppendInt(out, value / scale);
    if (decimals == 0) return;
    out += '.';
    const std::int64_t fraction = value % scale;
    for (std::int64_t digit = scale / 10; digit > 0; digit /= 10) {
        out += static_cast<char>('0' + fraction / digit % 10);
    }
}

void AppendElement(std::string& out, std::string_view indent, std::string_view name,
                   std::int64_t value, int decimals = 0) {
    out += indent;
    out += '<';
    out += name;
    out += '>';
    AppendFixed(out, value, decimals);
    out += "</"sv;
    out += name;
    out += ">\n"sv;
}

// HeartRateBpm takes 1 to 255; 0 means the watch had no contact and is left out.
bool IsHeartRate(const std::optional<int>& v) {
    return v && *v >= 1 && *v <= 255;
}

// Cadence takes 0 to 254.
bool IsCadence(const std::optional<int>& v) {
    return v && *v >= 0 && *v <= 254;
}

void AppendHeartRate(std::string& out, std::string_view indent, std::string_view name, int bpm) {
    out += indent;
    out += '<';
    out += name;
    out += "><Value>"sv;
    AppendInt(out, bpm);
    out += "</Value></"sv;
    out += name;
    out += ">\n"sv;
}

const char* SportAttribute(Sport sport) {
    switch (sport) {
        case Sport::Running:
            return "Running";
        case Sport::Cycling:
            return "Biking";
        case Sport::Generic:
            break;
    }
    return "Other";
}

class TcxBuilder {
public:
    TcxBuilder(const Exercise& x, const Timeline& t) : x_(x), t_(t) {
        hr_ = x.Find(SeriesKind::HeartRate);
        speed_ = x.Find(SeriesKind::Speed);
        cadence_ = x.Find(SeriesKind::Cadence);
        altitude_ = x.Find(SeriesKind::Altitude);
        if (speed_ && speed_->divisor <= 0) speed_ = nullptr;
        if (altitude_ && altitude_->divisor <= 0) altitude_ = nullptr;
    }

    std::string Build() {
        out_.reserve(1024 + t_.samples * 420 + t_.laps.size() * 400);
        out_ += kHead;
        out_ += "  <Activity Sport=\""sv;
        out_ += SportAttribute(x_.sport);
        out_ += "\">\n   <Id>"sv;
        AppendUtc(out_, t_.startUtc);
        out_ += "</Id>\n"sv;
        std::size_t sample = 0;
        for (std::size_t i = 0; i < t_.laps.size(); ++i) WriteLap(i, sample);
        if (!x_.name.empty()) {
            out_ += "   <Notes>"sv;
            AppendXmlText(out_, x_.name);
            out_ += "</Notes>\n"sv;
        }
        out_ += "   <Creator xsi:type=\"Device_t\">\n    <Name>"sv;
        out_ += FamilyName(x_.family);
        out_ += "</Name>\n    <UnitId>0</UnitId>\n    <ProductID>"sv;
        AppendInt(out_, static_cast<int>(x_.family) + 1);
        out_ +=
            "</ProductID>\n"
            "    <Version><VersionMajor>0</VersionMajor><VersionMinor>0</VersionMinor>"
            "</Version>\n   </Creator>\n  </Activity>\n";
        out_ += kTail;
        return std::move(out_);
    }

private:
    // The exercise's calories shared out over the laps by their length, rounded so that the laps
    // add up to the whole: TCX keeps calories per lap only.
    std::int64_t LapCalories(std::size_t index) const {
        if (!x_.caloriesTenths || *x_.caloriesTenths <= 0) return 0;
        const std::int64_t total = std::min<std::int64_t>((*x_.caloriesTenths + 5) / 10, 65535);
        const Tenths whole = t_.laps.back().end;
        if (whole <= 0) return index == 0 ? total : 0;
        auto upTo = [&](Tenths t) { return (total * t + whole / 2) / whole; };
        return upTo(t_.laps[index].end) - upTo(t_.laps[index].start);
    }

    void WriteLap(std::size_t index, std::size_t& sample) {
        const LapSpan& span = t_.laps[index];
        const Lap* lap = span.lap;
        out_ += "   <Lap StartTime=\""sv;
        AppendUtc(out_, t_.startUtc + RoundedSeconds(span.start));
        out_ += "\">\n"sv;
        AppendElement(out_, "    ", "TotalTimeSeconds", span.end - span.start, 1);
        const std::optional<std::int64_t> distance = lap ? lap->distanceMeters : x_.distanceMeters;
        AppendElement(out_, "    ", "DistanceMeters",
                      distance ? std::max<std::int64_t>(*distance, 0) : 0);
        AppendElement(out_, "    ", "Calories", LapCalories(index));
        const std::optional<int> avg = lap ? lap->avgHr : x_.avgHr;
        const std::optional<int> max = lap ? lap->maxHr : x_.maxHr;
        if (IsHeartRate(avg)) AppendHeartRate(out_, "    ", "AverageHeartRateBpm", *avg);
        if (IsHeartRate(max)) AppendHeartRate(out_, "    ", "MaximumHeartRateBpm", *max);
        out_ += "    <Intensity>Active</Intensity>\n"sv;
        const std::optional<int> cadence = lap ? lap->avgCadence : x_.avgCadence;
        if (IsCadence(cadence)) AppendElement(out_, "    ", "Cadence", *cadence);
        out_ += "    <TriggerMethod>"sv;
        out_ += lap && lap->automatic ? "Distance" : "Manual";
        out_ += "</TriggerMethod>\n"sv;
        const bool last = index + 1 == t_.laps.size();
        if (sample < t_.samples && (last || t_.SampleTime(sample) < span.end)) {
            out_ += "    <Track>\n"sv;
            while (sample < t_.samples && (last || t_.SampleTime(sample) < span.end)) {
                WriteTrackpoint(sample++);
            }
            out_ += "    </Track>\n"sv;
        }
        out_ += "   </Lap>\n"sv;
    }

    void WriteTrackpoint(std::size_t i) {
        const Tenths when = t_.SampleTime(i);
        out_ += "     <Trackpoint>\n      <Time>"sv;
        AppendUtc(out_, t_.startUtc + RoundedSeconds(when));
        out_ += "</Time>\n"sv;
        if (const std::optional<int> alt = SampleAt(altitude_, i)) {
            // Metres with three decimals, whatever the series' divisor.
            AppendElement(out_, "      ", "AltitudeMeters",
                          static_cast<std::int64_t>(*alt) * 1000 / altitude_->divisor, 3);
        }
        const std::optional<int> speed = SampleAt(speed_, i);
        if (i < distances_.size()) {
            AppendElement(out_, "      ", "DistanceMeters", distances_[i], 2);
        }
        if (const std::optional<int> bpm = SampleAt(hr_, i); IsHeartRate(bpm)) {
            AppendHeartRate(out_, "      ", "HeartRateBpm", *bpm);
        }
        if (const std::optional<int> rpm = SampleAt(cadence_, i); IsCadence(rpm)) {
            AppendElement(out_, "      ", "Cadence", *rpm);
        }
        if (speed && *speed >= 0 && *speed <= 1000000) {
            out_ += "      <Extensions><ns3:TPX><ns3:Speed>"sv;
            // Millimetres per second: value / divisor km/h times 1000000 / 3600.
            AppendFixed(out_,
                        (static_cast<std::int64_t>(*speed) * 10000 + 18LL * speed_->divisor) /
                            (36LL * speed_->divisor),
                        3);
            out_ += "</ns3:Speed></ns3:TPX></Extensions>\n"sv;
        }
        out_ += "     </Trackpoint>\n"sv;
    }

    const Exercise& x_;
    const Timeline& t_;
    const Series* hr_ = nullptr;
    const Series* speed_ = nullptr;
    const Series* cadence_ = nullptr;
    const Series* altitude_ = nullptr;
    const std::vector<std::int64_t> distances_ = RecordDistances(x_, t_);
    std::string out_;
};

}  // namespace

ExportResult WriteTcx(const Exercise& exercise, const TimeZone& zone) {
    ExportResult result;
    const std::optional<Timeline> timeline = MakeTimeline(exercise, zone, result.error);
    if (!timeline) return result;
    result.data = TcxBuilder(exercise, *timeline).Build();
    return result;
}

}  // namespace zendrik
