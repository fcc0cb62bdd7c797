#include "reception/timing_search.h"

#include <algorithm>
#include <utility>

namespace zendrik {

namespace {

// Clock errors tried when the preamble gives no measure, and shifts of the sampling points
// (shares of a bit) tried when a measured timing still fails.
constexpr double kClockGrid[] = {0.97, 1.03, 0.985, 1.015};
constexpr double kOffsetGrid[] = {-0.12, 0.12};
// Readings whose blocks may be joined: every filter, timing and pace of one search, as long as
// their frames come to no more than a few megabytes (a watch's transfer is a few hundred bytes;
// a head can announce 65 thousand).
constexpr std::size_t kMostReadingsJoined = 40;
constexpr std::size_t kMostFramesKept = 1u << 16;

}  // namespace

TimingSearch::TimingSearch(const MixedChunks& mixed, double nominal, StreamFormats formats,
                           const SoundView& sound)
    : nominal_(nominal),
      formats_(formats),
      box_(mixed, nominal, ToneFilter::Boxcar),
      triangle_(mixed, nominal, ToneFilter::Triangle),
      boxTracks_(TrackLevels(box_, nominal)),
      triangleTracks_(TrackLevels(triangle_, nominal)),
      rules_(mixed, nominal, box_, sound) {}

TimingSearchResult TimingSearch::Run() {
    TimingSearchResult result;
    auto take = [&](ToneFilter filter, double period, double offset) {
        Reading reading = Try(filter, period, offset);
        Keep(reading.found);
        Keep(reading.paced);
        if (reading.found.check.watchModel != 0 && MorePromising(reading.found, result.best)) {
            result.best = reading.found;
        }
        result.confidenceLacking = result.confidenceLacking || reading.confidenceLacking;
        result.accepted = std::move(reading.accepted);
        return reading;
    };
    for (ToneFilter filter : {ToneFilter::Boxcar, ToneFilter::Triangle}) {
        const Reading first = take(filter, nominal_, 0.0);
        // Where the frames as found show no transfer start and those held to their pace do,
        // the latter's preamble gives the bit period.
        const Attempt& headed =
            first.found.check.watchModel == 0 && first.paced.check.watchModel != 0 ? first.paced
                                                                                   : first.found;
        std::vector<std::pair<double, double>> schedule;
        if (headed.check.watchModel != 0 && headed.frames.size() >= 5) {
            const std::vector<Frame> preamble(headed.frames.begin(), headed.frames.begin() + 5);
            const double measured = MeasureBitPeriod(Envelope(filter), preamble, nominal_);
            if (result.accepted) {
                result.accepted->period = measured;  // what the watch sent at, for the report
                return result;
            }
            schedule.push_back({measured, 0.0});
            for (double offset : kOffsetGrid) schedule.push_back({measured, offset});
        }
        if (result.accepted) return result;
        for (double clock : kClockGrid) schedule.push_back({nominal_ * clock, 0.0});
        for (const auto& [period, offset] : schedule) {
            take(filter, period, offset);
            if (result.accepted) return result;
        }
    }
    const TimingSearchResult joined = Joined();
    result.accepted = joined.accepted;
    result.confidenceLacking = result.confidenceLacking || joined.confidenceLacking;
    return result;
}

const ToneEnvelope& TimingSearch::Envelope(ToneFilter filter) const {
    return filter == ToneFilter::Boxcar ? box_ : triangle_;
}

const LevelTracks& TimingSearch::Tracks(ToneFilter filter) const {
    return filter == ToneFilter::Boxcar ? boxTracks_ : triangleTracks_;
}

TimingSearch::Reading TimingSearch::Try(ToneFilter filter, double period, double offset) const {
    Reading reading;
    const FrameRun run = ReadFrames(Envelope(filter), Tracks(filter), period, offset * period);
    reading.found = FromFrames(run.frames, period, offset, formats_);
    if (reading.found.check.watchModel != 0 && reading.found.check.complete) {
        if (rules_.Confirmed(reading.found)) {
            reading.accepted = reading.found;
            return reading;
        }
        reading.confidenceLacking = true;
    }
    reading.paced = TryPaced(filter, run, period, offset);
    if (reading.paced.check.complete && rules_.Confirmed(reading.paced))
        reading.accepted = reading.paced;
    return reading;
}

// A lossy codec (MP3, Opus) spreads each burst a little before and after it, so a frame
// anchored on its own start edge can be read half a bit or a bit off. The frames are read
// again where the steady pace of their neighbours puts them, and the transfer that gives is
// taken by the same rules. This only adds a chance: the retries, the report and the echo
// passes go on from the frames as found.
Attempt TimingSearch::TryPaced(ToneFilter filter, const FrameRun& run, double period,
                               double offset) const {
    const double pace = FramePace(run, period);
    if (pace <= 0) return {};
    return FromFrames(HoldToPace(Envelope(filter), run, period, pace).frames, period, offset, formats_);
}

// A reading whose blocks a checksum covers, some of them good, for Joined.
void TimingSearch::Keep(const Attempt& attempt) {
    if (attempt.check.watchModel != 0 && attempt.check.checksumCovered &&
        attempt.check.blocksGood > 0 && readings_.size() < kMostReadingsJoined &&
        framesKept_ + attempt.frames.size() <= kMostFramesKept) {
        readings_.push_back(attempt);
        framesKept_ += attempt.frames.size();
    }
}

// Where no one reading has every block right, each block whose checksum fails in one may pass
// in another: a codec's smear or a click spoils a bit or two here and there, and which ones
// depends on the timing and filter of the reading. Blocks laid out alike (each where the
// others put it) are taken from whichever reading passes their check, and the whole is
// taken by the same rules as a single reading, the head bytes no check covers from the one
// reading it starts from. A wrong block would need its checksum to pass by chance in one of
// the few readings, as a single reading's would.
TimingSearchResult TimingSearch::Joined() const {
    TimingSearchResult result;
    for (const Attempt& base : readings_) {
        if (base.check.blocksGood == base.check.blocksTotal) continue;
        Attempt joined = base;
        for (std::size_t k = 0; k < base.check.blocks.size(); ++k) {
            const CheckedBlock& block = base.check.blocks[k];
            if (block.good) continue;
            for (const Attempt& other : readings_) {
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
        joined.check = FindTransfer(joined.bytes, formats_);
        if (!joined.check.complete || joined.check.start != 0 ||
            joined.check.length != static_cast<std::ptrdiff_t>(joined.bytes.size())) {
            continue;
        }
        if (rules_.Confirmed(joined)) {
            result.accepted = std::move(joined);
            return result;
        }
        result.confidenceLacking = true;
    }
    return result;
}

}  // namespace zendrik
