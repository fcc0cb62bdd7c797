#include "reception/demodulator.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "reception/demodulator_steps.h"

namespace zendrik {

namespace demod {

namespace {

constexpr int kBitReferencePercent = 67;

// File rectifier: half the difference of neighbouring samples, truncated.
inline std::int16_t FileLevel(std::int16_t a, std::int16_t b) {
    // The distance of two 16-bit values fits 16 unsigned bits, so it is taken in them (wrapping
    // back into range), which lets a vector hold eight of them.
    const auto d = static_cast<std::uint16_t>(static_cast<std::uint16_t>(std::max(a, b)) -
                                              static_cast<std::uint16_t>(std::min(a, b)));
    return static_cast<std::int16_t>(d >> 1);
}

// Mean of k envelope values, truncated, as a 16-bit level.
inline std::int16_t MeanLevel(const std::int16_t* e, int k) {
    std::int32_t sum = 0;
    for (int j = 0; j < k; ++j) sum += e[j];
    return static_cast<std::int16_t>(sum / k);
}

constexpr std::ptrdiff_t kRiseBlock = 64;

// Whether e[0..kRiseBlock] all hold one level, so no step among them falls. Silence is such a
// stretch. A fixed count without an early exit lets the compiler take it a vector at a time.
inline bool LevelStaysFlat(const std::int16_t* e) {
    std::int16_t lowest = e[0];
    std::int16_t highest = e[0];
    for (std::ptrdiff_t k = 1; k <= kRiseBlock; ++k) {
        lowest = std::min(lowest, e[k]);
        highest = std::max(highest, e[k]);
    }
    return lowest == highest;
}

// BackFillPeaks over an envelope handed over a level at a time, which passes each level on to
// `emit(level, times)` once it is final. A level is final once a falling step follows it: what
// the next fill may still overwrite runs from the last falling step, and rises all the way (it
// holds no falling step), so it is held as runs of equal levels, at most one per level.
template <typename Emit>
class StreamedBackFill {
public:
    explicit StreamedBackFill(Emit emit) : emit_(std::move(emit)) {}

    // The next `times` levels before the fill, all `level`: silence passes a run at a time.
    void Add(std::int16_t level, std::ptrdiff_t times = 1) {
        if (times <= 0) return;
        if (count_ > 0) Step(level);
        previous_ = current_;
        current_ = level;
        ++count_;
        if (times == 1) return;
        // Each step within the run sees its next level equal to its own: it holds it.
        Hold(level, times - 1);
        previous_ = level;
        count_ += times - 1;
    }

    // After the last level, which the whole-buffer run sets to 0 once the fill is done.
    void Finish() {
        if (count_ == 0) return;
        EmitHeld();
        emit_(std::int16_t{0}, std::ptrdiff_t{1});
    }

private:
    struct Run {
        std::int16_t level;
        std::ptrdiff_t times;
    };

    // Step i = count_ - 1, which looks at e[i - 1], e[i] and e[i + 1] = next.
    void Step(std::int16_t next) {
        const std::ptrdiff_t i = count_ - 1;
        if (current_ <= next) {
            Hold(current_);
            return;
        }
        if (anchor_ == 0) {
            // The first falling step; at 0 it stands for none, as in the whole-buffer run.
            anchor_ = i;
            anchorLevel_ = current_;
            if (i == 0) emit_(current_, std::ptrdiff_t{1});
            return;
        }
        if (current_ > previous_) {
            emit_(current_, i - anchor_);
            held_.clear();
        } else {
            EmitHeld();
        }
        anchor_ = i;
        anchorLevel_ = current_;
    }

    void Hold(std::int16_t level, std::ptrdiff_t times = 1) {
        if (anchor_ == 0) {
            emit_(level, times);  // no fill reaches back before the first falling step
        } else if (!held_.empty() && held_.back().level == level) {
            held_.back().times += times;
        } else {
            held_.push_back({level, times});
        }
    }

    // The levels since the last falling step, as they were.
    void EmitHeld() {
        if (anchor_ != 0) emit_(anchorLevel_, std::ptrdiff_t{1});
        for (const Run& run : held_) emit_(run.level, run.times);
        held_.clear();
    }

    Emit emit_;
    std::ptrdiff_t count_ = 0;
    std::int16_t previous_ = 0;
    std::int16_t current_ = 0;
    std::ptrdiff_t anchor_ = 0;
    std::int16_t anchorLevel_ = 0;
    std::vector<Run> held_;
};

// The levels e[0..n) to the fill, a run of equal ones at a time. A function of its own, holding
// nothing to clean up, so that where exceptions are calls of their own (the browser's build) the
// call for each run is a plain one.
template <typename Fill>
__attribute__((noinline)) void AddRuns(Fill& fill, const std::int16_t* e, std::ptrdiff_t n) {
    for (std::ptrdiff_t k = 0; k < n;) {
        std::ptrdiff_t same = k + 1;
        while (same < n && e[same] == e[k]) ++same;
        fill.Add(e[k], same - k);
        k = same;
    }
}

// One pass over the source's envelope: every final level goes to `emit(level, times)`. The
// number of samples read, or -1 when the source could not be rewound.
template <typename Emit>
std::ptrdiff_t PassOverEnvelope(zendrik::SampleSource& source, DemodVariant variant, Emit emit) {
    if (!source.Rewind()) return -1;
    StreamedBackFill<Emit> fill(std::move(emit));
    constexpr std::ptrdiff_t kBlock = std::ptrdiff_t{1} << 16;
    // The block's samples after the last sample of the block before, and their levels.
    std::vector<std::int16_t> block(static_cast<std::size_t>(kBlock) + 1);
    std::vector<std::int16_t> levels(static_cast<std::size_t>(kBlock));
    std::ptrdiff_t count = 0;
    for (;;) {
        const std::ptrdiff_t got = source.Read(block.data() + 1, kBlock);
        if (got <= 0) break;
        const std::int16_t* s = block.data() + 1;
        std::int16_t* e = levels.data();
        std::ptrdiff_t n = got;
        if (variant == DemodVariant::Live) {
            for (std::ptrdiff_t k = 0; k < got; ++k) e[k] = LiveLevel(s[k]);
        } else {
            // Each sample gives the level of the one before it; the first sample gives none.
            const std::ptrdiff_t skip = count == 0 ? 1 : 0;
            for (std::ptrdiff_t k = skip; k < got; ++k) e[k - skip] = FileLevel(s[k - 1], s[k]);
            n -= skip;
        }
        AddRuns(fill, e, n);
        block[0] = s[got - 1];
        count += got;
    }
    // The file rectifier's last level has no sample after it; it is 0, as the fill leaves it.
    if (variant == DemodVariant::File && count > 0) fill.Add(0);
    fill.Finish();
    return count;
}

// Frames read from final envelope levels as they come, holding a block of them and the frame
// and start window that may begin before the block's end.
template <typename Found>
class StreamedScan {
public:
    StreamedScan(BitTiming timing, std::int32_t threshold, Found found)
        : timing_(timing), threshold_(threshold), found_(std::move(found)),
          capacity_((std::ptrdiff_t{1} << 16) + kFrameBits * std::ptrdiff_t{timing.period} + timing.window),
          levels_(static_cast<std::size_t>(capacity_)) {}

    // Called for every run of levels: it calls nothing that can throw until the block is full,
    // so a build whose exceptions go through calls of their own pays for them once a block.
    void Put(std::int16_t level, std::ptrdiff_t times) {
        while (times > 0) {
            const std::ptrdiff_t room = capacity_ - held_;
            const std::ptrdiff_t n = std::min(times, room);
            std::fill_n(levels_.data() + held_, n, level);
            held_ += n;
            times -= n;
            if (n == room) Scan();
        }
    }

    // Scans what is held; after the last level, that reads to the envelope's end.
    void Scan() {
        const std::ptrdiff_t stop = ScanFrames(
            levels_.data(), held_, next_ - base_, timing_, threshold_,
            [&](std::ptrdiff_t at, std::uint8_t value) { found_(base_ + at, value); });
        const std::ptrdiff_t drop = std::min(stop, held_);
        std::copy(levels_.data() + drop, levels_.data() + held_, levels_.data());
        held_ -= drop;
        next_ = base_ + stop;
        base_ += drop;
    }

private:
    BitTiming timing_;
    std::int32_t threshold_;
    Found found_;
    std::ptrdiff_t capacity_;
    std::vector<std::int16_t> levels_;  // the first held_ of them
    std::ptrdiff_t held_ = 0;
    std::ptrdiff_t base_ = 0;  // the envelope index of levels_[0]
    std::ptrdiff_t next_ = 1;  // where the scan goes on, as the whole-buffer run starts it
};

}  // namespace

std::ptrdiff_t BackFillPeaks(std::int16_t* e, std::ptrdiff_t first, std::ptrdiff_t last,
                             std::ptrdiff_t& anchor) {
    std::ptrdiff_t lowestWritten = last;
    // A flat stretch has no falling step, so nothing changes there: silence is passed over a
    // block at a time. After a block that fails the test, a block's worth of single steps
    // follows before the next try, so a busy stretch costs no more than a test per block.
    std::ptrdiff_t singleStepsUntil = first;
    for (std::ptrdiff_t i = first; i < last; ++i) {
        if (i >= singleStepsUntil) {
            if (i + kRiseBlock <= last && LevelStaysFlat(e + i)) {
                i += kRiseBlock - 1;
                continue;
            }
            singleStepsUntil = i + kRiseBlock;
        }
        if (e[i] <= e[i + 1]) continue;
        if (anchor == 0) anchor = i;
        if (i > 0 && e[i] > e[i - 1] && anchor < i) {
            const std::int16_t peak = e[i];
            for (std::ptrdiff_t j = anchor; j < i; ++j) e[j] = peak;
            if (anchor < lowestWritten) lowestWritten = anchor;
        }
        anchor = i;
    }
    return lowestWritten;
}

std::int32_t StartThreshold(std::int16_t lo, std::int16_t hi, int percent) {
    return ((std::int32_t{hi} - std::int32_t{lo}) / 100) * percent;
}

std::uint8_t ReadFrame(const std::int16_t* e, int period) {
    int value = 0;
    int weight = 1;
    std::int16_t reference = 0;
    for (int k = 0; k < kFrameBits; ++k) {
        const std::int16_t level = MeanLevel(e + static_cast<std::ptrdiff_t>(k) * period, period);
        if (k == 0) {
            reference = static_cast<std::int16_t>((level / 100) * kBitReferencePercent);
        } else if (k <= 8) {
            // The reference follows the tone: renewed by every 1 bit, never by a 0 bit.
            if (level >= reference) {
                value |= weight;
                reference = static_cast<std::int16_t>((level / 100) * kBitReferencePercent);
            }
            weight *= 2;
        }
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace demod

void DemodulateSamples(const std::int16_t* samples, std::ptrdiff_t count, DemodVariant variant,
                       BitTiming timing, ReceivedBytes& out, std::int16_t* work,
                       std::vector<std::ptrdiff_t>* frameStarts) {
    if (count <= 0) return;  // nothing to work on: the bytes stay as they were
    out.SetSize(0);
    if (frameStarts) frameStarts->clear();
    std::unique_ptr<std::int16_t[]> envelope(work ? nullptr
                                                  : new std::int16_t[static_cast<std::size_t>(count)]);
    // Level i is made from samples i and i+1 before level i is written, so the envelope can take
    // the samples' own place.
    std::int16_t* e = work ? work : envelope.get();
    if (variant == DemodVariant::File) {
        // Half the difference of neighbouring samples. The levels of a chunk are made in a
        // buffer of their own and then copied: when the envelope takes the samples' place, a
        // chunk's samples are all read before any of its levels is written, and the loop over
        // the buffer can be vectorised.
        constexpr std::ptrdiff_t kChunk = 256;
        std::int16_t levels[kChunk];
        std::ptrdiff_t i = 0;
        for (; i + kChunk < count; i += kChunk) {
            for (std::ptrdiff_t k = 0; k < kChunk; ++k) {
                levels[k] = demod::FileLevel(samples[i + k], samples[i + k + 1]);
            }
            std::copy(levels, levels + kChunk, e + i);
        }
        for (; i + 1 < count; ++i) e[i] = demod::FileLevel(samples[i], samples[i + 1]);
        e[count - 1] = 0;
    } else {
        for (std::ptrdiff_t i = 0; i < count; ++i) e[i] = demod::LiveLevel(samples[i]);
    }
    std::ptrdiff_t anchor = 0;
    demod::BackFillPeaks(e, 0, count - 1, anchor);
    e[count - 1] = 0;
    // The range is that of the stepped envelope. No level is below 0 and the last one is 0, so
    // the lowest is 0; the highest has to be looked for, as a fill can lower the top of a falling
    // step to the later, smaller peak it copies back.
    const std::int16_t lo = 0;
    const std::int16_t hi = *std::max_element(e, e + count);

    const int percent = variant == DemodVariant::File ? 33 : 25;
    demod::ScanFrames(e, count, 1, timing, demod::StartThreshold(lo, hi, percent),
                      [&](std::ptrdiff_t at, std::uint8_t value) {
                          out.Add(value);
                          if (frameStarts) frameStarts->push_back(at);
                      });
}

bool DemodulateSource(zendrik::SampleSource& source, DemodVariant variant, BitTiming timing,
                      ReceivedBytes& out, std::vector<std::ptrdiff_t>* frameStarts) {
    std::int16_t hi = 0;
    const std::ptrdiff_t count = demod::PassOverEnvelope(
        source, variant, [&hi](std::int16_t level, std::ptrdiff_t) { hi = std::max(hi, level); });
    if (count < 0) return false;
    if (count == 0) return true;  // nothing to work on: the bytes stay as they were
    ReceivedBytes found;
    std::vector<std::ptrdiff_t> starts;
    if (timing.period > 0 && timing.window > 0) {
        const int percent = variant == DemodVariant::File ? 33 : 25;
        auto add = [&](std::ptrdiff_t at, std::uint8_t value) {
            found.Add(value);
            if (frameStarts) starts.push_back(at);
        };
        demod::StreamedScan<decltype(add)> scan(timing, demod::StartThreshold(0, hi, percent), add);
        auto put = [&scan](std::int16_t level, std::ptrdiff_t times) { scan.Put(level, times); };
        if (demod::PassOverEnvelope(source, variant, put) < 0) return false;
        scan.Scan();
    }
    out = std::move(found);
    if (frameStarts) *frameStarts = std::move(starts);
    return true;
}

}  // namespace zendrik
