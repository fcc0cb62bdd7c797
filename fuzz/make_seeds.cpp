// Writes the starting corpora of the fuzz harnesses: transfers of every watch family made from
// exercise values, their dumps, short recordings of them in the WAV shapes recorders write (and
// a few they should not), raw sound for the demodulators, command lines, and the bytes the
// export harness draws exercises from.
//
//   make_seeds DIR   -> DIR/dump, DIR/wave, DIR/demodulator, DIR/decoders, DIR/cli_options,
//                       DIR/export, DIR/second_receiver, DIR/audio_file, DIR/phone_audio
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sndfile.h>

#include "decoders/families.h"
#include "reception/dump_file.h"
#include "reception/modulator.h"
#include "reception/wave_writer.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

namespace fs = std::filesystem;
using namespace testing_streams;
using testing_wave::WaveFileMaker;
using Bytes = std::vector<std::uint8_t>;

namespace {

class SeedWriter {
public:
    explicit SeedWriter(fs::path root) : m_root(std::move(root)) {}

    void Write(const std::string& harness, const std::string& name, const std::string& content) {
        const fs::path dir = m_root / harness;
        fs::create_directories(dir);
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        ++m_count;
    }
    void Write(const std::string& harness, const std::string& name, const Bytes& content) {
        Write(harness, name, std::string(content.begin(), content.end()));
    }
    int Count() const { return m_count; }

private:
    fs::path m_root;
    int m_count = 0;
};

struct NamedStream {
    std::string name;
    Bytes bytes;
    int model;  // the model code the stream is for
};

std::vector<int> Ramp(int count, int from, int step) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(from + (i * step) % 60);
    return values;
}

std::vector<NamedStream> Streams() {
    std::vector<NamedStream> streams;

    S410Values s410;
    s410.hr = Ramp(20, 100, 3);
    s410.laps = {{{0, 5, 0, 3}, 130, 120, 140, 0}, {{0, 10, 0, 0}, 150, 135, 160, 0}};
    streams.push_back({"s410", BuildS410Stream(s410).bytes, 1});

    S410Values empty;
    empty.current.named = false;
    streams.push_back({"s410-empty", BuildS410Stream(empty).bytes, 1});

    S410Values longer = s410;
    longer.hr = Ramp(61, 90, 7);
    longer.longLapRecords = true;
    longer.earlier = std::vector<Summary>(5);
    streams.push_back({"s410-61-earlier", BuildS410Stream(longer).bytes, 1});

    S410Values s510;
    s510.s510 = true;
    s510.flags = 0x35;
    s510.hr = Ramp(70, 110, 5);
    s510.speed = Ramp(70, 40, 3);
    s510.cadence = Ramp(70, 80, 2);
    s510.laps = {{{0, 20, 0, 0}, 140, 130, 150, 25}, {{0, 41, 7, 9}, 160, 150, 171, 31}};
    streams.push_back({"s510", BuildS410Stream(s510).bytes, 3});

    CoachValues coach;
    coach.hr = Ramp(13, 95, 4);
    coach.laps = {{{0, 3, 0, 0}, 120, 110, 130, 0}, {{0, 6, 30, 5}, 140, 125, 150, 0},
                  {{0, 9, 0, 0}, 150, 140, 160, 0}};
    coach.secondLapCount = 1;
    streams.push_back({"coach", BuildCoachStream(coach).bytes, 2});

    RunValues run;
    for (int i = 0; i < 19; ++i) {
        RunLap lap;
        lap.time = {0, 4 + i / 10, (i * 7) % 60, i % 10};
        lap.autoLap = i % 3 == 0;
        lap.endHr = 140 + i;
        lap.avgHr = 130 + i;
        lap.maxHr = 160 + i;
        lap.endPace = 2700 + 10 * i;
        lap.avgPace = 3000 - 10 * i;
        lap.distance = 100 + 37 * i;
        run.laps.push_back(lap);
    }
    streams.push_back({"rs200", BuildRs200Stream(run), 4});
    RunValues shortRun;
    shortRun.laps.resize(4);
    shortRun.maxPace = 0;
    streams.push_back({"rs200-no-distance", BuildRs200Stream(shortRun), 4});

    RideValues ride;
    for (int i = 0; i < 19; ++i) {
        RideLap lap;
        lap.time = {0, 10 + i, i % 60, i % 10};
        lap.autoLap = i % 2 == 1;
        lap.endHr = 120 + i;
        lap.avgHr = 115 + i;
        lap.endSpeed = 250 + i;
        lap.endCadence = 80 + i;
        lap.avgCadence = 78 + i;
        lap.distance = 123 + 50 * i;
        ride.laps.push_back(lap);
    }
    streams.push_back({"cs200", BuildCs200Stream(ride), 4});
    return streams;
}

std::string DumpOf(const Bytes& bytes) { return FormatDump(ToReceived(bytes)); }

void WriteDumpSeeds(SeedWriter& out, const std::vector<NamedStream>& streams) {
    for (const NamedStream& s : streams) out.Write("dump", s.name + ".sld", DumpOf(s.bytes));
    // The same bytes as hand editors leave them: LF only, lower case, a byte-order mark, stray
    // lines, no last LF.
    std::string text = DumpOf(streams.front().bytes);
    std::string lfOnly;
    for (char c : text) {
        if (c != '\r') lfOnly.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    out.Write("dump", "lf-lower.sld", lfOnly);
    out.Write("dump", "bom.sld", "\xEF\xBB\xBF" + text);
    out.Write("dump", "stray.sld", "AA\r\naa\r\nG0\r\n0G\r\n 1\r\nAAA\r\n\r\n\r\r\n55\r\n5");
}

void WriteDecoderSeeds(SeedWriter& out, const std::vector<NamedStream>& streams) {
    // Mode byte: decoder in bits 0-2 (0 detect, 1-4 models), 8 = frame the blocks, 16 = no tenths.
    struct Choice {
        std::string suffix;
        std::uint8_t mode, decimal, time, date;
    };
    const std::vector<Choice> choices = {
        {"detect", 0, '.' - 0x20, ':' - 0x20, '.' - 0x20},
        {"model", 0xFF, ',' - 0x20, '-' - 0x20, '/' - 0x20},
        {"framed-notenths", 0xFF, 0, 0, 0},
    };
    for (const NamedStream& s : streams) {
        for (const Choice& c : choices) {
            std::uint8_t mode = c.mode;
            if (mode == 0xFF) mode = static_cast<std::uint8_t>(s.model | (c.suffix[0] == 'f' ? 8 | 16 : 0));
            Bytes seed = {mode, c.decimal, c.time, c.date};
            seed.insert(seed.end(), s.bytes.begin(), s.bytes.end());
            out.Write("decoders", s.name + "-" + c.suffix, seed);
        }
    }
    out.Write("decoders", "unknown-model", Bytes{6, 0, 0, 0, 0xF9, 0xAA, 0xAA});
}

// A short recording of the head of a transfer, quiet around it kept brief so seeds stay small.
std::vector<std::int16_t> Recording(const Bytes& bytes, int model, std::uint32_t seed) {
    ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(model, 44100));
    settings.leadIn = 300;
    settings.leadOut = 300;
    settings.seed = seed;
    return ModulateBytes(bytes, settings);
}

Bytes Pcm16(const std::vector<std::int16_t>& samples, int channels) {
    Bytes out;
    for (std::int16_t s : samples) {
        for (int c = 0; c < channels; ++c) {
            const int v = c + 1 == channels ? s : s / 3;  // the kept channel is the last one
            out.push_back(static_cast<std::uint8_t>(v & 0xFF));
            out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        }
    }
    return out;
}

Bytes Pcm8(const std::vector<std::int16_t>& samples, int channels) {
    Bytes out;
    for (std::int16_t s : samples) {
        for (int c = 0; c < channels; ++c) out.push_back(static_cast<std::uint8_t>((s >> 8) + 128));
    }
    return out;
}

void WriteWaveSeeds(SeedWriter& out, const std::vector<NamedStream>& streams) {
    const Bytes head(streams.front().bytes.begin(), streams.front().bytes.begin() + 18);
    const std::vector<std::int16_t> sound = Recording(head, 1, 3);
    std::ostringstream written;
    WriteWaveStream(written, sound, 44100);
    out.Write("wave", "mono16.wav", written.str());

    const Bytes coachHead(streams[4].bytes.begin(), streams[4].bytes.begin() + 8);
    std::ostringstream coach;
    WriteWaveStream(coach, Recording(coachHead, 2, 5), 44100);
    out.Write("wave", "coach16.wav", coach.str());

    const std::vector<std::int16_t> part(sound.begin(), sound.begin() + std::min<std::size_t>(sound.size(), 9000));
    const std::vector<std::uint8_t> junk = {'j', 'u', 'n', 'k', '!'};
    out.Write("wave", "stereo16.wav", WaveFileMaker().Format({1, 2, 44100, 16}).Data(Pcm16(part, 2)).Bytes());
    out.Write("wave", "mono8.wav", WaveFileMaker().Format({1, 1, 44100, 8}).Data(Pcm8(sound, 1)).Bytes());
    out.Write("wave", "stereo8.wav", WaveFileMaker().Format({1, 2, 44100, 8}).Data(Pcm8(part, 2)).Bytes());
    out.Write("wave", "list-odd-chunk-fmt18.wav",
              WaveFileMaker().Chunk("LIST", junk).Format({}, 18).Chunk("fact", {4, 0, 0, 0})
                  .Data(Pcm16(part, 1)).Bytes());
    out.Write("wave", "data-longer-than-file.wav",
              WaveFileMaker().Format({}).ChunkDeclaring("data", 0xFFFFFFF0u, Pcm16(part, 1)).Bytes());
    out.Write("wave", "data-before-fmt.wav", WaveFileMaker().Data(Pcm16(part, 1)).Format({}).Bytes());
    out.Write("wave", "outer-too-short.wav",
              WaveFileMaker().Format({}).Data(Pcm16(part, 1)).OuterSize(20).Bytes());
    out.Write("wave", "float.wav", WaveFileMaker().Format({3, 1, 44100, 32}).Data(Pcm16(part, 1)).Bytes());
    out.Write("wave", "three-channels.wav", WaveFileMaker().Format({1, 3, 44100, 16}).Data(Pcm16(part, 1)).Bytes());
    out.Write("wave", "fmt14.wav", WaveFileMaker().Format({}, 14).Data(Pcm16(part, 1)).Bytes());
    std::string cut = written.str();
    cut.resize(cut.size() / 2 + 1);
    out.Write("wave", "cut-short.wav", cut);
}

void WriteDemodulatorSeeds(SeedWriter& out, const std::vector<NamedStream>& streams) {
    // Header: mode (bit 0 Coach timing, bit 1 half rate, bit 2 timing changes, bit 3 trimming,
    // bit 4 capture-sized blocks, bits 4-7 cuts), seed (2 bytes), reading (bits 0-1 stretch,
    // bits 2-3 model - 1, bit 4 half-rate device, bit 5 a dialog, bit 6 restarts).
    auto seed = [&](const std::string& name, std::uint8_t mode, std::uint8_t reading,
                    const std::vector<std::int16_t>& samples) {
        Bytes bytes = {mode, 0x5A, 0xC3, reading};
        const Bytes pcm = Pcm16(samples, 1);
        bytes.insert(bytes.end(), pcm.begin(), pcm.end());
        out.Write("demodulator", name, bytes);
    };
    const Bytes head(streams.front().bytes.begin(), streams.front().bytes.begin() + 14);
    seed("s410-head", 0x70, 0x00, Recording(head, 1, 7));
    seed("s410-head-dialog", 0x30, 0x20, Recording(head, 1, 11));
    seed("s410-head-timing-changes-restarts", 0xFC, 0x61, Recording(head, 1, 13));
    const Bytes coachHead(streams[4].bytes.begin(), streams[4].bytes.begin() + 9);
    seed("coach-head", 0x91, 0x24, Recording(coachHead, 2, 17));
    ModulatorSettings halfRate = ModulatorSettingsFor(BitTimingFor(1, 44100));
    halfRate.bitPeriod = 44;
    halfRate.leadIn = halfRate.leadOut = 200;
    seed("s410-half-rate", 0x52, 0x10, ModulateBytes(head, halfRate));

    // Whole transfers short enough for a seed: no blocks at all, so the live decoder sees them
    // through to the end, and one whose only block is broken.
    const Bytes noBlocks = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 10, 0, 0, 0, 0, 0, 0};
    seed("s410-complete", 0x10, 0x20, Recording(noBlocks, 1, 19));
    seed("s410-complete-no-dialog", 0x30, 0x00, Recording(noBlocks, 1, 23));
    Bytes rsHead = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 1, 0, 0, 0, 0, 0, 0};
    seed("rs200-complete", 0x10, 0x2C, Recording(rsHead, 4, 29));
    Bytes broken = FrameS410Blocks({{7, 7, 7, 7, 7}}, 10).bytes;  // more than 20 bytes are checked
    broken[broken.size() - 1] ^= 0xFF;
    seed("s410-broken-block", 0x20, 0x20, Recording(broken, 1, 31));

    // Hiss long enough, stretched, for the live decoder to trim.
    ModulatorSettings hiss;
    hiss.leadIn = 30000;
    hiss.leadOut = 0;
    hiss.noise = 300;
    seed("hiss-trimmed", 0x18, 0x23, ModulateBytes({}, hiss));
}

void WriteSecondReceiverSeeds(SeedWriter& out) {
    // Header: sample rate - 4000 in thirds (2 bytes), shape (bits 0-1 scale, bit 2 not-numbers).
    auto seed = [&](const std::string& name, int rate, std::uint8_t shape, const Bytes& bytes,
                    int bitRate) {
        ModulatorSettings settings;
        settings.sampleRate = rate;
        settings.bitPeriod = (rate + bitRate / 2) / bitRate;
        settings.toneHz = rate / 5.0;
        settings.leadIn = settings.leadOut = rate / 50;
        const unsigned word = static_cast<unsigned>((rate - 4000) / 3);
        Bytes seedBytes = {static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8), shape};
        const Bytes pcm = Pcm16(ModulateBytes(bytes, settings), 1);
        seedBytes.insert(seedBytes.end(), pcm.begin(), pcm.end());
        out.Write("second_receiver", name, seedBytes);
    };
    // Short transfers with one small block, at low rates so they fit a seed.
    const Bytes s410 = FrameS410Blocks({{1, 2, 3}}, 10).bytes;
    // A Coach head is told from an S410 one by its first block of 12 data bytes.
    const Bytes coach = FrameCoachBlocks({Bytes(12, 3)}).bytes;
    seed("s410-8000", 8002, 0, s410, 490);
    seed("s410-11025-quiet", 11026, 1, s410, 490);
    seed("s410-16000-clipped", 16000, 2, s410, 490);
    seed("coach-8000", 8002, 4, coach, 196);
}

// Short sound files of each kind libsndfile writes, made through a file and read back.
void WriteAudioFileSeeds(SeedWriter& out, const fs::path& root) {
    const Bytes s410 = FrameS410Blocks({{1, 2, 3}}, 10).bytes;
    ModulatorSettings settings;
    settings.sampleRate = 8000;
    settings.bitPeriod = 16;
    settings.toneHz = 1600;
    settings.leadIn = settings.leadOut = 160;
    const std::vector<std::int16_t> pcm = ModulateBytes(s410, settings);
    const struct {
        const char* name;
        int format;
    } kinds[] = {{"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                 {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                 {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
                 {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                 {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"opus.ogg", SF_FORMAT_OGG | SF_FORMAT_OPUS},
                 {"mpeg.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
    for (const auto& kind : kinds) {
        const fs::path path = root / kind.name;
        SF_INFO info{};
        // 8000 Hz keeps the seeds small, and Opus and MP3 both take it.
        info.samplerate = 8000;
        info.channels = 1;
        info.format = kind.format;
        SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
        if (!file) continue;  // a libsndfile built without that format
        sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
        sf_close(file);
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove(path);
        out.Write("audio_file", kind.name, bytes);
    }
}

// Short phone recordings: an AMR-NB one made here, and where the ffmpeg command is installed,
// the same transfer in each container it writes that phones use.
void WritePhoneAudioSeeds(SeedWriter& out, const fs::path& root) {
    std::string amr = "#!AMR\n";
    for (int frame = 0; frame < 10; ++frame) {
        amr.push_back(0x3C);  // 12.2 kbit/s, 31 bytes of payload
        for (int i = 0; i < 31; ++i) amr.push_back(static_cast<char>(frame * 31 + i * 7));
    }
    out.Write("phone_audio", "voice.amr", amr);

    ModulatorSettings settings;
    settings.sampleRate = 16000;
    settings.bitPeriod = 33;
    settings.toneHz = 4000;
    settings.leadIn = settings.leadOut = 320;
    const fs::path wav = root / "phone-source.wav";
    {
        std::ofstream file(wav, std::ios::binary | std::ios::trunc);
        WriteWaveStream(file, ModulateBytes(FrameS410Blocks({{1, 2, 3}}, 10).bytes, settings), 16000);
    }
    const struct {
        const char* name;
        const char* options;
    } kinds[] = {{"aac.m4a", "-c:a aac -b:a 24k"},
                 {"aac.3gp", "-c:a aac -b:a 24k"},
                 {"adts.aac", "-c:a aac -b:a 24k -f adts"},
                 {"opus.webm", "-c:a libopus -b:a 24k"},
                 {"stereo-faststart.m4a", "-ac 2 -c:a aac -b:a 32k -movflags +faststart"},
                 {"pcm.caf", "-c:a pcm_s16le -f caf"}};
    for (const auto& kind : kinds) {
        const fs::path path = root / kind.name;
        const std::string command = "ffmpeg -v error -y -i '" + wav.string() + "' " + kind.options +
                                    " '" + path.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) continue;  // no ffmpeg, or one without that codec
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove(path);
        out.Write("phone_audio", kind.name, bytes);
    }
    fs::remove(wav);
}

void WriteCliSeeds(SeedWriter& out) {
    const std::vector<std::vector<std::string>> lines = {
        {"in.sld"},
        {"--model", "2", "--format", "csv", "ride.wav"},
        {"--format=csv", "--value-format", "custom", "--decimal", ",", "--time", "-", "--date", "/",
         "--csv-separator=comma", "x.sld"},
        {"--microphone", "--model=4", "--seconds", "30"},
        {"--help"},
        {"--version"},
        {"-o", "out.hrm", "--no-tenths", "--", "-odd.sld"},
        {"--synthesize", "x.wav", "in.sld"},
        {"--format=hrm-compat", "--value-format=regional", "--output=a=b.hrm", "a.SLD"},
        {"--format=sld", "--csv-separator", "tab", "r.wav"},
        {"-o", "-", "-"},
        {"--format", "csv", "-o", "reports/", "a.wav", "-", "--", "b.sld", "-c.sld"},
        {"--synthesize", "-", "--seconds=5", "-o", "x", "-"},
    };
    int n = 0;
    for (const auto& line : lines) {
        std::string joined;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i) joined.push_back('\0');
            joined += line[i];
        }
        out.Write("cli_options", "line" + std::to_string(++n), joined);
    }
}

// The export harness reads its exercise from the bytes themselves (one seed per family, each
// with plausible and with raw values, filled with a pattern that gives laps and samples) or
// decodes it from a transfer (one seed per stream, in a zone chosen by its model code).
void WriteExportSeeds(SeedWriter& out, const std::vector<NamedStream>& streams) {
    for (int family = 0; family < 5; ++family) {
        for (int raw = 0; raw < 2; ++raw) {
            Bytes seed{static_cast<std::uint8_t>(family), static_cast<std::uint8_t>(raw),
                       static_cast<std::uint8_t>(family + raw)};
            for (int i = 0; i < 2000; ++i) seed.push_back(static_cast<std::uint8_t>((i * 37 + family) & 0xFF));
            out.Write("export", std::string(raw ? "raw-" : "plausible-") + std::to_string(family), seed);
        }
    }
    // Whole transfers through the decoders: detected from the head, framed as they are.
    for (const NamedStream& s : streams) {
        Bytes seed{0x80, static_cast<std::uint8_t>(s.model)};
        seed.insert(seed.end(), s.bytes.begin(), s.bytes.end());
        out.Write("export", "stream-" + s.name, seed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    SeedWriter out{fs::path(argv[1])};
    const std::vector<NamedStream> streams = Streams();
    WriteDumpSeeds(out, streams);
    WriteDecoderSeeds(out, streams);
    WriteWaveSeeds(out, streams);
    WriteDemodulatorSeeds(out, streams);
    WriteSecondReceiverSeeds(out);
    WriteAudioFileSeeds(out, fs::path(argv[1]));
    WritePhoneAudioSeeds(out, fs::path(argv[1]));
    WriteCliSeeds(out);
    WriteExportSeeds(out, streams);
    std::printf("%d seeds in %s\n", out.Count(), argv[1]);
    return 0;
}
