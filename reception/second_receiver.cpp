#include "reception/second_receiver.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <optional>

#include "reception/carrier_search.h"
#include "reception/click_removal.h"
#include "reception/frame_reader.h"
#include "reception/tone_energy.h"
#include "reception/transfer_acceptance.h"

namespace zendrik {

namespace {

constexpr int kCarriersTried = 3;
// Chunks of about a sixteenth of the faster bit: fine enough to place edges, coarse enough to
// keep the work per chunk small.
constexpr int kChunksPerFastBit = 16;
// Clock errors tried when the preamble gives no measure, and shifts of the sampling points
// (shares of a bit) tried when a measured timing still fails.
constexpr double kClockGrid[] = {0.97, 1.03, 0.985, 1.015};
constexpr double kOffsetGrid[] = {-0.12, 0.12};

// How many of their spreads the halves of bits bordering the other value may stray beyond their
// median, and never as far as the middle between tone and quiet (0.5).
constexpr float kSmearSpreads = 5.0f;
constexpr float kMostBorderingStray = 0.5f;
// How far (in bits) a frame may start from the transfer's steady pace and still count as clean.
constexpr double kMostPaceError = 0.2;
// Neighbouring frequencies (in bit rates either side of the tone) looked at in each bit of a
// byte no checksum covers, and how loud they may be there: below the middle between the frame's
// quiet and its tone, which a tone off the watch's at full strength passes and hiss does not.
constexpr int kSideBins = 3;
constexpr float kMostSideShare = 0.5f;
// Readings whose blocks may be joined: every filter, timing and pace of one search, as long as
// their frames come to no more than a few megabytes (a watch's transfer is a few hundred bytes;
// a head can announce 65 thousand).
constexpr std::size_t kMostReadingsJoined = 40;
constexpr std::size_t kMostFramesKept = 1u << 16;
// Bursts the tone's frequency is measured over: a few hundred give it to a hertz or two.
constexpr std::size_t kMostTuningBursts = 400;
// How long after the direct sound a room's echoes are looked for (seconds), how many frames a
// reading needs before its bursts are trusted to show them, and how many times the echoes are
// fitted again from the bursts the reading without them places (each pass reads more bits right).
constexpr double kEchoReach = 0.03;
constexpr std::size_t kFewestFramesForEchoes = 20;
constexpr int kEchoPasses = 3;
// Bits of sound after the last frame's start that show a transfer has ended: its own ten and two
// frames of quiet.
constexpr double kQuietAfterBits = 34;

struct Attempt {
    TransferCheck check;
    std::vector<std::uint8_t> bytes;  // the transfer, when its head was found
    std::vector<Frame> frames;        // the frames of the transfer
    double period = 0;
    double offset = 0;  // in bit periods
};

// Whether the frames at `positions` each start at the steady pace of all of them, against the
// frame before and the one after. A watch sends its frames at a steady pace; a frame out of
// step is one read from other sound, such as a second transfer under this one, or one lost.
bool InStep(const std::vector<Frame>& frames, const std::vector<std::size_t>& positions,
            double period) {
    if (positions.empty()) return false;
    for (std::size_t i : positions) {
        if (i >= frames.size()) return false;
    }
    if (frames.size() <= 2) return true;
    std::vector<float> spacings;
    spacings.reserve(frames.size() - 1);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        spacings.push_back(static_cast<float>(frames[i].start - frames[i - 1].start));
    }
    const double pace = Median(spacings);
    auto inStep = [&](std::size_t spacing) {
        return spacing >= spacings.size() || std::fabs(spacings[spacing] - pace) <= kMostPaceError * period;
    };
    for (std::size_t i : positions) {
        if ((i > 0 && !inStep(i - 1)) || !inStep(i)) return false;
    }
    return true;
}

std::vector<std::size_t> AllPositions(std::size_t count) {
    std::vector<std::size_t> positions(count);
    for (std::size_t i = 0; i < count; ++i) positions[i] = i;
    return positions;
}

// A transfer's first bytes: its preamble and the head's mark, the same in every transfer.
constexpr std::uint8_t kTransferStart[] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55};
// Places looked at where one byte of that start was misread: a bounded number, so noise that
// comes near it again and again cannot make a reading slow.
constexpr int kMostStartsMended = 16;

// The transfer that starts where one of the first six bytes is not what every transfer sends
// there, taken as sent: these bytes carry nothing but their fixed values, and a codec spoils one
// now and then; the head's and the blocks' checks, which the place must pass as a whole, say
// whether a transfer really starts there. Its check, with `start` where it begins, and `bytes`
// mended there; none (watchModel 0) when no such place gives a complete transfer.
TransferCheck MendedStart(std::vector<std::uint8_t>& bytes, StreamFormats formats) {
    const std::size_t n = std::size(kTransferStart);
    int tried = 0;
    std::vector<std::uint8_t> window;
    for (std::size_t i = 0; i + n <= bytes.size() && tried < kMostStartsMended; ++i) {
        int wrong = 0;
        for (std::size_t j = 0; j < n; ++j) wrong += bytes[i + j] != kTransferStart[j];
        if (wrong != 1) continue;
        ++tried;
        window.assign(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end());
        std::copy(std::begin(kTransferStart), std::end(kTransferStart), window.begin());
        TransferCheck check = FindTransfer(window, formats);
        if (!check.complete || check.start != 0) continue;
        check.start = static_cast<std::ptrdiff_t>(i);
        std::copy(std::begin(kTransferStart), std::end(kTransferStart),
                  bytes.begin() + static_cast<std::ptrdiff_t>(i));
        return check;
    }
    return {};
}

// The transfer among the frames of a reading.
Attempt FromFrames(const std::vector<Frame>& frames, double period, double offset, StreamFormats formats) {
    Attempt attempt;
    attempt.period = period;
    attempt.offset = offset;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(frames.size());
    for (const Frame& frame : frames) bytes.push_back(frame.value);
    attempt.check = FindTransfer(bytes, formats);
    bool mended = false;
    if (!attempt.check.complete) {
        TransferCheck check = MendedStart(bytes, formats);
        if (check.complete) {
            attempt.check = check;
            mended = true;
        }
    }
    if (attempt.check.watchModel == 0) return attempt;
    const std::size_t first = static_cast<std::size_t>(attempt.check.start);
    const std::size_t end =
        std::min(bytes.size(), first + static_cast<std::size_t>(attempt.check.length));
    attempt.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                         bytes.begin() + static_cast<std::ptrdiff_t>(end));
    attempt.frames.assign(frames.begin() + static_cast<std::ptrdiff_t>(first),
                          frames.begin() + static_cast<std::ptrdiff_t>(end));
    if (mended) {
        for (std::size_t j = 0; j < std::size(kTransferStart) && j < attempt.frames.size(); ++j) {
            attempt.frames[j].value = kTransferStart[j];
        }
    }
    return attempt;
}

// The tone's level and how far it stands above the quiet between its bursts, from frames read.
void DescribeLevels(const std::vector<Frame>& frames, ReceptionReport& report) {
    std::vector<float> ones;
    std::vector<float> zeros;
    for (const Frame& frame : frames) {
        ones.push_back(frame.one);
        zeros.push_back(frame.zero);
    }
    const double one = Median(ones);
    const double zero = Median(zeros);
    if (one > 0) report.levelDbfs = 20.0 * std::log10(one);
    if (one > 0 && zero > 0) report.snrDb = 20.0 * std::log10(one / zero);
}

void DescribeSignal(const Attempt& attempt, ReceptionReport& report) {
    DescribeLevels(attempt.frames, report);
    report.bitPeriodSamples = attempt.period;
    report.blocksGood = attempt.check.blocksGood;
    report.blocksTotal = attempt.check.blocksTotal;
}

// Where no transfer start was found, how clearly the tone's bits stood out all the same: the
// clearest reading of the most prominent tone at any of the bit rates. A clear tone without a start was
// recorded too late; a tone lost in noise, too far from the microphone.
void DescribeToneWithoutHead(const MixedChunks& mixed, int sampleRate, const std::vector<int>& bitRates,
                             ReceptionReport& report) {
    for (int bitRate : bitRates) {
        const double period = static_cast<double>(sampleRate) / bitRate;
        const ToneEnvelope envelope(mixed, period, ToneFilter::Boxcar);
        const FrameRun run = ReadFrames(envelope, TrackLevels(envelope, period), period, 0.0);
        ReceptionReport reading;
        DescribeLevels(run.frames, reading);
        if (reading.snrDb && (!report.snrDb || *reading.snrDb > *report.snrDb)) {
            report.levelDbfs = reading.levelDbfs;
            report.snrDb = reading.snrDb;
        }
    }
}

// Of two failed attempts, the one that says more about what went wrong: more good blocks, or as
// many and complete.
bool MorePromising(const Attempt& attempt, const std::optional<Attempt>& best) {
    return !best || attempt.check.blocksGood > best->check.blocksGood ||
           (attempt.check.blocksGood == best->check.blocksGood && attempt.check.complete &&
            !best->check.complete);
}

// Whether the transfer an attempt read is over: every byte its head announces is there, or its
// frames stop well before the sound does (a misread head or block length can hide the former).
bool Over(const Attempt& attempt, std::ptrdiff_t samples) {
    if (attempt.check.arrived) return true;
    if (attempt.frames.empty()) return false;
    return attempt.frames.back().start + kQuietAfterBits * attempt.period < static_cast<double>(samples);
}

// Whether the transfer an attempt read is cut off by the end of the sound: bytes its head
// announces are missing, every block that arrived whole is good, and frames go on to the end.
bool EndsWithTheSound(const Attempt& attempt, std::ptrdiff_t samples) {
    return attempt.check.watchModel != 0 && !attempt.check.arrived &&
           attempt.check.blocksGood == attempt.check.blocksArrived && !Over(attempt, samples);
}

// The tone bursts of an attempt's frames (first sample and length), where the watch sent them.
std::vector<std::pair<double, double>> Bursts(const Attempt& attempt) {
    std::vector<std::pair<double, double>> bursts;
    for (const Frame& frame : attempt.frames) {
        const double start = frame.start - attempt.offset * attempt.period;
        const int bits = 1 | frame.value << 1;
        for (int j = 0; j < 9;) {
            if (!(bits >> j & 1)) {
                ++j;
                continue;
            }
            int end = j;
            while (end < 9 && (bits >> end & 1)) ++end;
            bursts.push_back({start + j * attempt.period, (end - j) * attempt.period});
            j = end;
        }
    }
    return bursts;
}

// The sound the envelopes were made from, for looking at single bits again.
struct SoundView {
    const float* samples = nullptr;
    std::ptrdiff_t count = 0;
    int sampleRate = 0;
    double toneHz = 0;
};

// Everything tried with one tone frequency and one bit timing.
class TimingSearch {
public:
    TimingSearch(const MixedChunks& mixed, double nominal, StreamFormats formats,
                 const SoundView& sound)
        : m_mixed(mixed),
          m_nominal(nominal),
          m_formats(formats),
          m_sound(sound),
          m_box(mixed, nominal, ToneFilter::Boxcar),
          m_triangle(mixed, nominal, ToneFilter::Triangle),
          m_boxTracks(TrackLevels(m_box, nominal)),
          m_triangleTracks(TrackLevels(m_triangle, nominal)) {}

    // The first attempt whose transfer is accepted; `best` keeps the most promising failure.
    std::optional<Attempt> Run(std::optional<Attempt>& best, bool& confidenceLacking) {
        for (int filter = 0; filter < 2; ++filter) {
            Attempt first = Try(filter, m_nominal, 0.0, best, confidenceLacking);
            // Where the frames as found show no transfer start and those held to their pace do,
            // the latter's preamble gives the bit period.
            if (first.check.watchModel == 0 && m_paced.check.watchModel != 0) first = m_paced;
            std::vector<std::pair<double, double>> schedule;
            if (first.check.watchModel != 0 && first.frames.size() >= 5) {
                const std::vector<Frame> preamble(first.frames.begin(), first.frames.begin() + 5);
                const double measured = MeasureBitPeriod(Envelope(filter), preamble, m_nominal);
                if (m_accepted) {
                    m_accepted->period = measured;  // what the watch sent at, for the report
                    return m_accepted;
                }
                schedule.push_back({measured, 0.0});
                for (double offset : kOffsetGrid) schedule.push_back({measured, offset});
            }
            if (m_accepted) return m_accepted;
            for (double clock : kClockGrid) schedule.push_back({m_nominal * clock, 0.0});
            for (const auto& [period, offset] : schedule) {
                Try(filter, period, offset, best, confidenceLacking);
                if (m_accepted) return m_accepted;
            }
        }
        return Joined(confidenceLacking);
    }

private:
    const ToneEnvelope& Envelope(int filter) const { return filter == 0 ? m_box : m_triangle; }
    const LevelTracks& Tracks(int filter) const {
        return filter == 0 ? m_boxTracks : m_triangleTracks;
    }

    Attempt Try(int filter, double period, double offset, std::optional<Attempt>& best,
                bool& confidenceLacking) {
        m_paced = Attempt{};
        const FrameRun run = ReadFrames(Envelope(filter), Tracks(filter), period, offset * period);
        const Attempt attempt = FromFrames(run.frames, period, offset, m_formats);
        Keep(attempt);
        if (attempt.check.watchModel != 0) {
            if (MorePromising(attempt, best)) best = attempt;
            if (attempt.check.complete) {
                if (Confirmed(attempt)) {
                    m_accepted = attempt;
                    return attempt;
                }
                confidenceLacking = true;
            }
        }
        TryPaced(filter, run, period, offset);
        return attempt;
    }

    // A lossy codec (MP3, Opus) spreads each burst a little before and after it, so a frame
    // anchored on its own start edge can be read half a bit or a bit off. The frames are read
    // again where the steady pace of their neighbours puts them, and the transfer that gives is
    // taken by the same rules. This only adds a chance: the retries, the report and the echo
    // passes go on from the frames as found.
    void TryPaced(int filter, const FrameRun& run, double period, double offset) {
        m_paced = Attempt{};
        const double pace = FramePace(run, period);
        if (pace <= 0) return;
        m_paced = FromFrames(HoldToPace(Envelope(filter), run, period, pace).frames,
                             period, offset, m_formats);
        Keep(m_paced);
        if (m_paced.check.complete && Confirmed(m_paced)) m_accepted = m_paced;
    }

    // A reading whose blocks a checksum covers, some of them good, for Joined.
    void Keep(const Attempt& attempt) {
        if (attempt.check.watchModel != 0 && attempt.check.checksumCovered &&
            attempt.check.blocksGood > 0 && m_readings.size() < kMostReadingsJoined &&
            m_framesKept + attempt.frames.size() <= kMostFramesKept) {
            m_readings.push_back(attempt);
            m_framesKept += attempt.frames.size();
        }
    }

    // Where no one reading has every block right, each block whose checksum fails in one may pass
    // in another: a codec's smear or a click spoils a bit or two here and there, and which ones
    // depends on the timing and filter of the reading. Blocks laid out alike (each where the
    // others put it) are taken from whichever reading passes their check, and the whole is
    // taken by the same rules as a single reading, the head bytes no check covers from the one
    // reading it starts from. A wrong block would need its checksum to pass by chance in one of
    // the few readings, as a single reading's would.
    std::optional<Attempt> Joined(bool& confidenceLacking) const {
        for (const Attempt& base : m_readings) {
            if (base.check.blocksGood == base.check.blocksTotal) continue;
            Attempt joined = base;
            for (std::size_t k = 0; k < base.check.blocks.size(); ++k) {
                const CheckedBlock& block = base.check.blocks[k];
                if (block.good) continue;
                for (const Attempt& other : m_readings) {
                    if (other.check.blocks.size() <= k) continue;
                    const CheckedBlock& theirs = other.check.blocks[k];
                    if (!theirs.good || theirs.begin != block.begin || theirs.end != block.end) {
                        continue;
                    }
                    const auto from = static_cast<std::size_t>(block.begin);
                    const auto to = static_cast<std::size_t>(block.end);
                    if (to > other.bytes.size() || to > joined.bytes.size()) continue;
                    std::copy(other.bytes.begin() + from, other.bytes.begin() + to,
                              joined.bytes.begin() + from);
                    std::copy(other.frames.begin() + from, other.frames.begin() + to,
                              joined.frames.begin() + from);
                    break;
                }
            }
            joined.check = FindTransfer(joined.bytes, m_formats);
            if (!joined.check.complete || joined.check.start != 0 ||
                joined.check.length != static_cast<std::ptrdiff_t>(joined.bytes.size())) {
                continue;
            }
            if (Confirmed(joined)) return joined;
            confidenceLacking = true;
        }
        return std::nullopt;
    }

    // Bytes no checksum vouches for (all of an RS200/CS200 transfer, the head of the others)
    // are believed only from frames at the transfer's pace whose every bit stands clear of the
    // other value by the levels and noise measured in the transfer, whose two halves, read apart,
    // say the same, and with no sound beside the tone in any of their bits. Checks would pass any
    // wrong value of theirs.
    bool Confirmed(const Attempt& attempt) const {
        std::vector<std::size_t> positions;
        if (!attempt.check.checksumCovered) {
            positions = AllPositions(attempt.frames.size());
        } else {
            for (std::size_t i = 0; i < 32; ++i) {
                if (attempt.check.uncheckedHead >> i & 1) positions.push_back(i);
            }
            if (positions.empty()) return true;
        }
        if (!InStep(attempt.frames, positions, attempt.period)) return false;
        const TransferLevels levels = MeasureTransferLevels(attempt.frames);
        for (std::size_t i : positions) {
            if (!BitsStandClear(attempt.frames, levels, i)) return false;
        }
        return KeepToTheirRuns(attempt, positions, levels) &&
               HalvesAgree(attempt, positions, levels) && QuietBesideTheTone(attempt, positions);
    }

    const ToneEnvelope& HalfBits() const {
        if (!m_halves) m_halves.emplace(m_mixed, 0.5 * m_nominal, ToneFilter::Triangle);
        return *m_halves;
    }

    // Each bit between two of its value read again at its middle, where the sound of its
    // neighbours does not reach, must keep to their level: a lossy codec fills a one-bit gap
    // between bursts with some of their tone, and a retry's shifted reading adds a share of the
    // neighbours to it, until the gap reads nearly as a one over the whole bit.
    bool KeepToTheirRuns(const Attempt& attempt, const std::vector<std::size_t>& positions,
                         const TransferLevels& levels) const {
        std::vector<BitMiddles> middles;
        middles.reserve(attempt.frames.size());
        for (const Frame& frame : attempt.frames) {
            middles.push_back(ReadMiddles(HalfBits(), frame, attempt.period));
        }
        const float dip = MeasureDip(attempt.frames, middles, levels);
        return std::all_of(positions.begin(), positions.end(), [&](std::size_t i) {
            return KeepsToItsRuns(attempt.frames[i], middles[i], levels, i, dip);
        });
    }

    // A second reading of every bit, from sound the first reading's noise does not share: each
    // half of the bit on its own, each on the same side of the middle between tone and quiet as
    // the whole bit. A burst that covers only part of a bit (a second transfer under this one,
    // a click, a codec's smear) reads as a clear one or zero over the whole bit, but not in both
    // halves. A half must stand clear of the middle by half the middle band; a half that borders
    // a bit of the other value only by what the transfer's own such halves show: a lossy codec
    // (AAC's pre-echo before a burst, its smear after one) moves every edge a little, so such a
    // half of a right bit reads near the middle, on its side of it, as its like do all through
    // the transfer. A half past the middle is never taken.
    bool HalvesAgree(const Attempt& attempt, const std::vector<std::size_t>& positions,
                     const TransferLevels& levels) const {
        const ToneEnvelope& halves = HalfBits();
        const double p = attempt.period;
        // Bit j of frame i (the quiet bit before it at -1, the stop bit at 9) and how far its half
        // (0 the first, 1 the second) lies towards the other value: 0 at its own level, 1 at the
        // other's; `borders` whether the bit on that side has the other value.
        auto stray = [&](std::size_t i, int j, int side, bool& borders) {
            const Frame& frame = attempt.frames[i];
            const int bits = 1 | frame.value << 1;  // the start bit, the data bits; the stop bit 0
            auto value = [&](int k) { return k >= 0 && k < kFrameBits && (bits >> k & 1); };
            const bool one = value(j);
            const int beside = side == 0 ? j - 1 : j + 1;
            borders = beside >= -1 && beside < kFrameBits && value(beside) != one;
            const float span = levels.one[i] - levels.zero[i];
            const float level = halves.At(frame.start + (j + 0.25 + 0.5 * side) * p);
            const float at = span > 0 ? (level - levels.zero[i]) / span : 0.5f;
            return one ? 1.0f - at : at;
        };
        // What the halves bordering the other value show over the whole transfer, per value and
        // side (a codec smears the start of a burst otherwise than its end): their median stray
        // and five of their spreads beyond it.
        std::vector<float> strays[2][2];
        for (std::size_t i = 0; i < attempt.frames.size() && i < levels.one.size(); ++i) {
            const int bits = 1 | attempt.frames[i].value << 1;
            for (int j = -1; j < kFrameBits; ++j) {
                for (int side = 0; side < 2; ++side) {
                    bool borders = false;
                    const float s = stray(i, j, side, borders);
                    if (borders) strays[j >= 0 && (bits >> j & 1)][side].push_back(s);
                }
            }
        }
        const float clear = 0.5f - 0.5f * TransferLevels::kMiddleBand;
        float bordering[2][2];
        for (int one = 0; one < 2; ++one) {
            for (int side = 0; side < 2; ++side) {
                const std::vector<float>& s = strays[one][side];
                const float smear = Median(s) + kSmearSpreads * SpreadAboutMedian(s);
                bordering[one][side] = std::clamp(smear, clear, kMostBorderingStray);
            }
        }
        for (std::size_t i : positions) {
            const int bits = 1 | attempt.frames[i].value << 1;
            for (int j = -1; j < kFrameBits; ++j) {
                const bool one = j >= 0 && (bits >> j & 1);
                for (int side = 0; side < 2; ++side) {
                    bool borders = false;
                    const float s = stray(i, j, side, borders);
                    if (!(s < (borders ? bordering[one][side] : clear))) return false;
                }
            }
        }
        return true;
    }

    // A tone beside the watch's (a whistle, a bit of another transfer) reaches both filters
    // weakened, and can make a one they both read a clean zero; only the sound itself shows it.
    bool QuietBesideTheTone(const Attempt& attempt, const std::vector<std::size_t>& positions) const {
        // The bits lie where the watch put them: from the start bit without the retry's shift
        // of the sampling points, at the pace the preamble shows.
        double period = attempt.period;
        if (attempt.frames.size() >= 5) {
            const std::vector<Frame> preamble(attempt.frames.begin(), attempt.frames.begin() + 5);
            period = MeasureBitPeriod(m_box, preamble, attempt.period);
        }
        auto bitStart = [&](const Frame& frame, int bit) {
            return frame.start - attempt.offset * attempt.period + bit * period;
        };
        // Their tone, more closely than the spectrum gives it: a burst a quarter bit rate off
        // these frequencies' middle would show beside itself.
        std::vector<std::pair<double, double>> ones;
        for (const Frame& frame : attempt.frames) {
            const int bits = 1 | frame.value << 1;
            for (int j = 0; j < 9 && ones.size() < kMostTuningBursts; ++j) {
                if (bits >> j & 1) ones.push_back({bitStart(frame, j), period});
            }
        }
        const double tone = RefineTone(m_sound.samples, m_sound.count, m_sound.sampleRate,
                                       m_sound.toneHz, ones);
        for (std::size_t i : positions) {
            const Frame& frame = attempt.frames[i];
            const double start = bitStart(frame, 0);
            const float limit = frame.zero + kMostSideShare * (frame.one - frame.zero);
            for (int j = 0; j < 10; ++j) {
                const float side = SideAmplitude(m_sound.samples, m_sound.count, m_sound.sampleRate,
                                                 tone, start + j * period, period, kSideBins);
                if (side > limit) return false;
            }
        }
        return true;
    }

    const MixedChunks& m_mixed;
    double m_nominal;
    StreamFormats m_formats;
    SoundView m_sound;
    ToneEnvelope m_box;
    ToneEnvelope m_triangle;
    LevelTracks m_boxTracks;
    LevelTracks m_triangleTracks;
    mutable std::optional<ToneEnvelope> m_halves;  // half-bit windows, made when first needed
    std::optional<Attempt> m_accepted;
    Attempt m_paced;  // the last reading with its frames held to their pace, if one was made
    std::vector<Attempt> m_readings;  // for Joined
    std::size_t m_framesKept = 0;     // in m_readings
};

void AppendNumber(std::string& text, double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    text.append(buffer, result.ptr);
}

// The bit rates the families send at (S410/S510 and RS200/CS200 490 bits per second, the Coach
// 196), each once, in the order of the formats; the family then comes from the stream head.
std::vector<int> BitRatesOf(StreamFormats formats) {
    std::vector<int> rates;
    for (const StreamFormat& format : formats) {
        const int rate = BitsPerSecond(format.at44100, 44100);
        if (rate > 0 && std::find(rates.begin(), rates.end(), rate) == rates.end())
            rates.push_back(rate);
    }
    return rates;
}

}  // namespace

namespace {

// The shortest stretch of sound a transfer fits in: a stream head and one block of a few dozen
// bytes. Less is not searched again for another transfer beside one already read.
constexpr double kShortestTransferSeconds = 1.0;
constexpr double kBitsPerFrame = 10;

// What the readings of a recording's stretches have found so far.
struct Findings {
    std::optional<Attempt> best;  // the most promising failure
    double bestTone = 0;
    int bestRate = 0;
    std::ptrdiff_t bestRangeSamples = 0;  // of the stretch it was read in
    bool confidenceLacking = false;
};

struct Accepted {
    Attempt attempt;
    double toneHz = 0;
    int bitRate = 0;
};

// Reads one stretch of the recording at every carrier and bit rate until a transfer is
// accepted.
std::optional<Accepted> ReceiveRange(const float* samples, std::ptrdiff_t count, int sampleRate,
                                     const std::vector<CarrierCandidate>& carriers,
                                     const std::vector<int>& bitRates, StreamFormats formats,
                                     Findings& findings) {
    const int fastRate = *std::max_element(bitRates.begin(), bitRates.end());
    const double fastBit = static_cast<double>(sampleRate) / fastRate;
    const int chunk = std::max(1, static_cast<int>(fastBit / kChunksPerFastBit));
    for (const CarrierCandidate& carrier : carriers) {
        const MixedChunks mixed = MixDown(samples, count, sampleRate, carrier.hz, chunk);
        for (int bitRate : bitRates) {
            const int hadGood = findings.best ? findings.best->check.blocksGood : -1;
            const bool hadBest = findings.best.has_value();
            const double nominal = static_cast<double>(sampleRate) / bitRate;
            const SoundView sound{samples, count, sampleRate, carrier.hz};
            std::optional<Attempt> mine;
            std::optional<Attempt> accepted =
                TimingSearch(mixed, nominal, formats, sound).Run(mine, findings.confidenceLacking);
            // A whole transfer read but not believed: in a room the echoes of each burst blur the
            // bits after it. Read again with them taken out, as the frames read so far show them.
            // (A transfer still arriving, as live reception sees it, waits until it is over.)
            std::optional<Attempt> heard = mine;
            for (int pass = 0; pass < kEchoPasses && !accepted && heard && Over(*heard, count) &&
                               heard->frames.size() >= kFewestFramesForEchoes; ++pass) {
                const MixedChunks dry =
                    RemoveEchoes(mixed, Bursts(*heard), heard->period, kEchoReach * sampleRate);
                std::optional<Attempt> again;
                accepted = TimingSearch(dry, nominal, formats, sound).Run(again, findings.confidenceLacking);
                if (again && MorePromising(*again, mine)) mine = again;
                // Bytes read as before place the same bursts: another pass would fit the same room.
                if (again && again->bytes == heard->bytes) break;
                heard = again;
            }
            if (mine && MorePromising(*mine, findings.best)) {
                findings.best = mine;
                findings.bestRangeSamples = count;
            }
            if (accepted) return Accepted{*accepted, carrier.hz, bitRate};
            if (findings.best && (!hadBest || findings.best->check.blocksGood > hadGood)) {
                findings.bestTone = carrier.hz;
                findings.bestRate = bitRate;
            }
        }
    }
    return std::nullopt;
}

SecondReception Receive(const AudioClip& clip, StreamFormats formats, int most) {
    SecondReception result;
    ReceptionReport& report = result.report;
    report.sampleRate = clip.sampleRate;
    report.coding = clip.coding;
    report.failure = ReceptionFailure::NoSound;
    const std::vector<int> bitRates = BitRatesOf(formats);
    if (bitRates.empty() || clip.samples.empty() || clip.sampleRate < kMinSampleRate ||
        clip.sampleRate > kMaxSampleRate) {
        return result;
    }
    // Samples that are not numbers, or beyond full scale, are clipped as a converter would;
    // clicks are silenced. Either needs a copy; a clean recording is read where it is.
    const float* samples = clip.samples.data();
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(clip.samples.size());
    std::vector<float> repaired;
    if (std::any_of(clip.samples.begin(), clip.samples.end(),
                    [](float x) { return !(std::fabs(x) <= 1.0f); })) {
        repaired.reserve(clip.samples.size());
        for (float x : clip.samples) repaired.push_back(std::isnan(x) ? 0.0f : std::clamp(x, -1.0f, 1.0f));
        samples = repaired.data();
    }
    const std::vector<std::ptrdiff_t> clicks = FindClicks(samples, count, clip.sampleRate);
    if (!clicks.empty()) {
        if (repaired.empty()) repaired = clip.samples;
        SilenceClicks(repaired, clicks);
        samples = repaired.data();
    }

    // The tone is looked for in the whole recording, and read only where it sounds.
    const CarrierSearch search = SearchCarriers(samples, count, clip.sampleRate, kCarriersTried);
    const std::vector<CarrierCandidate>& carriers = search.carriers;
    report.failure = ReceptionFailure::NoTone;
    if (carriers.empty() || search.spans.empty()) return result;
    report.toneHz = carriers.front().hz;

    Findings findings;
    findings.bestTone = carriers.front().hz;
    findings.bestRate = bitRates.front();
    // Stretches still to read, the earliest last. Beside a transfer accepted in a stretch, the
    // sound before and after it is read again for others: a reading accepts the first complete
    // transfer among its bytes, which another family's bit rate may not have read.
    std::vector<ToneSpan> pending(search.spans.rbegin(), search.spans.rend());
    const auto shortest = static_cast<std::ptrdiff_t>(kShortestTransferSeconds * clip.sampleRate);
    while (!pending.empty() && static_cast<int>(result.transfers.size()) < most) {
        const ToneSpan span = pending.back();
        pending.pop_back();
        if (span.end - span.begin < shortest) continue;
        const std::optional<Accepted> accepted =
            ReceiveRange(samples + span.begin, span.end - span.begin, clip.sampleRate, carriers,
                         bitRates, formats, findings);
        if (!accepted) continue;
        const Attempt& attempt = accepted->attempt;
        ReceivedTransfer transfer;
        transfer.bytes = attempt.bytes;
        ReceptionReport& own = transfer.report;
        own.sampleRate = clip.sampleRate;
        own.coding = clip.coding;
        own.receiver = ReceiverUsed::Second;
        // The spectrum's strongest line is the tone only when a bit holds a whole number of its
        // cycles: a watch that starts each burst at the same phase sends lines a bit rate apart,
        // and a tone between two of them (5500 Hz at 490 bit/s, say) reads as the nearer one. The
        // bursts' own phase turn gives the tone itself.
        std::vector<std::pair<double, double>> bursts = Bursts(attempt);
        if (bursts.size() > kMostTuningBursts) bursts.resize(kMostTuningBursts);
        own.toneHz = RefineTone(samples + span.begin, span.end - span.begin, clip.sampleRate,
                                accepted->toneHz, bursts);
        own.bitsPerSecond = accepted->bitRate;
        DescribeSignal(attempt, own);
        // From the start bit of its first frame to the end of its last one's stop bit.
        const double first = attempt.frames.front().start - attempt.offset * attempt.period;
        const double last = attempt.frames.back().start - attempt.offset * attempt.period +
                            kBitsPerFrame * attempt.period;
        const std::ptrdiff_t rangeCount = span.end - span.begin;
        const auto begin = static_cast<std::ptrdiff_t>(std::clamp(std::floor(first), 0.0,
                                                                   static_cast<double>(rangeCount)));
        const auto end = static_cast<std::ptrdiff_t>(std::clamp(std::ceil(last), static_cast<double>(begin),
                                                                 static_cast<double>(rangeCount)));
        transfer.firstSample = span.begin + begin;
        transfer.endSample = span.begin + end;
        result.transfers.push_back(std::move(transfer));
        pending.push_back({span.begin + end, span.end});
        pending.push_back({span.begin, span.begin + begin});
    }
    if (!result.transfers.empty()) {
        std::sort(result.transfers.begin(), result.transfers.end(),
                  [](const ReceivedTransfer& a, const ReceivedTransfer& b) {
                      return a.firstSample < b.firstSample;
                  });
        result.accepted = true;
        result.bytes = result.transfers.front().bytes;
        result.report = result.transfers.front().report;
        return result;
    }
    if (findings.best) {
        const Attempt& best = *findings.best;
        report.toneHz = findings.bestTone;
        report.bitsPerSecond = findings.bestRate;
        DescribeSignal(best, report);
        // Every check passed, but not every byte could be believed.
        report.failure = best.check.complete ? ReceptionFailure::NotConfident
                                             : ReceptionFailure::BlocksFail;
        if (findings.confidenceLacking && best.check.blocksGood == best.check.blocksTotal &&
            !best.check.checksumCovered) {
            report.failure = ReceptionFailure::NotConfident;
        }
        report.soundEndsFirst = EndsWithTheSound(best, findings.bestRangeSamples);
        report.bytesArrived = static_cast<std::ptrdiff_t>(best.bytes.size());
        report.bytesAnnounced = best.check.announced;
        report.blocksArrived = best.check.blocksArrived;
    } else {
        report.failure = ReceptionFailure::NoStreamHead;
        // How clear the tone is where it sounds first.
        const ToneSpan& span = search.spans.front();
        const int chunk = std::max(1, static_cast<int>(static_cast<double>(clip.sampleRate) /
                                                       *std::max_element(bitRates.begin(), bitRates.end()) /
                                                       kChunksPerFastBit));
        DescribeToneWithoutHead(MixDown(samples + span.begin, span.end - span.begin, clip.sampleRate,
                                        carriers.front().hz, chunk),
                                clip.sampleRate, bitRates, report);
    }
    return result;
}

}  // namespace

SecondReception ReceiveClip(const AudioClip& clip, StreamFormats formats, int most) {
    // Nothing is thrown across the core's interface: running out of memory is a reason like
    // the others.
    try {
        return Receive(clip, formats, std::max(1, most));
    } catch (const std::bad_alloc&) {
        SecondReception result;
        result.report.sampleRate = clip.sampleRate;
        result.report.failure = ReceptionFailure::NoMemory;
        return result;
    }
}

SecondReception ReceiveSamples(const std::int16_t* samples, std::ptrdiff_t count, int sampleRate,
                               StreamFormats formats, int most) {
    AudioClip clip;
    clip.sampleRate = sampleRate;
    if (samples && count > 0) {
        try {
            clip.samples.resize(static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            SecondReception result;
            result.report.sampleRate = sampleRate;
            result.report.failure = ReceptionFailure::NoMemory;
            return result;
        }
        for (std::ptrdiff_t i = 0; i < count; ++i) {
            clip.samples[static_cast<std::size_t>(i)] = static_cast<float>(samples[i]) / 32768.0f;
        }
    }
    return ReceiveClip(clip, formats, most);
}

namespace {

// Below this bit rate a lossy codec blurs the edges of the tone bursts enough to lose bits.
constexpr int kClearCodingBitsPerSecond = 96000;
// A tone less than this far above the quiet between its bursts (noise, or its own echoes) is
// where the second receiver starts to lose bits; the exact one (live reception) needs far more,
// losing them from about 33 dB down.
constexpr double kNoisySnrDb = 20.0;
constexpr double kNoisyForExactSnrDb = 40.0;
// A tone this faint is best helped by bringing the watch closer rather than by a quieter room.
constexpr double kFaintDbfs = -40.0;

// What went wrong once a tone was found, as the middle of a sentence.
std::string WhatFailed(const ReceptionReport& report) {
    switch (report.failure) {
        case ReceptionFailure::NoStreamHead:
            return "no transfer start was found in it";
        case ReceptionFailure::BlocksFail:
            if (report.blocksGood < report.blocksTotal) {
                return std::to_string(report.blocksTotal - report.blocksGood) + " of " +
                       std::to_string(report.blocksTotal) + " blocks fail their check";
            }
            // Every block passed, but the head's checksum or its lengths do not agree.
            return "the transfer's head does not agree with its blocks";
        default:
            return "the transfer could not be read with confidence";
    }
}

}  // namespace

std::string ReceptionAdvice(const ReceptionReport& report) {
    switch (report.failure) {
        case ReceptionFailure::None:
            return {};
        case ReceptionFailure::NoSound:
            return "The recording holds no sound this program can read (sample rates from 8000 to "
                   "192000 Hz).";
        case ReceptionFailure::NoTone:
            return "No watch tone found in the recording: hold the watch close to the microphone "
                   "and start the transfer while recording.";
        case ReceptionFailure::NoMemory:
            return "The recording is too long to be read here: cut it down to the transfer.";
        case ReceptionFailure::NoStreamHead:
        case ReceptionFailure::BlocksFail:
        case ReceptionFailure::NotConfident:
            break;
    }
    // A tone was found: the cause it shows, the surest first. Bytes that never arrived cannot
    // be read however clear the rest is; a codec's blur is a fact of the file; noise last, as
    // both of the others lower the tone's distance from it too.
    if (report.soundEndsFirst) {
        const bool bytes = report.bytesAnnounced > 0;
        return "The recording ends before the transfer does: " +
               std::to_string(bytes ? report.bytesArrived : report.blocksArrived) + " of " +
               std::to_string(bytes ? report.bytesAnnounced : report.blocksTotal) +
               (bytes ? " bytes" : " blocks") + " arrived; record until the watch has finished sending.";
    }
    const SoundCoding& coding = report.coding;
    if (!coding.lossyCodec.empty() && coding.bitsPerSecond > 0 &&
        coding.bitsPerSecond < kClearCodingBitsPerSecond) {
        return "The recording was saved as " + coding.lossyCodec + " at about " +
               std::to_string((coding.bitsPerSecond + 500) / 1000) +
               " kbit/s, which blurs the watch's tone: record as WAV, or at 96 kbit/s or more.";
    }
    const std::string what = WhatFailed(report);
    if (!report.levelDbfs) {
        // No bits could be read from the tone: whether it was too far away or (without a start)
        // begun too late cannot be told.
        if (report.failure == ReceptionFailure::NoStreamHead) {
            return "A tone is there, but no transfer start was found in it: record the whole "
                   "transfer from its beginning, closer to the microphone or in a quieter room.";
        }
        return "The tone is there, but " + what +
               ": record again closer to the microphone or in a quieter room.";
    }
    // A tone over digital silence has no noise to measure: it is as clear as a tone can be.
    const bool exact = report.receiver == ReceiverUsed::Exact;
    if (report.snrDb && *report.snrDb < (exact ? kNoisyForExactSnrDb : kNoisySnrDb)) {
        std::string snr;
        AppendNumber(snr, *report.snrDb, 0);
        if (*report.levelDbfs < kFaintDbfs) {
            std::string level;
            AppendNumber(level, *report.levelDbfs, 0);
            return "The tone is faint (" + level + " dBFS), only " + snr +
                   " dB above the noise around it, so " + what + ": hold the watch closer to the microphone.";
        }
        return "The tone is only " + snr + " dB above the noise or echoes around it, so " + what +
               ": record again closer to the microphone or in a quieter room.";
    }
    if (report.failure == ReceptionFailure::NoStreamHead) {
        return "A tone is there, but no transfer start was found in it: record the whole "
               "transfer from its beginning.";
    }
    return "The tone is clear, but " + what + ": record the transfer again.";
}

std::string FormatReceptionReport(const ReceptionReport& report) {
    std::string text = "Receiver: ";
    switch (report.receiver) {
        case ReceiverUsed::Exact: text += "exact"; break;
        case ReceiverUsed::Second: text += "second (imperfect recordings)"; break;
        case ReceiverUsed::None: text += "none decoded the transfer"; break;
    }
    text += "\nSample rate: " + std::to_string(report.sampleRate) + " Hz\n";
    if (report.toneHz > 0) {
        text += "Tone: ";
        AppendNumber(text, report.toneHz, 0);
        text += " Hz";
        if (report.levelDbfs) {
            text += ", level ";
            AppendNumber(text, *report.levelDbfs, 1);
            text += " dBFS";
        }
        if (report.snrDb) {
            text += ", SNR ";
            AppendNumber(text, *report.snrDb, 1);
            text += " dB";
        }
        text += "\n";
    }
    if (report.bitsPerSecond > 0) {
        text += "Bit timing: " + std::to_string(report.bitsPerSecond) + " bit/s, period ";
        AppendNumber(text, report.bitPeriodSamples, 2);
        text += " samples\n";
    }
    if (report.blocksTotal > 0) {
        text += "Blocks good: " + std::to_string(report.blocksGood) + " of " +
                std::to_string(report.blocksTotal) + "\n";
    }
    const std::string advice = ReceptionAdvice(report);
    if (!advice.empty()) text += advice + "\n";
    return text;
}

}  // namespace zendrik
