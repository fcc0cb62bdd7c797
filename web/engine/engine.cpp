// The browser's engine: the core's public API as JavaScript values (web/engine/zendrik.d.ts says
// what the page sees). Everything here converts values between the page and the core; opening,
// receiving, decoding and writing are the core's and the document's, as zendrik-cli calls them.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "zendrik/families.h"
#include "zendrik/reception.h"
#include "zendrik/writers.h"

namespace zendrik {

namespace {

using emscripten::val;

// What a file that the core reads no recording from is handed back with: the page decodes it.
constexpr const char* kNotReadHere = "not-read-here";

// A property of what the page handed in; undefined where there is none, null and undefined
// included (reading theirs would throw in JavaScript, through the module).
template <class Key>
val Get(const val& object, Key key) {
    return object.isNull() || object.isUndefined() ? val::undefined() : object[key];
}

// A number the page handed in, or `fallback` where it gave none.
double NumberOr(const val& value, double fallback) {
    return value.isNumber() && std::isfinite(value.as<double>()) ? value.as<double>() : fallback;
}

// A JavaScript typed array's elements copied into the module's memory.
template <class Element>
void CopyFromJs(const val& array, Element* into, std::size_t count) {
    if (count == 0) return;
    val(emscripten::typed_memory_view(count, into)).call<void>("set", array);
}

std::size_t LengthOf(const val& array) {
    return static_cast<std::size_t>(std::max(NumberOr(Get(array, "length"), 0), 0.0));
}

// "YYYY-MM-DD"; the computer's date where the page gave none.
DateValue TodayOf(const val& settings) {
    const val today = Get(settings, "today");
    DateValue date;
    char end = 0;
    if (today.isString() &&
        std::sscanf(today.as<std::string>().c_str(), "%4d-%2d-%2d%c", &date.year, &date.month, &date.day, &end) == 3) {
        return date;
    }
    return SystemUtcDate();
}

DecodeSettings SettingsOf(const val& settings) {
    DecodeSettings decode;
    decode.watchModel = static_cast<std::int32_t>(std::clamp(NumberOr(Get(settings, "model"), 1), -1e9, 1e9));
    const DateValue today = TodayOf(settings);
    decode.utcToday = [today] { return today; };
    return decode;
}

// The zone's changes as the page computed them; UTC without any.
TimeZone ZoneOf(const val& settings) {
    const val zone = Get(settings, "zone");
    const val name = Get(zone, "name");
    const val changes = Get(zone, "changes");
    std::vector<ZoneChange> list;
    const std::size_t count = LengthOf(changes);
    for (std::size_t i = 0; i < count; ++i) {
        const val change = Get(changes, i);
        const double at = NumberOr(Get(change, "at"), NAN);
        const double offset = NumberOr(Get(change, "offset"), NAN);
        // Far beyond any date an exercise has, and any offset a zone has had.
        if (std::isnan(at) || std::isnan(offset) || std::fabs(at) > 1e13 || std::fabs(offset) > 86400) continue;
        list.push_back({static_cast<std::int64_t>(at), static_cast<std::int64_t>(offset)});
    }
    std::stable_sort(list.begin(), list.end(), [](const ZoneChange& a, const ZoneChange& b) { return a.fromUtc < b.fromUtc; });
    return TimeZone::FromChanges(name.isString() ? name.as<std::string>() : std::string(), std::move(list));
}

val BytesOf(std::string_view bytes) {
    return val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data())));
}

const char* KindName(InputKind kind) {
    switch (kind) {
        case InputKind::Recording:
            return "recording";
        case InputKind::Dump:
            return "dump";
        case InputKind::Unknown:
            break;
    }
    return "unknown";
}

// The lines of a message or a report's error lines as the page shows them: the report's CR LF
// line ends as '\n', without its blank lines, nothing after the last.
std::string Lines(std::string_view text) {
    std::string lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.append(lines.empty() ? "" : "\n").append(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

val Failed(InputKind kind, const std::string& reason) {
    val result = val::object();
    result.set("state", "failed");
    result.set("kind", KindName(kind));
    result.set("reason", Lines(reason));
    result.set("valid", false);
    result.set("baseName", "");
    result.set("files", val::object());
    result.set("refused", val::object());
    return result;
}

// Of several transfers in one recording, the one zendrik-cli writes without a folder to write
// each into.
void ShowWrittenTransfer(Document& document) {
    std::vector<Transfer> decoded;
    for (std::size_t i = 0; i < document.Recorded().size(); ++i) decoded.push_back(document.DecodeRecordedTransfer(i));
    document.ShowRecordedTransfer(TransferToWrite(decoded));
}

// What an opened document gives, as zendrik-cli writes it for each --format. `hint` adds the
// reception hint before the error lines of a report that is not valid (a recording's).
val ResultOf(Document& document, const Opened& opened, const TimeZone& zone, bool hint) {
    if (opened.outcome != OpenOutcome::Opened) return Failed(opened.kind, document.ReadError());
    const bool recording = opened.kind == InputKind::Recording;
    if (recording && document.Recorded().size() > 1) ShowWrittenTransfer(document);
    if (!document.Valid()) {
        const NotValid why = WhyNotValid(document, hint && recording);
        return Failed(opened.kind, why.hint + "\n" + (why.report.empty() ? why.instead : why.report));
    }
    val files = val::object();
    val refused = val::object();
    auto add = [&](const char* format, const ExportResult& file) {
        if (file.Ok()) {
            files.set(format, BytesOf(file.data));
        } else {
            refused.set(format, file.error);
        }
    };
    add("fit", ExerciseFile(document, ReportFileType::Fit, zone));
    add("tcx", ExerciseFile(document, ReportFileType::Tcx, zone));
    files.set("hrm", BytesOf(document.Hrm()));
    add("hrm-compat", CompatibleHrmFile(document));
    files.set("csv", BytesOf(CsvForSeparator(document.Csv(), ';')));
    files.set("json", BytesOf(WriteJson(document.DecodedTransfer())));
    files.set("sld", BytesOf(document.DumpText()));

    const std::string name = ProposedReportName(document.Date(), ReportFileType::Hrm);
    val result = val::object();
    result.set("state", "decoded");
    result.set("kind", KindName(opened.kind));
    result.set("reason", "");
    result.set("valid", true);
    result.set("baseName", name.substr(0, name.size() - ReportFileExtension(ReportFileType::Hrm).size() - 1));
    result.set("files", files);
    result.set("refused", refused);
    return result;
}

// Runs an entry point; nothing the core throws reaches the page.
template <class Step>
val Guarded(InputKind kind, Step step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return Failed(kind, kOutOfMemoryReason);
    } catch (const std::exception& e) {
        return Failed(kind, e.what());
    }
}

val Models() {
    val models = val::array();
    for (const Family* family : ListedFamilies()) {
        val model = val::object();
        model.set("number", family->code);
        model.set("name", family->displayName);
        models.call<void>("push", model);
    }
    return models;
}

val OpenFile(const val& bytes, const val& name, const val& settings) {
    return Guarded(InputKind::Unknown, [&] {
        // A File's arrayBuffer() as it is, or a view of it.
        const bool buffer = bytes.instanceof(val::global("ArrayBuffer"));
        if (!buffer && !bytes.instanceof(val::global("Uint8Array"))) {
            return Failed(InputKind::Unknown, "the file's bytes are not a Uint8Array");
        }
        const val view = buffer ? val::global("Uint8Array").new_(bytes) : bytes;
        std::string data(LengthOf(view), '\0');
        CopyFromJs(view, reinterpret_cast<std::uint8_t*>(data.data()), data.size());
        std::istringstream in(std::move(data));
        // A sound file the core's WAV reader does not take is the browser's to decode.
        if (InputKindByContent(FirstBytesOf(in)) == InputKind::Recording) {
            WaveSource wave;
            const bool read = wave.Open(in);
            in.clear();
            in.seekg(0);
            if (!read) return Failed(InputKind::Recording, kNotReadHere);
        }
        Document document;
        const Opened opened = document.Open({.path = name.isString() ? name.as<std::string>() : std::string(), .stream = &in},
                                            SettingsOf(settings));
        return ResultOf(document, opened, ZoneOf(settings), true);
    });
}

// The channels the browser decoded, handed to the core's reader of decoded sound a block at a
// time, so the recording is never held in the module twice.
class DecodedChannels final : public InterleavedDecoder {
public:
    DecodedChannels(const val& channels, int rate) : m_rate(rate) {
        const std::size_t count = LengthOf(channels);
        for (std::size_t i = 0; i < count; ++i) m_channels.push_back(Get(channels, i));
        for (const val& channel : m_channels) m_frames = std::min<std::int64_t>(m_frames, LengthOf(channel));
        if (m_channels.empty()) m_frames = 0;
    }

    std::string Restart() override {
        m_at = 0;
        return {};
    }
    std::int64_t Next(std::vector<float>& out, std::string&) override {
        const std::int64_t frames = std::min<std::int64_t>(kBlockFrames, m_frames - m_at);
        const std::size_t channels = m_channels.size();
        out.resize(static_cast<std::size_t>(frames) * channels);
        m_block.resize(static_cast<std::size_t>(frames));
        for (std::size_t c = 0; c < channels; ++c) {
            CopyFromJs(m_channels[c].call<val>("subarray", static_cast<double>(m_at), static_cast<double>(m_at + frames)),
                       m_block.data(), m_block.size());
            for (std::size_t i = 0; i < m_block.size(); ++i) out[i * channels + c] = m_block[i];
        }
        m_at += frames;
        return frames;
    }
    int Channels() const override { return static_cast<int>(m_channels.size()); }
    int Rate() const override { return m_rate; }
    // The browser does not say how the file stored its sound.
    SoundCoding CodingFor(std::int64_t) const override { return {}; }

private:
    static constexpr std::int64_t kBlockFrames = 65536;
    std::vector<val> m_channels;
    int m_rate;
    std::int64_t m_frames = INT64_MAX;
    std::int64_t m_at = 0;
    std::vector<float> m_block;
};

// A sample rate the page handed in, 0 for none.
int RateOf(const val& rate) { return static_cast<int>(std::clamp(NumberOr(rate, 0), 0.0, 1e6)); }

val OpenSound(const val& channels, const val& sampleRate, const val& settings) {
    return Guarded(InputKind::Recording, [&] {
        // What the browser decodes: an AudioBuffer's channels and rate.
        const val floats = val::global("Float32Array");
        for (std::size_t c = 0; c < LengthOf(channels); ++c) {
            if (!Get(channels, c).instanceof(floats)) {
                return Failed(InputKind::Recording, "the sound's channels are not Float32Arrays");
            }
        }
        if (RateOf(sampleRate) < 1) return Failed(InputKind::Recording, "the sound has no sample rate");
        std::string why;
        const AudioFileResult sound = ReadWhole(
            OpenDecoded([&] { return std::make_unique<DecodedChannels>(channels, RateOf(sampleRate)); },
                        kMaxAudioSamples, why),
            why);
        if (!sound.ok) return Failed(InputKind::Recording, sound.reason);
        Document document;
        const Opened opened = document.Open({.clip = &sound.clip}, SettingsOf(settings));
        return ResultOf(document, opened, ZoneOf(settings), true);
    });
}

// The rates the exact pass has bit timings for; at any other the second receiver reads alone.
const StreamFormat& ExactPassAt(int rate, const val& settings) {
    static const StreamFormat kNoExactPass{};
    if (rate != 44100 && rate != 22050) return kNoExactPass;
    return FamilyOrFirst(SettingsOf(settings).watchModel).stream;
}

class LiveReading {
public:
    LiveReading(int rate, const val& settings)
        : m_receiver(ExactPassAt(rate, settings), FamilyStreamFormats(), rate), m_rate(rate) {}

    void Feed(const val& samples) {
        if (!samples.instanceof(val::global("Float32Array"))) return;
        m_floats.resize(LengthOf(samples));
        CopyFromJs(samples, m_floats.data(), m_floats.size());
        m_samples.resize(m_floats.size());
        std::transform(m_floats.begin(), m_floats.end(), m_samples.begin(), SampleOf);
        m_receiver.Feed(m_samples.data(), static_cast<std::ptrdiff_t>(m_samples.size()));
    }

    val Progress() const {
        const LiveProgress& progress = m_receiver.Progress();
        const char* text = ReadingStateText(progress.state);
        val shown = val::object();
        shown.set("state", progress.state);
        shown.set("stateText", text ? text : "");
        shown.set("received", static_cast<double>(progress.received));
        shown.set("expected", static_cast<double>(progress.expected));
        shown.set("peak", progress.peak);
        shown.set("advice", progress.advice);
        return shown;
    }

    bool Complete() const { return m_receiver.Complete(); }

    val Finish(const val& settings) {
        val result = Guarded(InputKind::Recording, [&] {
            m_receiver.Finish();
            Document document(SettingsOf(settings));
            if (!document.TakeLiveTransfer(m_receiver.Take())) {
                return Failed(InputKind::Recording, "no complete transfer arrived");
            }
            return ResultOf(document, {OpenOutcome::Opened, InputKind::Recording}, ZoneOf(settings), false);
        });
        // Nothing decoded: the user keeps what the microphone heard, to open it again or to send
        // it with a fault report.
        if (result["state"].as<std::string>() != "decoded") {
            Guarded(InputKind::Recording, [&] {
                std::ostringstream wave;
                if (WriteWaveStream(wave, m_receiver.Heard(), m_rate)) result["files"].set("wav", BytesOf(wave.str()));
                return result;
            });
        }
        return result;
    }

private:
    LiveReceiver m_receiver;
    int m_rate;
    std::vector<float> m_floats;
    std::vector<std::int16_t> m_samples;
};

std::shared_ptr<LiveReading> Listen(const val& sampleRate, const val& settings) {
    // A rate no sound card runs at is taken as the nearest one that could be.
    return std::make_shared<LiveReading>(std::clamp(RateOf(sampleRate), 8000, 384000), settings);
}

}  // namespace

EMSCRIPTEN_BINDINGS(zendrik) {
    emscripten::function("models", &Models);
    emscripten::function("openFile", &OpenFile);
    emscripten::function("openSound", &OpenSound);
    emscripten::function("listen", &Listen);
    emscripten::class_<LiveReading>("LiveReading")
        .smart_ptr<std::shared_ptr<LiveReading>>("LiveReadingPointer")
        .function("feed", &LiveReading::Feed)
        .function("progress", &LiveReading::Progress)
        .function("complete", &LiveReading::Complete)
        .function("finish", &LiveReading::Finish);
}

}  // namespace zendrik
