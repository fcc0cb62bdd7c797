#include "reception/second_receiver.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <iterator>
#include <new>
#include <optional>

#include "reception/carrier_search.h"
#include "reception/click_removal.h"
#include "reception/echo_pass.h"
#include "reception/frame_reader.h"
#include "reception/reading_attempt.h"
#include "reception/timing_search.h"
#include "reception/tone_energy.h"

namespace zendrik {

namespace {

constexpr int kCarriersTried = 3;
// Chunks of about a sixteenth of the faster bit: fine enough to place edges, coarse enough to
// keep the work per chunk small.
constexpr int kChunksPerFastBit = 16;

// The tone's level and how far it stands above the quiet between its bursts, from frames read.
struct ToneLevels {
    std::optional<double> levelDbfs;
    std::optional<double> snrDb;
};

ToneLevels MeasureLevels(const std::vector<Frame>& frames) {
    std::vector<float> ones;
    std::vector<float> zeros;
    for (const Frame& frame : frames) {
        ones.push_back(frame.one);
        zeros.push_back(frame.zero);
    }
    const double one = Median(ones);
    const double zero = Median(zeros);
    ToneLevels levels;
    if (one > 0) levels.levelDbfs = 20.0 * std::log10(one);
    if (one > 0 && zero > 0) levels.snrDb = 20.0 * std::log10(one / zero);
    return levels;
}

void DescribeSignal(const Attempt& attempt, ReceptionReport& report) {
    const ToneLevels levels = MeasureLevels(attempt.frames);
    if (levels.levelDbfs) report.levelDbfs = levels.levelDbfs;
    if (levels.snrDb) report.snrDb = levels.snrDb;
    report.bitPeriodSamples = attempt.period;
    report.blocksGood = attempt.check.blocksGood;
    report.blocksTotal = attempt.check.blocksTotal;
}

// Where no transfer start was found, how clearly the tone's bits stood out all the same: the
// clearest reading of the most prominent tone at any of the bit rates. A clear tone without a start
// was recorded too late; a tone lost in noise, too far from the microphone.
ToneLevels ClearestToneWithoutHead(const MixedChunks& mixed, int sampleRate,
                                   const std::vector<int>& bitRates) {
    ToneLevels clearest;
    for (int bitRate : bitRates) {
        const double period = static_cast<double>(sampleRate) / bitRate;
        const ToneEnvelope envelope(mixed, period, ToneFilter::Boxcar);
        const FrameRun run = ReadFrames(envelope, TrackLevels(envelope, period), period, 0.0);
        const ToneLevels reading = MeasureLevels(run.frames);
        if (reading.snrDb && (!clearest.snrDb || *reading.snrDb > *clearest.snrDb))
            clearest = reading;
    }
    return clearest;
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
            const TimingSearchResult searched = ReadWithoutEchoes(
                mixed, nominal, formats, sound, TimingSearch(mixed, nominal, formats, sound).Run());
            findings.confidenceLacking = findings.confidenceLacking || searched.confidenceLacking;
            const std::optional<Attempt>& mine = searched.best;
            const std::optional<Attempt>& accepted = searched.accepted;
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

// Samples that are not numbers, or beyond full scale, are clipped as a converter would.
float Repaired(float x) { return std::isnan(x) ? 0.0f : std::clamp(x, -1.0f, 1.0f); }

SecondReception NoSoundIn(int sampleRate, const SoundCoding& coding) {
    SecondReception result;
    result.report.sampleRate = sampleRate;
    result.report.coding = coding;
    result.report.failure = ReceptionFailure::NoSound;
    return result;
}

bool CanRead(std::ptrdiff_t count, int sampleRate, const std::vector<int>& bitRates) {
    return !bitRates.empty() && count > 0 && sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate;
}

// The repaired samples of a stretch of the recording, valid until the next call; nullptr when
// they cannot be had.
using SpanReader = std::function<const float*(const ToneSpan&)>;

// Reads the stretches where the carrier search heard a tone, each as `read` gives it, until
// `most` transfers are accepted; their places are the recording's.
SecondReception ReceiveSpans(int sampleRate, const SoundCoding& coding, const CarrierSearch& search,
                             const std::vector<int>& bitRates, StreamFormats formats, int most,
                             const SpanReader& read) {
    SecondReception result = NoSoundIn(sampleRate, coding);
    ReceptionReport& report = result.report;
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
    const auto shortest = static_cast<std::ptrdiff_t>(kShortestTransferSeconds * sampleRate);
    while (!pending.empty() && static_cast<int>(result.transfers.size()) < most) {
        const ToneSpan span = pending.back();
        pending.pop_back();
        if (span.end - span.begin < shortest) continue;
        const float* samples = read(span);
        if (!samples) continue;
        const std::optional<Accepted> accepted =
            ReceiveRange(samples, span.end - span.begin, sampleRate, carriers, bitRates, formats, findings);
        if (!accepted) continue;
        const Attempt& attempt = accepted->attempt;
        ReceivedTransfer transfer;
        transfer.bytes = attempt.bytes;
        ReceptionReport& own = transfer.report;
        own.sampleRate = sampleRate;
        own.coding = coding;
        own.receiver = ReceiverUsed::Second;
        // The spectrum's strongest line is the tone only when a bit holds a whole number of its
        // cycles: a watch that starts each burst at the same phase sends lines a bit rate apart,
        // and a tone between two of them (5500 Hz at 490 bit/s, say) reads as the nearer one. The
        // bursts' own phase turn gives the tone itself.
        std::vector<std::pair<double, double>> bursts = Bursts(attempt);
        if (bursts.size() > kMostTuningBursts) bursts.resize(kMostTuningBursts);
        own.toneHz = RefineTone(samples, span.end - span.begin, sampleRate, accepted->toneHz, bursts);
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
        const int chunk = std::max(1, static_cast<int>(static_cast<double>(sampleRate) /
                                                       *std::max_element(bitRates.begin(), bitRates.end()) /
                                                       kChunksPerFastBit));
        if (const float* samples = read(span)) {
            const ToneLevels clearest = ClearestToneWithoutHead(
                MixDown(samples, span.end - span.begin, sampleRate, carriers.front().hz, chunk), sampleRate,
                bitRates);
            report.levelDbfs = clearest.levelDbfs;
            report.snrDb = clearest.snrDb;
        }
    }
    return result;
}

SecondReception Receive(const AudioClip& clip, StreamFormats formats, int most) {
    const std::vector<int> bitRates = BitRatesOf(formats);
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(clip.samples.size());
    if (!CanRead(count, clip.sampleRate, bitRates)) return NoSoundIn(clip.sampleRate, clip.coding);
    // Clicks are silenced. Either that or repairs needs a copy; a clean recording is read where
    // it is.
    const float* samples = clip.samples.data();
    std::vector<float> repaired;
    if (std::any_of(clip.samples.begin(), clip.samples.end(),
                    [](float x) { return !(std::fabs(x) <= 1.0f); })) {
        repaired.reserve(clip.samples.size());
        for (float x : clip.samples) repaired.push_back(Repaired(x));
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
    return ReceiveSpans(clip.sampleRate, clip.coding, search, bitRates, formats, most,
                        [samples](const ToneSpan& span) { return samples + span.begin; });
}

// A source's samples as the whole-clip path reads them: repaired, and with its clicks silenced
// when the recording has few enough of them to be clicks. A sample is handed over once every
// click near it has been judged, so no more than a few milliseconds are held.
class CleanSamples {
public:
    CleanSamples(SampleSource& source, bool silenceClicks)
        : source_(source), silence_(silenceClicks), clicks_(source.SampleRate()) {}

    // Up to `most` of the next samples into `out`; how many, 0 at the end.
    std::ptrdiff_t Read(float* out, std::ptrdiff_t most) {
        if (!silence_) {
            // No click is silenced: nothing to judge and nothing to hold.
            const std::ptrdiff_t got = source_.ReadFloats(out, most);
            std::transform(out, out + std::max<std::ptrdiff_t>(got, 0), out, Repaired);
            return got;
        }
        while (Ready() == 0 && !ended_) Fill();
        const std::ptrdiff_t got = std::min(most, Ready());
        std::copy_n(held_.begin(), got, out);
        held_.erase(held_.begin(), held_.begin() + got);
        heldStart_ += got;
        return got;
    }

private:
    // Samples no click still to be judged can reach.
    std::ptrdiff_t Ready() const {
        const std::ptrdiff_t heldEnd = heldStart_ + static_cast<std::ptrdiff_t>(held_.size());
        const std::ptrdiff_t safe = ended_ ? heldEnd : clicks_.Judged() - kClickNeighbours;
        return std::max<std::ptrdiff_t>(0, safe - heldStart_);
    }

    void Silence(std::ptrdiff_t at) {
        if (!silence_) return;
        const std::ptrdiff_t heldEnd = heldStart_ + static_cast<std::ptrdiff_t>(held_.size());
        for (std::ptrdiff_t j = std::max(heldStart_, at - kClickNeighbours);
             j < std::min(heldEnd, at + kClickNeighbours + 1); ++j) {
            held_[static_cast<std::size_t>(j - heldStart_)] = 0.0f;
        }
    }

    void Fill() {
        const std::ptrdiff_t got = source_.ReadFloats(block_, std::size(block_));
        if (got <= 0) {
            ended_ = true;
            clicks_.Finish([this](std::ptrdiff_t at) { Silence(at); });
            return;
        }
        for (std::ptrdiff_t i = 0; i < got; ++i) {
            held_.push_back(Repaired(block_[i]));
            if (clicks_.Add(held_.back())) Silence(clicks_.Judged() - 1);
        }
    }

    SampleSource& source_;
    bool silence_;
    ClickFinder clicks_;
    std::deque<float> held_;          // samples from heldStart_ on, not yet handed over
    std::ptrdiff_t heldStart_ = 0;
    bool ended_ = false;
    float block_[4096];
};

SecondReception ReceiveStreamed(SampleSource& source, StreamFormats formats, int most) {
    const int rate = source.SampleRate();
    const SoundCoding coding = source.Coding();
    const std::vector<int> bitRates = BitRatesOf(formats);
    if (!CanRead(1, rate, bitRates) || !source.Rewind()) return NoSoundIn(rate, coding);
    // A first pass counts the samples and the clicks among them, which the carrier search's
    // stretches and the choice to silence clicks depend on.
    std::ptrdiff_t count = 0;
    std::size_t clicks = 0;
    {
        ClickFinder finder(rate);
        float block[4096];
        for (std::ptrdiff_t got; (got = source.ReadFloats(block, std::size(block))) > 0;) {
            for (std::ptrdiff_t i = 0; i < got; ++i) clicks += finder.Add(Repaired(block[i])) ? 1 : 0;
            count += got;
        }
        finder.Finish([&](std::ptrdiff_t) { ++clicks; });
    }
    if (!CanRead(count, rate, bitRates)) return NoSoundIn(rate, coding);
    const bool silenceClicks = clicks > 0 && FewEnoughClicks(clicks, count);

    // The second finds the tone and where it sounds, holding one stretch of a few seconds.
    if (!source.Rewind()) return NoSoundIn(rate, coding);
    CarrierSearcher searcher(count, rate, kCarriersTried);
    {
        CleanSamples clean(source, silenceClicks);
        float block[4096];
        for (std::ptrdiff_t got; (got = clean.Read(block, std::size(block))) > 0;) searcher.Add(block, got);
    }
    const CarrierSearch search = searcher.Finish();

    // Then each stretch where it sounds is read on its own; the stretches a reading asks for
    // after accepting a transfer lie within the one it read, which is kept until another is
    // needed.
    std::vector<float> held;
    ToneSpan heldSpan;
    const auto read = [&](const ToneSpan& span) -> const float* {
        if (!held.empty() && span.begin >= heldSpan.begin && span.end <= heldSpan.end) {
            return held.data() + (span.begin - heldSpan.begin);
        }
        held.clear();
        held.shrink_to_fit();
        if (!source.Rewind()) return nullptr;
        CleanSamples clean(source, silenceClicks);
        held.resize(static_cast<std::size_t>(span.end - span.begin));
        float block[4096];
        std::ptrdiff_t at = 0;
        while (at < span.end) {
            const std::ptrdiff_t got = clean.Read(block, std::min<std::ptrdiff_t>(std::size(block), span.end - at));
            if (got <= 0) break;
            const std::ptrdiff_t from = std::max(at, span.begin);
            if (from < at + got) std::copy(block + (from - at), block + got, held.begin() + (from - span.begin));
            at += got;
        }
        // A source that holds less on a later pass than it did on the first cannot be read.
        if (at < span.end) {
            held.clear();
            return nullptr;
        }
        heldSpan = span;
        return held.data();
    };
    return ReceiveSpans(rate, coding, search, bitRates, formats, most, read);
}

SecondReception NoMemoryFor(int sampleRate) {
    SecondReception result;
    result.report.sampleRate = sampleRate;
    result.report.failure = ReceptionFailure::NoMemory;
    return result;
}

}  // namespace

SecondReception ReceiveClip(const AudioClip& clip, StreamFormats formats, int most) {
    // Nothing is thrown across the core's interface: running out of memory is a reason like
    // the others.
    try {
        return Receive(clip, formats, std::max(1, most));
    } catch (const std::bad_alloc&) {
        return NoMemoryFor(clip.sampleRate);
    }
}

SecondReception ReceiveSource(SampleSource& source, StreamFormats formats, int most) {
    try {
        return ReceiveStreamed(source, formats, std::max(1, most));
    } catch (const std::bad_alloc&) {
        return NoMemoryFor(source.SampleRate());
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
            return NoMemoryFor(sampleRate);
        }
        for (std::ptrdiff_t i = 0; i < count; ++i) {
            clip.samples[static_cast<std::size_t>(i)] = static_cast<float>(samples[i]) / 32768.0f;
        }
    }
    return ReceiveClip(clip, formats, most);
}

}  // namespace zendrik
